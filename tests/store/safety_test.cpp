// Data safety of the table engine: what opening checks before it changes
// anything, read-only use, the row number's range, the journal's size, and the
// Russian reasons given when the directory, the permissions or the disk are the cause.
#include "store_test_util.h"

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>
#include <grp.h>
#include <regex>
#include <sstream>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace store;
using namespace storetest;
namespace fs = std::filesystem;

namespace {

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Byte 18 of an SQLite file: 1 for the rollback journal, 2 for the write-ahead journal.
int journalByte(const std::string& path)
{
    return fileBytes(path).at(18);
}

// Runs SQL on a file through a connection of its own, as another tool would.
void runSql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

std::int64_t queryNumber(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    const std::int64_t n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return n;
}

// The text of the StoreError the action raises; empty when it raises none.
std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const StoreError& e) {
        return e.what();
    }
    return {};
}

// Nothing but the named paths and names in the message is written in Latin
// letters: no system text reaches the operator in English.
bool russianOnly(std::string message, std::vector<std::string> names, std::string* word = nullptr)
{
    names.push_back("SQLite");
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
    for (const std::string& name : names)
        for (auto at = message.find(name); at != std::string::npos; at = message.find(name))
            message.erase(at, name.size());
    std::smatch found;
    if (!std::regex_search(message, found, std::regex("[A-Za-z]{2,}")))
        return true;
    if (word)
        *word = found.str();
    return false;
}

#define EXPECT_RUSSIAN(message, ...) \
    EXPECT_TRUE(russianOnly(message, {__VA_ARGS__})) << "English words in: " << (message)

// What a check run in a child process found: empty when everything held.
struct Report {
    std::string text;
    void check(bool ok, const std::string& what) { text += ok ? "" : what + "\n"; }
};

constexpr uid_t kNobody = 65534;

// Runs `body` in a child process and returns its report. With `ordinaryUser`
// the child first takes an ordinary user's rights (the tests may run as root,
// which ignores permissions) and is given `directory`.
std::string inChild(const std::string& directory, bool ordinaryUser, const std::function<std::string()>& body)
{
    int ends[2];
    if (pipe(ends) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child < 0)
        return "no child process";
    if (child == 0) {
        close(ends[0]);
        std::string report;
        try {
            if (ordinaryUser && geteuid() == 0 &&
                (chown(directory.c_str(), kNobody, kNobody) != 0 || setgroups(0, nullptr) != 0 ||
                 setgid(kNobody) != 0 || setuid(kNobody) != 0))
                report = "could not take an ordinary user's rights";
            else
                report = body();
        } catch (const std::exception& e) {
            report = std::string("unexpected failure: ") + e.what();
        }
        const bool written = write(ends[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
        _exit(written ? 0 : 1);
    }
    close(ends[1]);
    std::string report;
    char buffer[512];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<size_t>(got));
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        report += "(the child ended with status " + std::to_string(status) + ")";
    return report;
}

bool writeText(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY);
    const bool ok = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return fd >= 0 && ::close(fd) == 0 && ok;
}

// Mounts a small memory file system of its own at `directory`, seen by this
// process alone (a child: it needs a user namespace of its own); false when
// the system does not allow it.
bool mountSmallDisk(const std::string& directory, const char* size)
{
    const std::string uid = std::to_string(geteuid());
    const std::string gid = std::to_string(getegid());
    return unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && writeText("/proc/self/setgroups", "deny") &&
           writeText("/proc/self/uid_map", "0 " + uid + " 1") && writeText("/proc/self/gid_map", "0 " + gid + " 1") &&
           mount("none", directory.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
}

// Fills the disk of `path` with it, leaving nothing free.
void fillDisk(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const std::string block(4096, 'x');
    while (file && std::fwrite(block.data(), 1, block.size(), file) == block.size() && std::fflush(file) == 0) {
    }
    if (file)
        std::fclose(file);
}

void openResultsReadOnly(Table& t, const std::string& directory)
{
    t.setDirectoryPath(directory);
    t.declareFields(resultFields());
    t.setReadOnly(true);
    t.open();
}

bool hasSideFiles(const std::string& path)
{
    return fs::exists(path + "-wal") || fs::exists(path + "-shm") || fs::exists(path + "-journal");
}

}  // namespace

