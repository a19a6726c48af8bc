#include "toolkit/month_calendar.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace toolkit {
namespace {

// Layout of the 187 x 124 face: a title row, a row of day names, six weeks.
constexpr int kTitleHeight = 20;
constexpr int kStepSize = 16;
constexpr int kNamesTop = 21;
constexpr int kRowHeight = 14;
constexpr int kWeeksTop = kNamesTop + kRowHeight + 2;
constexpr int kColumnWidth = 26;
constexpr int kLeft = (MonthCalendar::kWidth - 7 * kColumnWidth) / 2;
constexpr int kWeeks = 6;

const QColor kSundayColour(255, 0, 0);

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QRect cellRect(int row, int column)
{
    return QRect(kLeft + column * kColumnWidth, kWeeksTop + row * kRowHeight, kColumnWidth, kRowHeight);
}

// A left-pointing arrow (one or two heads), mirrored for the right-hand steps.
void paintArrow(QPainter& painter, const QRect& box, bool right, bool twoHeads)
{
    const int heads = twoHeads ? 2 : 1;
    const int headWidth = 4;
    const int total = heads * headWidth;
    const int top = box.center().y() - 4;
    int x = box.center().x() - total / 2 + 1;
    const QColor ink = painter.pen().color();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    for (int i = 0; i < heads; ++i, x += headWidth) {
        QPolygon arrow;
        if (right)
            arrow << QPoint(x, top) << QPoint(x + headWidth, top + 4) << QPoint(x, top + 8);
        else
            arrow << QPoint(x + headWidth, top) << QPoint(x, top + 4) << QPoint(x + headWidth, top + 8);
        painter.drawPolygon(arrow);
    }
    painter.setBrush(Qt::NoBrush);
}

}  // namespace

MonthCalendar::MonthCalendar(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
    , selected_(QDate::currentDate())
{
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
}

void MonthCalendar::setSelectedDate(const QDate& date)
{
    selected_ = date.isValid() ? date : QDate::currentDate();
    update();
}

QString MonthCalendar::title() const
{
    const QString month = capitalised(QLocale().standaloneMonthName(selected_.month(), QLocale::LongFormat));
    return QStringLiteral("%1, %2").arg(month).arg(selected_.year(), 4, 10, QLatin1Char('0'));
}

QPoint MonthCalendar::placement(const QRect& anchor, const QSize& size, const QRect& screen)
{
    int x = anchor.right() + 1 - size.width();
    int y = anchor.bottom() + 1;
    if (y + size.height() > screen.bottom() + 1)
        y = anchor.top() - size.height();
    x = std::max(screen.left(), std::min(x, screen.right() + 1 - size.width()));
    y = std::max(screen.top(), std::min(y, screen.bottom() + 1 - size.height()));
    return QPoint(x, y);
}

void MonthCalendar::popup(const QRect& anchor, const QRect& toggle)
{
    toggle_ = toggle;
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(anchor.topLeft(), QSize(kWidth, kHeight) * 4);
    move(placement(anchor, size(), area));
    show();
    setFocus(Qt::PopupFocusReason);
}

QDate MonthCalendar::firstShownDay() const
{
    const QDate first(selected_.year(), selected_.month(), 1);
    return first.addDays(1 - first.dayOfWeek());   // the Monday on or before the first
}

QRect MonthCalendar::dayRect(const QDate& date) const
{
    const qint64 offset = firstShownDay().daysTo(date);
    if (!date.isValid() || offset < 0 || offset >= 7 * kWeeks)
        return QRect();
    return cellRect(int(offset / 7), int(offset % 7));
}

QRect MonthCalendar::stepRect(Step step) const
{
    const int top = (kTitleHeight - kStepSize) / 2;
    switch (step) {
    case Step::PreviousYear:
        return QRect(2, top, kStepSize, kStepSize);
    case Step::PreviousMonth:
        return QRect(2 + kStepSize + 1, top, kStepSize, kStepSize);
    case Step::NextMonth:
        return QRect(kWidth - 2 - 2 * kStepSize - 1, top, kStepSize, kStepSize);
    case Step::NextYear:
        return QRect(kWidth - 2 - kStepSize, top, kStepSize, kStepSize);
    }
    return QRect();
}

QDate MonthCalendar::dayAt(const QPoint& point) const
{
    if (point.y() < kWeeksTop || point.x() < kLeft)
        return QDate();
    const int row = (point.y() - kWeeksTop) / kRowHeight;
    const int column = (point.x() - kLeft) / kColumnWidth;
    if (row >= kWeeks || column >= 7)
        return QDate();
    return firstShownDay().addDays(row * 7 + column);
}

void MonthCalendar::stepBy(Step step)
{
    switch (step) {
    case Step::PreviousYear:
        selected_ = selected_.addYears(-1);
        break;
    case Step::PreviousMonth:
        selected_ = selected_.addMonths(-1);
        break;
    case Step::NextMonth:
        selected_ = selected_.addMonths(1);
        break;
    case Step::NextYear:
        selected_ = selected_.addYears(1);
        break;
    }
    update();
}

void MonthCalendar::take(const QDate& date)
{
    selected_ = date;
    close();
    emit activated(date);
}

void MonthCalendar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    paintTitle(painter);
    paintDays(painter);
}

