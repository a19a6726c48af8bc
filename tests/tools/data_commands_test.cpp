// fpi-data create, import-items and export, run as the operator runs them.
#include "store/result_table.h"
#include "store/table.h"
#include "support/fpi_data_run.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

using CommandRun = fpi_data_run::Run;

CommandRun fpiData(const QStringList& args)
{
    return fpi_data_run::runArgs(args);
}

class DataCommands : public ::testing::Test {
protected:
    DataCommands()
    {
        root_ = scratch_.path();
        dir_ = root_ + "/Data";
    }

    QString dir() const { return QString::fromStdString(dir_); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    QString write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(root_ + "/" + name, std::ios::binary) << bytes;
        return QString::fromStdString(root_ + "/" + name);
    }
    std::vector<std::vector<store::Value>> rows(const char* table) const
    {
        store::Table t(table);
        t.setDirectoryPath(dir_);
        t.open();
        std::vector<std::vector<store::Value>> all;
        for (std::int64_t k = 0; k < t.recordCount(); ++k)
            all.push_back(t.rowAt(k));
        return all;
    }

    testsupport::TempDir scratch_;
    std::string root_;
    std::string dir_;
};

TEST_F(DataCommands, CreateMakesTheSampleTablesAndNeverOverwrites)
{
    ASSERT_EQ(fpiData({"create", dir()}).status, 0);
    const auto items = rows("FpiBd.db");
    ASSERT_EQ(items.size(), 114u);
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(std::get<std::int64_t>(items[i][0]), static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(std::get<std::string>(items[i][1]).rfind("Демонстрационный вопрос № " + std::to_string(i + 1) + ".", 0), 0u);
    }
    const auto subjects = rows("TestFam.DB");
    EXPECT_GE(subjects.size(), 5u);
    EXPECT_TRUE(std::any_of(subjects.begin(), subjects.end(), [](const auto& r) { return store::isNull(r[2]); }))
        << "one subject has a blank patronymic";
    EXPECT_TRUE(rows("Result.db").empty());
    for (const char* name : {"TestFam.DB", "FpiBd.db", "Result.db"}) {
        struct stat info {};
        ASSERT_EQ(stat(path(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
    }

    const auto size = fs::file_size(path("FpiBd.db"));
    const CommandRun again = fpiData({"create", dir()});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("уже существует"), std::string::npos);
    EXPECT_EQ(fs::file_size(path("FpiBd.db")), size);
    EXPECT_EQ(fpiData({"create"}).status, 1);
    EXPECT_EQ(fpiData({"create", "--help"}).status, 0);
}

TEST_F(DataCommands, ImportItemsReplacesAllOrNothing)
{
    ASSERT_EQ(fpiData({"create", dir()}).status, 0);
    const QString good = write("good.txt", "\xEF\xBB\xBF" "3\tТретий\r\n1\tПервый\r\n\r\n2\tВторой; с «кавычками»\n");
    const CommandRun ok = fpiData({"import-items", dir(), good});
    EXPECT_EQ(ok.status, 0) << ok.err;
    const auto items = rows("FpiBd.db");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(std::get<std::int64_t>(items[0][0]), 3) << "items keep the file's order";
    EXPECT_EQ(std::get<std::string>(items[0][1]), "Третий");
    EXPECT_EQ(std::get<std::string>(items[2][1]), "Второй; с «кавычками»");

    const QString bad = write("bad.txt", "1\tПервый\nдва\tВторой\n3\t  \n4 Четвёртый\n5\t\xD0\n6\tШестой\n");
    const CommandRun refused = fpiData({"import-items", dir(), bad});
    EXPECT_EQ(refused.status, 1);
    for (const char* line : {"строка 2: номер «два»", "строка 3: пустой текст", "строка 4: нет символа табуляции",
                             "строка 5: текст не в кодировке UTF-8"})
        EXPECT_NE(refused.err.find(line), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("строка 1:"), std::string::npos);
    EXPECT_EQ(rows("FpiBd.db").size(), 3u) << "a bad file changes nothing";

    EXPECT_EQ(fpiData({"import-items", dir(), write("empty.txt", "")}).status, 1);
    EXPECT_EQ(fpiData({"import-items", dir(), QString::fromStdString(root_ + "/missing.txt")}).status, 2);
    EXPECT_EQ(fpiData({"import-items", QString::fromStdString(root_), good}).status, 2) << "no FpiBd.db there";
}

TEST_F(DataCommands, ExportWritesSpreadsheetCsv)
{
    ASSERT_EQ(fpiData({"create", dir()}).status, 0);
    {
        store::Table t("Result.db");
        t.setDirectoryPath(dir_);
        t.declareFields(store::resultFields());
        t.open();
        std::array<std::int32_t, 12> s{1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3};
        store::appendResultRow(t, "Иванов", "Иван", "Иванович", s, store::Date{2024, 3, 5});
        store::appendResultRow(t, "О'Нил; \"Мл.\"", "Шон", "", s, store::Date{2023, 12, 31});
    }
    const std::string header = "\xEF\xBB\xBFNN;F;I;O;Dat;Tip1;Tip2;Tip3;Tip4;Tip5;Tip6;Tip7;Tip8;Tip9;Tip10;Tip11;Tip12\r\n";
    const std::string expected = header + "1;Иванов;Иван;Иванович;2024-03-05;1;2;3;4;5;6;7;8;9;1;2;3\r\n"
                                          "2;\"О'Нил; \"\"Мл.\"\"\";Шон;;2023-12-31;1;2;3;4;5;6;7;8;9;1;2;3\r\n";
    const CommandRun toStdout = fpiData({"export", dir()});
    EXPECT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, expected);

    const std::string file = root_ + "/out.csv";
    EXPECT_EQ(fpiData({"export", dir(), QString::fromStdString(file)}).status, 0);
    std::ostringstream written;
    written << std::ifstream(file, std::ios::binary).rdbuf();
    EXPECT_EQ(written.str(), expected);

    EXPECT_EQ(fpiData({"export"}).status, 1);
    EXPECT_EQ(fpiData({"export", QString::fromStdString(root_)}).status, 2);
    EXPECT_EQ(fpiData({"export", dir(), QString::fromStdString(root_ + "/no/such/dir/out.csv")}).status, 2);
}

}  // namespace

TEST(DataCommandsHelp, EveryCommandAnswersHelpInRussianAndSpellsReportOneWay)
{
    QStringList texts{QString::fromStdString(fpiData({"--help"}).out)};
    for (const char* command : {"score", "create", "import-items", "import-paradox", "export", "report", "backup", "where"}) {
        const CommandRun help = fpiData({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Использование"), std::string::npos) << command;
        texts << QString::fromStdString(help.out);
    }
    for (const QString& text : texts)
        EXPECT_FALSE(text.contains(QStringLiteral("отчет"), Qt::CaseInsensitive)) << text.toStdString();
}
