#include "store/table.h"

#include "base/utf8.h"
#include "store/sqlite_util.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>

namespace store {

using detail::quoted;
using detail::tableLabel;

namespace {

constexpr int kDefaultBusyTimeoutMs = 3000;

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

// A field as the file declares it: the kind from the declared type, the size
// of a text from "(n)".
FieldDef fieldFromColumn(const std::string& name, std::string type)
{
    for (char& c : type)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    FieldDef f;
    f.name = name;
    if (contains(type, "INT")) {
        f.kind = FieldKind::Integer;
        f.bits = contains(type, "SMALLINT") || contains(type, "INT2") ? 16 : 0;
    } else if (contains(type, "CHAR") || contains(type, "TEXT") || contains(type, "CLOB")) {
        f.kind = FieldKind::Text;
        const auto open = type.find('(');
        if (open != std::string::npos)
            f.size = std::atoi(type.c_str() + open + 1);
    } else if (contains(type, "DATETIME") || contains(type, "TIMESTAMP") || contains(type, "TIME")) {
        f.kind = FieldKind::DateTime;
    } else if (contains(type, "DATE")) {
        f.kind = FieldKind::Date;
    } else if (contains(type, "REAL") || contains(type, "FLOA") || contains(type, "DOUB") ||
               contains(type, "NUMERIC") || contains(type, "DECIMAL")) {
        f.kind = FieldKind::Real;
    }
    return f;
}

bool compatible(FieldKind declared, FieldKind inFile)
{
    switch (declared) {
    case FieldKind::Date:
    case FieldKind::DateTime:
        return inFile == FieldKind::Date || inFile == FieldKind::DateTime;
    case FieldKind::Real:
        return inFile == FieldKind::Real || inFile == FieldKind::Integer;
    case FieldKind::Other:
        return true;
    default:
        return declared == inFile;
    }
}

const char* kindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text:
        return "текстом";
    case FieldKind::Integer:
        return "целым числом";
    case FieldKind::Real:
        return "числом";
    case FieldKind::Date:
    case FieldKind::DateTime:
        return "датой";
    default:
        return "значением";
    }
}

int utf8Length(const std::string& s)
{
    return static_cast<int>(base::utf8Length(s));
}

[[noreturn]] void reject(const std::string& label, const std::string& problem)
{
    throw StoreError(label + ": " + problem);
}

bool fitsBits(std::int64_t n, int bits)
{
    const std::int64_t limit = bits > 0 && bits < 64 ? std::int64_t{1} << (bits - 1) : 0;
    return limit == 0 || (n >= -limit && n < limit);
}

std::int64_t fittedInteger(const FieldDef& field, const Value& v, const std::string& label)
{
    std::int64_t n = 0;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        n = *i;
    else if (const auto* r = std::get_if<double>(&v); r && std::trunc(*r) == *r && std::fabs(*r) < 9e18)
        n = static_cast<std::int64_t>(*r);
    else if (std::holds_alternative<std::string>(v))
        n = toInt32(v, label);
    else
        reject(label, "ожидается целое число");
    if (!fitsBits(n, field.bits))
        reject(label, "число " + std::to_string(n) + " не помещается в " + std::to_string(field.bits) + " бит");
    return n;
}

double fittedReal(const Value& v, const std::string& label)
{
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    if (const auto* r = std::get_if<double>(&v))
        return *r;
    if (const auto* text = std::get_if<std::string>(&v)) {
        char* end = nullptr;
        const double r = std::strtod(text->c_str(), &end);
        if (end != text->c_str() && *end == '\0')
            return r;
    }
    reject(label, "ожидается число");
}

Date fittedDate(const Value& v, const std::string& label)
{
    if (const auto* d = std::get_if<Date>(&v); d && d->valid())
        return *d;
    if (const auto* text = std::get_if<std::string>(&v))
        if (const auto d = Date::fromIso(*text))
            return *d;
    reject(label, "ожидается дата");
}

// The value as the field stores it (an empty text is a blank field), or a
// failure naming the field.
Value fitted(const FieldDef& field, const Value& v, const std::string& label)
{
    const auto* text = std::get_if<std::string>(&v);
    if (isNull(v) || (text && text->empty()))
        return Value();
    switch (field.kind) {
    case FieldKind::Text:
        if (!text)
            reject(label, "ожидается текст");
        if (field.size > 0 && utf8Length(*text) > field.size)
            reject(label, "текст длиннее " + std::to_string(field.size) + " символов");
        return v;
    case FieldKind::Integer:
        return fittedInteger(field, v, label);
    case FieldKind::Real:
        return fittedReal(v, label);
    case FieldKind::Date:
    case FieldKind::DateTime:
        return fittedDate(v, label);
    default:
        return v;
    }
}

