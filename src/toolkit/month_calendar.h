#pragma once
// The drop-down month calendar of the date editor: a small popup that shows
// one month, weeks from Monday, Sundays in red. A click on a day or Enter
// takes the highlighted date; Esc or a click elsewhere closes it unchanged.

#include <QDate>
#include <QWidget>

namespace toolkit {

class MonthCalendar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 187;
    static constexpr int kHeight = 124;

    enum class Step { PreviousYear, PreviousMonth, NextMonth, NextYear };

    explicit MonthCalendar(QWidget* parent = nullptr);

    // The highlighted date; its month is the month shown. Invalid means today.
    void setSelectedDate(const QDate& date);
    QDate selectedDate() const { return selected_; }

    // Title: the month's name in the nominative and the four-digit year.
    QString title() const;

    // Shows the calendar under the anchor (a rectangle in global coordinates),
    // right edges aligned; above the anchor when there is no room below; kept
    // on the anchor's screen. A press on `toggle` (global) while the calendar
    // is open only closes it, so that the button that opened it does not
    // reopen it at once.
    void popup(const QRect& anchor, const QRect& toggle = QRect());
    // The top-left corner for a calendar of `size` at `anchor` on `screen`.
    static QPoint placement(const QRect& anchor, const QSize& size, const QRect& screen);

    // Where things are drawn, in the calendar's own coordinates.
    QRect dayRect(const QDate& date) const;   // empty when the day is not shown
    QRect stepRect(Step step) const;

signals:
    // A day was taken by a click or by Enter; the calendar has closed.
    void activated(const QDate& date);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QDate firstShownDay() const;
    QDate dayAt(const QPoint& point) const;
    void stepBy(Step step);
    void take(const QDate& date);
    void paintTitle(QPainter& painter);
    void paintDays(QPainter& painter);

    QDate selected_;
    QDate pressedDay_;
    QRect toggle_;
};

}  // namespace toolkit