void MonthCalendar::paintTitle(QPainter& painter)
{
    painter.fillRect(QRect(1, 1, kWidth - 2, kTitleHeight - 1), palette().button());
    const Step steps[] = {Step::PreviousYear, Step::PreviousMonth, Step::NextMonth, Step::NextYear};
    for (Step step : steps) {
        const QRect box = stepRect(step);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(box.topLeft(), box.topRight());
        painter.drawLine(box.topLeft(), box.bottomLeft());
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(box.bottomLeft(), box.bottomRight());
        painter.drawLine(box.topRight(), box.bottomRight());
        painter.setPen(palette().color(QPalette::ButtonText));
        const bool right = step == Step::NextMonth || step == Step::NextYear;
        const bool twoHeads = step == Step::PreviousYear || step == Step::NextYear;
        paintArrow(painter, box, right, twoHeads);
    }
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(palette().color(QPalette::ButtonText));
    const int left = stepRect(Step::PreviousMonth).right() + 1;
    const QRect text(left, 0, stepRect(Step::NextMonth).left() - left, kTitleHeight);
    painter.drawText(text, Qt::AlignCenter, title());
    painter.setFont(font());
}

void MonthCalendar::paintDays(QPainter& painter)
{
    const QLocale locale;
    for (int column = 0; column < 7; ++column) {
        const QRect cell(kLeft + column * kColumnWidth, kNamesTop, kColumnWidth, kRowHeight);
        painter.setPen(column == 6 ? kSundayColour : palette().color(QPalette::Text));
        painter.drawText(cell, Qt::AlignCenter, capitalised(locale.standaloneDayName(column + 1, QLocale::ShortFormat)));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(kLeft, kWeeksTop - 2, kLeft + 7 * kColumnWidth - 1, kWeeksTop - 2);

    const QDate today = QDate::currentDate();
    QDate day = firstShownDay();
    for (int row = 0; row < kWeeks; ++row) {
        for (int column = 0; column < 7; ++column, day = day.addDays(1)) {
            const QRect cell = cellRect(row, column);
            QColor ink = column == 6 ? kSundayColour : palette().color(QPalette::Text);
            if (day.month() != selected_.month())
                ink = palette().color(QPalette::Disabled, QPalette::Text);
            if (day == selected_) {
                painter.fillRect(cell.adjusted(1, 0, -1, 0), palette().highlight());
                ink = palette().color(QPalette::HighlightedText);
            }
            if (day == today) {
                painter.setPen(kSundayColour);
                painter.drawRect(cell.adjusted(1, 0, -2, -1));
            }
            painter.setPen(ink);
            painter.drawText(cell, Qt::AlignCenter, QString::number(day.day()));
        }
    }
}

void MonthCalendar::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (!rect().contains(at)) {
        if (toggle_.contains(event->globalPosition().toPoint()))
            setAttribute(Qt::WA_NoMouseReplay);
        close();
        return;
    }
    pressedDay_ = QDate();
    if (event->button() != Qt::LeftButton)
        return;
    const Step steps[] = {Step::PreviousYear, Step::PreviousMonth, Step::NextMonth, Step::NextYear};
    for (Step step : steps) {
        if (stepRect(step).contains(at)) {
            stepBy(step);
            return;
        }
    }
    const QDate day = dayAt(at);
    if (day.isValid()) {
        pressedDay_ = day;
        selected_ = day;
        update();
    }
}

void MonthCalendar::mouseReleaseEvent(QMouseEvent* event)
{
    const bool plain = event->button() == Qt::LeftButton
        && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    const QDate day = dayAt(event->position().toPoint());
    if (plain && day.isValid() && day == pressedDay_)
        take(day);
    pressedDay_ = QDate();
}

void MonthCalendar::keyPressEvent(QKeyEvent* event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        take(selected_);
        return;
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Left:
        selected_ = selected_.addDays(-1);
        break;
    case Qt::Key_Right:
        selected_ = selected_.addDays(1);
        break;
    case Qt::Key_Up:
        if (event->modifiers() & Qt::AltModifier) {
            close();
            return;
        }
        selected_ = selected_.addDays(-7);
        break;
    case Qt::Key_Down:
        selected_ = selected_.addDays(7);
        break;
    case Qt::Key_PageUp:
        stepBy(control ? Step::PreviousYear : Step::PreviousMonth);
        return;
    case Qt::Key_PageDown:
        stepBy(control ? Step::NextYear : Step::NextMonth);
        return;
    case Qt::Key_Home:
        selected_ = QDate(selected_.year(), selected_.month(), 1);
        break;
    case Qt::Key_End:
        selected_ = QDate(selected_.year(), selected_.month(), selected_.daysInMonth());
        break;
    default:
        event->accept();   // nothing else reaches the window beneath
        return;
    }
    update();
}

}  // namespace toolkit
