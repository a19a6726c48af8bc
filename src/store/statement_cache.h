#pragma once
// The prepared statements of an open table file, kept for the life of the
// connection, and the use of one of them.

#include "store/sqlite_util.h"

#include <cstdint>
#include <string>
#include <unordered_map>

namespace store::detail {

class StatementCache {
public:
    StatementCache() = default;
    ~StatementCache() { close(); }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // Takes over an open connection to the table file at `path`; the previous
    // one, if any, is closed first.
    void attach(sqlite3* db, std::string path);
    // Finalises every statement and closes the connection.
    void close();

    sqlite3* db() const { return db_; }
    const std::string& path() const { return path_; }
    // The statement for `sql`, prepared on first use; raises naming the file.
    sqlite3_stmt* prepared(const std::string& sql) const;

    // A number that changes whenever another connection commits a change to the file.
    std::int64_t dataVersion() const;

private:
    sqlite3* db_ = nullptr;
    std::string path_;
    mutable std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// A cached statement in use, bindings cleared; reset when done so no read stays open.
class Query {
public:
    Query(const StatementCache& cache, const std::string& sql);
    ~Query() { sqlite3_reset(stmt_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void bind(int index, const Value& v) { bindValue(cache_.db(), stmt_, index, v, cache_.path()); }
    // Binds a named parameter; one the statement does not have is left alone.
    void bind(const char* name, const Value& v);
    // True while a row is available; raises naming the file.
    bool step() { return stepStatement(cache_.db(), stmt_, cache_.path()); }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    sqlite3_stmt* get() const { return stmt_; }

private:
    const StatementCache& cache_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace store::detail
