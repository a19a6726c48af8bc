// The print command: what is previewed, the filter while it runs, and the
// current row and messages after success, cancel and failures.
#include "report/print_command.h"
#include "report/result_report.h"
#include "support/report_windows_recorder.h"
#include "report_test_util.h"
#include "toolkit/report_engine.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace reporttest;

namespace {

Subject subject(const char* surname, std::int32_t firstScore)
{
    Subject s = ivanov();
    s.surname = surname;
    s.scores[0] = firstScore;
    return s;
}

class PrintCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        windows.onStep = [this](int, int) {
            if (throwWhileBuilding)
                throw std::runtime_error("сбой");
        };
        windows.onPreview = [this](const toolkit::BuiltReport& report) {
            previewed << pageTexts(report).at(0);
            filteredRows.push_back(table().filtered() ? table().recordCount() : -1);
        };
    }

    virtual store::Table& table() { return dir.table(); }
    std::string currentSurname() { return table().fieldText("F"); }
    void print() { report::printCurrentResult(table()); }

    ResultsDir dir{{subject("Первый", 1), subject("Второй", 2), subject("Третий", 3)}};
    Recorder recorder;
    ReportWindowsRecorder windows;
    bool throwWhileBuilding = false;
    QStringList previewed;
    std::vector<std::int64_t> filteredRows;
};

}  // namespace

TEST_F(PrintCommand, PreviewsTheCurrentRowAloneAndKeepsItCurrent)
{
    table().first();
    table().next();
    print();
    print();   // the printed row stays current, so the same subject again
    EXPECT_EQ(previewed, QStringList(2, QStringLiteral("Тестируемый: Второй Иван Иванович")));
    EXPECT_EQ(filteredRows, (std::vector<std::int64_t>{1, 1}));
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(table().recordCount(), 3);
    EXPECT_EQ(currentSurname(), "Второй");
    EXPECT_TRUE(recorder.said.isEmpty()) << recorder.said.join(QLatin1Char('|')).toStdString();
}

TEST_F(PrintCommand, RowJustStoredIsPrinted)
{
    store::appendResultRow(table(), "Новый", "Пётр", "Петрович", ivanov().scores, {2024, 1, 2});
    print();
    EXPECT_EQ(previewed, QStringList{QStringLiteral("Тестируемый: Новый Пётр Петрович")});
}

TEST_F(PrintCommand, CancelledBuildShowsNoPreviewAndNoMessage)
{
    table().first();
    table().next();
    windows.cancel = true;
    print();
    EXPECT_TRUE(previewed.isEmpty());
    EXPECT_TRUE(recorder.said.isEmpty());
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(table().recordCount(), 3);
    EXPECT_EQ(currentSurname(), "Второй");
}

TEST_F(PrintCommand, ErrorWhileBuildingIsAPrintErrorWithTheFilterOff)
{
    table().moveTo(2);
    throwWhileBuilding = true;
    print();
    EXPECT_TRUE(previewed.isEmpty());
    EXPECT_EQ(recorder.said, QStringList{QStringLiteral("Ошибка печати")});
    EXPECT_FALSE(table().filtered());
    EXPECT_EQ(table().recordCount(), 3);
    EXPECT_EQ(currentSurname(), "Третий");
}

TEST_F(PrintCommand, EmptyTableIsAPrintErrorAndNoFilterIsSet)
{
    ResultsDir empty;
    report::printCurrentResult(empty.table());
    EXPECT_TRUE(previewed.isEmpty());
    EXPECT_EQ(recorder.said, QStringList{QStringLiteral("Ошибка печати")});
    EXPECT_FALSE(empty.table().filtered());
    EXPECT_TRUE(empty.table().filter().empty());
}

// A results table without Tip7 cannot evaluate its reference: the engine's
// own "Ошибка" box names the object, no preview, and no "Ошибка печати".
TEST_F(PrintCommand, FieldThatCannotBeEvaluatedShowsTheEngineErrorOnly)
{
    QTemporaryDir scratch;
    const std::string path = scratch.path().toStdString();
    std::string columns = store::resultColumnsSql();
    columns.replace(columns.find(", \"Tip7\" SMALLINT"), std::string(", \"Tip7\" SMALLINT").size(), "");
    store::createTableFile(path + "/Result.db", columns);
    store::Table partial("Result.db");
    partial.setDirectoryPath(path);
    partial.open();
    partial.append();
    partial.setField("F", std::string("Неполный"));
    partial.post();

    report::printCurrentResult(partial);
    EXPECT_TRUE(previewed.isEmpty());
    ASSERT_EQ(windows.errors.size(), 1);
    EXPECT_TRUE(windows.errors[0].startsWith(QStringLiteral("Memo4: "))) << windows.errors[0].toStdString();
    EXPECT_TRUE(recorder.said.isEmpty()) << recorder.said.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(partial.filtered());
    EXPECT_TRUE(report::resultReport().built().empty());
}
