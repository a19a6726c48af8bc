// The results journal over a results table of the store: its columns and
// footer, the search by displayed text, corrections refused or stored, and
// the row it leaves current for the print command.
#include "shell_fixture.h"

#include "store/result_table.h"
#include "toolkit/grid_header.h"
#include "toolkit/grid_view.h"
#include "toolkit/grid_widget.h"
#include "ui/unit1.h"
#include "ui/unit4.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

using namespace uitest;

namespace {

bool startsWith(const std::string& text, const std::string& beginning)
{
    return text.compare(0, beginning.size(), beginning) == 0;
}

class JournalTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        data.createAll({{2, "Утверждение"}});
        data.exec("Result.db",
                  "INSERT INTO Result(F, I, O, Dat, Tip1, Tip2, Tip3, Tip4, Tip5, Tip6, Tip7, Tip8, Tip9, Tip10, "
                  "Tip11, Tip12) VALUES"
                  "('Петров', 'Пётр', 'Петрович', '2024-03-01', 5, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1),"
                  "('иванов', 'Иван', 'Иванович', '2024-02-15', 7, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2),"
                  "('Ивлев', 'Олег', 'Павлович', '2023-12-31', 9, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3);");
        startProgram();
        tester = std::make_unique<QAbstractItemModelTester>(
            grid()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    }

    toolkit::DataGrid* grid() const { return fmResult->grResult; }
    toolkit::GridView* view() const { return grid()->view(); }
    store::Table& results() const { return MainForm->tbResult; }
    QString footer(int column) const { return grid()->model()->footerText(column); }
    QString cell(int row, int column) const { return grid()->model()->cellText(row, column); }

    void openJournal()
    {
        fmResult->show();
        fmResult->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(fmResult));
        view()->setFocus();
    }
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(view(), Qt::Key(k), modifiers);
    }
    void goToColumn(int column) { view()->setCurrentIndex(grid()->model()->index(view()->currentIndex().row(), column)); }
    QLineEdit* editor() const { return testsupport::cellEditor(view()); }
    void editCell(const QString& text) { testsupport::editCell(view(), text); }

    std::unique_ptr<QAbstractItemModelTester> tester;
};

// The default locale for the program's texts while it exists, then the one before.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(saved_); }
    DefaultLocale(const DefaultLocale&) = delete;
    DefaultLocale& operator=(const DefaultLocale&) = delete;

private:
    QLocale saved_;
};

}  // namespace

TEST_F(JournalTest, ShowsTheSixteenColumnsWithTitlesAlignmentsWidthsAndFooter)
{
    openJournal();
    EXPECT_EQ(fmResult->windowTitle(), QStringLiteral("Результаты тестирования"));
    const auto& columns = grid()->model()->columns();
    ASSERT_EQ(columns.size(), 16);
    const QStringList titles{"Фамилия", "Имя", "Отчество", "Дата обсл.", "Неврот- ичность",
                             "Спонтанная агрессивность", "Депресив- ность", "Раздражит- ельность",
                             "Общитель- ность", "Уравнове- шеность", "Реактивная агрессивность",
                             "Застенчи- вость", "Открытость", "Экстраверсия- интроверсия",
                             "Эмоцианальная лабильность", "Маскулизм- феменизьм"};
    const int digit = view()->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(grid()->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles.at(c));
        EXPECT_EQ(view()->columnWidth(c), (c < 3 ? 15 : 10) * digit + 4) << c;
        EXPECT_EQ(bool(columns.at(c).alignment & Qt::AlignRight), c >= 4) << c;
    }
    EXPECT_EQ(columns.at(15).field, QStringLiteral("Tip12"));
    EXPECT_EQ(footer(0), QStringLiteral("ВСЕГО:"));
    EXPECT_TRUE(columns.at(0).footerAlignment & Qt::AlignRight);
    EXPECT_EQ(footer(1), QStringLiteral("3"));
    EXPECT_TRUE(footer(2).isEmpty());
    EXPECT_EQ(cell(0, 3), QStringLiteral("01.03.2024"));
    EXPECT_EQ(cell(1, 4), QStringLiteral("7"));
    EXPECT_EQ(fmResult->Panel1->text(),
              QStringLiteral("Для выполнения поиска перместитесь на нужный столбец и набирите первые буквы"));
    EXPECT_EQ(fmResult->Panel1->height(), 29);
    // Sixteen columns do not fit: the grid scrolls sideways.
    EXPECT_GT(view()->horizontalHeader()->length(), view()->viewport()->width());
}

TEST_F(JournalTest, OpensOnTheTablesCurrentRowAndEscLeavesItOpen)
{
    results().moveTo(2);
    openJournal();
    EXPECT_EQ(view()->currentIndex().row(), 2);
    key(Qt::Key_Escape);
    EXPECT_TRUE(fmResult->isVisible());
}

