#pragma once
// The state of a Table, shared by the units that implement it: the table's
// place and connection (table.cpp), the cursor over the visible rows
// (table_cursor.cpp) and the editing of a row (table_edit.cpp).

#include "store/field_schema.h"
#include "store/row_index.h"
#include "store/statement_cache.h"
#include "store/table.h"

#include <functional>
#include <map>
#include <optional>

namespace store {

struct Table::Impl {
    // Where the file is and how it is opened.
    Database* database = nullptr;
    std::string directory;
    int busyTimeoutMs = 3000;
    bool readOnly = false;
    std::vector<FieldDef> declared;

    // While open.
    std::string path;
    detail::StatementCache statements;
    detail::RowIndex rows{statements};
    std::string rowSql;        // reads the fields of one row by rowid
    std::vector<FieldDef> fields;
    int autoField = -1;        // the field that is the row number (INTEGER PRIMARY KEY)
    std::int64_t openedSchemaVersion = 0;

    // The current row.
    std::optional<std::int64_t> current;
    std::int64_t position = -1;   // -1: not yet known
    bool eofFlag = false;
    mutable std::optional<std::vector<Value>> currentValues;

    // The row being edited or inserted.
    State state = State::Inactive;
    std::vector<Value> buffer;
    std::vector<bool> changed;
    std::int64_t insertPosition = 0;

    std::string filterText;
    std::optional<std::int64_t> filterValue;
    bool filtered = false;

    std::map<int, std::function<void(Change)>> listeners;
    int nextListener = 1;

    sqlite3* db() const { return statements.db(); }
    [[noreturn]] void fail(const std::string& problem) const
    {
        throw StoreError(detail::tableLabel(path) + ": " + problem);
    }
    std::string fieldLabel(const std::string& name) const
    {
        return detail::tableLabel(path) + ", поле «" + name + "»";
    }
    void notify(Change change)
    {
        const auto copy = listeners;
        for (const auto& entry : copy)
            entry.second(change);
    }

    // table.cpp
    int indexOf(const std::string& name) const;   // fails naming the field
    std::vector<Value> readRow(std::int64_t rowid) const;
    void setCurrent(std::optional<std::int64_t> rowid, std::int64_t pos);
    // The visible rows start over with the filter as it now stands; the first is current.
    void restartRows();
    std::int64_t schemaVersion() const;

    // table_edit.cpp
    bool modified() const;
    void requireWritable() const;
    void startEditing(State newState, std::vector<Value> values);
    void leaveEditing();
    std::int64_t insertRow();
    void updateRow();
    void deleteRow(std::int64_t rowid);
    void noteInserted(std::int64_t rowid);

private:
    std::string changedColumns(const char* separator, const char* suffix) const;
    void bindChanged(detail::Query& q) const;
    void becomeWritable();
    std::int64_t insertRowUnchecked();
    void changeRow(const std::string& sql, const std::function<void(detail::Query&)>& bind);
};

// Fails naming the file when the table is not open.
void requireActive(const Table& table);

}  // namespace store
