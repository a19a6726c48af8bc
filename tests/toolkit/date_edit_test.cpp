// The date editor: its format, the refusal of direct input, the check when
// focus leaves it, and the drop-down calendar driven by keys and clicks.
#include "support/recording_box.h"
#include "toolkit/date_edit.h"
#include "toolkit/month_calendar.h"
#include "toolkit/operator_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using toolkit::DateEdit;
using toolkit::MonthCalendar;
using toolkit::NumericDateFormat;

namespace {

TEST(NumericDateFormat, FollowsTheLocaleOrderSeparatorAndYearLength)
{
    EXPECT_EQ(NumericDateFormat(QLocale(QLocale::Russian, QLocale::Russia)).pattern(), "dd.MM.yyyy");
    EXPECT_EQ(NumericDateFormat(QLocale(QLocale::English, QLocale::UnitedStates)).pattern(), "MM/dd/yy");
    EXPECT_EQ(NumericDateFormat(QLocale(QLocale::Japanese, QLocale::Japan)).pattern(), "yyyy/MM/dd");

    const NumericDateFormat us(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.toString(QDate(2024, 3, 5)), "03/05/24");
    EXPECT_EQ(us.fromString("3/5/24"), QDate(2024, 3, 5));
    EXPECT_EQ(us.fromString("03/05/2024"), QDate(2024, 3, 5));
}

TEST(NumericDateFormat, ReadsOnlyRealDatesWithTheFormatsSeparators)
{
    const NumericDateFormat ru(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(ru.fromString(" 1.2.2024 "), QDate(2024, 2, 1));
    EXPECT_EQ(ru.fromString("29.02.2024"), QDate(2024, 2, 29));
    EXPECT_FALSE(ru.fromString("29.02.2023").isValid());
    EXPECT_FALSE(ru.fromString("32.01.2024").isValid());
    EXPECT_FALSE(ru.fromString("01.13.2024").isValid());
    EXPECT_FALSE(ru.fromString("01/02/2024").isValid());
    EXPECT_FALSE(ru.fromString("01.02").isValid());
    EXPECT_FALSE(ru.fromString("01.02.2024.5").isValid());
    EXPECT_FALSE(ru.fromString("1a.02.2024").isValid());
    EXPECT_FALSE(ru.fromString("01.02.20245").isValid());
    EXPECT_FALSE(ru.fromString("00.00.0000").isValid());

    // A short year lands in the hundred years ending twenty years from now.
    const int latest = QDate::currentDate().year() + 20;
    EXPECT_EQ(ru.fromString(QStringLiteral("01.01.%1").arg(latest % 100, 2, 10, QLatin1Char('0'))).year(), latest);
    EXPECT_EQ(ru.fromString(QStringLiteral("01.01.%1").arg((latest + 1) % 100, 2, 10, QLatin1Char('0'))).year(),
              latest - 99);

    EXPECT_TRUE(ru.isBlank(""));
    EXPECT_TRUE(ru.isBlank("  .  . "));
    EXPECT_FALSE(ru.isBlank("  . 1. "));
    EXPECT_FALSE(ru.isBlank("x"));
}

TEST(MonthCalendarPlacement, RightAlignedBelowOrAboveAndKeptOnScreen)
{
    const QRect screen(0, 0, 800, 600);
    const QSize size(MonthCalendar::kWidth, MonthCalendar::kHeight);
    const QRect editor(300, 100, 121, 21);
    EXPECT_EQ(MonthCalendar::placement(editor, size, screen), QPoint(421 - 187, 121));
    // No room below: above the editor.
    EXPECT_EQ(MonthCalendar::placement(QRect(300, 500, 121, 21), size, screen), QPoint(234, 500 - 124));
    // Near the left edge the calendar is pushed back inside the screen.
    EXPECT_EQ(MonthCalendar::placement(QRect(-50, 100, 121, 21), size, screen).x(), 0);
    EXPECT_EQ(MonthCalendar::placement(QRect(700, 100, 200, 21), size, screen).x(), 800 - 187);
}

class DateEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        editor = new DateEdit(&window);
        other = new QLineEdit(&window);
        layout->addWidget(editor);
        layout->addWidget(other);
        editor->setFixedSize(121, 21);
        window.setGeometry(400, 300, 300, 200);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        line = editor->findChild<QLineEdit*>();
        ASSERT_NE(line, nullptr);
    }
    void TearDown() override
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }
    MonthCalendar* openCalendar()
    {
        editor->setFocus();
        QTest::keyClick(line, Qt::Key_Down, Qt::AltModifier);
        return qobject_cast<MonthCalendar*>(QApplication::activePopupWidget());
    }

    testsupport::RecordingBox box;
    QWidget window;
    DateEdit* editor = nullptr;
    QLineEdit* other = nullptr;
    QLineEdit* line = nullptr;
};