std::optional<std::int64_t> parseFilter(const std::string& expression)
{
    const std::string prefix = "NN=";
    if (expression.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    std::string digits = expression.substr(prefix.size());
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative)
        digits.erase(0, 1);
    if (digits.empty() || digits.size() > 18 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const std::int64_t n = std::stoll(digits);
    return negative ? -n : n;
}

}  // namespace

struct Table::Impl {
    Database* database = nullptr;
    std::string directory;
    int busyTimeoutMs = kDefaultBusyTimeoutMs;
    bool readOnly = false;
    std::vector<FieldDef> declared;

    // While open.
    sqlite3* db = nullptr;
    std::string path;
    std::string from;          // quoted table name
    std::string selectList;    // quoted columns of fields, in order
    std::string rowSql;        // reads the fields of one row by rowid
    std::vector<FieldDef> fields;
    int autoField = -1;        // the field that is the row number (INTEGER PRIMARY KEY)
    std::int64_t openedSchemaVersion = 0;
    mutable std::unordered_map<std::string, sqlite3_stmt*> statements;

    // The current row and what is known of the visible rows. Positions and
    // counts are found only when asked for: opening a large table stays cheap.
    std::optional<std::int64_t> current;
    std::int64_t position = -1;   // -1: not yet known
    bool eofFlag = false;
    mutable std::optional<std::vector<Value>> currentValues;
    mutable std::optional<std::vector<std::int64_t>> rowids;
    mutable std::optional<std::int64_t> count;

    State state = State::Inactive;
    std::vector<Value> buffer;
    std::vector<bool> changed;
    std::int64_t insertPosition = 0;

    std::string filterText;
    std::optional<std::int64_t> filterValue;
    bool filtered = false;

    std::map<int, std::function<void(Change)>> listeners;
    int nextListener = 1;

    ~Impl() { closeFile(); }

    void closeFile()
    {
        for (auto& entry : statements)
            sqlite3_finalize(entry.second);
        statements.clear();
        sqlite3_close_v2(db);
        db = nullptr;
    }

    [[noreturn]] void fail(const std::string& problem) const { throw StoreError(tableLabel(path) + ": " + problem); }

    void notify(Change change)
    {
        const auto copy = listeners;
        for (const auto& entry : copy)
            entry.second(change);
    }

    // ---- statements -------------------------------------------------------

    // A cached statement in use; reset when done so no read stays open.
    class Query {
    public:
        Query(const Impl& d, const std::string& sql) : d_(d)
        {
            auto& cache = d.statements;
            auto it = cache.find(sql);
            if (it == cache.end()) {
                sqlite3_stmt* stmt = nullptr;
                const int rc = sqlite3_prepare_v3(d.db, sql.c_str(), static_cast<int>(sql.size()),
                                                  SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
                if (rc != SQLITE_OK)
                    detail::raiseSqlite(d.db, rc, d.path);
                it = cache.emplace(sql, stmt).first;
            }
            stmt_ = it->second;
            sqlite3_clear_bindings(stmt_);
            const int nn = sqlite3_bind_parameter_index(stmt_, ":nn");
            if (nn > 0)
                bind(nn, d.filterValue ? Value(*d.filterValue) : Value());
        }
        ~Query() { sqlite3_reset(stmt_); }
        Query(const Query&) = delete;
        Query& operator=(const Query&) = delete;

        void bind(int index, const Value& v) { detail::bindValue(d_.db, stmt_, index, v, d_.path); }
        void bind(const char* name, const Value& v) { bind(sqlite3_bind_parameter_index(stmt_, name), v); }
        bool step()
        {
            const int rc = sqlite3_step(stmt_);
            if (rc == SQLITE_ROW)
                return true;
            if (rc != SQLITE_DONE)
                detail::raiseSqlite(d_.db, rc, d_.path);
            return false;
        }
        std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
        sqlite3_stmt* get() const { return stmt_; }

    private:
        const Impl& d_;
        sqlite3_stmt* stmt_ = nullptr;
    };

    // The condition that makes a row visible.
    std::string visible() const
    {
        return filtered && filterValue ? "\"NN\"=:nn" : "1";
    }

