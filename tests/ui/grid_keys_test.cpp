// The keys of the two grids over the store: the patient list takes typing into
// its cells, the journal keeps typing for its search, Down on an empty table
// starts a new row in both, and each grid's title row has its own height.
#include "shell_fixture.h"

#include "store/table.h"
#include "toolkit/grid_view.h"
#include "toolkit/grid_widget.h"
#include "toolkit/incremental_search.h"
#include "ui/unit1.h"
#include "ui/unit4.h"
#include "ui/unit6.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include <functional>

using namespace uitest;

namespace {

class GridKeysTest : public ShellTest {
protected:
    toolkit::GridView* list() const { return Form6->DBGrid1->view(); }
    toolkit::GridView* journal() const { return fmResult->grResult->view(); }

    static QLineEdit* cellEditor(toolkit::GridView* view) { return testsupport::cellEditor(view); }
    // Types a cell's text as the operator does: with no editor open (Tab from
    // an editor opens the next one) the first key goes to the grid and opens
    // the editor, the rest go to the editor.
    void typeCell(const QString& text)
    {
        QString rest = text;
        if (!cellEditor(list())) {
            typeText(list(), text.left(1));
            ASSERT_NE(cellEditor(list()), nullptr);
            EXPECT_EQ(cellEditor(list())->text(), text.left(1));
            rest = text.mid(1);
        }
        typeText(cellEditor(list()), rest);
        EXPECT_EQ(cellEditor(list())->text(), text);
    }
    void key(Qt::Key key, QWidget* to) { QTest::keyClick(to, key); }

    // "Пациент" on the registration window; `inside` runs while the list is
    // shown modally, and the close box closes it afterwards.
    void pickAfter(const std::function<void()>& inside)
    {
        if (!MainForm)
            startProgram();
        withPatientList([inside] {
            inside();
            Form6->close();
        });
        EXPECT_FALSE(Form6->isVisible());
    }
    std::vector<std::string> storedRow(int row) const
    {
        std::vector<std::string> texts;
        for (const store::Value& value : MainForm->tbFamil.rowAt(row))
            texts.push_back(std::get<std::string>(value));
        return texts;
    }
};

}  // namespace

TEST_F(GridKeysTest, ThePatientListRegistersASubjectTypedBelowTheLastRow)
{
    data.createAll({{2, "Утверждение"}});
    pickAfter([this] {
        key(Qt::Key_Down, list());   // past the only row: a new one
        ASSERT_EQ(MainForm->tbFamil.state(), store::Table::State::Insert);
        typeCell(QStringLiteral("Новиков"));
        key(Qt::Key_Tab, cellEditor(list()));
        typeCell(QStringLiteral("Олег"));
        key(Qt::Key_Tab, cellEditor(list()));
        typeCell(QStringLiteral("Ильич"));
        key(Qt::Key_Return, cellEditor(list()));
        QApplication::processEvents();
    });
    ASSERT_EQ(MainForm->tbFamil.recordCount(), 2);
    EXPECT_EQ(storedRow(1), (std::vector<std::string>{"Новиков", "Олег", "Ильич"}));
    EXPECT_EQ(MainForm->Edit1->text(), QStringLiteral("Новиков"));
    EXPECT_EQ(MainForm->Edit3->text(), QStringLiteral("Ильич"));
    EXPECT_TRUE(box.errors.isEmpty());
}

TEST_F(GridKeysTest, TypingOverAStoredNameReplacesItAndF2OpensOnTheCellsText)
{
    data.createAll({{2, "Утверждение"}});
    pickAfter([this] {
        typeCell(QStringLiteral("Смирнов"));
        key(Qt::Key_Return, cellEditor(list()));
        QApplication::processEvents();
        key(Qt::Key_Tab, list());
        key(Qt::Key_F2, list());
        ASSERT_NE(cellEditor(list()), nullptr);
        EXPECT_EQ(cellEditor(list())->text(), QStringLiteral("Пётр"));
        key(Qt::Key_Return, cellEditor(list()));
        QApplication::processEvents();
    });
    EXPECT_EQ(storedRow(0), (std::vector<std::string>{"Смирнов", "Пётр", "Петрович"}));
    EXPECT_EQ(MainForm->Edit1->text(), QStringLiteral("Смирнов"));
    EXPECT_EQ(MainForm->Edit2->text(), QStringLiteral("Пётр"));
}

TEST_F(GridKeysTest, DownOnAnEmptyPatientListStartsANewRow)
{
    data.createSubjects({});
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults();
    pickAfter([this] {
        ASSERT_EQ(list()->model()->rowCount(), 0);
        key(Qt::Key_Down, list());
        EXPECT_EQ(list()->model()->rowCount(), 1);
        EXPECT_EQ(MainForm->tbFamil.state(), store::Table::State::Insert);
        typeCell(QStringLiteral("Орлова"));
        key(Qt::Key_Tab, cellEditor(list()));
        typeCell(QStringLiteral("Ольга"));
        key(Qt::Key_Tab, cellEditor(list()));
        typeCell(QStringLiteral("Олеговна"));
        key(Qt::Key_Return, cellEditor(list()));
        QApplication::processEvents();
    });
    ASSERT_EQ(MainForm->tbFamil.recordCount(), 1);
    EXPECT_EQ(storedRow(0), (std::vector<std::string>{"Орлова", "Ольга", "Олеговна"}));
}

TEST_F(GridKeysTest, DownOnAnEmptyJournalStartsANewRowAndTypingStillSearches)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    fmResult->show();
    journal()->setFocus();
    ASSERT_EQ(journal()->model()->rowCount(), 0);
    typeText(journal(), QStringLiteral("И"));
    EXPECT_EQ(cellEditor(journal()), nullptr);   // typing is the search's
    key(Qt::Key_Down, journal());
    EXPECT_EQ(journal()->model()->rowCount(), 1);
    EXPECT_EQ(MainForm->tbResult.state(), store::Table::State::Insert);
    typeText(journal(), QStringLiteral("К"));
    EXPECT_EQ(cellEditor(journal()), nullptr);
    fmResult->grResult->finishRow();   // a new row without input is dropped
    EXPECT_EQ(journal()->model()->rowCount(), 0);
    fmResult->hide();
}

TEST_F(GridKeysTest, ThePatientListsTitleRowIsOneLineHighAndTheJournalsTwo)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    Form6->show();
    fmResult->show();
    const int listLine = QFontMetrics(list()->font()).lineSpacing();
    EXPECT_GE(list()->horizontalHeader()->height(), listLine);
    EXPECT_LT(list()->horizontalHeader()->height(), 2 * listLine);
    const int journalLine = QFontMetrics(journal()->font()).lineSpacing();
    EXPECT_GE(journal()->horizontalHeader()->height(), 2 * journalLine);
    fmResult->hide();
    Form6->hide();
}
