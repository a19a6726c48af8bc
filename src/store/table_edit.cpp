// Editing: the state machine of a row being inserted or changed, and the
// statements that store it.
#include "store/table_impl.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>

namespace store {

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
    before = newState == State::Edit ? buffer : std::vector<Value>();
    insertToken = newState == State::Insert ? detail::newRowToken() : std::string();
    changed.assign(fields.size(), false);
}

void Table::Impl::leaveEditing()
{
    state = State::Browse;
    buffer.clear();
    before.clear();
    changed.clear();
}

void Table::Impl::updateRow()
{
    if (!modified())
        return;
    try {
        backend->update(*current, before, {fields, buffer, changed});
    } catch (const detail::RowConflict&) {
        showOthersChange(position);
        throw;
    }
    rows.noteEdited();
}

void Table::Impl::showOthersChange(std::int64_t at)
{
    leaveEditing();
    rows.forget();
    currentValues.reset();
    if (current && backend->readRow(*current)) {
        position = -1;
        return;
    }
    const auto& ids = rows.rowids();
    if (ids.empty()) {
        setCurrent(std::nullopt, -1);
        return;
    }
    const std::int64_t clamped = std::clamp<std::int64_t>(at, 0, static_cast<std::int64_t>(ids.size()) - 1);
    setCurrent(ids[static_cast<size_t>(clamped)], clamped);
}

// Keeps the known visible rows in step with a row just added at the end of the table order.
void Table::Impl::noteInserted(std::int64_t key)
{
    if (filtered) {
        rows.forget();
        setCurrent(key, -1);
        return;
    }
    setCurrent(key, rows.noteAppended(key));
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
        const std::int64_t key = d->backend->insert({d->fields, d->buffer, d->changed, d->insertToken});
        d->leaveEditing();
        d->noteInserted(key);
        d->notify(Change::Reset);
    } else if (d->state == State::Edit) {
        try {
            d->updateRow();
        } catch (const detail::RowConflict&) {
            d->notify(Change::Reset);
            throw;
        }
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
    const std::int64_t key = *d->current;
    const std::int64_t position = recNo();
    try {
        d->backend->remove(key, {});
    } catch (const detail::RowConflict&) {
        d->showOthersChange(position);
        d->notify(Change::Reset);
        throw;
    }
    d->rows.noteDeleted(position);
    if (const auto following = d->rows.rowAfter(key))
        d->setCurrent(following, position);
    else
        d->setCurrent(d->rows.rowAfter(key, false), position - 1);
    d->notify(Change::Reset);
}

void Table::appendRows(const std::function<void(const RowSink&)>& produce)
{
    storeAll(produce, false);
}

void Table::replaceRows(const std::function<void(const RowSink&)>& produce)
{
    storeAll(produce, true);
}

void Table::storeAll(const std::function<void(const RowSink&)>& produce, bool replacing)
{
    requireActive(*this);
    storePending();
    d->requireWritable();
    d->backend->appendAll(produce, replacing);
    d->restartRows();
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

namespace store::detail {

// Drawn from the system's random source each time: a generator's state would
// be copied into a process forked from this one, which would then give the
// same tokens, and its new rows would be taken for this one's.
std::string newRowToken()
{
    std::random_device device;
    const auto draw = [&device] { return (std::uint64_t{device()} << 32) | device(); };
    const std::uint64_t high = (draw() & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;   // version 4
    const std::uint64_t low = (draw() & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;    // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%08llx-%04llx-%04llx-%04llx-%012llx",
                  static_cast<unsigned long long>(high >> 32), static_cast<unsigned long long>((high >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(high & 0xFFFF), static_cast<unsigned long long>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

std::string rowGoneText()
{
    return "строку удалило другое рабочее место или другая копия программы; изменения не сохранены";
}

std::string rowChangedText()
{
    return "строку изменило другое рабочее место или другая копия программы, пока она правилась здесь; "
           "изменения не сохранены, показана строка в её новом виде";
}

}  // namespace store::detail
