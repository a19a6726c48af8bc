// The cursor over the visible rows: the current row's values, moving, and
// finding rows.
#include "store/table_impl.h"

#include <algorithm>

namespace store {

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
    d->setCurrent(d->rows.rowAfter(std::nullopt), 0);
    d->notify(Change::Cursor);
}

void Table::next()
{
    requireActive(*this);
    storePending();
    const auto following = d->current ? d->rows.rowAfter(d->current) : std::nullopt;
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
    return active() ? d->rows.count() : 0;
}

std::int64_t Table::recNo() const
{
    if (!active())
        return -1;
    if (d->state == State::Insert)
        return d->insertPosition;
    if (!d->current)
        return -1;
    if (d->position < 0)
        d->position = d->rows.positionOf(*d->current);
    return d->position;
}

void Table::moveTo(std::int64_t position)
{
    requireActive(*this);
    storePending();
    const auto& ids = d->rows.rowids();
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
    const auto& ids = d->rows.rowids();
    if (position < 0 || position >= static_cast<std::int64_t>(ids.size()))
        d->fail("нет строки с номером " + std::to_string(position + 1));
    return d->readRow(ids[static_cast<size_t>(position)]);
}

bool Table::locate(const std::string& field, const Value& value)
{
    const int index = fieldIndex(field);
    storePending();
    const auto found = d->backend->locate(d->rows.visible(), index, value);
    if (!found)
        return false;
    d->setCurrent(found, -1);
    d->notify(Change::Cursor);
    return true;
}

void Table::forEachRow(const std::function<void(std::vector<Value>&&)>& take) const
{
    requireActive(*this);
    d->backend->scanRows(d->rows.visible(), take);
}

std::int64_t Table::findRow(const std::string& field, std::int64_t from, int step,
                            const std::function<bool(const Value&)>& matches) const
{
    const int index = fieldIndex(field);
    return d->rows.findRow(index, from, step, matches);
}

}  // namespace store