    Value columnValue(sqlite3_stmt* stmt, int column, const FieldDef& field) const
    {
        switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_INTEGER:
            return sqlite3_column_int64(stmt, column);
        case SQLITE_FLOAT:
            return sqlite3_column_double(stmt, column);
        case SQLITE_NULL:
            return {};
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            std::string s(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
            if (s.empty())
                return {};
            if (field.kind == FieldKind::Date || field.kind == FieldKind::DateTime)
                if (const auto date = Date::fromIso(s))
                    return *date;
            return s;
        }
        }
    }

    std::vector<Value> readRow(std::int64_t rowid) const
    {
        Query q(*this, rowSql);
        q.bind(1, rowid);
        if (!q.step())
            fail("строка удалена другой копией программы");
        std::vector<Value> values;
        values.reserve(fields.size());
        for (size_t i = 0; i < fields.size(); ++i)
            values.push_back(columnValue(q.get(), static_cast<int>(i), fields[i]));
        return values;
    }

    std::optional<std::int64_t> visibleRowAfter(std::optional<std::int64_t> after, bool forward = true) const
    {
        std::string sql = "SELECT rowid FROM " + from + " WHERE " + visible();
        if (after)
            sql += forward ? " AND rowid>:r" : " AND rowid<:r";
        sql += forward ? " ORDER BY rowid LIMIT 1" : " ORDER BY rowid DESC LIMIT 1";
        Query q(*this, sql);
        if (after)
            q.bind(":r", *after);
        if (!q.step())
            return std::nullopt;
        return q.integer(0);
    }

    std::int64_t visibleCount() const
    {
        if (rowids)
            return static_cast<std::int64_t>(rowids->size());
        if (!count) {
            Query q(*this, "SELECT count(*) FROM " + from + " WHERE " + visible());
            q.step();
            count = q.integer(0);
        }
        return *count;
    }

    const std::vector<std::int64_t>& visibleRowids() const
    {
        if (!rowids) {
            std::vector<std::int64_t> ids;
            if (count)
                ids.reserve(static_cast<size_t>(*count));
            Query q(*this, "SELECT rowid FROM " + from + " WHERE " + visible() + " ORDER BY rowid");
            while (q.step())
                ids.push_back(q.integer(0));
            rowids = std::move(ids);
            count.reset();
        }
        return *rowids;
    }

    void forgetVisibleRows()
    {
        rowids.reset();
        count.reset();
    }

    void setCurrent(std::optional<std::int64_t> rowid, std::int64_t pos)
    {
        current = rowid;
        position = rowid ? pos : -1;
        eofFlag = false;
        currentValues.reset();
    }

    // ---- fields -------------------------------------------------------------

    int indexOf(const std::string& name) const
    {
        for (size_t i = 0; i < fields.size(); ++i)
            if (sameName(fields[i].name, name))
                return static_cast<int>(i);
        fail("нет поля «" + name + "»");
    }

    std::string fieldLabel(const std::string& name) const { return tableLabel(path) + ", поле «" + name + "»"; }

