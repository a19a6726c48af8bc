#pragma once
// A date editor with a drop-down month calendar. The text cannot be typed,
// pasted or cut; the date changes only through the calendar.

#include <QDate>
#include <QWidget>

class QLineEdit;

namespace toolkit {

class DateEdit : public QWidget {
    Q_OBJECT
public:
    explicit DateEdit(QWidget* parent = nullptr);

    // The editor's date; today when the text is blank or not a valid date.
    QDate date() const;
    // An invalid date shows today.
    void setDate(const QDate& date);
    // Blank text (reads as today).
    void clear();
    QString text() const;
    // The editor's numeric short date format (from the system's locale).
    QString displayFormat() const;

    void showCalendar();
    bool calendarVisible() const;

signals:
    void dateChanged(const QDate& date);

private:
    struct Private;
    Private* d;
};

}  // namespace toolkit
