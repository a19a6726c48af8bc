// fpi-data export, report and import-items against paths that are not safe to
// write or read: tables of a data directory however they are reached, things
// that are not regular files, a disk that fills up, a standard output that
// cannot take the output.
#include "support/fpi_data_run.h"
#include "support/temp_dir.h"

#include "store/result_table.h"
#include "store/table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using fpi_data_run::Output;
using fpi_data_run::readWhole;

class OutputSafety : public ::testing::Test {
protected:
    OutputSafety()
    {
        root_ = scratch_.path();
        dir_ = root_ + "/Data";
        EXPECT_EQ(fpi_data_run::run({"create", dir_}).status, 0);
    }

    void addResult(const std::string& surname, const std::string& name, const std::string& patronymic)
    {
        store::Table t("Result.db");
        t.setDirectoryPath(dir_);
        t.declareFields(store::resultFields());
        t.open();
        const std::array<std::int32_t, 12> s{1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3};
        store::appendResultRow(t, surname, name, patronymic, s, store::Date{2024, 3, 5});
    }

    // Every entry under the root with its type, and the bytes of each table file.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> all;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            const auto type = entry.symlink_status().type();
            const std::string name = entry.path().string();
            const bool table = name.size() > 3 && (name.substr(name.size() - 3) == ".db" ||
                                                   name.substr(name.size() - 3) == ".DB");
            all[name] = std::to_string(int(type)) + (table && type == fs::file_type::regular ? readWhole(name) : "");
        }
        return all;
    }

    testsupport::TempDir scratch_;
    std::string root_;
    std::string dir_;
};

mode_t modeOf(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST_F(OutputSafety, ExportAndReportNeverWriteOntoTablesOrNonRegularFiles)
{
    addResult("Иванов", "Иван", "Иванович");
    ASSERT_EQ(fpi_data_run::run({"create", root_ + "/Other"}).status, 0);
    fs::create_symlink(dir_ + "/Result.db", root_ + "/link.csv");
    fs::create_hard_link(dir_ + "/TestFam.DB", root_ + "/hard.pdf");
    fs::create_directory(root_ + "/folder");
    ASSERT_EQ(mkfifo((root_ + "/fifo").c_str(), 0600), 0);

    // An open table keeps its write-ahead journal and index beside it.
    store::Table open("Result.db");
    open.setDirectoryPath(dir_);
    open.open();
    ASSERT_TRUE(fs::exists(dir_ + "/Result.db-wal"));
    ASSERT_TRUE(fs::exists(dir_ + "/Result.db-shm"));
    fs::create_symlink(dir_ + "/Result.db-shm", root_ + "/shm-link");

    const std::map<std::string, std::string> before = snapshot();
    const std::string targets[] = {
        dir_ + "/Result.db",
        dir_ + "/../Data/TestFam.DB",
        root_ + "/link.csv",
        root_ + "/hard.pdf",
        dir_ + "/Result.db-wal",
        root_ + "/shm-link",
        dir_ + "/FpiBd.db-journal",   // absent, but a table's companion all the same
        root_ + "/Other/Result.db",   // another data directory's table
        root_ + "/Other/FpiBd.db-wal",
        root_ + "/folder",
        root_ + "/fifo",
        "/dev/full",
    };
    for (const std::string& target : targets) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"export", dir_, target}, std::vector<std::string>{"report", dir_, "1", target}}) {
            const fpi_data_run::Run run = fpi_data_run::run(args);
            EXPECT_FALSE(run.hung) << args[0] << " " << target;
            EXPECT_EQ(run.status, 2) << args[0] << " " << target;
            EXPECT_NE(run.err.find("не будет записан"), std::string::npos) << args[0] << " " << target << ": " << run.err;
            EXPECT_EQ(snapshot(), before) << args[0] << " " << target << ": tables changed or files created";
        }
    }
    EXPECT_TRUE(S_ISFIFO(modeOf(root_ + "/fifo")));
    EXPECT_TRUE(S_ISCHR(modeOf("/dev/full")));
}

