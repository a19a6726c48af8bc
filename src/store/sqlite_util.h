#pragma once
// Private helpers of the store around the SQLite C API.

#include "store/value.h"

#include <sqlite3.h>

#include <string>

namespace store::detail {

// The start of every message about a table file: "Таблица «/x/Data/Result.db»".
std::string tableLabel(const std::string& path);

// Raises StoreError for an SQLite failure code, in Russian, naming the file.
[[noreturn]] void raiseSqlite(sqlite3* db, int code, const std::string& path);

// An identifier quoted for SQL ("a""b").
std::string quoted(const std::string& identifier);

// "Result" for "/x/Data/Result.db".
std::string fileStem(const std::string& path);

// Opens an existing table file read-write (read-only when the file is write
// protected), after checking that it is an SQLite database at all; sets the
// busy timeout, full synchronous writes and the write-ahead journal.
sqlite3* openTableFile(const std::string& path, int busyTimeoutMs);

// Runs SQL without results; raises naming the file.
void execute(sqlite3* db, const char* sql, const std::string& path);

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
