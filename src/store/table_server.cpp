#include "store/table_server.h"

#include "store/field_schema.h"
#include "store/server_connection.h"
#include "store/sqlite_util.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <numeric>
#include <string_view>

namespace store::detail {

const char* const kRowOrderColumn = "row_order";
const char* const kRowTokenColumn = "row_token";
const char* const kVersionsTable = "fpi_table_versions";

namespace {

// Rows are read in chunks of this many, so a scan of a large table holds
// little in memory and one that stops early reads little.
constexpr int kChunkRows = 20000;

// A value in the server's text form as the field holds it: an empty text is
// null, a date field's ISO text a date.
Value valueOfText(const char* text, int length, const FieldDef& field)
{
    if (length == 0)
        return {};
    if (field.kind == FieldKind::Integer) {
        std::int64_t n = 0;
        if (const auto [end, error] = std::from_chars(text, text + length, n); error == std::errc() && end == text + length)
            return n;
    } else if (field.kind == FieldKind::Real) {
        double r = 0;
        if (const auto [end, error] = std::from_chars(text, text + length, r); error == std::errc() && end == text + length)
            return r;
    } else if (field.kind == FieldKind::Date || field.kind == FieldKind::DateTime) {
        if (const auto date = Date::fromIso(std::string_view(text, static_cast<size_t>(length))))
            return *date;
    }
    return std::string(text, static_cast<size_t>(length));
}

Value valueOf(const PGresult* result, int row, int column, const FieldDef& field)
{
    if (PQgetisnull(result, row, column))
        return {};
    return valueOfText(PQgetvalue(result, row, column), PQgetlength(result, row, column), field);
}

std::int64_t integerAt(const PGresult* result, int row, int column)
{
    std::int64_t n = 0;
    const char* text = PQgetvalue(result, row, column);
    std::from_chars(text, text + PQgetlength(result, row, column), n);
    return n;
}

// A statement's text and its parameters, numbered as they are added.
struct Statement {
    std::string sql;
    std::vector<Param> params;

    std::string add(const Value& value)
    {
        params.push_back(paramOf(value));
        return "$" + std::to_string(params.size());
    }
};

// The key of a line of COPY's text form ("123\n"): by hand, as a million are read at a time.
std::int64_t keyOfLine(std::string_view line)
{
    const bool negative = !line.empty() && line.front() == '-';
    std::int64_t key = 0;
    for (const char c : line.substr(negative ? 1 : 0))
        if (c >= '0' && c <= '9')
            key = key * 10 + (c - '0');
    return negative ? -key : key;
}

// A scanned column's value in a text-form result.
class ServerCell final : public Cell {
public:
    ServerCell(const PGresult* result, int column, const FieldDef& field)
        : result_(result), column_(column), field_(field)
    {
    }
    void setRow(int row) { row_ = row; }

    void key(std::string& out) const override
    {
        if (PQgetisnull(result_, row_, column_)) {
            out.assign(1, '\0');
            return;
        }
        out.assign(1, '\1');
        out.append(PQgetvalue(result_, row_, column_), static_cast<size_t>(PQgetlength(result_, row_, column_)));
    }
    Value value() const override { return valueOf(result_, row_, column_, field_); }

private:
    const PGresult* result_;
    int column_;
    const FieldDef& field_;
    int row_ = 0;
};

// A value of a line of COPY's text form (without the line's end), with the
// escapes the server writes undone.
std::string copyText(std::string_view escaped)
{
    std::string text;
    text.reserve(escaped.size());
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\' || i + 1 == escaped.size()) {
            text += escaped[i];
            continue;
        }
        switch (const char c = escaped[++i]) {
        case 'b': text += '\b'; break;
        case 'f': text += '\f'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'v': text += '\v'; break;
        default: text += c;
        }
    }
    return text;
}

// A scanned column's value in a line of COPY's text form.
class CopyCell final : public Cell {
public:
    explicit CopyCell(const FieldDef& field) : field_(field) {}
    void setLine(std::string_view line)
    {
        text_ = line.substr(0, line.size() - (!line.empty() && line.back() == '\n' ? 1 : 0));
    }

