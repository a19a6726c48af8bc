#include "store/table_file.h"

#include "store/field_schema.h"
#include "store/statement_cache.h"

#include <limits>

namespace store::detail {

namespace {

// A scanned column's value in an SQLite result row.
class FileCell final : public Cell {
public:
    FileCell(sqlite3_stmt* stmt, const FieldDef& field) : stmt_(stmt), field_(field) {}

    // The stored form as a key: its type, then its bytes.
    void key(std::string& out) const override
    {
        const int type = sqlite3_column_type(stmt_, 0);
        out.assign(1, static_cast<char>(type));
        if (type == SQLITE_INTEGER) {
            const std::int64_t n = sqlite3_column_int64(stmt_, 0);
            out.append(reinterpret_cast<const char*>(&n), sizeof n);
        } else if (type == SQLITE_FLOAT) {
            const double r = sqlite3_column_double(stmt_, 0);
            out.append(reinterpret_cast<const char*>(&r), sizeof r);
        } else if (type != SQLITE_NULL) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, 0));
            out.append(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, 0)));
        }
    }
    Value value() const override { return columnValue(stmt_, 0, field_); }

private:
    sqlite3_stmt* stmt_;
    const FieldDef& field_;
};

std::string condition(const Visible& visible)
{
    return visible.nn ? "\"NN\"=:nn" : "1";
}

void bindCondition(Query& q, const Visible& visible)
{
    if (visible.nn)
        q.bind(":nn", *visible.nn);
}

class FileTable final : public TableBackend {
public:
    FileTable(std::string path, int busyTimeoutMs, bool readOnly)
        : path_(std::move(path)), label_(tableLabel(path_)), from_(quoted(fileStem(path_))),
          busyTimeoutMs_(busyTimeoutMs), readOnly_(readOnly)
    {
        statements_.attach(openTableFile(path_, busyTimeoutMs, readOnly), path_);
    }

    const std::string& label() const override { return label_; }

    std::vector<FieldDef> fields(const std::vector<FieldDef>& declared, int& autoField) override
    {
        Schema schema = readSchema(statements_, fileStem(path_), declared);
        fields_ = std::move(schema.fields);
        autoField_ = schema.autoField;
        selectList_.clear();
        for (const FieldDef& f : fields_)
            selectList_ += (selectList_.empty() ? "" : ",") + quoted(f.name);
        if (!readOnly_)
            useWriteAheadJournal(db(), path_);   // only once the file is known to be the table
        openedSchemaVersion_ = schemaVersion();
        autoField = autoField_;
        return fields_;
    }

    void setBusyTimeout(int milliseconds) override
    {
        busyTimeoutMs_ = milliseconds;
        sqlite3_busy_timeout(db(), milliseconds);
    }

    std::optional<std::vector<Value>> readRow(std::int64_t key) override
    {
        Query q(statements_, "SELECT " + selectList_ + " FROM " + from_ + " WHERE rowid=?1");
        q.bind(1, key);
        if (!q.step())
            return std::nullopt;
        std::vector<Value> values;
        values.reserve(fields_.size());
        for (size_t i = 0; i < fields_.size(); ++i)
            values.push_back(columnValue(q.get(), static_cast<int>(i), fields_[i]));
        return values;
    }

    std::optional<std::int64_t> keyAfter(const Visible& visible, std::optional<std::int64_t> after,
                                         bool forward) override
    {
        std::string sql = "SELECT rowid FROM " + from_ + " WHERE " + condition(visible);
        if (after)
            sql += forward ? " AND rowid>:r" : " AND rowid<:r";
        sql += forward ? " ORDER BY rowid LIMIT 1" : " ORDER BY rowid DESC LIMIT 1";
        Query q(statements_, sql);
        bindCondition(q, visible);
        if (after)
            q.bind(":r", *after);
        if (!q.step())
            return std::nullopt;
        return q.integer(0);
    }