TEST_F(DateEditTest, BlankOrInvalidReadsAsTodayAndADateIsShownInTheFormat)
{
    EXPECT_EQ(editor->displayFormat(), "dd.MM.yyyy");
    editor->clear();
    EXPECT_EQ(editor->text(), "");
    EXPECT_EQ(editor->date(), QDate::currentDate());
    editor->setDate(QDate(2024, 3, 5));
    EXPECT_EQ(editor->text(), "05.03.2024");
    EXPECT_EQ(editor->date(), QDate(2024, 3, 5));
    editor->setDate(QDate());
    EXPECT_EQ(editor->date(), QDate::currentDate());
    EXPECT_EQ(editor->text(), QDate::currentDate().toString("dd.MM.yyyy"));
    editor->setText("31.02.2024");
    EXPECT_EQ(editor->date(), QDate::currentDate());
}

TEST_F(DateEditTest, TypingPastingCuttingAndSteppingKeysChangeNothing)
{
    editor->setDate(QDate(2024, 3, 5));
    QSignalSpy changes(editor, &DateEdit::dateChanged);
    editor->setFocus();
    ASSERT_TRUE(line->hasFocus());

    QTest::keyClicks(line, "1");
    QTest::keyClick(line, Qt::Key_Backspace);
    QTest::keyClick(line, Qt::Key_Delete);
    for (int key : {Qt::Key_Plus, Qt::Key_Minus, Qt::Key_T, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp})
        QTest::keyClick(line, Qt::Key(key));
    QApplication::clipboard()->setText("01.01.2000");
    QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(line->selectedText(), "05.03.2024");   // still selectable
    QTest::keyClick(line, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(line, Qt::Key_X, Qt::ControlModifier);

    EXPECT_EQ(editor->text(), "05.03.2024");
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(editor->calendarVisible());
}

TEST_F(DateEditTest, LeavingWithAnInvalidTextReportsItAndTakesTheFocusBack)
{
    editor->setText("31.02.2024");
    editor->setFocus();
    QTest::keyClick(line, Qt::Key_Tab);
    QTRY_COMPARE(box.errors.size(), 1);
    EXPECT_EQ(box.errors[0], "'31.02.2024' не является правильной датой");
    EXPECT_TRUE(line->hasFocus());
    EXPECT_EQ(editor->text(), "31.02.2024");
}

TEST_F(DateEditTest, LeavingWithAValidOrBlankTextRewritesItSilently)
{
    editor->setText(" 5.3.2024");
    editor->setFocus();
    QTest::keyClick(line, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(editor->text(), "05.03.2024");

    editor->setText(" .  .");
    editor->setFocus();
    QTest::keyClick(line, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(editor->text(), " .  .");
    EXPECT_TRUE(box.errors.isEmpty());
}

TEST_F(DateEditTest, AltDownOpensTheCalendarRightAlignedUnderTheEditorOnItsDate)
{
    editor->setDate(QDate(2026, 12, 9));
    MonthCalendar* calendar = openCalendar();
    ASSERT_NE(calendar, nullptr);
    EXPECT_TRUE(editor->calendarVisible());
    EXPECT_EQ(calendar->size(), QSize(187, 124));
    const QRect anchor(editor->mapToGlobal(QPoint(0, 0)), editor->size());
    EXPECT_EQ(calendar->geometry().right(), anchor.right());
    EXPECT_EQ(calendar->geometry().top(), anchor.bottom() + 1);
    EXPECT_EQ(calendar->selectedDate(), QDate(2026, 12, 9));
    EXPECT_EQ(calendar->title(), "Декабрь, 2026");
}

TEST_F(DateEditTest, AnInvalidTextOpensTheCalendarOnToday)
{
    editor->setText("99.99.9999");
    MonthCalendar* calendar = openCalendar();
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->selectedDate(), QDate::currentDate());
}

TEST_F(DateEditTest, AClickOnADayTakesItAndCloses)
{
    editor->setDate(QDate(2024, 3, 5));
    QSignalSpy changes(editor, &DateEdit::dateChanged);
    MonthCalendar* calendar = openCalendar();
    ASSERT_NE(calendar, nullptr);
    QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->dayRect(QDate(2024, 3, 20)).center());
    EXPECT_FALSE(editor->calendarVisible());
    EXPECT_EQ(editor->text(), "20.03.2024");
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes[0][0].toDate(), QDate(2024, 3, 20));
}