TEST(OpeningChecks, FieldsNamedLikeTheRowNumberAreRefusedAndTheFileIsLeftAlone)
{
    for (const std::string name : {"rowid", "OID", "_RowID_"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string path = dir.file("TestFam.DB");
        runSql(path, "CREATE TABLE TestFam (\"F\" TEXT, \"" + name + "\" INTEGER);"
                     "INSERT INTO TestFam VALUES ('Андреев', 1), ('Борисов', 1)");
        const std::string before = fileBytes(path);
        for (bool readOnly : {false, true}) {
            Table t("TestFam.DB");
            t.setDirectoryPath(dir.path());
            t.setReadOnly(readOnly);
            const std::string error = errorOf([&] { t.open(); });
            EXPECT_EQ(error, "Таблица «" + path + "»: поле «" + name +
                                 "» называется так же, как скрытый номер строки SQLite, и строки такой таблицы "
                                 "нельзя различить; переименуйте поле");
            EXPECT_FALSE(t.active());
        }
        EXPECT_EQ(fileBytes(path), before) << "the refused file keeps its journal mode and content";
        EXPECT_FALSE(hasSideFiles(path));
    }
}

TEST(OpeningChecks, TablesWithoutRowNumbersOfTheirOwnAreRefused)
{
    for (const char* sql : {"CREATE TABLE TestFam (\"F\" TEXT PRIMARY KEY) WITHOUT ROWID",
                            "CREATE TABLE People (\"F\" TEXT); CREATE VIEW TestFam AS SELECT \"F\" FROM People"}) {
        SCOPED_TRACE(sql);
        TempDir dir;
        runSql(dir.file("TestFam.DB"), sql);
        const std::string before = fileBytes(dir.file("TestFam.DB"));
        Table t("TestFam.DB");
        t.setDirectoryPath(dir.path());
        EXPECT_STORE_ERROR(t.open(), "«TestFam» в файле не обычная таблица");
        EXPECT_EQ(fileBytes(dir.file("TestFam.DB")), before);
    }
}

TEST(OpeningChecks, AResultsTableLackingAFieldIsRefusedBeforeTheJournalSwitch)
{
    TempDir dir;
    const std::string path = dir.file("Result.db");
    runSql(path, "CREATE TABLE Result (\"NN\" INTEGER PRIMARY KEY AUTOINCREMENT, \"F\" VARCHAR(15));"
                 "INSERT INTO Result (\"F\") VALUES ('Иванов')");
    const std::string before = fileBytes(path);
    ASSERT_EQ(journalByte(path), 1);
    Table t("Result.db");
    EXPECT_STORE_ERROR(openResults(t, dir), "нет поля «I»");
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_FALSE(hasSideFiles(path));
}

TEST(OpeningChecks, AFieldNamedRowidAddedWhileOpenStopsChangesToRows)
{
    TempDir dir;
    makeResults(dir);
    const std::string path = dir.file("Result.db");
    Table t("Result.db");
    openResults(t, dir, {"Андреев", "Борисов", "Воронов"});
    t.first();
    runSql(path, "ALTER TABLE Result ADD COLUMN \"rowid\" INTEGER DEFAULT 1");
    const std::string changed = "поля таблицы изменила другая программа; закройте таблицу и откройте её снова";
    EXPECT_STORE_ERROR(t.deleteCurrent(), changed);
    t.edit();
    t.setField("F", std::string("Яковлев"));
    EXPECT_STORE_ERROR(t.post(), changed);
    t.cancel();
    EXPECT_EQ(queryNumber(path, "SELECT count(*) FROM Result"), 3) << "no row was deleted";
    EXPECT_EQ(queryNumber(path, "SELECT count(*) FROM Result WHERE \"F\"='Яковлев'"), 0) << "no row was changed";
    t.close();
    EXPECT_STORE_ERROR(t.open(), "поле «rowid» называется так же");
}

TEST(RowNumber, ANewRowBeyondTheFieldsRangeIsRefusedAndNothingIsStored)
{
    TempDir dir;
    makeResults(dir);
    const std::string path = dir.file("Result.db");
    runSql(path, "INSERT INTO Result (\"NN\", \"F\") VALUES (2147483646, 'Предпоследний')");
    Table t("Result.db");
    openResults(t, dir);
    appendResultRow(t, "Последний", "", "", scores(1), Date{2024, 1, 1});
    EXPECT_EQ(t.fieldInt("NN"), 2147483647) << "the largest 32-bit number is taken";

    EXPECT_STORE_ERROR(appendResultRow(t, "Лишний", "", "", scores(2), Date{2024, 1, 2}),
                       "«" + path + "», поле «NN»: номер новой строки 2147483648 не помещается в 32 бита; "
                                    "строка не сохранена");
    EXPECT_TRUE(t.hasPending()) << "the refused row is kept for the caller to decide";
    t.cancel();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(queryNumber(path, "SELECT count(*) FROM Result"), 2) << "nothing was stored";
    EXPECT_EQ(queryNumber(path, "SELECT seq FROM sqlite_sequence WHERE name='Result'"), 2147483647)
        << "the row number counter is not advanced either";
    t.first();
    t.edit();
    t.setField("F", std::string("Первый"));
    t.post();
    EXPECT_EQ(t.fieldText("F"), "Первый") << "the table stays usable";
}

TEST(ReadOnly, ReadsWithoutChangingTheFileAndRefusesEdits)
{
    TempDir dir;
    const std::string path = dir.file("Result.db");
    runSql(path, "CREATE TABLE Result (" + resultColumnsSql() + "); INSERT INTO Result (\"F\") VALUES ('А'), ('Б')");
    const std::string before = fileBytes(path);
    Table t("Result.db");
    openResultsReadOnly(t, dir.path());
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(t.fieldText("F"), "А");
    t.next();
    EXPECT_EQ(toText(t.rowAt(0)[0], "F"), "А");
    for (const auto& edit : std::vector<std::function<void()>>{[&] { t.append(); }, [&] { t.insert(); },
                                                               [&] { t.edit(); }, [&] { t.deleteCurrent(); }})
        EXPECT_EQ(errorOf(edit), "Таблица «" + path + "»: таблица открыта только для чтения, изменять её нельзя");
    EXPECT_EQ(t.state(), Table::State::Browse);
    EXPECT_STORE_ERROR(t.setReadOnly(false), "нельзя сменить режим открытой таблицы");
    t.close();
    EXPECT_EQ(fileBytes(path), before) << "the journal mode is not switched";

    t.setReadOnly(false);
    t.open();
    EXPECT_EQ(journalByte(path), 2) << "opening for writing switches to the write-ahead journal";
    t.close();
    EXPECT_FALSE(hasSideFiles(path));

    Table reader("Result.db");
    openResultsReadOnly(reader, dir.path());
    EXPECT_EQ(reader.recordCount(), 2);
    reader.close();
    EXPECT_FALSE(hasSideFiles(path)) << "a reader leaves no journal files behind";
}

TEST(ReadOnly, ReadsATableInADirectoryItCannotWriteTo)
{
    TempDir dir;
    const std::string report = inChild(dir.path(), true, [&] {
        Report r;
        const std::string data = dir.file("Data");
        const std::string path = data + "/Result.db";
        mkdir(data.c_str(), 0700);
        createTableFile(path, resultColumnsSql());
        {
            Table writer("Result.db");
            writer.setDirectoryPath(data);
            writer.declareFields(resultFields());
            writer.open();
            appendResultRow(writer, "Андреев", "", "", scores(1), Date{2024, 1, 1});
            appendResultRow(writer, "Борисов", "", "", scores(2), Date{2024, 1, 2});
        }
        r.check(!hasSideFiles(path), "the last connection leaves no journal files");
        chmod(data.c_str(), 0500);

        Table reader("Result.db");
        const std::string opening = errorOf([&] { openResultsReadOnly(reader, data); });
        r.check(opening.empty(), "read-only opening fails: «" + opening + "»");
        if (reader.active()) {
            r.check(reader.recordCount() == 2, "both rows are read");
            r.check(reader.fieldText("F") == "Андреев", "the first row is current");
            r.check(toText(reader.rowAt(1)[0], "F") == "Борисов", "the second row is read by position");
            reader.close();
        }

        // Writing needs a journal beside the file: the directory is named as the cause.
        Table writer("Result.db");
        writer.setDirectoryPath(data);
        writer.declareFields(resultFields());
        const std::string error = errorOf([&] { writer.open(); });
        r.check(error == "Каталог «" + data + "»: нет права записи в каталог; файлы журнала таблицы «Result.db» "
                                              "создать в нём нельзя",
                "the directory is named: «" + error + "»");
        r.check(russianOnly(error, {data, "Result.db"}), "English words in «" + error + "»");
        r.check(!hasSideFiles(path), "nothing is left beside the table");
        chmod(data.c_str(), 0700);
        return r.text;
    });
    EXPECT_EQ(report, "");
}

TEST(ReadOnly, AWriteProtectedTableLeavesNothingThatBlocksLaterWrites)
{
    for (bool firstStaysOpen : {false, true}) {
        SCOPED_TRACE(firstStaysOpen ? "the first table stays open" : "the first table is closed");
        TempDir dir;
        const std::string report = inChild(dir.path(), true, [&] {
            Report r;
            const std::string path = dir.file("Result.db");
            makeResults(dir);
            {
                Table t("Result.db");
                openResults(t, dir, {"Андреев"});
            }
            chmod(path.c_str(), 0400);
            auto first = std::make_unique<Table>("Result.db");
            openResults(*first, dir);
            r.check(first->recordCount() == 1, "a write-protected table is read");
            const std::string refused =
                errorOf([&] { appendResultRow(*first, "Борисов", "", "", scores(1), Date{2024, 1, 1}); });
            r.check(refused == "Таблица «" + path + "»: файл доступен только для чтения, записать в него нельзя",
                    "a write-protected file says so: «" + refused + "»");
            r.check(russianOnly(refused, {path}), "English words in «" + refused + "»");
            first->cancel();
            if (!firstStaysOpen)
                first.reset();

            chmod(path.c_str(), 0600);
            Table second("Result.db");
            openResults(second, dir);
            const std::string error =
                errorOf([&] { appendResultRow(second, "Воронов", "", "", scores(2), Date{2024, 1, 2}); });
            r.check(error.empty(), "the writable file takes a row again: «" + error + "»");
            r.check(second.recordCount() == 2, "the row is stored");
            if (first) {
                first->close();
                first->open();
                r.check(first->recordCount() == 2, "the first table sees it after reopening");
            }
            return r.text;
        });
        EXPECT_EQ(report, "");
    }
}

TEST(Journal, StaysBoundedWhileGridsReadAndResultsAreStored)
{
    // Each post is synchronous: on a memory file system that costs nothing.
    TempDir dir(fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
    makeResults(dir);
    Table grid("Result.db");
    openResults(grid, dir, {"Андреев", "Борисов", "Воронов"});
    Table other("Result.db");
    openResults(other, dir);
    const auto startsWithA = [](const Value& v) { return toText(v, "F").rfind("А", 0) == 0; };
    const std::string wal = dir.file("Result.db-wal");
    std::uintmax_t largest = 0;
    for (std::int64_t i = 0; i < 10000; ++i) {
        // The grid and a second window read rows all over the table, as scrolling does.
        const std::int64_t count = grid.recordCount();
        grid.rowAt(i * 7919 % count);
        grid.rowAt(count - 1);
        other.rowAt(i * 104729 % other.recordCount());
        if (i % 100 == 0) {
            EXPECT_EQ(grid.findRow("F", count - 1, -1, startsWithA), 0);
            other.close();
            other.open();
            other.moveTo(i);
            largest = std::max(largest, fs::file_size(wal));
        }
        appendResultRow(grid, "Результат", std::to_string(i), "", scores(static_cast<std::int32_t>(i % 9)),
                        Date{2024, 1, 1});
    }
    largest = std::max(largest, fs::file_size(wal));
    EXPECT_LT(largest, 8u << 20) << "checkpoints keep the journal small";
    EXPECT_EQ(grid.recordCount(), 10003);
    EXPECT_EQ(other.recordCount(), 9903) << "the second table counted when it last opened";
}

TEST(NewTables, AJournalLeftByAnEarlierFileIsKept)
{
    TempDir dir;
    const std::string path = dir.file("Result.db");
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"Андреев"});
    const std::string wal = fileBytes(path + "-wal");
    t.close();
    std::filesystem::remove(path);
    writeBytes(path + "-wal", wal);   // as if the table file alone had been deleted while open
    EXPECT_STORE_ERROR(makeResults(dir), "рядом остался журнал прежней таблицы «" + path + "-wal»");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(fileBytes(path + "-wal"), wal) << "the journal is left for whoever looks into it";
}

