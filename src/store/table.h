#pragma once
// The table engine: a directory of table files, each an SQLite database that
// holds one table named after the file's stem. A table's own order is rowid
// order. Nothing here shows a window: every failure raises StoreError.

#include "store/value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace store {

// Initialises the engine for the run. Reports failure by its result, never raises.
bool initialiseEngine();

enum class FieldKind { Text, Integer, Real, Date, DateTime, Other };

struct FieldDef {
    std::string name;
    FieldKind kind = FieldKind::Other;
    int size = 0;                 // characters for text, 0 otherwise
    std::string displayLabel;     // empty: the field's name is shown
    int bits = 0;                 // integers: 16 or 32 when setField checks the range, 0 for 64
    // Integers: the values a person may enter (a scale score is 1 to 9); rows
    // stored with others are still read as they are. No range when min >= max.
    std::int64_t minValue = 0;
    std::int64_t maxValue = 0;
    bool hasRange() const { return minValue < maxValue; }
};

// Creates a new table file holding one table named after the file's stem
// (columnsSql is the column list of CREATE TABLE), readable and writable by its
// owner only, with the write-ahead journal. Fails when the file exists.
void createTableFile(const std::string& filePath, const std::string& columnsSql);

// Replaces every row of a table file's table with `rows` (values in the order
// of `columns`), in one transaction: afterwards the table holds exactly these
// rows in this order or, after a failure, what it held before.
void replaceRows(const std::string& filePath, const std::vector<std::string>& columns,
                 const std::vector<std::vector<Value>>& rows);

// A database: a connected directory of table files.
class Database {
public:
    // Fails when the directory does not exist.
    void connect(const std::string& directory);
    void disconnect();
    bool connected() const { return connected_; }
    const std::string& directory() const { return directory_; }

private:
    std::string directory_;
    bool connected_ = false;
};

class Table {
public:
    enum class State { Inactive, Browse, Edit, Insert };
    // What listeners (data sources, grids, memos) are told.
    enum class Change {
        Reset,        // opened, closed, filter switched, rows added or deleted
        Row,          // the values of the current row changed (edit, post, cancel)
        Cursor,       // another row became current
    };

    explicit Table(std::string tableName);   // file name in the directory, e.g. "Result.db"
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Where the table file is found: through a database, or by a directory path.
    // Changing either while the table is open fails.
    void setDatabase(Database* database);
    void setDirectoryPath(const std::string& directory);
    const std::string& tableName() const { return tableName_; }
    std::string filePath() const;
    // How messages name the table: "Таблица «…»" with the file, or with the
    // server and database, once opened; with the file's path before.
    std::string label() const;
    // How long a write waits for another copy of the program before it fails.
    void setBusyTimeout(int milliseconds);
    // Set before opening, for commands that only read: no row can be changed
    // (starting an edit or deleting a row fails), the journal mode stays, a
    // table in a directory without write permission can be read too, and no
    // journal file is left behind. Changing it while the table is open fails.
    void setReadOnly(bool on);

    // Declared fields (the results table declares all sixteen): opening checks
    // that each exists with a compatible kind, and only they are accessible.
    // Without declarations the fields come from the file.
    void declareFields(std::vector<FieldDef> fields);

    // Operations on a table that is not open fail; the queries active(),
    // state(), fields(), eof() (true), recordCount() (0), recNo() (-1) and
    // hasPending() (false) answer without failing.
    // First row current. A file that is refused (not a table, a declared field
    // missing, a field named rowid, oid or _rowid_) is left exactly as it was.
    void open();
    void close();    // a pending row is dropped; call storePending() first to keep it
    bool active() const;
    State state() const;
    const std::vector<FieldDef>& fields() const;
    int fieldIndex(const std::string& name) const;   // fails naming the field and file

    // The current row (the row being edited or inserted while there is one).
    // Null when the field is blank or there is no row; an empty text is blank.
    Value field(const std::string& name) const;
    std::string fieldText(const std::string& name) const;   // fails on null; a date as DD.MM.YYYY
    std::int32_t fieldInt(const std::string& name) const;   // fails on null

