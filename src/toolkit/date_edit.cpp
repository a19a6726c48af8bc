#include "toolkit/date_edit.h"

#include "toolkit/month_calendar.h"
#include "toolkit/operator_box.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QToolButton>

#include <vector>

namespace toolkit {
namespace {

constexpr int kButtonWidth = 17;

QPixmap calendarPicture()
{
    QPixmap picture(12, 12);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 12, 12, Qt::white);
    painter.fillRect(0, 0, 12, 3, QColor(200, 0, 0));
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 11, 11);
    for (int y = 5; y <= 9; y += 2)
        for (int x = 2; x <= 9; x += 2)
            painter.drawPoint(x, y);
    return picture;
}

}  // namespace

NumericDateFormat::NumericDateFormat(const QLocale& locale)
{
    // Read the order of the fields and the literals between them from the
    // locale's short format, e.g. "M/d/yy" or "dd.MM.yyyy".
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    std::vector<Part> parts;
    QStringList literals{QString()};
    bool longYear = false;
    for (int i = 0; i < format.size();) {
        const QChar c = format[i];
        int run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        const bool field = c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y');
        if (field && parts.size() < 3) {
            parts.push_back(c == QLatin1Char('d') ? Part::Day : c == QLatin1Char('M') ? Part::Month : Part::Year);
            longYear = longYear || (c == QLatin1Char('y') && run >= 4);
            literals.append(QString());
        } else if (!field && c != QLatin1Char('\'')) {
            literals.back() += QString(run, c);
        }
        i += run;
    }
    const bool usable = parts.size() == 3 && parts[0] != parts[1] && parts[1] != parts[2] && parts[0] != parts[2]
        && !literals[1].isEmpty() && !literals[2].isEmpty();
    if (!usable) {
        parts = {Part::Day, Part::Month, Part::Year};
        literals = QStringList{QString(), QStringLiteral("."), QStringLiteral("."), QString()};
        longYear = true;
    }
    const QString year = longYear ? QStringLiteral("yyyy") : QStringLiteral("yy");
    for (int i = 0; i < 3; ++i) {
        order_[i] = parts[i];
        pattern_ += parts[i] == Part::Day ? QStringLiteral("dd") : parts[i] == Part::Month ? QStringLiteral("MM") : year;
        if (i < 2)
            pattern_ += literals[i + 1];
    }
    separators_ = literals[1] + literals[2] + QLatin1Char(' ');
}

bool NumericDateFormat::isSeparator(QChar c) const { return separators_.contains(c); }

QString NumericDateFormat::toString(const QDate& date) const { return QLocale::c().toString(date, pattern_); }

bool NumericDateFormat::isBlank(const QString& text) const
{
    for (QChar c : text)
        if (!isSeparator(c))
            return false;
    return true;
}

QDate NumericDateFormat::fromString(const QString& text) const
{
    // Three runs of digits, with nothing but separators around and between them.
    QStringList numbers;
    QString run;
    for (QChar c : text + QLatin1Char(' ')) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            run += c;
            continue;
        }
        if (!isSeparator(c))
            return QDate();
        if (!run.isEmpty())
            numbers.append(run);
        run.clear();
    }
    if (numbers.size() != 3)
        return QDate();
    int day = 0, month = 0, year = 0;
    for (int i = 0; i < 3; ++i) {
        if (numbers[i].size() > 4)
            return QDate();
        const int value = numbers[i].toInt();
        if (order_[i] == Part::Day)
            day = value;
        else if (order_[i] == Part::Month)
            month = value;
        else if (numbers[i].size() <= 2) {
            const int latest = QDate::currentDate().year() + 20;
            year = latest - (latest - value) % 100;
        } else
            year = value;
    }
    if (year < 1)
        return QDate();
    return QDate(year, month, day);
}

struct DateEdit::Private {
    NumericDateFormat format;
    QLineEdit* edit = nullptr;
    QToolButton* button = nullptr;
    MonthCalendar* calendar = nullptr;
};

DateEdit::DateEdit(QWidget* parent)
    : QWidget(parent)
    , d(new Private)
{
    d->edit = new QLineEdit(this);
    // Read-only keeps the text selectable and copyable but refuses typing,
    // pasting, cutting and dropping.
    d->edit->setReadOnly(true);
    d->edit->installEventFilter(this);
    d->edit->setTextMargins(0, 0, kButtonWidth, 0);
    setFocusProxy(d->edit);
    setFocusPolicy(d->edit->focusPolicy());

    d->button = new QToolButton(d->edit);
    d->button->setFocusPolicy(Qt::NoFocus);
    d->button->setCursor(Qt::ArrowCursor);
    d->button->setIcon(QIcon(calendarPicture()));
    d->button->setIconSize(QSize(12, 12));
    connect(d->button, &QToolButton::clicked, this, [this] {
        d->edit->setFocus(Qt::MouseFocusReason);
        showCalendar();
    });

    d->calendar = new MonthCalendar(this);
    connect(d->calendar, &MonthCalendar::activated, this, [this](const QDate& date) { setDate(date); });
}

DateEdit::~DateEdit() { delete d; }

QDate DateEdit::date() const
{
    const QDate date = d->format.fromString(d->edit->text());
    return date.isValid() ? date : QDate::currentDate();
}

void DateEdit::setDate(const QDate& date)
{
    changeText(d->format.toString(date.isValid() ? date : QDate::currentDate()));
}

void DateEdit::clear() { changeText(QString()); }

QString DateEdit::text() const { return d->edit->text(); }

void DateEdit::setText(const QString& text) { changeText(text); }

QString DateEdit::displayFormat() const { return d->format.pattern(); }

void DateEdit::changeText(const QString& text)
{
    const QDate before = date();
    d->edit->setText(text);
    if (date() != before)
        emit dateChanged(date());
}

void DateEdit::showCalendar()
{
    if (calendarVisible())
        return;
    d->calendar->setSelectedDate(date());
    const QRect anchor(mapToGlobal(QPoint(0, 0)), size());
    const QRect toggle(d->button->mapToGlobal(QPoint(0, 0)), d->button->size());
    d->calendar->popup(anchor, toggle);
}

bool DateEdit::calendarVisible() const { return d->calendar->isVisible(); }

QSize DateEdit::sizeHint() const { return d->edit->sizeHint(); }

void DateEdit::resizeEvent(QResizeEvent*)
{
    d->edit->setGeometry(rect());
    d->button->setGeometry(d->edit->width() - 2 - kButtonWidth, 2, kButtonWidth, d->edit->height() - 4);
}

bool DateEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != d->edit)
        return false;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier)) {
            showCalendar();
            return true;
        }
        // The keys that would step the date or jump to today do nothing here.
        switch (key->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Minus:
        case Qt::Key_T:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return true;
        default:
            return false;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        // Only leaving for another control counts, not the calendar opening
        // or another window (the error box itself) taking the focus.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            validateOnExit();
    }
    return false;
}

void DateEdit::validateOnExit()
{
    const QString text = d->edit->text();
    if (d->format.isBlank(text))
        return;
    const QDate date = d->format.fromString(text);
    if (date.isValid()) {
        d->edit->setText(d->format.toString(date));
        return;
    }
    // Focus goes back once the focus change in progress has finished.
    QTimer::singleShot(0, d->edit, [this, text] {
        d->edit->setFocus(Qt::OtherFocusReason);
        operatorBox().error(QStringLiteral("'%1' не является правильной датой").arg(text));
    });
}

}  // namespace toolkit