    std::int64_t count(const Visible& visible) override
    {
        Query q(statements_, "SELECT count(*) FROM " + from_ + " WHERE " + condition(visible));
        bindCondition(q, visible);
        q.step();
        return q.integer(0);
    }

    std::vector<std::int64_t> keys(const Visible& visible) override
    {
        std::vector<std::int64_t> ids;
        Query q(statements_, "SELECT rowid FROM " + from_ + " WHERE " + condition(visible) + " ORDER BY rowid");
        bindCondition(q, visible);
        while (q.step())
            ids.push_back(q.integer(0));
        return ids;
    }

    std::optional<std::int64_t> locate(const Visible& visible, int field, const Value& value) override
    {
        Query q(statements_, "SELECT rowid FROM " + from_ + " WHERE " + condition(visible) + " AND " +
                                 quoted(fields_[static_cast<size_t>(field)].name) + " IS :v ORDER BY rowid LIMIT 1");
        bindCondition(q, visible);
        q.bind(":v", value);
        if (!q.step())
            return std::nullopt;
        return q.integer(0);
    }

    void scan(const Visible& visible, int field, std::optional<std::int64_t> from, bool forward,
              const std::function<bool(const Cell&)>& take) override
    {
        std::string sql = "SELECT " + quoted(fields_[static_cast<size_t>(field)].name) + " FROM " + from_ +
                          " WHERE " + condition(visible);
        if (from)
            sql += forward ? " AND rowid>=:r" : " AND rowid<=:r";
        sql += forward ? " ORDER BY rowid" : " ORDER BY rowid DESC";
        Query q(statements_, sql);
        bindCondition(q, visible);
        if (from)
            q.bind(":r", *from);
        const FileCell cell(q.get(), fields_[static_cast<size_t>(field)]);
        while (q.step())
            if (!take(cell))
                return;
    }

    void scanRows(const Visible& visible, const std::function<void(std::vector<Value>&&)>& take) override
    {
        Query q(statements_,
                "SELECT " + selectList_ + " FROM " + from_ + " WHERE " + condition(visible) + " ORDER BY rowid");
        bindCondition(q, visible);
        while (q.step()) {
            std::vector<Value> values;
            values.reserve(fields_.size());
            for (size_t i = 0; i < fields_.size(); ++i)
                values.push_back(columnValue(q.get(), static_cast<int>(i), fields_[i]));
            take(std::move(values));
        }
    }

    // The row number the file gives a new row must fit its field: a row that
    // would get a larger one is taken back, and nothing is stored.
    std::int64_t insert(const RowChange& row) override
    {
        becomeWritable();
        const int bits = autoField_ >= 0 ? fields_[static_cast<size_t>(autoField_)].bits : 0;
        if (fitsBits(std::numeric_limits<std::int64_t>::max(), bits))
            return insertUnchecked(row);
        std::int64_t rowid = 0;
        inWriteTransaction(db(), path_, [&] {
            rowid = insertUnchecked(row);
            if (!fitsBits(rowid, bits))
                throw StoreError(label_ + ", поле «" + fields_[static_cast<size_t>(autoField_)].name +
                                 "»: номер новой строки " + std::to_string(rowid) + " не помещается в " +
                                 std::to_string(bits) + " бита; строка не сохранена");
        });
        return rowid;
    }

    void update(std::int64_t key, const std::vector<Value>& before, const RowChange& row) override
    {
        std::string assignments;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (row.changed[i])
                assignments += (assignments.empty() ? "" : ",") + quoted(fields_[i].name) + "=?";
        if (assignments.empty())
            return;
        change(key, &before, "UPDATE " + from_ + " SET " + assignments + " WHERE rowid=?", [&](Query& q) {
            int index = 1;
            for (size_t i = 0; i < fields_.size(); ++i)
                if (row.changed[i])
                    q.bind(index++, row.values[i]);
            q.bind(index, key);
        });
    }

    void remove(std::int64_t key, const std::vector<Value>& before) override
    {
        change(key, before.empty() ? nullptr : &before, "DELETE FROM " + from_ + " WHERE rowid=:r",
               [&](Query& q) { q.bind(":r", key); });
    }