TEST(SystemFailures, AMissingDirectoryOrAFileInItsPlaceIsNamed)
{
    TempDir dir;
    const std::string missing = dir.file("Нет/Data");
    const std::string file = dir.file("Файл");
    writeBytes(file, "не каталог");
    struct Case {
        std::string directory;
        std::string problem;
    };
    for (const Case& c : {Case{missing, "такого каталога нет"}, Case{file, "это не каталог, а файл"}}) {
        SCOPED_TRACE(c.directory);
        Table t("Result.db");
        t.setDirectoryPath(c.directory);
        const std::string opening = errorOf([&] { t.open(); });
        EXPECT_EQ(opening, "Каталог «" + c.directory + "»: " + c.problem);
        EXPECT_RUSSIAN(opening, c.directory);
        const std::string creating = errorOf([&] { createTableFile(c.directory + "/Result.db", resultColumnsSql()); });
        EXPECT_EQ(creating, "Каталог «" + c.directory + "»: " + c.problem +
                                "; файл таблицы «Result.db» создать в нём нельзя");
        EXPECT_RUSSIAN(creating, c.directory, "Result.db");
    }
    Database database;
    EXPECT_STORE_ERROR(database.connect(file), "Каталог данных «" + file + "»: это не каталог, а файл");
    EXPECT_FALSE(database.connected());
}

