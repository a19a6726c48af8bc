// fpi-data backup, run as the operator runs it, also while results are stored.
#include "store/result_table.h"
#include "store/table.h"
#include "support/fpi_data_run.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

using CommandRun = fpi_data_run::Run;

CommandRun fpiData(const QStringList& args)
{
    fpi_data_run::Options options;
    options.watchdogSeconds = 60;
    return fpi_data_run::runArgs(args, options);
}

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string contents(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// One value of a query on a table file opened read-only.
std::string scalar(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    std::string value = "(no value)";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return value;
}

std::int64_t openedRows(const std::string& dir, const char* table)
{
    store::Table t(table);
    t.setDirectoryPath(dir);
    if (std::string(table) == "Result.db")
        t.declareFields(store::resultFields());
    t.open();
    return t.recordCount();
}

class BackupCommand : public ::testing::Test {
protected:
    BackupCommand()
    {
        root_ = scratch_.path();
        dir_ = root_ + "/Data";
        dest_ = root_ + "/Copy";
    }
    ~BackupCommand() override
    {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, ignored);
    }
    void SetUp() override { ASSERT_EQ(fpiData({"create", q(dir_)}).status, 0); }

    std::vector<std::string> entries(const std::string& dir) const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    bool temporaryLeft() const
    {
        for (const auto& name : entries(root_))
            if (name.find("fpi-new") != std::string::npos)
                return true;
        return false;
    }
    void expectCompleteCopy(std::int64_t results) const
    {
        for (const char* name : {"TestFam.DB", "FpiBd.db", "Result.db"})
            EXPECT_EQ(scalar(dest_ + "/" + name, "PRAGMA integrity_check"), "ok") << name;
        EXPECT_EQ(openedRows(dest_, "TestFam.DB"), openedRows(dir_, "TestFam.DB"));
        EXPECT_EQ(openedRows(dest_, "FpiBd.db"), 114);
        EXPECT_EQ(openedRows(dest_, "Result.db"), results);
    }

    testsupport::TempDir scratch_;
    std::string root_;
    std::string dir_;
    std::string dest_;
};

}  // namespace

