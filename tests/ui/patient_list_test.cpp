// The patient list window: its grid over the subjects table, Esc closing it
// from anywhere (an edit in progress abandoned first), the close box keeping a
// correction, and the current row kept from one opening to the next.
#include "shell_fixture.h"

#include "store/table.h"
#include "toolkit/grid_model.h"
#include "toolkit/grid_view.h"
#include "toolkit/grid_widget.h"
#include "ui/unit1.h"
#include "ui/unit6.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include <functional>

using namespace uitest;

namespace {

class PatientListTest : public ShellTest {
protected:
    void startWithSubjects()
    {
        data.createSubjects({
            {"Иванов", "Иван", "Иванович"},
            {"Петрова", "Анна", "Сергеевна"},
            {"Сидоров", "Олег", "Павлович"},
        });
        data.createQuestionnaire({{2, "Утверждение"}});
        data.createResults();
        startProgram();
    }

    toolkit::GridView* view() const { return Form6->DBGrid1->view(); }
    QLineEdit* cellEditor() const { return testsupport::cellEditor(view()); }

    // "Пациент" on the registration window; `inside` runs while the list is
    // shown modally and must close it.
    void pick(const std::function<void()>& inside)
    {
        withPatientList([this, inside] {
            shownOnRow = view()->currentIndex().row();
            inside();
        });
        EXPECT_FALSE(Form6->isVisible());
    }
    void key(Qt::Key key, QWidget* to = nullptr) { QTest::keyClick(to ? to : view(), key); }
    // Opens the cell editor on the current cell and replaces its text.
    void editCell(const QString& text)
    {
        QLineEdit* editor = testsupport::openCellEditor(view());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        typeText(editor, text);
    }
    // Enter in the cell editor; the editor hands its text over through a queued call.
    void commitCell()
    {
        key(Qt::Key_Return, cellEditor());
        QApplication::processEvents();
        EXPECT_EQ(cellEditor(), nullptr);
    }
    std::string storedSurname(int row) const
    {
        return std::get<std::string>(MainForm->tbFamil.rowAt(row).at(0));
    }

    int shownOnRow = -2;
};

}  // namespace

TEST_F(PatientListTest, GridOfSurnameNameAndPatronymicWithTheFieldsWidths)
{
    data.exec("TestFam.DB", "CREATE TABLE TestFam(F VARCHAR(20), I VARCHAR(10), O VARCHAR(15));"
                            "INSERT INTO TestFam VALUES('Иванов', 'Иван', 'Иванович');");
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults();
    startProgram();

    EXPECT_EQ(Form6->windowTitle(), "Сведения о ранее зарегестрированых пациентах");
    EXPECT_EQ(Form6->size(), QSize(433, 452));
    Form6->show();
    EXPECT_EQ(Form6->DBGrid1->geometry(), Form6->rect());
    const QAbstractItemModel* model = view()->model();
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal), "Фамилия");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal), "Имя");
    EXPECT_EQ(model->headerData(2, Qt::Horizontal), "Отчество");
    EXPECT_EQ(model->data(model->index(0, 2)), "Иванович");

    const int digit = view()->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    EXPECT_EQ(view()->columnWidth(0), 20 * digit + 4);
    EXPECT_EQ(view()->columnWidth(1), 10 * digit + 4);
    EXPECT_EQ(view()->columnWidth(2), 15 * digit + 4);
    EXPECT_EQ(view()->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    Form6->hide();
}

TEST_F(PatientListTest, TheCellEditorTakesAsManyCharactersAsTheSubjectsFieldHolds)
{
    data.exec("TestFam.DB", "CREATE TABLE TestFam(F VARCHAR(20), I VARCHAR(10), O VARCHAR(15));"
                            "INSERT INTO TestFam VALUES('Иванов', 'Иван', 'Иванович');");
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults();
    startProgram();
    QString surnameTyped, firstNameTyped;
    pick([&] {
        editCell(QStringLiteral("Римский-Корсаковааааааа"));
        surnameTyped = cellEditor()->text();
        commitCell();
        key(Qt::Key_Right);
        editCell(QStringLiteral("Александрина"));
        firstNameTyped = cellEditor()->text();
        commitCell();
        Form6->close();
    });
    EXPECT_EQ(surnameTyped, QStringLiteral("Римский-Корсаковаааа"));
    EXPECT_EQ(firstNameTyped, QStringLiteral("Александри"));
    EXPECT_TRUE(box.errors.isEmpty()) << box.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(storedSurname(0), "Римский-Корсаковаааа");
    EXPECT_EQ(MainForm->Edit2->text(), QStringLiteral("Александри"));
}