TEST_F(JournalTest, SearchesNamesInEitherCaseAndDatesAndScoresByTheirDisplayedText)
{
    openJournal();
    typeText(view(), QStringLiteral("ИВ"));
    EXPECT_EQ(results().recNo(), 1);   // "иванов" is stored in lower case
    grid()->search()->end();

    goToColumn(3);
    typeText(view(), QStringLiteral("31."));
    EXPECT_EQ(results().recNo(), 2);
    grid()->search()->end();

    goToColumn(4);
    typeText(view(), QStringLiteral("5"));
    EXPECT_EQ(results().recNo(), 0);
    typeText(view(), QStringLiteral("0"));   // no score begins with 50: dropped
    EXPECT_EQ(results().recNo(), 0);
    EXPECT_EQ(grid()->search()->text(), QStringLiteral("5"));
}

TEST_F(JournalTest, TheFooterCountFollowsARowStoredAndARowDeletedInTheGrid)
{
    openJournal();
    key(Qt::Key_End, Qt::ControlModifier);
    key(Qt::Key_Home);
    key(Qt::Key_Down);   // a new row after the last
    EXPECT_EQ(footer(1), QStringLiteral("3"));
    editCell(QStringLiteral("Сидоров"));
    key(Qt::Key_Up);
    EXPECT_EQ(footer(1), QStringLiteral("4"));
    ASSERT_EQ(data.resultRows().size(), 4u);
    EXPECT_TRUE(startsWith(data.resultRows().back(), "Сидоров||"));

    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(box.questions.back(), QStringLiteral("Delete record?"));
    EXPECT_EQ(footer(1), QStringLiteral("3"));
    EXPECT_EQ(data.resultRows().size(), 3u);
}

TEST_F(JournalTest, RefusesValuesThatDoNotFitTheirFieldsAndKeepsTheStoredRow)
{
    openJournal();
    const std::vector<std::string> before = data.resultRows();
    goToColumn(4);
    editCell(QStringLiteral("пять"));
    editCell(QStringLiteral("70000"));
    editCell(QStringLiteral("-1"));
    goToColumn(3);
    editCell(QStringLiteral("31.02.2024"));
    ASSERT_EQ(box.errors.size(), 4) << box.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(box.errors.at(0).contains(QStringLiteral("пять")));
    EXPECT_TRUE(fmResult->isVisible());
    key(Qt::Key_Down);
    EXPECT_EQ(data.resultRows(), before);

    goToColumn(3);
    editCell(QStringLiteral("02.01.2025"));
    key(Qt::Key_Up);
    EXPECT_TRUE(startsWith(data.resultRows().at(1), "иванов|Иван|Иванович|2025-01-02|"));
}

TEST_F(JournalTest, ARefusedValueIsReportedUnderTheColumnsTitleWithTheValuesAllowed)
{
    openJournal();
    const std::vector<std::string> before = data.resultRows();
    goToColumn(4);
    editCell(QStringLiteral("пять"));
    goToColumn(13);
    editCell(QStringLiteral("70000"));
    goToColumn(3);
    editCell(QStringLiteral("31.02.2024"));
    ASSERT_EQ(box.errors.size(), 3) << box.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(box.errors.at(0), QStringLiteral("«Невротичность»: допустимы целые числа от 1 до 9; введено «пять»"));
    EXPECT_EQ(box.errors.at(1),
              QStringLiteral("«Экстраверсия-интроверсия»: допустимы целые числа от 1 до 9; введено «70000»"));
    EXPECT_TRUE(box.errors.at(2).startsWith(QStringLiteral("«Дата обсл.»: допустима дата, например ")));
    for (const QString& error : box.errors) {
        // No file, no internal field name, no storage size.
        for (const char* word : {"/", "Result", "Tip", "Dat»", "поле", "бит"})
            EXPECT_FALSE(error.contains(QLatin1String(word))) << error.toStdString() << " has " << word;
    }
    EXPECT_TRUE(fmResult->isVisible());
    key(Qt::Key_Down);
    EXPECT_EQ(data.resultRows(), before);
}