    void loadFields(const std::string& stem)
    {
        Query q(*this, "SELECT name, type, pk FROM pragma_table_info(:t)");
        q.bind(":t", stem);
        std::vector<FieldDef> inFile;
        std::vector<bool> primary;   // the column is the row number (a sole INTEGER primary key)
        while (q.step()) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 0));
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 1));
            inFile.push_back(fieldFromColumn(name ? name : "", type ? type : ""));
            primary.push_back(sqlite3_column_int(q.get(), 2) == 1 && type && sameName(type, "INTEGER"));
        }
        const auto autoColumn = [&](size_t i) { return primary[i] && std::count(primary.begin(), primary.end(), true) == 1; };
        fields.clear();
        autoField = -1;
        if (declared.empty()) {
            fields = inFile;
            for (size_t i = 0; i < inFile.size(); ++i)
                if (autoColumn(i))
                    autoField = static_cast<int>(i);
        }
        for (const FieldDef& want : declared) {
            const auto it = std::find_if(inFile.begin(), inFile.end(),
                                         [&](const FieldDef& f) { return sameName(f.name, want.name); });
            if (it == inFile.end())
                fail("нет поля «" + want.name + "»");
            if (!compatible(want.kind, it->kind))
                fail("поле «" + want.name + "» должно быть " + kindName(want.kind));
            if (autoColumn(static_cast<size_t>(it - inFile.begin())))
                autoField = static_cast<int>(fields.size());
            fields.push_back(want);
        }
        selectList.clear();
        for (const FieldDef& f : fields)
            selectList += (selectList.empty() ? "" : ",") + quoted(f.name);
        rowSql = "SELECT " + selectList + " FROM " + from + " WHERE rowid=?1";
    }

    // ---- editing ----------------------------------------------------------

    bool modified() const { return std::find(changed.begin(), changed.end(), true) != changed.end(); }

    std::string changedColumns(const char* separator, const char* suffix) const
    {
        std::string list;
        for (size_t i = 0; i < fields.size(); ++i)
            if (changed[i])
                list += (list.empty() ? "" : separator) + quoted(fields[i].name) + suffix;
        return list;
    }

    void bindChanged(Query& q) const
    {
        int index = 1;
        for (size_t i = 0; i < fields.size(); ++i)
            if (changed[i])
                q.bind(index++, buffer[i]);
    }

    // A file found write-protected at opening may have been made writable
    // since; a pending row must be able to reach it then.
    void becomeWritable()
    {
        if (readOnly || sqlite3_db_readonly(db, "main") != 1)
            return;
        sqlite3* fresh = detail::openTableFile(path, busyTimeoutMs);
        if (sqlite3_db_readonly(fresh, "main") == 1) {
            sqlite3_close_v2(fresh);
            return;
        }
        try {
            detail::useWriteAheadJournal(fresh, path);
        } catch (...) {
            sqlite3_close_v2(fresh);
            throw;
        }
        closeFile();
        db = fresh;
    }

    // The row number the file gives a new row must fit its field: a row that
    // would get a larger one is taken back, and nothing is stored.
    std::int64_t insertRow()
    {
        becomeWritable();
        const int bits = autoField >= 0 ? fields[static_cast<size_t>(autoField)].bits : 0;
        if (fitsBits(std::numeric_limits<std::int64_t>::max(), bits))
            return insertRowUnchecked();
        std::int64_t rowid = 0;
        detail::inWriteTransaction(db, path, [&] {
            rowid = insertRowUnchecked();
            if (!fitsBits(rowid, bits))
                throw StoreError(fieldLabel(fields[static_cast<size_t>(autoField)].name) + ": номер новой строки " +
                                 std::to_string(rowid) + " не помещается в " + std::to_string(bits) +
                                 " бита; строка не сохранена");
        });
        return rowid;
    }

    std::int64_t insertRowUnchecked()
    {
        const std::string columns = changedColumns(",", "");
        std::string sql = "INSERT INTO " + from;
        if (columns.empty()) {
            sql += " DEFAULT VALUES";
        } else {
            std::string marks;
            for (size_t i = 0; i < fields.size(); ++i)
                if (changed[i])
                    marks += marks.empty() ? "?" : ",?";
            sql += " (" + columns + ") VALUES (" + marks + ")";
        }
        Query q(*this, sql);
        bindChanged(q);
        q.step();
        return sqlite3_last_insert_rowid(db);
    }

    std::int64_t schemaVersion() const
    {
        Query q(*this, "PRAGMA schema_version");
        q.step();
        return q.integer(0);
    }

    // A change to the row known by its rowid, refused when another program has
    // changed the table's fields since it was opened: a field it added could be
    // named rowid, and the change would reach every row sharing that value.
    void changeRow(const std::string& sql, const std::function<void(Query&)>& bind)
    {
        becomeWritable();
        detail::inWriteTransaction(db, path, [&] {
            if (schemaVersion() != openedSchemaVersion)
                fail("поля таблицы изменила другая программа; закройте таблицу и откройте её снова");
            Query q(*this, sql);
            bind(q);
            q.step();
        });
    }

    void updateRow()
    {
        const std::string assignments = changedColumns(",", "=?");
        if (assignments.empty())
            return;
        changeRow("UPDATE " + from + " SET " + assignments + " WHERE rowid=?", [&](Query& q) {
            bindChanged(q);
            q.bind(static_cast<int>(std::count(changed.begin(), changed.end(), true)) + 1, *current);
        });
    }

    // Keeps the known visible rows in step with a row just added at the end of the table order.
    void noteInserted(std::int64_t rowid)
    {
        if (filtered) {
            forgetVisibleRows();
            setCurrent(rowid, -1);
            return;
        }
        if (rowids) {
            const auto at = std::lower_bound(rowids->begin(), rowids->end(), rowid);
            const auto pos = at - rowids->begin();
            rowids->insert(at, rowid);
            setCurrent(rowid, pos);
            return;
        }
        const bool last = !visibleRowAfter(rowid);
        if (count)
            ++*count;
        setCurrent(rowid, last && count ? *count - 1 : -1);
    }

    void leaveEditing()
    {
        state = State::Browse;
        buffer.clear();
        changed.clear();
    }

    void requireWritable() const
    {
        if (readOnly)
            fail("таблица открыта только для чтения, изменять её нельзя");
    }

    void startEditing(State newState, std::vector<Value> values)
    {
        requireWritable();
        state = newState;
        buffer = std::move(values);
        changed.assign(fields.size(), false);
    }
};