    void key(std::string& out) const override
    {
        if (isNull()) {
            out.assign(1, '\0');
            return;
        }
        out.assign(1, '\1');
        out.append(text_);   // escaped the one way the server escapes: equal values, equal keys
    }
    Value value() const override
    {
        if (isNull())
            return {};
        const std::string text = copyText(text_);
        return valueOfText(text.data(), static_cast<int>(text.size()), field_);
    }

private:
    bool isNull() const { return text_ == "\\N"; }

    const FieldDef& field_;
    std::string_view text_;
};

// A value in COPY's text form: \N for null, backslash escapes for the rest.
void appendCopyValue(std::string& line, const Value& value)
{
    const Param text = paramOf(value);
    if (!text) {
        line += "\\N";
        return;
    }
    for (const char c : *text) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += c;
        }
    }
}

class ServerTable final : public TableBackend {
public:
    ServerTable(const std::string& directory, const std::string& name, int busyTimeoutMs, bool readOnly)
        : name_(name), from_(quoted(name)), connection_(directory, "Таблица «" + name + "»")
    {
        connection_.setLabel("Таблица «" + name + "» (" + connection_.where() + ")");
        if (readOnly)
            connection_.setSession("default_transaction_read_only", "on");
        setBusyTimeout(busyTimeoutMs);
    }

    const std::string& label() const override { return connection_.label(); }

    std::vector<FieldDef> fields(const std::vector<FieldDef>& declared, int& autoField) override
    {
        const ResultPtr columns = connection_.run(
            "SELECT a.attname, format_type(a.atttypid, a.atttypmod), a.attidentity <> '' FROM pg_attribute a "
            "WHERE a.attrelid = to_regclass($1) AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
            {from_});
        std::vector<FieldDef> stored;
        int storedAuto = -1;
        bool ordered = false;
        for (int row = 0; row < PQntuples(columns.get()); ++row) {
            const std::string column = PQgetvalue(columns.get(), row, 0);
            const std::string type = PQgetvalue(columns.get(), row, 1);
            if (column == kRowOrderColumn) {
                ordered = true;
                continue;
            }
            if (column == kRowTokenColumn) {
                tokens_ = true;
                continue;
            }
            if (PQgetvalue(columns.get(), row, 2)[0] == 't')
                storedAuto = static_cast<int>(stored.size());
            stored.push_back(fieldFromColumn(column, type));
            if (type == "integer")
                stored.back().bits = 32;
        }
        if (stored.empty())
            connection_.fail("на сервере нет такой таблицы; создайте таблицы командой fpi-data server-init");
        if (!ordered)
            connection_.fail(std::string("в таблице на сервере нет столбца порядка строк «") + kRowOrderColumn +
                             "»; таблицы для программы создаёт команда fpi-data server-init");
        Schema schema = matchFields(stored, storedAuto, declared, label());
        fields_ = std::move(schema.fields);
        autoField_ = schema.autoField;
        selectList_.clear();
        for (const FieldDef& f : fields_)
            selectList_ += (selectList_.empty() ? "" : ",") + quoted(f.name);
        connection_.listen("fpi_" + name_);
        storedVersion_ = storedVersion();
        reconnectionsSeen_ = connection_.reconnections();
        autoField = autoField_;
        return fields_;
    }

    void setBusyTimeout(int milliseconds) override
    {
        connection_.setSession("lock_timeout", std::to_string(std::max(milliseconds, 1)));
    }

    std::optional<std::vector<Value>> readRow(std::int64_t key) override
    {
        const ResultPtr result = connection_.run(
            "SELECT " + selectList_ + " FROM " + from_ + " WHERE " + kRowOrderColumn + " = $1", {paramOf(key)});
        if (PQntuples(result.get()) == 0)
            return std::nullopt;
        return rowOf(result.get(), 0, 0);
    }

    std::optional<std::int64_t> keyAfter(const Visible& visible, std::optional<std::int64_t> after,
                                         bool forward) override
    {
        Statement s = where(visible, std::string("SELECT ") + kRowOrderColumn);
        if (after)
            s.sql += std::string(" AND ") + kRowOrderColumn + (forward ? " > " : " < ") + s.add(*after);
        s.sql += std::string(" ORDER BY ") + kRowOrderColumn + (forward ? "" : " DESC") + " LIMIT 1";
        const ResultPtr result = connection_.run(s.sql, s.params);
        if (PQntuples(result.get()) == 0)
            return std::nullopt;
        return integerAt(result.get(), 0, 0);
    }

