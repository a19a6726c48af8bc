// The data grid driven by keys: search, editing, insert and delete, and how it paints.
#include "grid_memory_source.h"
#include "toolkit/grid_header.h"
#include "toolkit/grid_view.h"
#include "toolkit/grid_widget.h"
#include "support/grid_editing.h"
#include "support/recording_box.h"
#include "toolkit/operator_box.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

using toolkit::GridColumn;
using toolkit::GridSource;

namespace {

// The window around the grid: sees the keys the grid leaves alone.
class Window : public QWidget {
public:
    int escapes = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape)
            ++escapes;
    }
};

GridColumn column(const char* field, int digits, Qt::Alignment alignment = Qt::AlignLeft)
{
    GridColumn c;
    c.field = QString::fromLatin1(field);
    c.title = c.field;
    c.widthDigits = digits;
    c.alignment = alignment;
    return c;
}

class GridViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GridColumn surname = column("F", 15);
        surname.footer = GridColumn::Footer::Count;
        grid = new toolkit::DataGrid(&window);
        grid->setColumns({surname, column("I", 15), column("Tip1", 10, Qt::AlignRight)});
        grid->setSource(&source);
        grid->setGeometry(0, 0, 500, 300);
        window.resize(500, 300);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        view()->setFocus();
        tester = std::make_unique<QAbstractItemModelTester>(grid->model(),
                                                            QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    void TearDown() override
    {
        grid->setSource(nullptr);
    }

    toolkit::GridView* view() const { return grid->view(); }
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(view(), Qt::Key(k), modifiers); }
    // Cyrillic letters have no key codes of their own: only the text says what was typed.
    void type(const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(view(), &press);
        }
    }
    QLineEdit* editor() const { return testsupport::cellEditor(view()); }
    void editCell(const QString& text) { testsupport::editCell(view(), text); }
    QColor pixel(int row, int column, int dx = 2, int dy = 2) const
    {
        const QRect cell = view()->visualRect(grid->model()->index(row, column));
        return view()->viewport()->grab().toImage().pixelColor(cell.topLeft() + QPoint(dx, dy));
    }

    testsupport::RecordingBox box;
    MemorySource source{{"F", "I", "Tip1"},
                        {{"Петров", "Пётр", "5"}, {"иванов", "Иван", "7"}, {"Ивлев", "Олег", "70"}},
                        {"Tip1"}};
    Window window;
    toolkit::DataGrid* grid = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

}  // namespace

TEST_F(GridViewTest, OpensOnTheSourceRowAndMovesItWithTheCursor)
{
    source.setCurrentRow(1);
    EXPECT_EQ(view()->currentIndex().row(), 1);
    key(Qt::Key_Down);
    EXPECT_EQ(source.currentRow(), 2);
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(source.currentRow(), 0);
}

TEST_F(GridViewTest, TypingSearchesTheFocusedColumnAndCtrlEnterGoesOn)
{
    type(QStringLiteral("ив"));
    EXPECT_EQ(source.currentRow(), 1);
    EXPECT_EQ(grid->search()->text(), QStringLiteral("ив"));
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(source.currentRow(), 2);
    key(Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(source.currentRow(), 1);
    EXPECT_TRUE(grid->search()->active());
    key(Qt::Key_Backspace);
    EXPECT_EQ(grid->search()->text(), QStringLiteral("и"));
    key(Qt::Key_Escape);
    EXPECT_FALSE(grid->search()->active());
    EXPECT_EQ(window.escapes, 0);   // Esc ended the search and went no further
}

TEST_F(GridViewTest, ArrowsAndAnotherColumnEndTheSearch)
{
    type(QStringLiteral("и"));
    key(Qt::Key_Down);
    EXPECT_FALSE(grid->search()->active());
    type(QStringLiteral("п"));
    EXPECT_EQ(source.currentRow(), 0);
    key(Qt::Key_Right);
    EXPECT_FALSE(grid->search()->active());
    key(Qt::Key_End);
    type(QStringLiteral("7"));   // in the score column now
    EXPECT_EQ(source.currentRow(), 1);
}

TEST_F(GridViewTest, CtrlFSearchesFromAnEmptyText)
{
    key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(grid->search()->active());
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(source.currentRow(), 1);
}

TEST_F(GridViewTest, EnterEndsTheSearchAndOpensTheEditorWhichTypingNeverDoes)
{
    type(QStringLiteral("и"));
    EXPECT_EQ(editor(), nullptr);
    key(Qt::Key_Return);
    EXPECT_FALSE(grid->search()->active());
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), QStringLiteral("иванов"));
}

TEST_F(GridViewTest, EscLeftAloneGoesToTheWindow)
{
    key(Qt::Key_Escape);
    EXPECT_EQ(window.escapes, 1);
}

TEST_F(GridViewTest, AnEditedRowIsStoredWhenTheCursorLeavesIt)
{
    editCell(QStringLiteral("Петренко"));
    EXPECT_EQ(source.state(), GridSource::State::Edit);
    EXPECT_EQ(source.rows().at(0).at(0), QStringLiteral("Петров"));
    key(Qt::Key_Down);
    EXPECT_EQ(source.state(), GridSource::State::Browse);
    EXPECT_EQ(source.rows().at(0).at(0), QStringLiteral("Петренко"));
    EXPECT_EQ(source.currentRow(), 1);
}