Table::Table(std::string tableName) : tableName_(std::move(tableName)), d(std::make_unique<Impl>()) {}

Table::~Table() = default;

void Table::setDatabase(Database* database)
{
    if (active())
        d->fail("нельзя сменить базу данных открытой таблицы");
    d->database = database;
    d->directory.clear();
}

void Table::setDirectoryPath(const std::string& directory)
{
    if (active())
        d->fail("нельзя сменить каталог открытой таблицы");
    d->database = nullptr;
    d->directory = directory;
}

std::string Table::filePath() const
{
    std::string dir = d->database ? d->database->directory() : d->directory;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir + tableName_;
}

void Table::setBusyTimeout(int milliseconds)
{
    d->busyTimeoutMs = milliseconds;
    if (d->db)
        sqlite3_busy_timeout(d->db, milliseconds);
}

void Table::setReadOnly(bool on)
{
    if (active())
        d->fail("нельзя сменить режим открытой таблицы");
    d->readOnly = on;
}

void Table::declareFields(std::vector<FieldDef> fields)
{
    if (active())
        d->fail("нельзя менять поля открытой таблицы");
    d->declared = std::move(fields);
}

void Table::open()
{
    if (active())
        return;
    d->path = filePath();
    if (d->database && !d->database->connected())
        d->fail("база данных не подключена");
    if (!d->database && d->directory.empty())
        d->fail("не указан каталог таблицы");
    d->db = detail::openTableFile(d->path, d->busyTimeoutMs, d->readOnly);
    try {
        const std::string stem = detail::fileStem(d->path);
        d->from = quoted(stem);
        d->loadFields(stem);
        if (!d->readOnly)
            detail::useWriteAheadJournal(d->db, d->path);   // only once the file is known to be the table
        d->openedSchemaVersion = d->schemaVersion();
        if (d->filtered && d->filterValue)
            d->indexOf("NN");
        d->forgetVisibleRows();
        d->setCurrent(d->visibleRowAfter(std::nullopt), 0);
    } catch (...) {
        d->closeFile();
        throw;
    }
    d->state = State::Browse;
    d->notify(Change::Reset);
}

void Table::close()
{
    if (!active())
        return;
    d->closeFile();
    d->state = State::Inactive;
    d->buffer.clear();
    d->changed.clear();
    d->fields.clear();
    d->forgetVisibleRows();
    d->setCurrent(std::nullopt, -1);
    d->notify(Change::Reset);
}

bool Table::active() const
{
    return d->state != State::Inactive;
}

Table::State Table::state() const
{
    return d->state;
}

const std::vector<FieldDef>& Table::fields() const
{
    return d->fields;
}

namespace {
void requireActive(const Table& table)
{
    if (!table.active())
        throw StoreError(tableLabel(table.filePath()) + ": таблица не открыта");
}
}  // namespace

int Table::fieldIndex(const std::string& name) const
{
    requireActive(*this);
    return d->indexOf(name);
}

Value Table::field(const std::string& name) const
{
    const int index = fieldIndex(name);
    if (d->state == State::Insert || d->state == State::Edit)
        return d->buffer[static_cast<size_t>(index)];
    if (!d->current)
        return {};
    if (!d->currentValues)
        d->currentValues = d->readRow(*d->current);
    return (*d->currentValues)[static_cast<size_t>(index)];
}

std::string Table::fieldText(const std::string& name) const
{
    const Value v = field(name);
    if (!d->current && d->state == State::Browse)
        d->fail("в таблице нет строк, поле «" + name + "» прочитать нельзя");
    return toText(v, d->fieldLabel(name));
}