    std::int64_t count(const Visible& visible) override
    {
        const Statement s = where(visible, "SELECT count(*)");
        return integerAt(connection_.run(s.sql, s.params).get(), 0, 0);
    }

    // Rows that have only ever been added have every key from the first to the
    // last: then only their count and ends are read. Otherwise a key a line of
    // COPY, several times quicker for a million than the rows of a result.
    std::vector<std::int64_t> keys(const Visible& visible) override
    {
        // Ordered, the keys are counted in their index alone: quicker than in the table.
        Statement s = where(visible, std::string("SELECT ") + kRowOrderColumn + " AS k");
        s.sql = "SELECT count(*), min(k), max(k) FROM (" + s.sql + " ORDER BY " + kRowOrderColumn + ") AS ordered";
        const ResultPtr range = connection_.run(s.sql, s.params);
        const std::int64_t count = integerAt(range.get(), 0, 0);
        std::vector<std::int64_t> ids;
        if (count == 0)
            return ids;
        const std::int64_t first = integerAt(range.get(), 0, 1);
        if (integerAt(range.get(), 0, 2) - first + 1 == count) {
            ids.resize(static_cast<size_t>(count));
            std::iota(ids.begin(), ids.end(), first);
            return ids;
        }
        ids.reserve(static_cast<size_t>(count));
        connection_.copyOut(copyOfColumn(visible, kRowOrderColumn, true), [&](std::string_view line) {
            ids.push_back(keyOfLine(line));
        });
        return ids;
    }

    // Counting on the server reads the keys there anyway.
    bool countReadsKeys() const override { return true; }

    // Every value: a million of them take some 70 MB, and a search then never
    // asks the server for the column again until the rows change.
    std::size_t valuesWorthKeeping() const override { return std::numeric_limits<std::uint32_t>::max(); }

    std::optional<std::int64_t> locate(const Visible& visible, int field, const Value& value) override
    {
        Statement s = where(visible, std::string("SELECT ") + kRowOrderColumn);
        s.sql += " AND " + quoted(fields_[static_cast<size_t>(field)].name) + " IS NOT DISTINCT FROM " + s.add(value);
        s.sql += std::string(" ORDER BY ") + kRowOrderColumn + " LIMIT 1";
        const ResultPtr result = connection_.run(s.sql, s.params);
        if (PQntuples(result.get()) == 0)
            return std::nullopt;
        return integerAt(result.get(), 0, 0);
    }

    void scan(const Visible& visible, int field, std::optional<std::int64_t> from, bool forward,
              const std::function<bool(const Cell&)>& take) override
    {
        const FieldDef& f = fields_[static_cast<size_t>(field)];
        if (!from) {
            // The whole column, in one COPY: much quicker than in chunks. One
            // that stops early has still had every line read.
            CopyCell cell(f);
            bool taking = true;
            connection_.copyOut(copyOfColumn(visible, quoted(f.name), forward), [&](std::string_view line) {
                if (!taking)
                    return;
                cell.setLine(line);
                taking = take(cell);
            });
            return;
        }
        inChunks(visible, quoted(f.name), from, forward, [&](const PGresult* result) {
            ServerCell cell(result, 1, f);
            for (int row = 0; row < PQntuples(result); ++row) {
                cell.setRow(row);
                if (!take(cell))
                    return false;
            }
            return true;
        });
    }

    void scanRows(const Visible& visible, const std::function<void(std::vector<Value>&&)>& take) override
    {
        inChunks(visible, selectList_, std::nullopt, true, [&](const PGresult* result) {
            for (int row = 0; row < PQntuples(result); ++row)
                take(rowOf(result, row, 1));
            return true;
        });
    }

