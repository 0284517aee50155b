#include "store/pass_memory.h"

#include <sqlite3.h>

#include <bit>
#include <unordered_set>

namespace plenvo::store {
namespace {

// Two lanes of multiply and rotate over 64-bit words, each finished by
// MurmurHash3's mixer: quick over the 100,000 rows a restart looks at.
class Mixer {
  public:
    void word(std::uint64_t w) {
        a_ = std::rotl(a_ ^ (w * 0x87C37B91114253D5ull), 31) * 0x4CF5AD432745937Full + 0x52DCE729;
        b_ =
            std::rotl(b_ + (std::rotl(w, 23) * 0x9E3779B97F4A7C15ull), 27) * 0xC2B2AE3D27D4EB4Full +
            0x38495AB5;
        ++words_;
    }

    void bytes(const void* data, size_t size) {
        const char* p = static_cast<const char*>(data);
        word(size);
        size_t i = 0;
        for (; i + 8 <= size; i += 8) word(load(p + i, 8));
        if (i < size) word(load(p + i, size - i));
    }

    Digest128 finish() const {
        const std::uint64_t a = finalMix(a_ ^ words_);
        const std::uint64_t b = finalMix(b_ ^ (words_ << 1));
        return {a + b, b + 2 * a};
    }

  private:
    // Little-endian whatever the machine, so that a database moved keeps its digests.
    static std::uint64_t load(const char* p, size_t n) {
        std::uint64_t w = 0;
        for (size_t k = 0; k < n; ++k)
            w |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
        return w;
    }

    static std::uint64_t finalMix(std::uint64_t k) {
        k ^= k >> 33;
        k *= 0xFF51AFD7ED558CCDull;
        k ^= k >> 33;
        k *= 0xC4CEB9FE1A85EC53ull;
        k ^= k >> 33;
        return k;
    }