TEST(SystemFailures, AFullDiskSaysSoAndTheRowWaitsForSpace)
{
    TempDir dir;
    const std::string path = dir.file("Result.db");
    const std::string report = inChild(dir.path(), false, [&] {
        if (!mountSmallDisk(dir.path(), "256k"))
            return std::string("skip");
        Report r;
        makeResults(dir);
        {
            Table t("Result.db");
            openResults(t, dir, {"Андреев"});
        }
        const std::string filler = dir.file("filler");
        fillDisk(filler);
        Table t("Result.db");
        const std::string opening = errorOf([&] { openResults(t, dir); });
        r.check(opening == "Таблица «" + path + "»: ошибка записи файла: на диске нет места",
                "opening on a full disk says so: «" + opening + "»");

        std::remove(filler.c_str());
        openResults(t, dir);
        fillDisk(filler);
        std::string storing;
        for (int i = 0; i < 100 && storing.empty(); ++i)
            storing = errorOf([&] { appendResultRow(t, "Борисов", "", "", scores(1), Date{2024, 1, 1}); });
        r.check(storing == "Таблица «" + path + "»: на диске нет места", "storing says why: «" + storing + "»");
        r.check(t.hasPending(), "the row that could not be stored is kept");
        std::remove(filler.c_str());
        const std::string retry = errorOf([&] { t.storePending(); });
        r.check(retry.empty() && !t.hasPending() && t.fieldText("F") == "Борисов",
                "once there is space the row is stored: «" + retry + "»");
        return r.text;
    });
    if (report == "skip")
        GTEST_SKIP() << "this system does not let a test mount a small file system of its own";
    EXPECT_EQ(report, "");
}

