#pragma once
// The state of a Table, shared by the units that implement it: the table's
// place and opening (table.cpp), the cursor over the visible rows
// (table_cursor.cpp) and the editing of a row (table_edit.cpp). What is
// stored is the backend's: a table file or a table on a database server.

#include "store/field_schema.h"
#include "store/row_index.h"
#include "store/table.h"
#include "store/table_backend.h"

#include <functional>
#include <map>
#include <memory>
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
    std::string label;         // "Таблица «…»", where the rows are kept
    std::unique_ptr<detail::TableBackend> backend;
    detail::RowIndex rows;
    std::vector<FieldDef> fields;
    int autoField = -1;        // the field that the store fills (the row number)
    std::int64_t readVersion = 0;   // the backend's data version when the rows were last read afresh

    // The current row.
    std::optional<std::int64_t> current;
    std::int64_t position = -1;   // -1: not yet known
    bool eofFlag = false;
    mutable std::optional<std::vector<Value>> currentValues;

    // The row being edited or inserted.
    State state = State::Inactive;
    std::vector<Value> buffer;
    std::vector<Value> before;   // the edited row as it was read
    std::string insertToken;     // the new row's, kept while it is retried
    std::vector<bool> changed;
    std::int64_t insertPosition = 0;

    std::string filterText;
    std::optional<std::int64_t> filterValue;
    bool filtered = false;

    std::map<int, std::function<void(Change)>> listeners;
    int nextListener = 1;

    [[noreturn]] void fail(const std::string& problem) const { throw StoreError(label + ": " + problem); }
    std::string fieldLabel(const std::string& name) const { return label + ", поле «" + name + "»"; }
    void notify(Change change)
    {
        const auto copy = listeners;
        for (const auto& entry : copy)
            entry.second(change);
    }

    // table.cpp
    int indexOf(const std::string& name) const;   // fails naming the field
    std::vector<Value> readRow(std::int64_t key) const;   // fails when the row is gone
    void setCurrent(std::optional<std::int64_t> key, std::int64_t pos);
    // The visible rows start over with the filter as it now stands; the first is current.
    void restartRows();

    // table_edit.cpp
    bool modified() const;
    void requireWritable() const;
    void startEditing(State newState, std::vector<Value> values);
    void leaveEditing();
    void updateRow();
    void noteInserted(std::int64_t key);
    // After a change refused because another program deleted or changed the
    // row: the edit is dropped and the rows are read afresh near `position`.
    void showOthersChange(std::int64_t position);
};

// Fails naming the file when the table is not open.
void requireActive(const Table& table);

}  // namespace store
