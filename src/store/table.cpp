// The table's place, its opening and closing, its filter and its listeners.
#include "store/table_impl.h"

#include "store/server.h"
#include "store/table_file.h"
#include "store/table_server.h"

#include <algorithm>

namespace store {

using detail::tableLabel;

namespace {

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

void requireActive(const Table& table)
{
    if (!table.active())
        throw StoreError(tableLabel(table.filePath()) + ": таблица не открыта");
}

int Table::Impl::indexOf(const std::string& name) const
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (detail::sameName(fields[i].name, name))
            return static_cast<int>(i);
    fail("нет поля «" + name + "»");
}

std::vector<Value> Table::Impl::readRow(std::int64_t key) const
{
    auto values = backend->readRow(key);
    if (!values)
        fail("строку удалило другое рабочее место или другая копия программы");
    return std::move(*values);
}

void Table::Impl::setCurrent(std::optional<std::int64_t> key, std::int64_t pos)
{
    current = key;
    position = key ? pos : -1;
    eofFlag = false;
    currentValues.reset();
}

void Table::Impl::restartRows()
{
    rows.reset(backend.get(), filtered ? filterValue : std::nullopt);
    setCurrent(std::nullopt, -1);
    setCurrent(rows.rowAfter(std::nullopt), 0);
}

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

std::string Table::label() const
{
    return active() ? d->label : tableLabel(filePath());
}

void Table::setBusyTimeout(int milliseconds)
{
    d->busyTimeoutMs = milliseconds;
    if (d->backend)
        d->backend->setBusyTimeout(milliseconds);
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
    d->label = tableLabel(d->path);
    if (d->database && !d->database->connected())
        d->fail("база данных не подключена");
    if (!d->database && d->directory.empty())
        d->fail("не указан каталог таблицы");
    const std::string directory = d->database ? d->database->directory() : d->directory;
    d->backend = keptOnServer(directory) ? detail::openServerTable(directory, detail::fileStem(d->path), d->busyTimeoutMs,
                                                                    d->readOnly)
                                         : detail::openFileTable(d->path, d->busyTimeoutMs, d->readOnly);
    try {
        d->label = d->backend->label();
        d->fields = d->backend->fields(d->declared, d->autoField);
        if (d->filtered && d->filterValue)
            d->indexOf("NN");
        d->readVersion = d->backend->dataVersion();
        d->restartRows();
    } catch (...) {
        d->backend.reset();
        d->rows.reset(nullptr, std::nullopt);
        throw;
    }
    d->state = State::Browse;
    d->notify(Change::Reset);
}

void Table::close()
{
    if (!active())
        return;
    d->rows.reset(nullptr, std::nullopt);
    d->backend.reset();
    d->state = State::Inactive;
    d->buffer.clear();
    d->before.clear();
    d->changed.clear();
    d->fields.clear();
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

int Table::fieldIndex(const std::string& name) const
{
    requireActive(*this);
    return d->indexOf(name);
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
        d->restartRows();
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
    d->restartRows();
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

void Table::refresh()
{
    requireActive(*this);
    const std::int64_t version = d->backend->dataVersion();
    if (version == d->readVersion)
        return;
    storePending();
    d->readVersion = version;
    d->rows.forget();
    d->currentValues.reset();
    if (d->current && d->backend->readRow(*d->current))
        d->position = -1;
    else
        d->restartRows();
    d->notify(Change::Reset);
}

std::int64_t Table::dataVersion() const
{
    return active() ? d->backend->dataVersion() : 0;
}

}  // namespace store
