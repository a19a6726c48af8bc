// Editing: the state machine of a row being inserted or changed, and the
// statements that store it.
#include "store/table_impl.h"

#include <algorithm>
#include <limits>

namespace store {

using detail::quoted;

bool Table::Impl::modified() const
{
    return std::find(changed.begin(), changed.end(), true) != changed.end();
}

void Table::Impl::requireWritable() const
{
    if (readOnly)
        fail("таблица открыта только для чтения, изменять её нельзя");
}

void Table::Impl::startEditing(State newState, std::vector<Value> values)
{
    requireWritable();
    state = newState;
    buffer = std::move(values);
    changed.assign(fields.size(), false);
}

void Table::Impl::leaveEditing()
{
    state = State::Browse;
    buffer.clear();
    changed.clear();
}

std::string Table::Impl::changedColumns(const char* separator, const char* suffix) const
{
    std::string list;
    for (size_t i = 0; i < fields.size(); ++i)
        if (changed[i])
            list += (list.empty() ? "" : separator) + quoted(fields[i].name) + suffix;
    return list;
}

void Table::Impl::bindChanged(detail::Query& q) const
{
    int index = 1;
    for (size_t i = 0; i < fields.size(); ++i)
        if (changed[i])
            q.bind(index++, buffer[i]);
}

// A file found write-protected at opening may have been made writable
// since; a pending row must be able to reach it then.
void Table::Impl::becomeWritable()
{
    if (readOnly || sqlite3_db_readonly(db(), "main") != 1)
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
    statements.attach(fresh, path);
}

// The row number the file gives a new row must fit its field: a row that
// would get a larger one is taken back, and nothing is stored.
std::int64_t Table::Impl::insertRow()
{
    becomeWritable();
    const int bits = autoField >= 0 ? fields[static_cast<size_t>(autoField)].bits : 0;
    if (detail::fitsBits(std::numeric_limits<std::int64_t>::max(), bits))
        return insertRowUnchecked();
    std::int64_t rowid = 0;
    detail::inWriteTransaction(db(), path, [&] {
        rowid = insertRowUnchecked();
        if (!detail::fitsBits(rowid, bits))
            throw StoreError(fieldLabel(fields[static_cast<size_t>(autoField)].name) + ": номер новой строки " +
                             std::to_string(rowid) + " не помещается в " + std::to_string(bits) +
                             " бита; строка не сохранена");
    });
    return rowid;
}

std::int64_t Table::Impl::insertRowUnchecked()
{
    const std::string columns = changedColumns(",", "");
    std::string sql = "INSERT INTO " + rows.from();
    if (columns.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        std::string marks;
        for (size_t i = 0; i < fields.size(); ++i)
            if (changed[i])
                marks += marks.empty() ? "?" : ",?";
        sql += " (" + columns + ") VALUES (" + marks + ")";
    }
    detail::Query q(statements, sql);
    bindChanged(q);
    q.step();
    return sqlite3_last_insert_rowid(db());
}

// A change to the row known by its rowid, refused when another program has
// changed the table's fields since it was opened: a field it added could be
// named rowid, and the change would reach every row sharing that value.
void Table::Impl::changeRow(const std::string& sql, const std::function<void(detail::Query&)>& bind)
{
    becomeWritable();
    detail::inWriteTransaction(db(), path, [&] {
        if (schemaVersion() != openedSchemaVersion)
            fail("поля таблицы изменила другая программа; закройте таблицу и откройте её снова");
        detail::Query q(statements, sql);
        bind(q);
        q.step();
    });
}

void Table::Impl::updateRow()
{
    const std::string assignments = changedColumns(",", "=?");
    if (assignments.empty())
        return;
    changeRow("UPDATE " + rows.from() + " SET " + assignments + " WHERE rowid=?", [&](detail::Query& q) {
        bindChanged(q);
        q.bind(static_cast<int>(std::count(changed.begin(), changed.end(), true)) + 1, *current);
    });
    rows.noteEdited();
}

void Table::Impl::deleteRow(std::int64_t rowid)
{
    changeRow("DELETE FROM " + rows.from() + " WHERE rowid=:r", [&](detail::Query& q) { q.bind(":r", rowid); });
}

// Keeps the known visible rows in step with a row just added at the end of the table order.
void Table::Impl::noteInserted(std::int64_t rowid)
{
    if (filtered) {
        rows.forget();
        setCurrent(rowid, -1);
        return;
    }
    setCurrent(rowid, rows.noteAppended(rowid));
}

void Table::append()
{
    requireActive(*this);
    storePending();
    d->startEditing(State::Insert, std::vector<Value>(d->fields.size()));
    d->insertPosition = d->rows.count();
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
    d->buffer[index] = detail::fitted(d->fields[index], value, d->fieldLabel(name));
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
    d->deleteRow(rowid);
    d->rows.noteDeleted(position);
    if (const auto following = d->rows.rowAfter(rowid))
        d->setCurrent(following, position);
    else
        d->setCurrent(d->rows.rowAfter(rowid, false), position - 1);
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

}  // namespace store
