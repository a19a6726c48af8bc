#pragma once
// The visible rows of an open table (those the filter lets through) in table
// order, by position. Positions and counts are found only when asked for, so
// opening a large table stays cheap; what has been found is kept until the
// rows change.

#include "store/table_backend.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace store::detail {

class RowIndex {
public:
    // Starts over for the rows of `backend` (none when null); with `nn`, only
    // the rows whose field NN holds it are visible.
    void reset(TableBackend* backend, std::optional<std::int64_t> nn);
    TableBackend* backend() const { return backend_; }
    const Visible& visible() const { return visible_; }

    // The first visible row after (or, backwards, before) the key; the
    // first (last) of all without one.
    std::optional<std::int64_t> rowAfter(std::optional<std::int64_t> after, bool forward = true) const;
    std::int64_t count() const;
    // Keys of the visible rows, by position.
    const std::vector<std::int64_t>& rowids() const;
    std::int64_t positionOf(std::int64_t key) const;

    // Keeps what is known in step with a row just added at the end of the
    // table order; its position, or -1 when not known.
    std::int64_t noteAppended(std::int64_t rowid);
    // Keeps what is known in step with the row at `position` just deleted.
    void noteDeleted(std::int64_t position);
    // A visible row's values changed: the kept field values no longer hold.
    void noteEdited() { dropSnapshot(); }
    void forget();

    // See Table::findRow. The field's values of all visible rows are read
    // once into memory, a value that repeats mostly kept once, and kept until
    // the rows change here or another connection changes them; `matches` is
    // asked once per kept value. A field with too many different values is
    // searched where it is stored, row by row.
    std::int64_t findRow(int fieldIndex, std::int64_t from, int step,
                         const std::function<bool(const Value&)>& matches) const;

private:
    // One field's values of the visible rows: by position, the number of the
    // value in `distinct` (where a repeated value is mostly kept once).
    struct Snapshot {
        int field = -1;
        std::int64_t version = 0;
        std::vector<std::uint32_t> codes;
        std::vector<Value> distinct;
        bool kept = true;   // false: the values are too varied to keep, and are searched in the file
    };

    const Snapshot& snapshot(int fieldIndex) const;
    std::int64_t findStored(int fieldIndex, std::int64_t from, int step,
                            const std::function<bool(const Value&)>& matches) const;
    void dropSnapshot() const { snapshot_.reset(); }

    TableBackend* backend_ = nullptr;
    Visible visible_;
    mutable std::optional<std::vector<std::int64_t>> rowids_;
    mutable std::optional<std::int64_t> count_;
    mutable std::optional<Snapshot> snapshot_;
};

}  // namespace store::detail