TEST_F(GridViewTest, AValueThatDoesNotFitIsRefusedInTheErrorBox)
{
    key(Qt::Key_End);   // the score column
    editCell(QStringLiteral("пять"));
    ASSERT_EQ(box.errors.size(), 1);
    EXPECT_TRUE(box.errors.at(0).contains(QStringLiteral("пять")));
    EXPECT_EQ(grid->model()->cellText(0, 2), QStringLiteral("5"));
    EXPECT_TRUE(grid->isVisible());
    editCell(QStringLiteral("6"));
    key(Qt::Key_Down);
    EXPECT_EQ(source.rows().at(0).at(2), QStringLiteral("6"));
}

TEST_F(GridViewTest, TheCellEditorTakesNoMoreCharactersThanTheSourceSaysTheFieldHolds)
{
    source.maxLengths = {{0, 15}};
    const QString typed = QStringLiteral("Оченьдлиннаяфамилия");
    key(Qt::Key_F2);
    ASSERT_NE(editor(), nullptr);
    editor()->clear();
    for (const QChar c : typed)
        QTest::sendKeyEvent(QTest::Click, editor(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_EQ(editor()->text(), typed.left(15));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCoreApplication::processEvents();
    key(Qt::Key_Down);
    EXPECT_EQ(source.rows().at(0).at(0), typed.left(15));
    EXPECT_TRUE(box.errors.isEmpty());

    // A field without a limit takes the whole text.
    key(Qt::Key_Right);
    key(Qt::Key_F2);
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->maxLength(), QLineEdit().maxLength());
    QTest::keyClick(editor(), Qt::Key_Escape);
}

TEST_F(GridViewTest, InsertAddsARowAtTheCursorThatIsDroppedWithoutInput)
{
    key(Qt::Key_Down);
    key(Qt::Key_Insert);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(source.state(), GridSource::State::Insert);
    EXPECT_EQ(view()->currentIndex().row(), 1);
    EXPECT_TRUE(grid->model()->cellText(1, 0).isEmpty());
    EXPECT_EQ(grid->model()->cellText(2, 0), QStringLiteral("иванов"));
    key(Qt::Key_Down);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(source.state(), GridSource::State::Browse);
    EXPECT_EQ(grid->model()->cellText(source.currentRow(), 0), QStringLiteral("иванов"));
}

TEST_F(GridViewTest, DownFromTheLastRowAppendsAndAStoredRowCountsInTheFooter)
{
    key(Qt::Key_End, Qt::ControlModifier);
    key(Qt::Key_Home);
    key(Qt::Key_Down);
    EXPECT_EQ(source.state(), GridSource::State::Insert);
    key(Qt::Key_Down);   // no second new row while the first is empty
    EXPECT_EQ(grid->model()->rowCount(), 4);
    editCell(QStringLiteral("Сидоров"));
    EXPECT_EQ(grid->model()->footerText(0), QStringLiteral("3"));
    key(Qt::Key_Up);
    EXPECT_EQ(source.rows().size(), 4);
    EXPECT_EQ(source.rows().last().at(0), QStringLiteral("Сидоров"));
    EXPECT_EQ(grid->model()->footerText(0), QStringLiteral("4"));
    EXPECT_EQ(source.currentRow(), 2);
}

TEST_F(GridViewTest, CtrlDeleteAsksFirstAndDoesNothingOnAnEmptyTable)
{
    box.answer = false;
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(box.questions, QStringList{QStringLiteral("Delete record?")});
    EXPECT_EQ(source.rows().size(), 3);
    box.answer = true;
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(source.rows().isEmpty());
    EXPECT_EQ(grid->model()->footerText(0), QStringLiteral("0"));
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(box.questions.size(), 4);
    EXPECT_TRUE(box.errors.isEmpty());
}

TEST_F(GridViewTest, TabAndShiftTabGoAcrossCellsAndRows)
{
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    EXPECT_EQ(view()->currentIndex(), grid->model()->index(0, 2));
    key(Qt::Key_Tab);
    EXPECT_EQ(view()->currentIndex(), grid->model()->index(1, 0));
    EXPECT_EQ(source.currentRow(), 1);
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(view()->currentIndex(), grid->model()->index(0, 2));
    key(Qt::Key_End, Qt::ControlModifier);
    key(Qt::Key_Tab);   // past the last cell of the last row: a new row
    EXPECT_EQ(source.state(), GridSource::State::Insert);
    EXPECT_EQ(view()->currentIndex(), grid->model()->index(3, 0));
}

TEST_F(GridViewTest, ANewRowWithoutInputIsDroppedWhenTheGridLosesTheFocus)
{
    QLineEdit elsewhere(&window);
    elsewhere.show();
    key(Qt::Key_Insert);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    elsewhere.setFocus();
    EXPECT_EQ(grid->model()->rowCount(), 3);
}

TEST_F(GridViewTest, PaintsTheCurrentCellInHighlightColoursAndTheRestOfItsRowTinted)
{
    const QPalette palette = view()->palette();
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor base = palette.color(QPalette::Base);
    EXPECT_EQ(pixel(0, 0), highlight);
    const QColor tinted = pixel(0, 1);
    EXPECT_NE(tinted, highlight);
    EXPECT_NE(tinted, base);
    EXPECT_EQ(pixel(1, 1), base);

    QLineEdit elsewhere(&window);
    elsewhere.show();
    elsewhere.setFocus();
    EXPECT_EQ(pixel(0, 0), base);      // without the focus the current cell is plain
    EXPECT_EQ(pixel(0, 1), tinted);    // the window is still active
}

TEST_F(GridViewTest, MarksTheMatchedBeginningBlackOnYellow)
{
    type(QStringLiteral("и"));
    EXPECT_EQ(pixel(1, 0, 3, 1), QColor(Qt::yellow));
    grid->search()->end();
    EXPECT_NE(pixel(1, 0, 3, 1), QColor(Qt::yellow));
}

TEST_F(GridViewTest, ColumnsAreDigitsWideAndTitlesTwoLinesHigh)
{
    const int digit = view()->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    EXPECT_EQ(view()->columnWidth(0), 15 * digit + 4);
    EXPECT_EQ(view()->columnWidth(2), 10 * digit + 4);
    EXPECT_GE(view()->horizontalHeader()->height(), 2 * view()->fontMetrics().lineSpacing());
}

TEST_F(GridViewTest, FinishingTheRowStoresTextStillInAnOpenEditor)
{
    key(Qt::Key_F2);
    ASSERT_NE(editor(), nullptr);
    editor()->setText(QStringLiteral("Петренко"));
    grid->finishRow();
    EXPECT_EQ(source.rows().at(0).at(0), QStringLiteral("Петренко"));
    EXPECT_EQ(source.state(), GridSource::State::Browse);
    EXPECT_EQ(editor(), nullptr);
}

TEST_F(GridViewTest, WithoutSearchAPrintableKeyOpensTheEditorHoldingIt)
{
    grid->setSearchEnabled(false);
    key(Qt::Key_Down);
    type(QStringLiteral("С"));
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), QStringLiteral("С"));
    EXPECT_FALSE(grid->search()->active());
    for (const QChar c : QStringLiteral("идоров")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(editor(), &press);
    }
    QTest::keyClick(editor(), Qt::Key_Return);
    QCoreApplication::processEvents();
    key(Qt::Key_Up);
    EXPECT_EQ(source.rows().at(1).at(0), QStringLiteral("Сидоров"));

    // F2, Enter and a double-click open it on the cell's own text; Esc leaves it.
    for (int opening = 0; opening < 3; ++opening) {
        if (opening == 0)
            key(Qt::Key_F2);
        else if (opening == 1)
            key(Qt::Key_Return);
        else {
            const QPoint cell = view()->visualRect(grid->model()->index(0, 0)).center();
            QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cell);
            QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, cell);
        }
        ASSERT_NE(editor(), nullptr) << "opening " << opening;
        EXPECT_EQ(editor()->text(), QStringLiteral("Петров"));
        QTest::keyClick(editor(), Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_EQ(editor(), nullptr);
    }
    // Keys that type nothing open nothing.
    key(Qt::Key_Delete);
    key(Qt::Key_Shift);
    EXPECT_EQ(editor(), nullptr);
}

