#pragma once
// A date editor with a drop-down month calendar. The text cannot be typed,
// pasted or cut; the date changes only through the calendar.

#include <QDate>
#include <QLocale>
#include <QWidget>

#include <array>

class QLineEdit;

namespace toolkit {

// The fixed-width numeric form of a locale's short date format: the locale's
// order of day, month and year and its separators, two-digit day and month,
// and a four-digit year when the locale's format has one, two digits otherwise.
class NumericDateFormat {
public:
    explicit NumericDateFormat(const QLocale& locale = QLocale());

    QString pattern() const { return pattern_; }
    QString toString(const QDate& date) const;
    // The date the text names in this format, or an invalid date. Day and month
    // may have one digit; a one- or two-digit year falls in the hundred years
    // that end twenty years after the current one.
    QDate fromString(const QString& text) const;
    // Text made only of spaces and separators.
    bool isBlank(const QString& text) const;

private:
    enum class Part { Day, Month, Year };
    bool isSeparator(QChar c) const;

    std::array<Part, 3> order_{Part::Day, Part::Month, Part::Year};
    QString separators_;
    QString pattern_;
};

class DateEdit : public QWidget {
    Q_OBJECT
public:
    explicit DateEdit(QWidget* parent = nullptr);
    ~DateEdit() override;

    // The editor's date; today when the text is blank or not a valid date.
    QDate date() const;
    // An invalid date shows today.
    void setDate(const QDate& date);
    // Blank text (reads as today).
    void clear();
    QString text() const;
    // Sets the text as it stands; it is checked when focus leaves the editor.
    void setText(const QString& text);
    // The editor's numeric short date format (from the system's locale).
    QString displayFormat() const;

    void showCalendar();
    bool calendarVisible() const;

    QSize sizeHint() const override;

signals:
    void dateChanged(const QDate& date);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void changeText(const QString& text);
    void validateOnExit();

    struct Private;
    Private* d;
};

}  // namespace toolkit
