#include "store/statement_cache.h"

namespace store::detail {

void StatementCache::attach(sqlite3* db, std::string path)
{
    close();
    db_ = db;
    path_ = std::move(path);
}

void StatementCache::close()
{
    for (auto& entry : statements_)
        sqlite3_finalize(entry.second);
    statements_.clear();
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

sqlite3_stmt* StatementCache::prepared(const std::string& sql) const
{
    auto it = statements_.find(sql);
    if (it == statements_.end()) {
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                          &stmt, nullptr);
        if (rc != SQLITE_OK)
            raiseSqlite(db_, rc, path_);
        it = statements_.emplace(sql, stmt).first;
    }
    return it->second;
}

std::int64_t StatementCache::dataVersion() const
{
    Query q(*this, "PRAGMA data_version");
    q.step();
    return q.integer(0);
}

Query::Query(const StatementCache& cache, const std::string& sql) : cache_(cache), stmt_(cache.prepared(sql))
{
    sqlite3_clear_bindings(stmt_);
}

void Query::bind(const char* name, const Value& v)
{
    const int index = sqlite3_bind_parameter_index(stmt_, name);
    if (index > 0)
        bind(index, v);
}

}  // namespace store::detail