TEST_F(GridViewTest, TypingIntoANewRowBelowTheLastKeepsIt)
{
    grid->setSearchEnabled(false);
    key(Qt::Key_End, Qt::ControlModifier);
    key(Qt::Key_Home);
    key(Qt::Key_Down);
    ASSERT_EQ(source.state(), GridSource::State::Insert);
    type(QStringLiteral("Я"));
    ASSERT_NE(editor(), nullptr);
    QTest::keyClick(editor(), Qt::Key_Return);
    QCoreApplication::processEvents();
    key(Qt::Key_Up);
    ASSERT_EQ(source.rows().size(), 4);
    EXPECT_EQ(source.rows().last().at(0), QStringLiteral("Я"));
}

TEST_F(GridViewTest, DownOnAnEmptyTableAppendsARow)
{
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(source.rows().isEmpty());
    key(Qt::Key_Down);
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(source.state(), GridSource::State::Insert);
    EXPECT_EQ(view()->currentIndex(), grid->model()->index(0, 0));
    editCell(QStringLiteral("Новиков"));
    grid->finishRow();
    EXPECT_EQ(source.rows().size(), 1);
    EXPECT_EQ(source.state(), GridSource::State::Browse);
}

TEST_F(GridViewTest, TheTitleRowCanBeOneLineHigh)
{
    const int line = QFontMetrics(view()->horizontalHeader()->font()).lineSpacing();
    grid->setTitleLines(1);
    QCoreApplication::processEvents();
    EXPECT_GE(view()->horizontalHeader()->height(), line);
    EXPECT_LT(view()->horizontalHeader()->height(), 2 * line);
}