std::int32_t Table::fieldInt(const std::string& name) const
{
    const Value v = field(name);
    if (!d->current && d->state == State::Browse)
        d->fail("в таблице нет строк, поле «" + name + "» прочитать нельзя");
    return toInt32(v, d->fieldLabel(name));
}

void Table::first()
{
    requireActive(*this);
    storePending();
    d->setCurrent(d->visibleRowAfter(std::nullopt), 0);
    d->notify(Change::Cursor);
}

void Table::next()
{
    requireActive(*this);
    storePending();
    const auto following = d->current ? d->visibleRowAfter(d->current) : std::nullopt;
    if (!following) {
        d->eofFlag = true;
        return;
    }
    d->setCurrent(following, d->position >= 0 ? d->position + 1 : -1);
    d->notify(Change::Cursor);
}

bool Table::eof() const
{
    if (!active())
        return true;
    if (d->state == State::Insert)
        return false;
    return d->eofFlag || !d->current;
}

std::int64_t Table::recordCount() const
{
    return active() ? d->visibleCount() : 0;
}

std::int64_t Table::recNo() const
{
    if (!active())
        return -1;
    if (d->state == State::Insert)
        return d->insertPosition;
    if (!d->current)
        return -1;
    if (d->position < 0) {
        const auto& ids = d->visibleRowids();
        d->position = std::lower_bound(ids.begin(), ids.end(), *d->current) - ids.begin();
    }
    return d->position;
}

void Table::moveTo(std::int64_t position)
{
    requireActive(*this);
    storePending();
    const auto& ids = d->visibleRowids();
    if (ids.empty()) {
        d->setCurrent(std::nullopt, -1);
    } else {
        const std::int64_t at = std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(ids.size()) - 1);
        d->setCurrent(ids[static_cast<size_t>(at)], at);
    }
    d->notify(Change::Cursor);
}

std::vector<Value> Table::rowAt(std::int64_t position) const
{
    requireActive(*this);
    const auto& ids = d->visibleRowids();
    if (position < 0 || position >= static_cast<std::int64_t>(ids.size()))
        d->fail("нет строки с номером " + std::to_string(position + 1));
    return d->readRow(ids[static_cast<size_t>(position)]);
}

bool Table::locate(const std::string& field, const Value& value)
{
    const int index = fieldIndex(field);
    storePending();
    std::optional<std::int64_t> found;
    {
        Impl::Query q(*d, "SELECT rowid FROM " + d->from + " WHERE " + d->visible() + " AND " +
                              quoted(d->fields[static_cast<size_t>(index)].name) + " IS :v ORDER BY rowid LIMIT 1");
        q.bind(":v", value);
        if (q.step())
            found = q.integer(0);
    }
    if (!found)
        return false;
    d->setCurrent(found, -1);
    d->notify(Change::Cursor);
    return true;
}

std::int64_t Table::findRow(const std::string& field, std::int64_t from, int step,
                            const std::function<bool(const Value&)>& matches) const
{
    const int index = fieldIndex(field);
    const auto& ids = d->visibleRowids();
    const auto size = static_cast<std::int64_t>(ids.size());
    if (size == 0 || (step >= 0 && from >= size) || (step < 0 && from < 0))
        return -1;
    from = std::clamp<std::int64_t>(from, 0, size - 1);
    const FieldDef& def = d->fields[static_cast<size_t>(index)];
    const std::string sql = "SELECT " + quoted(def.name) + " FROM " + d->from + " WHERE " + d->visible() +
                            (step >= 0 ? " AND rowid>=:r ORDER BY rowid" : " AND rowid<=:r ORDER BY rowid DESC");
    Impl::Query q(*d, sql);
    q.bind(":r", ids[static_cast<size_t>(from)]);
    const std::int64_t direction = step >= 0 ? 1 : -1;
    for (std::int64_t position = from; q.step(); position += direction)
        if (matches(d->columnValue(q.get(), 0, def)))
            return position;
    return -1;
}

void Table::append()
{
    requireActive(*this);
    storePending();
    d->startEditing(State::Insert, std::vector<Value>(d->fields.size()));
    d->insertPosition = d->visibleCount();
    d->notify(Change::Reset);
}

void Table::insert()
{
    requireActive(*this);
    storePending();
    const std::int64_t at = std::max<std::int64_t>(recNo(), 0);
    d->startEditing(State::Insert, std::vector<Value>(d->fields.size()));
    d->insertPosition = at;
    d->notify(Change::Reset);
}