    std::uint64_t a_ = 0x6A09E667F3BCC908ull;
    std::uint64_t b_ = 0xBB67AE8584CAA73Bull;
    std::uint64_t words_ = 0;
};

std::int64_t asStored(std::uint64_t v) {
    return static_cast<std::int64_t>(v);
}

std::uint64_t asRead(const Statement& st, int column) {
    return static_cast<std::uint64_t>(st.integer(column).value_or(0));
}

void bindStamp(Statement& st, int first, const platform::FileStamp& stamp) {
    st.bind(first, DbValue{asStored(stamp.size)})
        .bind(first + 1, DbValue{stamp.modifiedNs})
        .bind(first + 2, DbValue{stamp.changedNs})
        .bind(first + 3, DbValue{asStored(stamp.file)});
}

platform::FileStamp readStamp(const Statement& st, int first) {
    return {asRead(st, first), st.integer(first + 1).value_or(0), st.integer(first + 2).value_or(0),
            asRead(st, first + 3)};
}

void bindDigest(Statement& st, int first, const Digest128& digest) {
    st.bind(first, DbValue{asStored(digest.high)}).bind(first + 1, DbValue{asStored(digest.low)});
}

Digest128 readDigest(const Statement& st, int first) {
    return {asRead(st, first), asRead(st, first + 1)};
}

// For the maps a load fills: grown once rather than step by step.
std::size_t countOf(Connection& db, const std::string& table) {
    Statement st = db.prepare("SELECT count(*) FROM " + table);
    return st.step() ? static_cast<std::size_t>(st.integer(0).value_or(0)) : 0;
}

// "a,b" as "u.a,u.b".
std::string qualified(const std::string& columns, const std::string& table) {
    std::string out;
    size_t start = 0;
    while (start <= columns.size()) {
        size_t end = columns.find(',', start);
        if (end == std::string::npos) end = columns.size();
        out += (out.empty() ? "" : ",") + table + "." + columns.substr(start, end - start);
        start = end + 1;
    }
    return out;
}

}  // namespace

namespace {

void rowDigestFunction(sqlite3_context* context, int count, sqlite3_value** values) {
    Mixer mix;
    for (int i = 0; i < count; ++i) {
        sqlite3_value* value = values[i];
        // The storage class first: 1 and '1' and 1.0 are different rows.
        const int type = sqlite3_value_type(value);
        mix.word(static_cast<std::uint64_t>(type));
        switch (type) {
            case SQLITE_NULL:
                break;
            case SQLITE_INTEGER:
                mix.word(static_cast<std::uint64_t>(sqlite3_value_int64(value)));
                break;
            case SQLITE_FLOAT:
                mix.word(std::bit_cast<std::uint64_t>(sqlite3_value_double(value)));
                break;
            case SQLITE_TEXT: {
                const unsigned char* text = sqlite3_value_text(value);
                mix.bytes(text, static_cast<size_t>(sqlite3_value_bytes(value)));
                break;
            }
            default: {
                const void* blob = sqlite3_value_blob(value);
                mix.bytes(blob, static_cast<size_t>(sqlite3_value_bytes(value)));
            }
        }
    }
    const Digest128 digest = mix.finish();
    static constexpr char kHex[] = "0123456789abcdef";
    char hex[32];
    for (int i = 0; i < 16; ++i) {
        hex[i] = kHex[(digest.high >> (60 - 4 * i)) & 0xF];
        hex[16 + i] = kHex[(digest.low >> (60 - 4 * i)) & 0xF];
    }
    sqlite3_result_text(context, hex, sizeof hex, SQLITE_TRANSIENT);
}

}  // namespace

void addRowDigest(Connection& db) {
    if (sqlite3_create_function_v2(db.handle(), "row_digest", -1,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   rowDigestFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw DbError(std::string("row_digest: ") + sqlite3_errmsg(db.handle()));
}

void ImportKeptTable::make(Connection& db) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS ImportKept (Name TEXT PRIMARY KEY, Size INTEGER, "
        "Modified INTEGER, Changed INTEGER, FileId INTEGER, UserLogRow INTEGER, "
        "Overlong INTEGER, Dropped INTEGER, RowDigest TEXT)");
}

bool ImportKeptTable::exists(Connection& db) {
    return db.tableExists("ImportKept");
}

void ImportKeptTable::load(Connection& db, const std::string& columns, const std::string& folder,
                           const std::function<void(ImportKeptFile&&, bool holds)>& each) {
    addRowDigest(db);
    // Rows that share their host and user with an earlier row, which the
    // import's own look-up finds instead: one walk along the key's index,
    // and mostly none.
    std::unordered_set<std::int64_t> notFirst;
    Statement later = db.prepare(
        "SELECT o.rowid FROM (SELECT ComNM, UserID, min(rowid) AS first FROM UserLog "
        "GROUP BY ComNM COLLATE NOCASE, UserID COLLATE NOCASE HAVING count(*) > 1) d "
        "JOIN UserLog o ON o.ComNM = d.ComNM COLLATE NOCASE AND o.UserID = d.UserID COLLATE "
        "NOCASE WHERE o.rowid <> d.first");
    while (later.step()) notFirst.insert(later.integer(0).value_or(0));
    Statement st = db.prepare(
        "SELECT k.Name, k.Size, k.Modified, k.Changed, k.FileId, k.UserLogRow, k.Overlong, "
        "k.Dropped, k.RowDigest, CASE WHEN k.UserLogRow = 0 THEN 1 ELSE u.rowid IS NOT NULL "
        "AND u.FileNM = ?1 || k.Name AND row_digest(" +
        qualified(columns, "u") +
        ") = k.RowDigest END "
        "FROM ImportKept k LEFT JOIN UserLog u ON u.rowid = k.UserLogRow AND k.UserLogRow <> 0");
    st.bind(1, folder);
    while (st.step()) {
        if (!st.isText(0)) continue;
        ImportKeptFile file{*st.text(0),
                            readStamp(st, 1),
                            st.integer(5).value_or(0),
                            static_cast<std::uint32_t>(st.integer(6).value_or(0)),
                            static_cast<std::uint32_t>(st.integer(7).value_or(0)),
                            st.text(8).value_or("")};
        const bool holds = st.integer(9).value_or(0) == 1 && !notFirst.contains(file.rowid);
        each(std::move(file), holds);
    }
}

std::size_t ImportKeptTable::count(Connection& db) {
    return countOf(db, "ImportKept");
}

ImportKeptTable::ImportKeptTable(Connection& db)
    : put_(db.prepare(
          "INSERT OR REPLACE INTO ImportKept (Name, Size, Modified, Changed, FileId, UserLogRow, "
          "Overlong, Dropped, RowDigest) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)")),
      remove_(db.prepare("DELETE FROM ImportKept WHERE Name = ?1")) {}

void ImportKeptTable::put(const ImportKeptFile& file) {
    put_.reset();
    put_.bind(1, file.name);
    bindStamp(put_, 2, file.stamp);
    put_.bind(6, DbValue{file.rowid})
        .bind(7, DbValue{std::int64_t{file.overlong}})
        .bind(8, DbValue{std::int64_t{file.dropped}});
    put_.bind(9, file.digest);
    put_.run();
    put_.reset();
}

void ImportKeptTable::remove(const std::string& name) {
    remove_.reset();
    remove_.bind(1, name).run();
    remove_.reset();
}

void ViewerKeptTable::make(Connection& db) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS ViewerKept (Name TEXT PRIMARY KEY, ToBkupHigh INTEGER, "
        "ToBkupLow INTEGER, Size INTEGER, Modified INTEGER, Changed INTEGER, FileId INTEGER)");
}

bool ViewerKeptTable::exists(Connection& db) {
    return db.tableExists("ViewerKept");
}

void ViewerKeptTable::load(Connection& db, const std::function<void(ViewerKeptFile&&)>& each) {
    Statement st = db.prepare(
        "SELECT Name, ToBkupHigh, ToBkupLow, Size, Modified, Changed, FileId FROM ViewerKept");
    while (st.step())
        if (st.isText(0)) each({*st.text(0), readDigest(st, 1), readStamp(st, 3)});
}

std::size_t ViewerKeptTable::count(Connection& db) {
    return countOf(db, "ViewerKept");
}

ViewerKeptTable::ViewerKeptTable(Connection& db)
    : put_(db.prepare(
          "INSERT OR REPLACE INTO ViewerKept (Name, ToBkupHigh, ToBkupLow, Size, Modified, "
          "Changed, FileId) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")),
      remove_(db.prepare("DELETE FROM ViewerKept WHERE Name = ?1")) {}

void ViewerKeptTable::put(const ViewerKeptFile& file) {
    put_.reset();
    put_.bind(1, file.name);
    bindDigest(put_, 2, file.toBkup);
    bindStamp(put_, 4, file.stamp);
    put_.run();
    put_.reset();
}

void ViewerKeptTable::remove(const std::string& name) {
    remove_.reset();
    remove_.bind(1, name).run();
    remove_.reset();
}

}  // namespace plenvo::store
