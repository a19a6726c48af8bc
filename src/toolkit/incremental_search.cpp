#include "toolkit/incremental_search.h"

#include "toolkit/grid_source.h"

#include <QScopedValueRollback>

namespace toolkit {

QString searchFold(QStringView text)
{
    QString folded(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        folded[i] = text[i].toUpper();
    return folded;
}

bool beginsWithFolded(QStringView text, QStringView foldedPrefix)
{
    if (text.size() < foldedPrefix.size())
        return false;
    for (qsizetype i = 0; i < foldedPrefix.size(); ++i) {
        if (text[i].toUpper() != foldedPrefix[i])
            return false;
    }
    return true;
}

IncrementalSearch::IncrementalSearch(GridSource* source, QObject* parent)
    : QObject(parent)
    , source_(nullptr)
{
    timer_.setSingleShot(true);
    timer_.setInterval(kDefaultTimeoutMs);
    connect(&timer_, &QTimer::timeout, this, &IncrementalSearch::end);
    setSource(source);
}

void IncrementalSearch::setSource(GridSource* source)
{
    end();
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (!source_)
        return;
    // Any move but the search's own ends it, and so does a change of the rows.
    connect(source_, &GridSource::cursorMoved, this, [this] {
        if (!moving_)
            end();
    });
    connect(source_, &GridSource::reset, this, &IncrementalSearch::end);
}

void IncrementalSearch::setTimeout(int milliseconds)
{
    timer_.setInterval(milliseconds);
}

bool IncrementalSearch::type(int field, const QString& character)
{
    if (!source_ || !source_->isOpen() || source_->state() != GridSource::State::Browse || field < 0)
        return false;
    if (active_ && field != field_)
        end();
    const bool starting = !active_;
    const QString longer = (starting ? QString() : text_) + character;
    const QString folded = searchFold(longer);
    bool found = matchesCurrent(field, folded);
    if (!found) {
        const int row = source_->findRow(field, 0, 1, folded);
        found = row >= 0;
        if (found)
            moveTo(row);
    }
    if (starting) {
        if (!found)
            return false;
        active_ = true;
        timed_ = true;
        field_ = field;
    }
    if (found)
        text_ = longer;
    restartTimer();
    emit changed();
    return found;
}

void IncrementalSearch::startEmpty(int field)
{
    if (!source_ || !source_->isOpen() || source_->state() != GridSource::State::Browse || field < 0)
        return;
    end();
    active_ = true;
    timed_ = false;
    field_ = field;
    emit changed();
}

void IncrementalSearch::backspace()
{
    if (!active_)
        return;
    text_.chop(1);
    restartTimer();
    emit changed();
}

bool IncrementalSearch::findNext(int step)
{
    if (!active_)
        return false;
    restartTimer();
    const int current = source_->currentRow();
    if (current < 0)
        return false;
    const int row = source_->findRow(field_, current + step, step, searchFold(text_));
    if (row < 0)
        return false;
    moveTo(row);
    emit changed();
    return true;
}

void IncrementalSearch::end()
{
    timer_.stop();
    if (!active_)
        return;
    active_ = false;
    text_.clear();
    field_ = -1;
    emit changed();
}

bool IncrementalSearch::matchesCurrent(int field, const QString& folded) const
{
    const int row = source_->currentRow();
    return row >= 0 && beginsWithFolded(source_->rowTexts(row).value(field), folded);
}

void IncrementalSearch::moveTo(int row)
{
    const QScopedValueRollback<bool> guard(moving_, true);
    source_->setCurrentRow(row);
}

void IncrementalSearch::restartTimer()
{
    if (timed_)
        timer_.start();
}

}  // namespace toolkit
