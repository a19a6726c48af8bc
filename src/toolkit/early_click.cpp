#include "toolkit/early_click.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QStyleHints>

#include <limits>

namespace toolkit {
namespace {

constexpr qint64 kNever = std::numeric_limits<qint64>::min() / 2;

std::function<qint64()> clock_;

qint64 now()
{
    if (clock_)
        return clock_();
    static QElapsedTimer steady;
    if (!steady.isValid())
        steady.start();
    return steady.elapsed();
}

}  // namespace

EarlyClickGuard::EarlyClickGuard(QObject* parent)
    : QObject(parent)
    , shownAt_(kNever)
{
}

void EarlyClickGuard::watch(QAbstractButton* button)
{
    button->installEventFilter(this);
}

void EarlyClickGuard::contentShown()
{
    shownAt_ = now();
}

bool EarlyClickGuard::tooEarly() const
{
    return now() - shownAt_ < QGuiApplication::styleHints()->mouseDoubleClickInterval();
}

bool EarlyClickGuard::eventFilter(QObject*, QEvent* event)
{
    // A double-click arrives as a press followed by a double-click event, and
    // buttons take the latter for a press as well: both are swallowed.
    const QEvent::Type type = event->type();
    return (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) && tooEarly();
}

void setClickClock(std::function<qint64()> clock)
{
    clock_ = std::move(clock);
}

}  // namespace toolkit