    // First makes the first row current. Next moves one row on; on the last row
    // it stays and sets the end flag. The flag is true only after such a Next,
    // or when the table has no visible rows.
    void first();
    void next();
    bool eof() const;

    // Visible rows in table order, by position.
    std::int64_t recordCount() const;
    // Position of the current row, -1 when none; while a row is being inserted,
    // the position at which it is shown (recordCount() for an appended row).
    std::int64_t recNo() const;
    void moveTo(std::int64_t position);         // clamps into range
    std::vector<Value> rowAt(std::int64_t position) const;   // values in the order of fields()
    // Makes current the first visible row whose field equals the value; false
    // (and the cursor unchanged) when there is none.
    bool locate(const std::string& field, const Value& value);
    // Position of the first visible row, scanning from `from` downwards
    // (step +1) or upwards (step -1), whose value of the field satisfies
    // `matches`; -1 when none. The first search of a field reads its values
    // once and keeps them until the rows change (here, by the filter, or by
    // another program); `matches` must answer by the value alone, as a value
    // that repeats is asked about once.
    std::int64_t findRow(const std::string& field, std::int64_t from, int step,
                         const std::function<bool(const Value&)>& matches) const;

    // Editing. append() and insert() start a new row (insert shows it at the
    // cursor; once posted it takes its place at the end of the table order);
    // edit() changes the current row. setField checks that the value fits the
    // field (kind, 16-bit range of small integers, text size) and fails otherwise.
    void append();
    void insert();
    void edit();
    void setField(const std::string& name, const Value& value);
    // Stored durably when it returns; the row becomes current. A new row whose
    // row number would not fit its field's bits is refused and nothing is stored.
    void post();
    void cancel();
    void deleteCurrent();
    bool modified() const;   // the row being edited or inserted has changes

    // A row whose post failed stays pending: the next move, append or filter
    // change first stores it, failing again if it still cannot.
    bool hasPending() const;
    std::vector<std::pair<std::string, Value>> pendingValues() const;
    void storePending();

    // Filter: only the form "NN=" followed by a decimal number is accepted (or
    // an empty expression, which filters nothing out).
    // Setting the expression while filtering is off only records it; every
    // switch of the flag makes the first visible row current.
    void setFilter(const std::string& expression);
    const std::string& filter() const;
    void setFiltered(bool on);
    bool filtered() const;

    // Listeners are called after the change; the id unsubscribes.
    int subscribe(std::function<void(Change)> listener);
    void unsubscribe(int id);

    // Reads the visible rows afresh when another program (another
    // workstation) has changed them since they were read, keeping the current
    // row current while it exists; a pending row is stored first.
    void refresh();

    // Copying a whole table. forEachRow hands every visible row, values in
    // the order of fields(), in table order. appendRows stores the rows that
    // `produce` hands to its sink, with every field given (the row number
    // too, which the table otherwise fills itself), after nothing: it
    // refuses a table that holds rows, and stores all of them or none.
    // replaceRows does the same to a table whose rows it takes out first,
    // in the same transaction.
    using RowSink = std::function<void(const std::vector<Value>&)>;
    void forEachRow(const std::function<void(std::vector<Value>&&)>& take) const;
    void appendRows(const std::function<void(const RowSink&)>& produce);
    void replaceRows(const std::function<void(const RowSink&)>& produce);

    // A number that changes whenever another connection (another program, or
    // another copy of this one) commits a change to the table's file; this
    // table's own writes leave it as it is. 0 when the table is not open.
    // Cheap enough to ask on every answer: no row is read. Compare only
    // values taken while the table stayed open.
    std::int64_t dataVersion() const;

private:
    void storeAll(const std::function<void(const RowSink&)>& produce, bool replacing);

    struct Impl;
    std::string tableName_;
    std::unique_ptr<Impl> d;
};

}  // namespace store