TEST_F(OutputSafety, OutputsReplaceOnlyWhenFullyWrittenAndAreTheOwners)
{
    const std::string csv = root_ + "/out.csv";
    const std::string pdf = root_ + "/out.pdf";
    std::ofstream(csv) << "старая выгрузка";
    ASSERT_EQ(chmod(csv.c_str(), 0644), 0);

    // Enough rows that the export outgrows a file size limit that the table's
    // own index file still fits under: the limit stands for a full disk.
    {
        std::vector<std::vector<store::Value>> rows;
        for (int i = 0; i < 1000; ++i) {
            std::vector<store::Value> row{std::string("Петров"), std::string("Пётр"), std::string("Петрович"),
                                          store::Date{2024, 1, 2}};
            for (int s = 1; s <= 12; ++s)
                row.emplace_back(std::int64_t{s % 9 + 1});
            rows.push_back(std::move(row));
        }
        std::vector<std::string> columns{"F", "I", "O", "Dat"};
        for (int s = 1; s <= 12; ++s)
            columns.push_back("Tip" + std::to_string(s));
        store::replaceRows(dir_ + "/Result.db", columns, rows);
    }
    const std::map<std::string, std::string> before = snapshot();
    const fpi_data_run::Run full = fpi_data_run::run({"export", dir_, csv}, {"", Output::Captured, 40000, ""});
    EXPECT_EQ(full.status, 2);
    EXPECT_NE(full.err.find("слишком велик"), std::string::npos) << full.err;
    EXPECT_NE(full.err.find("Прежний файл не изменён"), std::string::npos) << full.err;
    EXPECT_EQ(readWhole(csv), "старая выгрузка");
    EXPECT_EQ(snapshot(), before) << "the temporary file is removed";

    const fpi_data_run::Run exported = fpi_data_run::run({"export", dir_, csv});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(readWhole(csv).rfind("\xEF\xBB\xBFNN;F;I;O;Dat;", 0), 0u);
    EXPECT_EQ(modeOf(csv) & 0777, 0600u);
    const fpi_data_run::Run reported = fpi_data_run::run({"report", dir_, "1", pdf});
    EXPECT_EQ(reported.status, 0) << reported.err;
    EXPECT_EQ(readWhole(pdf).rfind("%PDF", 0), 0u);
    EXPECT_EQ(modeOf(pdf) & 0777, 0600u);

    for (const std::vector<std::string>& args : {std::vector<std::string>{"export", dir_, root_ + "/нет/out.csv"},
                                                 std::vector<std::string>{"report", dir_, "1", root_ + "/нет/out.pdf"}}) {
        const fpi_data_run::Run missing = fpi_data_run::run(args);
        EXPECT_EQ(missing.status, 2) << args[0];
        EXPECT_NE(missing.err.find("не существует"), std::string::npos) << missing.err;
        EXPECT_EQ(missing.err.find("No such"), std::string::npos) << missing.err;
    }
}

TEST_F(OutputSafety, StandardOutputFailuresAreReported)
{
    addResult("Иванов", "Иван", "Иванович");
    const struct {
        Output output;
        const char* reason;
    } cases[] = {{Output::DevFull, "нет места"}, {Output::Closed, "закрыт"}, {Output::BrokenPipe, "канал"}};
    std::string sheet = "бланк\t";
    for (int i = 0; i < 114; ++i)
        sheet += "Д";
    for (const auto& c : cases) {
        for (const std::vector<std::string>& args : {std::vector<std::string>{"export", dir_},
                                                     std::vector<std::string>{"score"}}) {
            const fpi_data_run::Run run = fpi_data_run::run(args, {sheet + "\n", c.output, 0, ""});
            EXPECT_EQ(run.status, 2) << args[0] << " " << c.reason;
            EXPECT_NE(run.err.find("стандартный вывод"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        }
    }
    // Appended to a table, a standard output has not been truncated yet: keep it so.
    const std::string table = readWhole(dir_ + "/Result.db");
    const fpi_data_run::Run appended =
        fpi_data_run::run({"export", dir_}, {"", Output::AppendedToFile, 0, dir_ + "/Result.db"});
    EXPECT_EQ(appended.status, 2);
    EXPECT_NE(appended.err.find("таблицы"), std::string::npos) << appended.err;
    EXPECT_EQ(readWhole(dir_ + "/Result.db"), table);
}

TEST_F(OutputSafety, ExportShowsFormulaLikeTextAsText)
{
    addResult("=1+2", "@СУММ", "-");
    addResult("+7", "Иван", "\tИванович");
    const fpi_data_run::Run run = fpi_data_run::run({"export", dir_});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\r\n1;\"'=1+2\";\"'@СУММ\";\"'-\";2024-03-05;1;2;3;4;5;6;7;8;9;1;2;3\r\n"),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\r\n2;\"'+7\";Иван;\"'\tИванович\";2024-03-05;"), std::string::npos) << run.out;
}

TEST_F(OutputSafety, InputsMustBeRegularFiles)
{
    fs::create_directory(root_ + "/folder");
    ASSERT_EQ(mkfifo((root_ + "/fifo").c_str(), 0600), 0);
    const std::string items = readWhole(dir_ + "/FpiBd.db");
    for (const std::string& input : {root_ + "/folder", root_ + "/fifo", std::string("/dev/zero"),
                                     std::string("/dev/null"), root_ + "/missing.txt"}) {
        for (const std::vector<std::string>& args : {std::vector<std::string>{"import-items", dir_, input},
                                                     std::vector<std::string>{"score", input}}) {
            const fpi_data_run::Run run = fpi_data_run::run(args);
            EXPECT_FALSE(run.hung) << args[0] << " " << input;
            EXPECT_EQ(run.status, 2) << args[0] << " " << input;
            EXPECT_NE(run.err.find("не удалось прочитать"), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find("No such"), std::string::npos) << run.err;
        }
    }
    EXPECT_EQ(readWhole(dir_ + "/FpiBd.db"), items);
}

}  // namespace
