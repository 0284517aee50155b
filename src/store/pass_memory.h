#pragma once

// What the import and the log viewers remember from one pass to the next,
// kept in Mng.mdb so that a console that starts again need not read every
// result file and every log viewer again. Both tables are the console's own
// additions, made when first needed; an older database works without them.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/text/text_file.h"
#include "store/sqlite.h"

namespace plenvo::store {

// 128 bits, as two numbers.
struct Digest128 {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    bool operator==(const Digest128&) const = default;
};

// Gives the connection the SQL function row_digest(value, ...): 32 hex digits
// of 128 bits of the values with their storage classes. They tell a row that
// anybody changed from the row as it was, by accident never alike; they do
// not stand against someone who writes Mng.mdb, who could change the rows
// themselves anyway. Computed inside SQLite: a restart digests 100,000 rows.
void addRowDigest(Connection& db);

// One result file as the import last took it in (table ImportKept). An entry
// is written in the transaction that wrote its row, so Mng.mdb, even a copy
// put back, holds it with the row it describes.
struct ImportKeptFile {
    std::string name;  // in \OrvShare\RST
    platform::FileStamp stamp;
    std::int64_t rowid = 0;  // the UserLog row it wrote or found, 0 for none
    std::uint32_t overlong = 0;
    std::uint32_t dropped = 0;
    std::string digest;  // row_digest() of that row's written columns, as the file left them
};

class ImportKeptTable {
  public:
    // Makes the table in a database that lacks it.
    static void make(Connection& db);
    static bool exists(Connection& db);
    // Each entry, and whether it still holds: its row, if it has one, holds
    // the digested values, is the first row of its host and user, as the
    // import looks rows up, and names the file under `folder` (a folder with
    // a separator after it, as FileNM holds it). `columns` are the UserLog
    // columns the digests cover, comma-separated.
    static void load(Connection& db, const std::string& columns, const std::string& folder,
                     const std::function<void(ImportKeptFile&&, bool holds)>& each);
    static std::size_t count(Connection& db);

    // For an existing table.
    explicit ImportKeptTable(Connection& db);
    void put(const ImportKeptFile& file);
    void remove(const std::string& name);

  private:
    Statement put_;
    Statement remove_;
};

// One log viewer as the console last wrote or found it (table ViewerKept).
struct ViewerKeptFile {
    std::string name;  // in \HTM\VBS
    Digest128 toBkup;  // of the destination it opens
    platform::FileStamp stamp;
};

class ViewerKeptTable {
  public:
    static void make(Connection& db);
    static bool exists(Connection& db);
    static void load(Connection& db, const std::function<void(ViewerKeptFile&&)>& each);
    static std::size_t count(Connection& db);

    explicit ViewerKeptTable(Connection& db);
    void put(const ViewerKeptFile& file);
    void remove(const std::string& name);

  private:
    Statement put_;
    Statement remove_;
};

}  // namespace plenvo::store