void Table::edit()
{
    requireActive(*this);
    if (d->state != State::Browse)
        return;
    if (!d->current)
        d->fail("в таблице нет строк, изменять нечего");
    d->startEditing(State::Edit, d->readRow(*d->current));
    d->notify(Change::Row);
}

void Table::setField(const std::string& name, const Value& value)
{
    const auto index = static_cast<size_t>(fieldIndex(name));
    if (d->state == State::Browse)
        d->fail("поле «" + name + "» можно менять только при добавлении или изменении строки");
    if (static_cast<int>(index) == d->autoField)
        d->fail("поле «" + name + "» заполняется автоматически");
    d->buffer[index] = fitted(d->fields[index], value, d->fieldLabel(name));
    d->changed[index] = true;
    d->notify(Change::Row);
}

void Table::post()
{
    requireActive(*this);
    if (d->state == State::Insert) {
        const std::int64_t rowid = d->insertRow();
        d->leaveEditing();
        d->noteInserted(rowid);
        d->notify(Change::Reset);
    } else if (d->state == State::Edit) {
        d->updateRow();
        d->leaveEditing();
        d->currentValues.reset();
        d->notify(Change::Row);
    }
}

void Table::cancel()
{
    if (d->state == State::Insert) {
        d->leaveEditing();
        d->notify(Change::Reset);
    } else if (d->state == State::Edit) {
        d->leaveEditing();
        d->notify(Change::Row);
    }
}

void Table::deleteCurrent()
{
    requireActive(*this);
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    d->requireWritable();
    if (!d->current)
        d->fail("в таблице нет строк, удалять нечего");
    const std::int64_t rowid = *d->current;
    const std::int64_t position = recNo();
    d->changeRow("DELETE FROM " + d->from + " WHERE rowid=:r", [&](Impl::Query& q) { q.bind(":r", rowid); });
    if (d->rowids)
        d->rowids->erase(d->rowids->begin() + position);
    else if (d->count)
        --*d->count;
    if (const auto following = d->visibleRowAfter(rowid))
        d->setCurrent(following, position);
    else
        d->setCurrent(d->visibleRowAfter(rowid, false), position - 1);
    d->notify(Change::Reset);
}

bool Table::modified() const
{
    return d->modified();
}

bool Table::hasPending() const
{
    return (d->state == State::Insert || d->state == State::Edit) && d->modified();
}

std::vector<std::pair<std::string, Value>> Table::pendingValues() const
{
    std::vector<std::pair<std::string, Value>> values;
    if (!hasPending())
        return values;
    for (size_t i = 0; i < d->fields.size(); ++i)
        values.emplace_back(d->fields[i].name, d->buffer[i]);
    return values;
}

void Table::storePending()
{
    if (hasPending())
        post();
    else
        cancel();
}

void Table::setFilter(const std::string& expression)
{
    const auto value = parseFilter(expression);
    if (!value && !expression.empty())
        throw StoreError(tableLabel(filePath()) + ": неверное условие отбора «" + expression +
                         "»; допускается только NN= и целое число");
    if (active() && d->filtered)
        storePending();
    d->filterText = expression;
    d->filterValue = value;
    if (active() && d->filtered) {
        d->forgetVisibleRows();
        d->setCurrent(d->visibleRowAfter(std::nullopt), 0);
        d->notify(Change::Reset);
    }
}

const std::string& Table::filter() const
{
    return d->filterText;
}

void Table::setFiltered(bool on)
{
    if (on == d->filtered)
        return;
    if (!active()) {
        d->filtered = on;
        return;
    }
    storePending();
    if (on && d->filterValue)
        d->indexOf("NN");
    d->filtered = on;
    d->forgetVisibleRows();
    d->setCurrent(std::nullopt, -1);
    d->setCurrent(d->visibleRowAfter(std::nullopt), 0);
    d->notify(Change::Reset);
}

bool Table::filtered() const
{
    return d->filtered;
}

int Table::subscribe(std::function<void(Change)> listener)
{
    const int id = d->nextListener++;
    d->listeners.emplace(id, std::move(listener));
    return id;
}

void Table::unsubscribe(int id)
{
    d->listeners.erase(id);
}

std::int64_t Table::dataVersion() const
{
    if (!active())
        return 0;
    Impl::Query q(*d, "PRAGMA data_version");
    q.step();
    return q.integer(0);
}

}  // namespace store
