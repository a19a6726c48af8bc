#pragma once
// Private helpers of the store around the SQLite C API.

#include "store/value.h"

#include <sqlite3.h>

#include <functional>
#include <string>

namespace store::detail {

// The start of every message about a table file: "Таблица «/x/Data/Result.db»".
std::string tableLabel(const std::string& path);
// The start of a message about the directory of a table file: "Каталог «/x/Data»".
std::string directoryLabel(const std::string& path);

// Why the directory of a table file, rather than the file, stops the file from
// being found, created or given its journal: missing, not a directory, or not
// writable (only asked when `forWriting`). Empty when the directory is fine.
std::string directoryProblem(const std::string& path, bool forWriting);

// Raises StoreError for an SQLite failure code, in Russian, naming the file,
// or the directory when that is the cause; system failures say why.
[[noreturn]] void raiseSqlite(sqlite3* db, int code, const std::string& path);

// An identifier quoted for SQL ("a""b").
std::string quoted(const std::string& identifier);

// "Result" for "/x/Data/Result.db".
std::string fileStem(const std::string& path);

// Opens an existing table file read-write (read-only when the file is write
// protected, or when `readOnly`), after checking that it is an SQLite database
// holding an ordinary table named after the file's stem whose rows have their
// own numbers (no field is named rowid, oid or _rowid_); sets the busy timeout
// and full synchronous writes. Nothing in the file is changed: the caller makes
// its own checks, then calls useWriteAheadJournal.
// Read-only opening: no statement can change the table and the journal mode
// stays; a table in a directory it cannot write to is read too. The connection
// still ends as any last one does (journal folded in, -wal and -shm removed).
sqlite3* openTableFile(const std::string& path, int busyTimeoutMs, bool readOnly = false);

// Gives a table file opened for writing its journal (the mode is kept in the
// file): the write-ahead journal on a local file system; on a network one
// (see file_system.h) the rollback journal, switching a file found in the
// write-ahead mode, which raises when another connection holds the file.
// A connection that cannot write keeps the mode the file has.
void useWriteAheadJournal(sqlite3* db, const std::string& path);

// Runs SQL without results; raises naming the file.
void execute(sqlite3* db, const char* sql, const std::string& path);

// Runs `body` in one write transaction: committed when it returns, rolled back
// when it or the commit fails (and the failure raised again).
void inWriteTransaction(sqlite3* db, const std::string& path, const std::function<void()>& body);

// A connection opened with `flags` (never shared between threads), reporting
// failures with extended codes; waits up to `busyTimeoutMs` for a locked file.
// Closed when it goes out of scope.
class Connection {
public:
    Connection(const std::string& path, int flags, int busyTimeoutMs = 0);
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* get() const { return db_; }
    const std::string& path() const { return path_; }

    // Closes for good, reporting a failure to finish the file.
    void close();

private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

// Steps a statement: true while a row is available, false when done; any
// failure raises naming the file.
bool stepStatement(sqlite3* db, sqlite3_stmt* stmt, const std::string& path);

// A prepared statement that is finalised when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql, const std::string& path);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    // True while a row is available; raises on failure.
    bool step();
    void bind(int index, const Value& value);

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    std::string path_;
};

// Binds a value: null, integer, real, text (an empty text is a blank field) or a date as ISO text.
void bindValue(sqlite3* db, sqlite3_stmt* stmt, int index, const Value& value, const std::string& path);

}  // namespace store::detail