TEST_F(PatientListTest, ARefusedNameIsReportedUnderTheColumnsTitle)
{
    startWithSubjects();
    toolkit::GridSource* source = Form6->DBGrid1->model()->source();
    ASSERT_NE(source, nullptr);
    source->edit();
    QString message;
    try {
        source->setText(source->fieldIndex(QStringLiteral("O")), QStringLiteral("Александровичевич"));
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    }
    source->cancel();
    EXPECT_EQ(message, QStringLiteral("«Отчество»: допустим текст не длиннее 15 символов; введено «Александровичевич»"));
    EXPECT_EQ(MainForm->tbFamil.state(), store::Table::State::Browse);
}

TEST_F(PatientListTest, TheRowLeftCurrentIsPickedAndKeptForTheNextOpening)
{
    startWithSubjects();
    pick([this] {
        key(Qt::Key_Down);
        key(Qt::Key_Down);
        key(Qt::Key_Escape);
    });
    EXPECT_EQ(shownOnRow, 0);   // the first row after start-up
    EXPECT_EQ(MainForm->Edit1->text(), "Сидоров");
    EXPECT_EQ(MainForm->Edit3->text(), "Павлович");

    pick([this] { key(Qt::Key_Escape); });
    EXPECT_EQ(shownOnRow, 2);
    EXPECT_EQ(MainForm->Edit1->text(), "Сидоров");
    EXPECT_TRUE(box.messages.isEmpty());
}

TEST_F(PatientListTest, EscInAnOpenCellEditorAbandonsTheEditAndCloses)
{
    startWithSubjects();
    pick([this] {
        key(Qt::Key_Down);
        editCell(QStringLiteral("Кузнецова"));
        key(Qt::Key_Escape, cellEditor());
    });
    EXPECT_EQ(storedSurname(1), "Петрова");
    EXPECT_EQ(MainForm->Edit1->text(), "Петрова");
    EXPECT_EQ(MainForm->tbFamil.state(), store::Table::State::Browse);
    EXPECT_TRUE(box.messages.isEmpty());
    EXPECT_TRUE(box.errors.isEmpty());
}

TEST_F(PatientListTest, EscAbandonsARowWithAChangedCellAndANewRow)
{
    startWithSubjects();
    pick([this] {
        editCell(QStringLiteral("Кузнецов"));
        commitCell();   // the cell is taken; the row is still being edited
        EXPECT_EQ(MainForm->tbFamil.state(), store::Table::State::Edit);
        key(Qt::Key_Escape);
    });
    EXPECT_EQ(storedSurname(0), "Иванов");
    EXPECT_EQ(MainForm->Edit1->text(), "Иванов");

    pick([this] {
        key(Qt::Key_Insert);
        editCell(QStringLiteral("Новиков"));
        key(Qt::Key_Escape, cellEditor());
    });
    EXPECT_EQ(MainForm->tbFamil.recordCount(), 3);
    EXPECT_EQ(MainForm->tbFamil.state(), store::Table::State::Browse);
    EXPECT_TRUE(box.errors.isEmpty());
}

TEST_F(PatientListTest, TheCloseBoxKeepsACorrection)
{
    startWithSubjects();
    pick([this] {
        key(Qt::Key_Down);
        editCell(QStringLiteral("Кузнецова"));
        commitCell();
        Form6->close();
    });
    EXPECT_EQ(storedSurname(1), "Кузнецова");
    EXPECT_EQ(MainForm->Edit1->text(), "Кузнецова");
    EXPECT_EQ(MainForm->Edit2->text(), "Анна");
}

TEST_F(PatientListTest, ACorrectionThatCannotBeStoredKeepsTheWindowOpen)
{
    startWithSubjects();
    data.exec("TestFam.DB", "CREATE TRIGGER refuse BEFORE UPDATE ON TestFam WHEN NEW.F = 'Запрет' "
                            "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    pick([this] {
        editCell(QStringLiteral("Запрет"));
        commitCell();
        Form6->close();
        EXPECT_TRUE(Form6->isVisible());
        EXPECT_EQ(box.errors.size(), 1);
        key(Qt::Key_Escape);
    });
    EXPECT_EQ(storedSurname(0), "Иванов");
    EXPECT_EQ(MainForm->Edit1->text(), "Иванов");
}

TEST_F(PatientListTest, WithoutTheSubjectsTableTheListIsEmptyAndEscStillCloses)
{
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults();
    startProgram();
    box.messages.clear();
    pick([this] {
        EXPECT_EQ(view()->model()->rowCount(), 0);
        EXPECT_EQ(view()->model()->columnCount(), 3);
        key(Qt::Key_Escape);
    });
}
