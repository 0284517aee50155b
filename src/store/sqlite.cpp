#include "store/sqlite.h"

#include <sqlite3.h>

#include <bit>
#include <cstring>

#include "platform/core/ascii_case.h"
#include "platform/text/utf8_path.h"

namespace plenvo::store {
namespace {

[[noreturn]] void throwFor(sqlite3* db, const std::string& message) {
    if (db && sqlite3_errcode(db) == SQLITE_FULL) throw DbFullError(message);
    throw DbError(message);
}

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    throwFor(db, std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no database"));
}

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db), stmt_(nullptr) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK)
        fail(db, "prepare");
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
    other.stmt_ = nullptr;
}

Statement& Statement::bind(int index, const DbValue& value) {
    int rc = SQLITE_OK;
    if (std::holds_alternative<std::monostate>(value))
        rc = sqlite3_bind_null(stmt_, index);
    else if (auto* s = std::get_if<std::string>(&value))
        rc = sqlite3_bind_text(stmt_, index, s->data(), static_cast<int>(s->size()),
                               SQLITE_TRANSIENT);
    else if (auto* d = std::get_if<double>(&value))
        rc = sqlite3_bind_double(stmt_, index, *d);
    else
        rc = sqlite3_bind_int64(stmt_, index, std::get<std::int64_t>(value));
    if (rc != SQLITE_OK) fail(db_, "bind");
    return *this;
}

Statement& Statement::bind(int index, const std::string& text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        fail(db_, "bind");
    return *this;
}

