#pragma once
// Where an open table's rows are kept: a table file (table_file.*) or a table
// on a database server (table_server.*). The table's cursor, editing and
// filter (table*.cpp, row_index.*) are the same on both and ask the backend
// only for what is stored. Rows are known by a key that grows in table order
// (a file's rowid, the server table's row-order column). Every failure raises
// StoreError starting with label().

#include "store/table.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace store::detail {

// The rows a query sees: all of them, or only those whose NN holds `nn`.
struct Visible {
    std::optional<std::int64_t> nn;
};

// One value of a scanned column: its stored form as bytes (equal values give
// equal keys) and, when asked, the value as the field holds it.
class Cell {
public:
    virtual ~Cell() = default;
    virtual void key(std::string& out) const = 0;
    virtual Value value() const = 0;
};

// A row being stored: the table's fields, their values, and which were set.
// A new row carries a token, the same for every try to store it, so that a
// try whose answer was lost after the row was in fact stored does not store
// it again (where the backend keeps tokens). Empty for a change.
struct RowChange {
    const std::vector<FieldDef>& fields;
    const std::vector<Value>& values;
    const std::vector<bool>& changed;
    std::string token = {};
};

// A new, random token for a new row.
std::string newRowToken();

using RowSink = std::function<void(const std::vector<Value>&)>;

class TableBackend {
public:
    virtual ~TableBackend() = default;

    // "Таблица «…»" with where it is, for the start of every message.
    virtual const std::string& label() const = 0;
    // The fields: the declared ones checked against the stored table, or the
    // stored table's own; autoField is the one filled by the store itself.
    virtual std::vector<FieldDef> fields(const std::vector<FieldDef>& declared, int& autoField) = 0;
    virtual void setBusyTimeout(int milliseconds) = 0;

    // Reading. readRow gives no value when the row is gone.
    virtual std::optional<std::vector<Value>> readRow(std::int64_t key) = 0;
    virtual std::optional<std::int64_t> keyAfter(const Visible& visible, std::optional<std::int64_t> after,
                                                 bool forward) = 0;
    virtual std::int64_t count(const Visible& visible) = 0;
    virtual std::vector<std::int64_t> keys(const Visible& visible) = 0;
    // True when counting the visible rows costs about what reading their keys
    // does: a count is then taken from the keys, which are kept.
    virtual bool countReadsKeys() const { return false; }
    // How many different values of a field a search keeps in memory before
    // it searches where the rows are stored instead, row by row: a file is
    // read again quickly, a server's rows cost a round of transfers.
    virtual std::size_t valuesWorthKeeping() const { return std::size_t{1} << 16; }
    virtual std::optional<std::int64_t> locate(const Visible& visible, int field, const Value& value) = 0;
    // Hands one field of the visible rows to `take`, in table order from the
    // row with key `from` (the first or, backwards, the last without one),
    // until `take` returns false.
    virtual void scan(const Visible& visible, int field, std::optional<std::int64_t> from, bool forward,
                      const std::function<bool(const Cell&)>& take) = 0;
    // Every field of the visible rows in table order.
    virtual void scanRows(const Visible& visible, const std::function<void(std::vector<Value>&&)>& take) = 0;

    // Writing; each returns once the change is stored durably. insert gives
    // the new row's key. update and remove refuse, changing nothing, when the
    // row is gone or no longer holds `before` (another program changed it);
    // remove checks only that the row is there when `before` is empty.
    virtual std::int64_t insert(const RowChange& row) = 0;
    virtual void update(std::int64_t key, const std::vector<Value>& before, const RowChange& row) = 0;
    virtual void remove(std::int64_t key, const std::vector<Value>& before) = 0;
    // Stores the rows `produce` hands to its sink, with every field as given
    // (the store's own numbers too), all or none. A table that holds rows is
    // refused, or emptied first in the same transaction when `replacing`.
    virtual void appendAll(const std::function<void(const RowSink&)>& produce, bool replacing) = 0;

    // See Table::dataVersion.
    virtual std::int64_t dataVersion() = 0;
};

// A change refused because another program deleted or changed the row.
class RowConflict : public StoreError {
public:
    using StoreError::StoreError;
};

// The messages of a refused change, the same on both backends.
std::string rowGoneText();
std::string rowChangedText();

}  // namespace store::detail