    // A try that brings a token already stored finds the row stored by an
    // earlier try whose answer was lost.
    std::int64_t insert(const RowChange& row) override
    {
        Statement s;
        std::string columns;
        std::string marks;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (row.changed[i]) {
                columns += (columns.empty() ? "" : ",") + quoted(fields_[i].name);
                marks += (marks.empty() ? "" : ",") + s.add(row.values[i]);
            }
        const bool tokened = tokens_ && !row.token.empty();
        if (tokened) {
            columns += (columns.empty() ? "" : ",") + std::string(kRowTokenColumn);
            marks += (marks.empty() ? "" : ",") + s.add(row.token);
        }
        s.sql = "INSERT INTO " + from_ + (columns.empty() ? " DEFAULT VALUES" : " (" + columns + ") VALUES (" + marks + ")") +
                (tokened ? std::string(" ON CONFLICT (") + kRowTokenColumn + ") DO NOTHING" : std::string()) +
                " RETURNING " + kRowOrderColumn;
        const ResultPtr inserted = connection_.run(s.sql, s.params);
        if (PQntuples(inserted.get()) > 0)
            return integerAt(inserted.get(), 0, 0);
        const ResultPtr earlier = connection_.run(
            std::string("SELECT ") + kRowOrderColumn + " FROM " + from_ + " WHERE " + kRowTokenColumn + " = $1",
            {Param(row.token)});
        if (PQntuples(earlier.get()) == 0)
            connection_.fail("строка не сохранена: сервер не вернул её номер");
        return integerAt(earlier.get(), 0, 0);
    }

    void update(std::int64_t key, const std::vector<Value>& before, const RowChange& row) override
    {
        Statement s;
        std::string assignments;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (row.changed[i])
                assignments += (assignments.empty() ? "" : ",") + quoted(fields_[i].name) + "=" + s.add(row.values[i]);
        if (assignments.empty())
            return;
        s.sql = "UPDATE " + from_ + " SET " + assignments + " WHERE " + kRowOrderColumn + " = " + s.add(key);
        connection_.inTransaction([&] {
            lockUnchanged(key, before);
            connection_.run(s.sql, s.params);
        });
    }

    void remove(std::int64_t key, const std::vector<Value>& before) override
    {
        connection_.inTransaction([&] {
            lockUnchanged(key, before);
            connection_.run("DELETE FROM " + from_ + " WHERE " + kRowOrderColumn + " = $1", {paramOf(key)});
        });
    }

    void appendAll(const std::function<void(const RowSink&)>& produce, bool replacing) override
    {
        connection_.inTransaction([&] {
            connection_.run("LOCK TABLE " + from_ + " IN SHARE ROW EXCLUSIVE MODE");
            if (replacing)
                connection_.run("DELETE FROM " + from_);
            else if (PQntuples(connection_.run("SELECT 1 FROM " + from_ + " LIMIT 1").get()) > 0)
                connection_.fail("в таблице уже есть строки, копировать в неё нельзя");
            connection_.copyIn("COPY " + from_ + " (" + selectList_ + ") FROM STDIN", [&](const auto& putLine) {
                std::string line;
                produce([&](const std::vector<Value>& row) {
                    line.clear();
                    for (size_t i = 0; i < fields_.size(); ++i) {
                        if (i > 0)
                            line += '\t';
                        appendCopyValue(line, i < row.size() ? row[i] : Value());
                    }
                    line += '\n';
                    putLine(line);
                });
            });
            // The server goes on numbering after the highest row number copied in.
            if (autoField_ >= 0) {
                const std::string nn = quoted(fields_[static_cast<size_t>(autoField_)].name);
                connection_.run("SELECT setval(pg_get_serial_sequence($1, $2), max(" + nn + ")) FROM " + from_ +
                                    " HAVING max(" + nn + ") IS NOT NULL",
                                {from_, fields_[static_cast<size_t>(autoField_)].name});
            }
        });
    }

    // Counts the changes others commit as their notifications arrive. After
    // the connection was lost, what was missed meanwhile is seen in the
    // table's stored version; while the server cannot be reached, nothing is
    // known to have changed (and reading the rows fails anyway).
    std::int64_t dataVersion() override
    {
        connection_.takeNotifications([&](bool own, const char* payload) {
            if (!own)
                ++version_;
            std::int64_t stored = 0;
            std::from_chars(payload, payload + std::strlen(payload), stored);
            storedVersion_ = std::max(storedVersion_, stored);
        });
        if (!connection_.reconnectIfLost() || connection_.reconnections() == reconnectionsSeen_)
            return version_;
        reconnectionsSeen_ = connection_.reconnections();
        try {
            const std::int64_t stored = storedVersion();
            if (stored != storedVersion_)
                ++version_;
            storedVersion_ = stored;
        } catch (const StoreError&) {
            ++version_;   // not known: taken as changed
        }
        return version_;
    }

private:
    // The condition that makes a row visible, the row number written out
    // (COPY takes no parameters).
    static std::string condition(const Visible& visible)
    {
        return visible.nn ? "\"NN\" = " + std::to_string(*visible.nn) : std::string("true");
    }