Statement& Statement::bindUncopied(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_STATIC) != SQLITE_OK)
        fail(db_, "bind");
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const std::string message = sqlite3_errmsg(db_);
    const bool full = sqlite3_errcode(db_) == SQLITE_FULL || (rc & 0xff) == SQLITE_FULL;
    sqlite3_reset(stmt_);
    if (full) throw DbFullError("step: " + message);
    throw DbError("step: " + message);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void Statement::run() {
    while (step()) {
    }
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

bool Statement::isText(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_TEXT;
}

std::optional<std::string> Statement::text(int column) const {
    if (isNull(column)) return std::nullopt;
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::optional<double> Statement::number(int column) const {
    if (isNull(column)) return std::nullopt;
    return sqlite3_column_double(stmt_, column);
}

std::optional<std::int64_t> Statement::integer(int column) const {
    if (isNull(column)) return std::nullopt;
    return sqlite3_column_int64(stmt_, column);
}

DbValue Statement::value(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_NULL:
            return std::monostate{};
        case SQLITE_INTEGER:
            return static_cast<std::int64_t>(sqlite3_column_int64(stmt_, column));
        case SQLITE_FLOAT:
            return sqlite3_column_double(stmt_, column);
        default:
            return *text(column);
    }
}

std::string_view Statement::view(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!p) return {};
    return {p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

bool Statement::holds(int column, std::string_view text) const {
    if (sqlite3_column_type(stmt_, column) != SQLITE_TEXT) return false;
    const std::string_view stored = view(column);
    return stored.size() == text.size() &&
           std::memcmp(stored.data(), text.data(), text.size()) == 0;
}

bool Statement::holds(int column, const DbValue& value) const {
    const int type = sqlite3_column_type(stmt_, column);
    if (std::holds_alternative<std::monostate>(value)) return type == SQLITE_NULL;
    if (auto* s = std::get_if<std::string>(&value)) return holds(column, std::string_view(*s));
    if (auto* d = std::get_if<double>(&value))
        return type == SQLITE_FLOAT && std::bit_cast<std::uint64_t>(sqlite3_column_double(
                                           stmt_, column)) == std::bit_cast<std::uint64_t>(*d);
    return type == SQLITE_INTEGER &&
           sqlite3_column_int64(stmt_, column) == std::get<std::int64_t>(value);
}

int Statement::columnIndex(std::string_view name) const {
    const int n = sqlite3_column_count(stmt_);
    for (int i = 0; i < n; ++i) {
        const char* col = sqlite3_column_name(stmt_, i);
        if (col && platform::sameIgnoringAsciiCase(col, name)) return i;
    }
    return -1;
}

Connection Connection::open(const std::filesystem::path& path, int busyTimeoutMs) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(platform::utf8Of(path).c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection connection(db);
    if (rc != SQLITE_OK) fail(db, "open " + platform::utf8Of(path));
    sqlite3_busy_timeout(db, busyTimeoutMs);
    // A file that is not a database is found out here rather than mid-routine.
    connection.exec("SELECT count(*) FROM sqlite_master");
    return connection;
}

Connection Connection::openReadOnly(const std::filesystem::path& path, int busyTimeoutMs) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(platform::utf8Of(path).c_str(), &db,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection connection(db);
    if (rc != SQLITE_OK) fail(db, "open " + platform::utf8Of(path));
    sqlite3_busy_timeout(db, busyTimeoutMs);
    connection.exec("SELECT count(*) FROM sqlite_master");
    return connection;
}

Connection Connection::create(const std::filesystem::path& path) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(platform::utf8Of(path).c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Connection connection(db);
    if (rc != SQLITE_OK) fail(db, "create " + platform::utf8Of(path));
    return connection;
}

Connection::~Connection() {
    sqlite3_close_v2(db_);
}

Connection::Connection(Connection&& other) noexcept : db_(other.db_) {
    other.db_ = nullptr;
}

void Connection::exec(std::string_view sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "exec failed";
        sqlite3_free(message);
        throwFor(db_, text);
    }
}

bool Connection::tableExists(const std::string& name) {
    Statement table = prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    table.bind(1, name);
    return table.step();
}

std::int64_t Connection::changes() const {
    return sqlite3_changes64(db_);
}

std::int64_t Connection::lastInsertRowid() const {
    return sqlite3_last_insert_rowid(db_);
}

bool Connection::inTransaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

std::optional<std::uint32_t> Connection::changeCounter() {
    {
        Statement mode = prepare("PRAGMA journal_mode");
        if (!mode.step() || platform::sameIgnoringAsciiCase(mode.view(0), "wal"))
            return std::nullopt;
    }
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return std::nullopt;
    // Big-endian at offset 24 of the header.
    unsigned char bytes[4] = {};
    if (file->pMethods->xRead(file, bytes, sizeof bytes, 24) != SQLITE_OK) return std::nullopt;
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | bytes[3];
}

Transaction::Transaction(Connection& db) : db_(db) {
    db_.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (done_) return;
    try {
        db_.exec("ROLLBACK");
    } catch (...) {
    }
}

void Transaction::commit() {
    db_.exec("COMMIT");
    done_ = true;
}

SavepointStatements::SavepointStatements(Connection& db)
    : open_(db.prepare("SAVEPOINT unit")),
      release_(db.prepare("RELEASE unit")),
      rollback_(db.prepare("ROLLBACK TO unit")) {}

namespace {

void runAgain(Statement& st) {
    st.reset();
    st.run();
}

}  // namespace

Savepoint::Savepoint(Connection& db) : db_(&db) {
    db_->exec("SAVEPOINT unit");
}

Savepoint::Savepoint(SavepointStatements& prepared) : prepared_(&prepared) {
    runAgain(prepared_->open_);
}

Savepoint::~Savepoint() {
    if (done_) return;
    try {
        if (prepared_) {
            runAgain(prepared_->rollback_);
            runAgain(prepared_->release_);
        } else {
            db_->exec("ROLLBACK TO unit");
            db_->exec("RELEASE unit");
        }
    } catch (...) {
    }
}

void Savepoint::release() {
    if (prepared_)
        runAgain(prepared_->release_);
    else
        db_->exec("RELEASE unit");
    done_ = true;
}

}  // namespace plenvo::store