// A second connection stores results one by one, each durably, while the real
// fpi-data process copies the tables: the copy holds every row stored before
// the copy began, opens as the results table, and the writer never fails.
TEST_F(BackupCommand, CopyTakenWhileResultsAreStoredHoldsEveryEarlierRow)
{
    const std::string results = dir_ + "/Result.db";
    std::vector<std::vector<store::Value>> earlier;
    for (int k = 0; k < 20000; ++k)
        earlier.push_back({std::string("Ранее") + std::to_string(k), store::Date{2020, 1, 2}, std::int64_t{k % 9 + 1}});
    store::replaceRows(results, {"F", "Dat", "Tip1"}, earlier);

    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> stored{0};
    std::string writerError;
    std::thread writer([&] {
        try {
            store::Table t("Result.db");
            t.setDirectoryPath(dir_);
            t.declareFields(store::resultFields());
            t.open();
            for (std::int64_t n = 1; !stop; ++n) {
                store::appendResultRow(t, "Писатель", "Пишущий", std::to_string(n), {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3},
                                       store::Date{2024, 5, 6});
                stored = n;
            }
        } catch (const store::StoreError& e) {
            writerError = e.what();
        }
    });
    while (stored < 20 && writerError.empty())
        std::this_thread::yield();
    const std::int64_t before = 20000 + stored;
    const CommandRun run = fpiData({"backup", q(dir_), q(dest_)});
    const std::int64_t after = stored;
    stop = true;
    writer.join();

    EXPECT_EQ(writerError, "");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Result.db: "), std::string::npos) << run.out;
    EXPECT_EQ(entries(dest_), (std::vector<std::string>{"FpiBd.db", "Result.db", "TestFam.DB"}));
    const std::int64_t copied = std::stoll(scalar(dest_ + "/Result.db", "SELECT count(*) FROM Result"));
    expectCompleteCopy(copied);
    EXPECT_GE(copied, before);
    EXPECT_LE(copied, 20000 + after + 1);
    EXPECT_EQ(scalar(dest_ + "/Result.db", "SELECT count(*) FROM Result WHERE NN <= " + std::to_string(before)),
              std::to_string(before))
        << "every row stored before the copy began";
    EXPECT_EQ(scalar(dest_ + "/Result.db", "SELECT max(NN) FROM Result"), std::to_string(copied))
        << "the copy is one moment of the table, without gaps";
    EXPECT_FALSE(temporaryLeft());

    struct stat st;
    ASSERT_EQ(stat(dest_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    for (const char* name : {"TestFam.DB", "FpiBd.db", "Result.db"}) {
        ASSERT_EQ(stat((dest_ + "/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

TEST_F(BackupCommand, ExistingDestinationIsNeverTouched)
{
    fs::create_directory(dest_);
    std::ofstream(dest_ + "/Result.db") << "an older copy";
    // Even what a killed run of another command left inside stays: the destination is not ours.
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string leftOver = ".fpi-new-" + std::to_string(dead);
    fs::create_directory(dest_ + "/" + leftOver);
    const CommandRun intoDirectory = fpiData({"backup", q(dir_), q(dest_)});
    EXPECT_EQ(intoDirectory.status, 2);
    EXPECT_NE(intoDirectory.err.find("уже существует"), std::string::npos) << intoDirectory.err;
    EXPECT_EQ(entries(dest_), (std::vector<std::string>{leftOver, "Result.db"}));
    EXPECT_EQ(contents(dest_ + "/Result.db"), "an older copy");

    fs::create_directory(root_ + "/Empty");
    EXPECT_EQ(fpiData({"backup", q(dir_), q(root_ + "/Empty")}).status, 2) << "an empty directory is no exception";
    EXPECT_TRUE(entries(root_ + "/Empty").empty());

    std::ofstream(root_ + "/file") << "not a directory";
    EXPECT_EQ(fpiData({"backup", q(dir_), q(root_ + "/file")}).status, 2);
    EXPECT_EQ(contents(root_ + "/file"), "not a directory");
    EXPECT_FALSE(temporaryLeft());
}

TEST_F(BackupCommand, MissingOrDamagedTableLeavesNoDestination)
{
    const std::string items = contents(dir_ + "/FpiBd.db");
    fs::remove(dir_ + "/FpiBd.db");
    const CommandRun missing = fpiData({"backup", q(dir_), q(dest_)});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("нет таблицы FpiBd.db"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(dest_));
    EXPECT_FALSE(temporaryLeft());

    std::ofstream(dir_ + "/FpiBd.db", std::ios::binary) << items;
    std::ofstream(dir_ + "/Result.db", std::ios::binary | std::ios::trunc) << "NN;F;I;O\n1;Иванов;Иван;Иванович\n";
    const CommandRun notATable = fpiData({"backup", q(dir_), q(dest_)});
    EXPECT_EQ(notATable.status, 2);
    EXPECT_NE(notATable.err.find("Result.db"), std::string::npos) << notATable.err;
    EXPECT_FALSE(fs::exists(dest_));

    // A table whose pages are damaged is copied page by page; the check of the copy refuses it.
    ASSERT_EQ(fpiData({"create", q(root_ + "/Fresh")}).status, 0);
    fs::remove(dir_ + "/Result.db");
    fs::copy_file(root_ + "/Fresh/Result.db", dir_ + "/Result.db");
    std::string subjects = contents(dir_ + "/TestFam.DB");
    ASSERT_GE(subjects.size(), 8192u);
    for (std::size_t i = 4096 + 8; i < 4096 + 200; ++i)
        subjects[i] = char(0x5A);
    std::ofstream(dir_ + "/TestFam.DB", std::ios::binary | std::ios::trunc) << subjects;
    const CommandRun damaged = fpiData({"backup", q(dir_), q(dest_)});
    EXPECT_EQ(damaged.status, 2);
    EXPECT_NE(damaged.err.find("TestFam.DB"), std::string::npos) << damaged.err;
    EXPECT_FALSE(fs::exists(dest_));
    EXPECT_FALSE(temporaryLeft());
}

// The tables are only read: a write-protected data directory can be copied.
// Run as a user other than root, for whom write protection means nothing.
TEST_F(BackupCommand, WriteProtectedSource)
{
    fpi_data_run::Options options;
    if (geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv"))
            GTEST_SKIP() << "no setpriv to run as another user";
        for (const auto& e : fs::recursive_directory_iterator(root_))
            ASSERT_EQ(chown(e.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(root_.c_str(), 65534, 65534), 0);
        options.runAs = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    for (const auto& name : entries(dir_))
        ASSERT_EQ(name.find("-wal"), std::string::npos) << "the tables were left closed";
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    const CommandRun run = fpi_data_run::run({"backup", dir_, dest_}, options);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(entries(dir_), (std::vector<std::string>{"FpiBd.db", "Result.db", "TestFam.DB"}));
    EXPECT_EQ(entries(dest_), (std::vector<std::string>{"FpiBd.db", "Result.db", "TestFam.DB"}));
    fs::permissions(dir_, fs::perms::owner_all);
    expectCompleteCopy(0);
}

TEST_F(BackupCommand, HelpAndParameters)
{
    const CommandRun help = fpiData({"backup", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Код завершения"), std::string::npos);
    EXPECT_EQ(fpiData({"backup"}).status, 1);
    EXPECT_EQ(fpiData({"backup", q(dir_)}).status, 1);
    EXPECT_EQ(fpiData({"backup", q(dir_), q(dest_), q(dest_)}).status, 1);
    EXPECT_FALSE(fs::exists(dest_));
}
