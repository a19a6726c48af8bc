// The data directory, the start-up connection and the table files it meets.
#include "store/data_directory.h"
#include "store_test_util.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace store;
using namespace storetest;

namespace {

void makeAllTables(const TempDir& dir)
{
    makeSubjects(dir);
    makeQuestionnaire(dir, {std::int64_t{1}, std::int64_t{2}});
    makeResults(dir);
}

struct Tables {
    Database database;
    Table subjects{"TestFam.DB"};
    Table questionnaire{"FpiBd.db"};
    Table results{"Result.db"};

    StartupOutcome connect(const std::string& directory)
    {
        return connectAtStartup(database, subjects, questionnaire, results, directory);
    }
    std::vector<bool> open() const { return {subjects.active(), questionnaire.active(), results.active()}; }
};

const std::vector<bool> kNoneOpen{false, false, false};

// A results table file whose column `Tip7` is missing or of another type.
void makeResultsWithTip7(const TempDir& dir, const std::string& tip7)
{
    std::string columns = "\"NN\" INTEGER PRIMARY KEY AUTOINCREMENT, \"F\" TEXT, \"I\" TEXT, \"O\" TEXT, \"Dat\" DATE";
    for (int s = 1; s <= 12; ++s)
        if (s != 7 || !tip7.empty())
            columns += ", \"Tip" + std::to_string(s) + "\" " + (s == 7 ? tip7 : "SMALLINT");
    createTableFile(dir.file("Result.db"), columns);
}

// The first bytes of a Paradox data table of an earlier installation.
std::string paradoxHeader()
{
    std::string h(2048, '\0');
    h[0] = 0x3a;     // record size
    h[3] = 0x08;     // header size 0x0800
    h[4] = 0x02;     // data table
    h[5] = 0x02;     // 2 KiB blocks
    h[0x39] = 0x0c;  // file version 7
    return h;
}

// Makes a file write-protected even for root; false when this file system cannot.
bool protect(const std::string& path, bool on)
{
    if (geteuid() != 0)
        return chmod(path.c_str(), on ? 0400 : 0600) == 0;
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    const bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                    ioctl(fd, FS_IOC_SETFLAGS, &(flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL)) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

}  // namespace

TEST(DataDirectory, BesideTheExecutable)
{
    EXPECT_EQ(dataDirectoryFor("/opt/fpi/bin/fpi"), "/opt/fpi/bin/Data/");
    EXPECT_EQ(dataDirectoryFor("/fpi"), "/Data/");
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(dataDirectory(), dataDirectoryFor(self));
}

TEST(Startup, ConnectsAndOpensAllThreeAtTheirFirstRows)
{
    TempDir dir;
    makeAllTables(dir);
    Tables t;
    const StartupOutcome outcome = t.connect(dir.path() + "/");
    EXPECT_EQ(outcome.kind, StartupOutcome::Connected) << outcome.engineMessage;
    EXPECT_EQ(t.open(), std::vector<bool>(3, true));
    EXPECT_TRUE(t.database.connected());
    EXPECT_EQ(itemNumber(t.questionnaire), 1);
    EXPECT_TRUE(t.results.eof());

    reopenByPath(t.results, dir.path() + "/");
    EXPECT_TRUE(t.results.active());
    EXPECT_EQ(t.results.fields().size(), 17u);
    EXPECT_EQ(t.results.fields()[4].displayLabel, "Невротичность");
}

TEST(Startup, StopsAtTheFirstFailureLeavingEarlierTablesOpen)
{
    struct Case {
        const char* missing;
        std::vector<bool> open;
        bool reopens;
    };
    for (const Case& c : {Case{"TestFam.DB", kNoneOpen, true}, Case{"FpiBd.db", {true, false, false}, true},
                          Case{"Result.db", {true, true, false}, false}}) {
        SCOPED_TRACE(c.missing);
        TempDir dir;
        makeAllTables(dir);
        std::filesystem::remove(dir.file(c.missing));
        Tables t;
        const StartupOutcome outcome = t.connect(dir.path());
        EXPECT_EQ(outcome.kind, StartupOutcome::ConnectionFailed);
        EXPECT_EQ(outcome.engineMessage, "Таблица «" + dir.file(c.missing) + "»: файл не найден");
        EXPECT_EQ(t.open(), c.open);
        EXPECT_TRUE(t.database.connected()) << "a connection that was made stays";
        if (c.reopens) {
            reopenByPath(t.results, dir.path());
            EXPECT_TRUE(t.results.active());
        } else {
            EXPECT_STORE_ERROR(reopenByPath(t.results, dir.path()), "файл не найден");
        }
    }
}

TEST(Startup, NoDataDirectory)
{
    TempDir dir;
    Tables t;
    const StartupOutcome outcome = t.connect(dir.file("Data/"));
    EXPECT_EQ(outcome.kind, StartupOutcome::ConnectionFailed);
    EXPECT_EQ(outcome.engineMessage, "Каталог данных «" + dir.file("Data/") + "» не найден");
    EXPECT_FALSE(t.database.connected());
    EXPECT_EQ(t.open(), kNoneOpen);
    EXPECT_STORE_ERROR(reopenByPath(t.results, dir.file("Data/")), "Каталог «" + dir.file("Data") + "»: такого каталога нет");
}

TEST(Startup, AResultsTableWithoutAFieldOrOfTheWrongKind)
{
    for (const std::string& tip7 : {std::string(), std::string("TEXT")}) {
        TempDir dir;
        makeSubjects(dir);
        makeQuestionnaire(dir, {});
        makeResultsWithTip7(dir, tip7);
        Tables t;
        const StartupOutcome outcome = t.connect(dir.path());
        EXPECT_EQ(outcome.kind, StartupOutcome::ConnectionFailed);
        const std::string expected = tip7.empty() ? "«" + dir.file("Result.db") + "»: нет поля «Tip7»"
                                                  : "поле «Tip7» должно быть целым числом";
        EXPECT_NE(outcome.engineMessage.find(expected), std::string::npos) << outcome.engineMessage;
        EXPECT_EQ(t.open(), (std::vector<bool>{true, true, false}));
        EXPECT_STORE_ERROR(reopenByPath(t.results, dir.path()), expected);
    }
}

TEST(Startup, FilesThatAreNotTablesAreRefusedUntouched)
{
    struct Case {
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {"", "файл пуст, это не таблица"},
        {std::string("\x13\x7f\xa0 random bytes that are no table at all") + std::string(500, '\x5a'),
         "файл не является таблицей"},
        {paradoxHeader(), "таблица Paradox прежней установки программы; переведите таблицы командой fpi-data "
                          "import-paradox"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        TempDir dir;
        makeSubjects(dir);
        makeQuestionnaire(dir, {});
        writeBytes(dir.file("Result.db"), c.bytes);
        Tables t;
        const StartupOutcome outcome = t.connect(dir.path());
        EXPECT_EQ(outcome.kind, StartupOutcome::ConnectionFailed);
        EXPECT_EQ(outcome.engineMessage.rfind("Таблица «" + dir.file("Result.db") + "»: ", 0), 0u);
        EXPECT_NE(outcome.engineMessage.find(c.message), std::string::npos) << outcome.engineMessage;
        EXPECT_EQ(std::filesystem::file_size(dir.file("Result.db")), c.bytes.size());
    }
}

TEST(Startup, AnSQLiteFileWithoutItsTable)
{
    TempDir dir;
    createTableFile(dir.file("Other.db"), "x");
    std::filesystem::rename(dir.file("Other.db"), dir.file("Result.db"));
    Table t("Result.db");
    t.setDirectoryPath(dir.path());
    EXPECT_STORE_ERROR(t.open(), "в файле нет таблицы «Result»");
    EXPECT_FALSE(t.active());
}

TEST(Startup, AReadOnlyResultsTableOpensAndKeepsTheRowPendingUntilWritable)
{
    TempDir dir;
    makeAllTables(dir);
    if (!protect(dir.file("Result.db"), true))
        GTEST_SKIP() << "this file system cannot write-protect a file";
    Tables t;
    const StartupOutcome outcome = t.connect(dir.path());
    EXPECT_EQ(outcome.kind, StartupOutcome::Connected) << outcome.engineMessage;
    EXPECT_STORE_ERROR(appendResultRow(t.results, "Иванов", "Иван", "Иванович", scores(1), Date{2024, 1, 2}),
                       "только для чтения");
    EXPECT_TRUE(t.results.hasPending());
    EXPECT_STORE_ERROR(t.results.storePending(), "только для чтения");

    protect(dir.file("Result.db"), false);
    t.results.storePending();   // once the file is writable again, the row reaches it
    EXPECT_FALSE(t.results.hasPending());
    EXPECT_EQ(t.results.fieldText("F"), "Иванов");
}