TEST_F(JournalTest, TheNameEditorsTakeFifteenCharacters)
{
    openJournal();
    key(Qt::Key_F2);
    ASSERT_NE(editor(), nullptr);
    editor()->clear();
    typeText(editor(), QStringLiteral("Оченьдлиннаяфамилия"));
    EXPECT_EQ(editor()->text(), QStringLiteral("Оченьдлиннаяфам"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCoreApplication::processEvents();
    key(Qt::Key_Down);
    EXPECT_TRUE(box.errors.isEmpty()) << box.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(startsWith(data.resultRows().at(0), "Оченьдлиннаяфам|Пётр|"));
}

TEST_F(JournalTest, ScaleScoresAreOneToNineAndScoresStoredOtherwiseStillShow)
{
    openJournal();
    const std::vector<std::string> before = data.resultRows();
    goToColumn(4);
    for (const char* score : {"0", "10", "-3"})
        editCell(QString::fromLatin1(score));
    ASSERT_EQ(box.errors.size(), 3) << box.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(box.errors.at(1), QStringLiteral("«Невротичность»: допустимы целые числа от 1 до 9; введено «10»"));
    key(Qt::Key_Down);
    EXPECT_EQ(data.resultRows(), before);

    goToColumn(15);
    editCell(QStringLiteral("9"));
    key(Qt::Key_Down);
    goToColumn(4);
    editCell(QStringLiteral("1"));
    key(Qt::Key_Up);
    EXPECT_EQ(box.errors.size(), 3);
    EXPECT_TRUE(startsWith(data.resultRows().at(1), "иванов|Иван|Иванович|2024-02-15|7,2,2,2,2,2,2,2,2,2,2,9"));
    EXPECT_TRUE(startsWith(data.resultRows().at(2), "Ивлев|Олег|Павлович|2023-12-31|1,3,"));

    // A row stored earlier with a score outside the range shows it as it is.
    fmResult->close();
    data.exec("Result.db", "UPDATE Result SET Tip1 = 10 WHERE F = 'Петров'");
    results().close();
    results().open();
    openJournal();
    EXPECT_EQ(cell(0, 4), QStringLiteral("10"));
}

TEST_F(JournalTest, ATypedDateKeepsItsCenturyAndATwoDigitYearIsThisCenturys)
{
    openJournal();
    goToColumn(3);
    editCell(QStringLiteral("15.03.23"));
    key(Qt::Key_Down);
    editCell(QStringLiteral("16.04.1923"));
    key(Qt::Key_Down);
    EXPECT_TRUE(startsWith(data.resultRows().at(0), "Петров|Пётр|Петрович|2023-03-15|"));
    EXPECT_TRUE(startsWith(data.resultRows().at(1), "иванов|Иван|Иванович|1923-04-16|"));
    {
        const DefaultLocale english(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_EQ(QLocale().dateFormat(QLocale::ShortFormat), QStringLiteral("M/d/yy"));
        editCell(QStringLiteral("3/15/23"));
        key(Qt::Key_Up);
        editCell(QStringLiteral("7/4/1999"));
        key(Qt::Key_Up);
        editCell(QStringLiteral("2/30/24"));
    }
    ASSERT_EQ(box.errors.size(), 1) << box.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(box.errors.at(0).startsWith(QStringLiteral("«Дата обсл.»: допустима дата")));
    key(Qt::Key_Down);
    EXPECT_TRUE(startsWith(data.resultRows().at(0), "Петров|Пётр|Петрович|2023-03-15|"));
    EXPECT_TRUE(startsWith(data.resultRows().at(1), "иванов|Иван|Иванович|1999-07-04|"));
    EXPECT_TRUE(startsWith(data.resultRows().at(2), "Ивлев|Олег|Павлович|2023-03-15|"));
    EXPECT_EQ(QLocale().dateFormat(QLocale::ShortFormat), QStringLiteral("dd.MM.yyyy"));
}

TEST_F(JournalTest, TheRowLeftCurrentIsTheOneThePrintFilterPicks)
{
    openJournal();
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    fmResult->close();
    EXPECT_FALSE(fmResult->isVisible());
    QString printed;
    store::withOneRowFilter(results(), [&] { printed = QString::fromStdString(results().fieldText("F")); });
    EXPECT_EQ(printed, QStringLiteral("Ивлев"));
}

TEST_F(JournalTest, ACorrectionStillOpenIsStoredWhenTheWindowCloses)
{
    openJournal();
    editCell(QStringLiteral("Петренко"));
    fmResult->close();
    EXPECT_TRUE(startsWith(data.resultRows().at(0), "Петренко|"));
    EXPECT_EQ(results().state(), store::Table::State::Browse);
}

TEST_F(JournalTest, ANotOpenTableIsAnEmptyGridWithACountOfNoughtAndNoSearch)
{
    results().close();
    openJournal();
    EXPECT_EQ(grid()->model()->rowCount(), 0);
    EXPECT_EQ(footer(1), QStringLiteral("0"));
    typeText(view(), QStringLiteral("И"));
    EXPECT_FALSE(grid()->search()->active());
    key(Qt::Key_Delete, Qt::ControlModifier);
    key(Qt::Key_Insert);
    EXPECT_TRUE(box.said.isEmpty());
}
