#include "store/row_index.h"


#include <algorithm>
#include <cstring>

namespace store::detail {

namespace {

// Values already read are recognised through a small table of recent ones,
// indexed by a hash of the stored bytes: a field with few distinct values
// (names, dates, scale scores) keeps each once without a lookup structure
// that grows with the table; a value not recognised is simply kept again.
constexpr std::size_t kRecentSlots = 1024;   // a power of two

// The slot of a key, from its length and its first and last eight bytes: a
// few instructions a row. Keys that share a slot are kept apart by comparing
// them whole; one that takes another's slot is only kept again.
std::size_t slotOf(const std::string& key)
{
    const std::size_t size = key.size();
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    std::memcpy(&head, key.data(), std::min<std::size_t>(size, 8));
    if (size > 8)
        std::memcpy(&tail, key.data() + size - std::min<std::size_t>(size - 8, 8), std::min<std::size_t>(size - 8, 8));
    const std::uint64_t h = (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^ size;
    return static_cast<std::size_t>(h ^ (h >> 29) ^ (h >> 47)) & (kRecentSlots - 1);
}

}  // namespace

void RowIndex::reset(TableBackend* backend, std::optional<std::int64_t> nn)
{
    backend_ = backend;
    visible_ = Visible{nn};
    forget();
}

std::optional<std::int64_t> RowIndex::rowAfter(std::optional<std::int64_t> after, bool forward) const
{
    return backend_->keyAfter(visible_, after, forward);
}

std::int64_t RowIndex::count() const
{
    if (rowids_ || (!count_ && backend_->countReadsKeys()))
        return static_cast<std::int64_t>(rowids().size());
    if (!count_)
        count_ = backend_->count(visible_);
    return *count_;
}

const std::vector<std::int64_t>& RowIndex::rowids() const
{
    if (!rowids_) {
        rowids_ = backend_->keys(visible_);
        count_.reset();
    }
    return *rowids_;
}

std::int64_t RowIndex::positionOf(std::int64_t key) const
{
    const auto& ids = rowids();
    return std::lower_bound(ids.begin(), ids.end(), key) - ids.begin();
}

std::int64_t RowIndex::noteAppended(std::int64_t rowid)
{
    dropSnapshot();
    if (rowids_) {
        const auto at = std::lower_bound(rowids_->begin(), rowids_->end(), rowid);
        const auto position = at - rowids_->begin();
        rowids_->insert(at, rowid);
        return position;
    }
    const bool last = !rowAfter(rowid);
    if (count_)
        ++*count_;
    return last && count_ ? *count_ - 1 : -1;
}

void RowIndex::noteDeleted(std::int64_t position)
{
    dropSnapshot();
    if (rowids_)
        rowids_->erase(rowids_->begin() + position);
    else if (count_)
        --*count_;
}

void RowIndex::forget()
{
    rowids_.reset();
    count_.reset();
    dropSnapshot();
}

const RowIndex::Snapshot& RowIndex::snapshot(int fieldIndex) const
{
    const std::int64_t version = backend_->dataVersion();
    if (snapshot_ && snapshot_->field == fieldIndex && snapshot_->version == version)
        return *snapshot_;
    snapshot_.reset();   // the old values are let go before the new ones are read
    Snapshot s;
    s.field = fieldIndex;
    s.version = version;
    if (rowids_ || count_) {   // counting the rows only for this would read the table twice
        // Room for a value a row; what is not used is never touched and is given back below.
        s.codes.reserve(static_cast<size_t>(count()));
        s.distinct.reserve(static_cast<size_t>(count()));
    }
    struct Recent {
        std::string key;
        std::uint32_t code = 0;
        bool used = false;
    };
    std::vector<Recent> recent(kRecentSlots);
    std::string key;
    backend_->scan(visible_, fieldIndex, std::nullopt, true, [&](const Cell& cell) {
        cell.key(key);
        Recent& slot = recent[slotOf(key)];
        if (slot.used && slot.key == key) {
            s.codes.push_back(slot.code);
            return true;
        }
        if (s.distinct.size() >= backend_->valuesWorthKeeping()) {
            s.codes = {};
            s.distinct = {};
            s.kept = false;
            return false;
        }
        slot.used = true;
        slot.key = key;
        slot.code = static_cast<std::uint32_t>(s.distinct.size());
        s.codes.push_back(slot.code);
        s.distinct.push_back(cell.value());
        return true;
    });
    s.codes.shrink_to_fit();
    s.distinct.shrink_to_fit();
    snapshot_ = std::move(s);
    return *snapshot_;
}

std::int64_t RowIndex::findRow(int fieldIndex, std::int64_t from, int step,
                               const std::function<bool(const Value&)>& matches) const
{
    const Snapshot& s = snapshot(fieldIndex);
    if (!s.kept)
        return findStored(fieldIndex, from, step, matches);
    const auto size = static_cast<std::int64_t>(s.codes.size());
    if (size == 0 || (step >= 0 && from >= size) || (step < 0 && from < 0))
        return -1;
    from = std::clamp<std::int64_t>(from, 0, size - 1);
    // Per distinct value: 0 not yet asked, 1 matches, 2 does not.
    std::vector<unsigned char> verdictsOf(s.distinct.size(), 0);
    unsigned char* verdicts = verdictsOf.data();
    const std::uint32_t* codes = s.codes.data();
    const std::int64_t direction = step >= 0 ? 1 : -1;
    for (std::int64_t position = from; position >= 0 && position < size; position += direction) {
        const std::uint32_t code = codes[position];
        if (verdicts[code] == 0)
            verdicts[code] = matches(s.distinct[code]) ? 1 : 2;
        if (verdicts[code] == 1)
            return position;
    }
    return -1;
}

std::int64_t RowIndex::findStored(int fieldIndex, std::int64_t from, int step,
                                  const std::function<bool(const Value&)>& matches) const
{
    const auto& ids = rowids();
    const auto size = static_cast<std::int64_t>(ids.size());
    if (size == 0 || (step >= 0 && from >= size) || (step < 0 && from < 0))
        return -1;
    from = std::clamp<std::int64_t>(from, 0, size - 1);
    const std::int64_t direction = step >= 0 ? 1 : -1;
    std::int64_t position = from;
    std::int64_t found = -1;
    backend_->scan(visible_, fieldIndex, ids[static_cast<size_t>(from)], step >= 0, [&](const Cell& cell) {
        if (matches(cell.value())) {
            found = position;
            return false;
        }
        position += direction;
        return true;
    });
    return found;
}

}  // namespace store::detail