    void appendAll(const std::function<void(const RowSink&)>& produce, bool replacing) override
    {
        becomeWritable();
        std::string marks;
        for (size_t i = 0; i < fields_.size(); ++i)
            marks += marks.empty() ? "?" : ",?";
        inWriteTransaction(db(), path_, [&] {
            if (replacing)
                execute(db(), ("DELETE FROM " + from_).c_str(), path_);
            else if (count({}) > 0)
                throw StoreError(label_ + ": в таблице уже есть строки, копировать в неё нельзя");
            Query q(statements_, "INSERT INTO " + from_ + " (" + selectList_ + ") VALUES (" + marks + ")");
            produce([&](const std::vector<Value>& row) {
                for (size_t i = 0; i < fields_.size(); ++i)
                    q.bind(static_cast<int>(i) + 1, i < row.size() ? row[i] : Value());
                q.step();
                sqlite3_reset(q.get());
            });
        });
    }

    std::int64_t dataVersion() override { return statements_.dataVersion(); }

private:
    sqlite3* db() const { return statements_.db(); }

    std::int64_t schemaVersion() const
    {
        Query q(statements_, "PRAGMA schema_version");
        q.step();
        return q.integer(0);
    }

    // A file found write-protected at opening may have been made writable
    // since; a pending row must be able to reach it then.
    void becomeWritable()
    {
        if (readOnly_ || sqlite3_db_readonly(db(), "main") != 1)
            return;
        sqlite3* fresh = openTableFile(path_, busyTimeoutMs_);
        if (sqlite3_db_readonly(fresh, "main") == 1) {
            sqlite3_close_v2(fresh);
            return;
        }
        try {
            useWriteAheadJournal(fresh, path_);
        } catch (...) {
            sqlite3_close_v2(fresh);
            throw;
        }
        statements_.attach(fresh, path_);
    }

    std::int64_t insertUnchecked(const RowChange& row)
    {
        std::string columns;
        std::string marks;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (row.changed[i]) {
                columns += (columns.empty() ? "" : ",") + quoted(fields_[i].name);
                marks += marks.empty() ? "?" : ",?";
            }
        const std::string sql = "INSERT INTO " + from_ +
                                (columns.empty() ? " DEFAULT VALUES" : " (" + columns + ") VALUES (" + marks + ")");
        Query q(statements_, sql);
        int index = 1;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (row.changed[i])
                q.bind(index++, row.values[i]);
        q.step();
        return sqlite3_last_insert_rowid(db());
    }

    // A change to the row known by its rowid, refused when another program
    // has changed the table's fields since it was opened (a field it added
    // could be named rowid, and the change would reach every row sharing that
    // value), or the row itself: gone, or no longer holding `before`.
    void change(std::int64_t key, const std::vector<Value>* before, const std::string& sql,
                const std::function<void(Query&)>& bind)
    {
        becomeWritable();
        inWriteTransaction(db(), path_, [&] {
            if (schemaVersion() != openedSchemaVersion_)
                throw StoreError(label_ + ": поля таблицы изменила другая программа; закройте таблицу и откройте её снова");
            const auto now = readRow(key);
            if (!now)
                throw RowConflict(label_ + ": " + rowGoneText());
            if (before && *now != *before)
                throw RowConflict(label_ + ": " + rowChangedText());
            Query q(statements_, sql);
            bind(q);
            q.step();
        });
    }

    std::string path_;
    std::string label_;
    std::string from_;
    int busyTimeoutMs_;
    bool readOnly_;
    StatementCache statements_;
    std::vector<FieldDef> fields_;
    int autoField_ = -1;
    std::string selectList_;
    std::int64_t openedSchemaVersion_ = 0;
};

}  // namespace

std::unique_ptr<TableBackend> openFileTable(const std::string& path, int busyTimeoutMs, bool readOnly)
{
    return std::make_unique<FileTable>(path, busyTimeoutMs, readOnly);
}

}  // namespace store::detail