TEST(SystemFailures, AFileSizeLimitStopsWritesWithTheReasonAndKeepsTheRow)
{
    // A full disk cannot be made here; a file size limit fails writes the same way
    // (with "file too large" instead of "no space left").
    TempDir dir;
    makeResults(dir);
    {
        Table t("Result.db");
        openResults(t, dir, {"Андреев"});
    }
    const std::string path = dir.file("Result.db");
    const std::string report = inChild(dir.path(), false, [&] {
        Report r;
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        // Opening makes the table's 32 KiB shared-memory file beside it, over this limit.
        limit.rlim_cur = 16 * 1024;
        setrlimit(RLIMIT_FSIZE, &limit);
        Table t("Result.db");
        const std::string opening = errorOf([&] { openResults(t, dir); });
        r.check(opening == "Таблица «" + path + "»: ошибка записи файла: файл слишком велик",
                "opening says why: «" + opening + "»");
        std::remove((path + "-shm").c_str());

        limit.rlim_cur = 96 * 1024;
        setrlimit(RLIMIT_FSIZE, &limit);
        Table results("Result.db");
        openResults(results, dir);
        std::string storing;
        for (int i = 0; i < 100 && storing.empty(); ++i)
            storing = errorOf([&] { appendResultRow(results, "Борисов", "", "", scores(1), Date{2024, 1, 1}); });
        r.check(storing == "Таблица «" + path + "»: ошибка записи файла: файл слишком велик",
                "storing says why: «" + storing + "»");
        r.check(results.hasPending(), "the row that could not be stored is kept");
        return r.text;
    });
    EXPECT_EQ(report, "");
    Table t("Result.db");
    openResults(t, dir);
    EXPECT_EQ(t.fieldText("F"), "Андреев") << "the table is whole after the failures";
}