    // "SELECT … FROM t WHERE <visible>".
    Statement where(const Visible& visible, const std::string& select) const
    {
        return {select + " FROM " + from_ + " WHERE " + condition(visible), {}};
    }

    // "COPY (SELECT <column> FROM t WHERE <visible> ORDER BY <row order>) TO STDOUT".
    std::string copyOfColumn(const Visible& visible, const std::string& column, bool forward) const
    {
        return "COPY (SELECT " + column + " FROM " + from_ + " WHERE " + condition(visible) + " ORDER BY " +
               kRowOrderColumn + (forward ? "" : " DESC") + ") TO STDOUT";
    }

    std::vector<Value> rowOf(const PGresult* result, int row, int firstColumn) const
    {
        std::vector<Value> values;
        values.reserve(fields_.size());
        for (size_t i = 0; i < fields_.size(); ++i)
            values.push_back(valueOf(result, row, firstColumn + static_cast<int>(i), fields_[i]));
        return values;
    }

    // Hands the visible rows' `columns` (after the row-order key in column 0)
    // to `take` a chunk at a time, until it returns false or the rows end.
    void inChunks(const Visible& visible, const std::string& columns, std::optional<std::int64_t> from, bool forward,
                  const std::function<bool(const PGresult*)>& take)
    {
        std::optional<std::int64_t> last;
        for (;;) {
            Statement s = where(visible, std::string("SELECT ") + kRowOrderColumn + "," + columns);
            if (last)
                s.sql += std::string(" AND ") + kRowOrderColumn + (forward ? " > " : " < ") + s.add(*last);
            else if (from)
                s.sql += std::string(" AND ") + kRowOrderColumn + (forward ? " >= " : " <= ") + s.add(*from);
            s.sql += std::string(" ORDER BY ") + kRowOrderColumn + (forward ? "" : " DESC") + " LIMIT " +
                     std::to_string(kChunkRows);
            const ResultPtr result = connection_.run(s.sql, s.params);
            const int rows = PQntuples(result.get());
            if (rows == 0 || !take(result.get()) || rows < kChunkRows)
                return;
            last = integerAt(result.get(), rows - 1, 0);
        }
    }

    // Locks the row for the rest of the transaction; refuses when it is gone
    // or (unless `before` is empty) no longer holds `before`.
    void lockUnchanged(std::int64_t key, const std::vector<Value>& before)
    {
        const ResultPtr locked = connection_.run(
            "SELECT " + selectList_ + " FROM " + from_ + " WHERE " + kRowOrderColumn + " = $1 FOR UPDATE",
            {paramOf(key)});
        if (PQntuples(locked.get()) == 0)
            throw RowConflict(label() + ": " + rowGoneText());
        if (!before.empty() && rowOf(locked.get(), 0, 0) != before)
            throw RowConflict(label() + ": " + rowChangedText());
    }

    // The count of the table's committed changes the server keeps.
    std::int64_t storedVersion()
    {
        const ResultPtr result = connection_.run(
            std::string("SELECT version FROM ") + kVersionsTable + " WHERE name = $1", {Param(name_)});
        return PQntuples(result.get()) == 0 ? 0 : integerAt(result.get(), 0, 0);
    }

    std::string name_;
    std::string from_;
    ServerConnection connection_;
    bool tokens_ = false;   // the table keeps new rows' tokens
    std::int64_t version_ = 0;
    std::int64_t storedVersion_ = 0;
    std::int64_t reconnectionsSeen_ = 0;
    std::vector<FieldDef> fields_;
    int autoField_ = -1;
    std::string selectList_;
};

}  // namespace

std::unique_ptr<TableBackend> openServerTable(const std::string& directory, const std::string& name, int busyTimeoutMs,
                                              bool readOnly)
{
    return std::make_unique<ServerTable>(directory, name, busyTimeoutMs, readOnly);
}

}  // namespace store::detail
