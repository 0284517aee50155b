#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

struct sqlite3;
struct sqlite3_stmt;

namespace plenvo::store {

class DbError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The disk, or the database, has no room left for the write.
class DbFullError : public DbError {
  public:
    using DbError::DbError;
};

// A value bound to or read from a statement; monostate is Null.
using DbValue = std::variant<std::monostate, std::string, double, std::int64_t>;

class Statement {
  public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const DbValue& value);  // 1-based
    Statement& bind(int index, const std::string& text);
    // Binds without a copy: the text must outlive the statement's next reset.
    Statement& bindUncopied(int index, std::string_view text);
    // Steps once; true while a row is there.
    bool step();
    void reset();
    // Runs a statement that returns no rows.
    void run();

    bool isNull(int column) const;
    bool isText(int column) const;
    std::optional<std::string> text(int column) const;
    std::optional<double> number(int column) const;
    std::optional<std::int64_t> integer(int column) const;
    DbValue value(int column) const;
    // The column's text without a copy, "" for Null; valid until the next step or reset.
    std::string_view view(int column) const;
    // True when the column holds exactly what binding `value` to a column of its
    // type would store: same storage class and same value (a double bit for bit).
    // A false answer may be one a write would not change; a true one never is.
    bool holds(int column, const DbValue& value) const;
    bool holds(int column, std::string_view text) const;
    int columnIndex(std::string_view name) const;  // -1 when absent; names compared without case

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
};

class Connection {
  public:
    // Opens an existing database file for reading and writing; throws DbError
    // when it is missing or not a database. Waits up to `busyTimeoutMs` for a
    // lock another program holds.
    static Connection open(const std::filesystem::path& path, int busyTimeoutMs = 3000);
    // The same without the right to write, for readers beside the console.
    static Connection openReadOnly(const std::filesystem::path& path, int busyTimeoutMs = 3000);
    // Makes a new database file (installation only).
    static Connection create(const std::filesystem::path& path);

    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Statement prepare(std::string_view sql) { return Statement(db_, sql); }
    void exec(std::string_view sql);
    std::int64_t changes() const;
    // Whether the database holds a table of that name: the console's own
    // tables may be missing from an older one.
    bool tableExists(const std::string& name);
    std::int64_t lastInsertRowid() const;
    // False also when SQLite rolled a transaction back on its own (a full disk).
    bool inTransaction() const;
    // The file's change counter, which every commit by anybody moves on. Read
    // inside a transaction that has read, so that nobody commits meanwhile.
    // nullopt where the file does not tell: in WAL mode commits leave it alone.
    std::optional<std::uint32_t> changeCounter();
    // The handle, for SQL functions the store gives its connections.
    sqlite3* handle() { return db_; }

  private:
    explicit Connection(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

// Rolls back unless commit() was called.
class Transaction {
  public:
    explicit Transaction(Connection& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    Connection& db_;
    bool done_ = false;
};

// A savepoint's statements, prepared once for a unit that runs many times.
class SavepointStatements {
  public:
    explicit SavepointStatements(Connection& db);

  private:
    friend class Savepoint;
    Statement open_;
    Statement release_;
    Statement rollback_;
};

// A nested unit inside a transaction: one file's or one row's writes.
class Savepoint {
  public:
    explicit Savepoint(Connection& db);
    explicit Savepoint(SavepointStatements& prepared);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    void release();

  private:
    Connection* db_ = nullptr;
    SavepointStatements* prepared_ = nullptr;
    bool done_ = false;
};

}  // namespace plenvo::store