TEST_F(DateEditTest, KeysMoveTheHighlightAndEnterTakesIt)
{
    editor->setDate(QDate(2024, 3, 31));
    MonthCalendar* calendar = openCalendar();
    ASSERT_NE(calendar, nullptr);
    QTest::keyClick(calendar, Qt::Key_Right);   // 1 April
    QTest::keyClick(calendar, Qt::Key_Down);    // 8 April
    EXPECT_EQ(calendar->title(), "Апрель, 2024");
    QTest::keyClick(calendar, Qt::Key_Return);
    EXPECT_FALSE(editor->calendarVisible());
    EXPECT_EQ(editor->date(), QDate(2024, 4, 8));
}

TEST_F(DateEditTest, EscOrAClickElsewhereClosesWithoutAChange)
{
    editor->setDate(QDate(2024, 3, 5));
    MonthCalendar* calendar = openCalendar();
    ASSERT_NE(calendar, nullptr);
    QTest::keyClick(calendar, Qt::Key_Right);
    QTest::keyClick(calendar, Qt::Key_Escape);
    EXPECT_FALSE(editor->calendarVisible());
    EXPECT_EQ(editor->date(), QDate(2024, 3, 5));

    calendar = openCalendar();
    ASSERT_NE(calendar, nullptr);
    QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->stepRect(MonthCalendar::Step::NextMonth).center());
    QTest::mousePress(calendar, Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_FALSE(editor->calendarVisible());
    EXPECT_EQ(editor->date(), QDate(2024, 3, 5));
}

TEST_F(DateEditTest, TitleButtonsStepByMonthAndYear)
{
    editor->setDate(QDate(2024, 1, 31));
    MonthCalendar* calendar = openCalendar();
    ASSERT_NE(calendar, nullptr);
    auto click = [calendar](MonthCalendar::Step step) {
        QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->stepRect(step).center());
    };
    click(MonthCalendar::Step::NextMonth);
    EXPECT_EQ(calendar->selectedDate(), QDate(2024, 2, 29));
    click(MonthCalendar::Step::NextYear);
    EXPECT_EQ(calendar->title(), "Февраль, 2025");
    click(MonthCalendar::Step::PreviousYear);
    click(MonthCalendar::Step::PreviousYear);
    click(MonthCalendar::Step::PreviousMonth);
    EXPECT_EQ(calendar->title(), "Январь, 2023");
    EXPECT_TRUE(editor->calendarVisible());
}

TEST(MonthCalendar, WeeksStartOnMondayAndSundaysAreRed)
{
    MonthCalendar calendar;
    calendar.setSelectedDate(QDate(2001, 3, 14));   // far from today, whose frame is red too
    // 1 March 2001 is a Thursday: the first row starts on Monday 26 February.
    const QRect first = calendar.dayRect(QDate(2001, 2, 26));
    EXPECT_EQ(first.top(), calendar.dayRect(QDate(2001, 3, 1)).top());
    EXPECT_EQ(first.left(), calendar.dayRect(QDate(2001, 3, 5)).left());
    EXPECT_LT(first.left(), calendar.dayRect(QDate(2001, 3, 4)).left());
    EXPECT_TRUE(calendar.dayRect(QDate(2001, 2, 25)).isEmpty());

    const QImage face = calendar.grab().toImage();
    auto redPixels = [&face](const QRect& cell) {
        int count = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                count += face.pixelColor(x, y) == QColor(255, 0, 0);
        return count;
    };
    EXPECT_GT(redPixels(calendar.dayRect(QDate(2001, 3, 11))), 0);   // Sunday
    EXPECT_EQ(redPixels(calendar.dayRect(QDate(2001, 3, 10))), 0);   // Saturday
}

}  // namespace
