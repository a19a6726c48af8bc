#pragma once
// A grid source over rows held in memory, with the same editing rules as a
// table of the store: a new row shows at its place while inserted and goes to
// the end when stored; an integer field refuses anything but digits.

#include "toolkit/grid_source.h"
#include "toolkit/incremental_search.h"

#include <QHash>
#include <QVector>

#include <stdexcept>

class MemorySource : public toolkit::GridSource {
public:
    MemorySource(QStringList fields, QVector<QStringList> rows, QStringList integerFields = {})
        : fields_(std::move(fields)), rows_(std::move(rows)), integers_(std::move(integerFields))
    {
        current_ = rows_.isEmpty() ? -1 : 0;
    }

    bool open = true;
    int scans = 0;   // findRow calls
    QHash<int, int> maxLengths;   // characters a field holds, by field position

    const QVector<QStringList>& rows() const { return rows_; }

    bool isOpen() const override { return open; }
    int rowCount() const override { return open ? int(rows_.size()) + (state_ == State::Insert ? 1 : 0) : 0; }
    int fieldIndex(const QString& field) const override { return open ? int(fields_.indexOf(field)) : -1; }
    QStringList rowTexts(int row) const override
    {
        if (state_ != State::Browse && row == current_)
            return buffer_;
        if (state_ == State::Insert && row > current_)
            --row;
        return rows_.at(row);
    }
    int currentRow() const override { return current_; }
    void setCurrentRow(int row) override
    {
        if (state_ != State::Browse)
            modified_ ? post() : cancel();
        if (rows_.isEmpty())
            return;
        current_ = qBound(0, row, int(rows_.size()) - 1);
        emit cursorMoved(current_);
    }
    State state() const override { return state_; }
    bool modified() const override { return modified_; }
    void edit() override
    {
        if (state_ != State::Browse)
            return;
        if (current_ < 0)
            throw std::runtime_error("нет строк");
        buffer_ = rows_.at(current_);
        state_ = State::Edit;
        emit rowChanged(current_);
    }
    void setText(int field, const QString& text) override
    {
        if (integers_.contains(fields_.at(field))) {
            bool ok = false;
            const int value = text.toInt(&ok);
            if (!ok || value < -32768 || value > 32767)
                throw std::runtime_error(QStringLiteral("«%1» не является целым числом").arg(text).toStdString());
        }
        buffer_[field] = text;
        modified_ = true;
        emit rowChanged(current_);
    }
    int maxLength(int field) const override { return maxLengths.value(field, 0); }
    void post() override
    {
        if (state_ == State::Edit) {
            rows_[current_] = buffer_;
            leave();
            emit rowChanged(current_);
        } else if (state_ == State::Insert) {
            rows_.append(buffer_);
            current_ = int(rows_.size()) - 1;
            leave();
            emit reset();
        }
    }
    void cancel() override
    {
        const State was = state_;
        leave();
        if (was == State::Insert) {
            current_ = qMin(current_, int(rows_.size()) - 1);
            emit reset();
        } else if (was == State::Edit) {
            emit rowChanged(current_);
        }
    }
    void insertRow() override { startInsert(qMax(current_, 0)); }
    void appendRow() override { startInsert(int(rows_.size())); }
    void deleteCurrentRow() override
    {
        if (state_ == State::Insert)
            return cancel();
        cancel();
        rows_.removeAt(current_);
        current_ = qMin(current_, int(rows_.size()) - 1);
        emit reset();
    }
    int findRow(int field, int from, int step, const QString& prefix) const override
    {
        ++const_cast<MemorySource*>(this)->scans;
        for (int row = from; row >= 0 && row < rows_.size(); row += step) {
            if (toolkit::beginsWithFolded(rows_.at(row).at(field), prefix))
                return row;
        }
        return -1;
    }

private:
    void startInsert(int at)
    {
        if (state_ != State::Browse)
            modified_ ? post() : cancel();
        buffer_ = QStringList();
        for (int i = 0; i < fields_.size(); ++i)
            buffer_ << QString();
        current_ = at;
        state_ = State::Insert;
        emit reset();
    }
    void leave()
    {
        state_ = State::Browse;
        modified_ = false;
        buffer_.clear();
    }

    QStringList fields_;
    QVector<QStringList> rows_;
    QStringList integers_;
    QStringList buffer_;
    int current_ = -1;
    State state_ = State::Browse;
    bool modified_ = false;
};
