// Table files on a network file system: how one is recognised, and the
// rollback journal such files keep instead of the write-ahead one. Tests
// cannot mount one, so the store is told through its probe that a path lies on it.
#include "store/data_directory.h"
#include "store/file_system.h"
#include "store_test_util.h"
#include "support/pg_server.h"

#include <sqlite3.h>

#include <fstream>

using namespace store;
using namespace storetest;

namespace {

// The journal mode a table file keeps, as another program reading it sees it.
std::string journalMode(const std::string& path)
{
    sqlite3* db = nullptr;
    std::string mode = "(not opened)";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            mode = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return mode;
}

// While it exists, every path lies on the named file system ("" for a local one).
struct OnFileSystem {
    explicit OnFileSystem(const std::string& name)
        : probe([this, name](const std::string& path) {
              asked.push_back(path);
              return name;
          })
    {
    }
    std::vector<std::string> asked;
    detail::FileSystemProbeOverride probe;
};

std::vector<std::string> surnamesIn(Table& t)
{
    std::vector<std::string> out;
    for (t.first(); !t.eof(); t.next())
        out.push_back(t.fieldText("F"));
    return out;
}

}  // namespace

TEST(NetworkFileSystem, NumbersOfNetworkFileSystemsAreNamedAndOthersAreLocal)
{
    const std::pair<std::uint64_t, const char*> network[] = {
        {0x6969, "NFS"},          {0x517B, "SMB/CIFS"}, {0xFF534D42, "SMB/CIFS"}, {0xFE534D42, "SMB/CIFS"},
        {0x5346414F, "AFS"},      {0x6B414653, "AFS"},  {0x00C36400, "Ceph"},     {0x73757245, "Coda"},
        {0x564C, "NCP"},          {0x01021997, "9P"},   {0x0BD00BD0, "Lustre"},   {0x47504653, "GPFS"},
        {0x20030528, "OrangeFS"},
        // Where f_type is a signed 32-bit number, the high numbers come out negative.
        {static_cast<std::uint64_t>(std::int64_t{static_cast<std::int32_t>(0xFF534D42)}), "SMB/CIFS"},
    };
    for (const auto& [type, name] : network)
        EXPECT_EQ(networkFileSystemName(type), name) << std::hex << type;

    // ext4, tmpfs, btrfs, XFS, FAT, exFAT, NTFS, overlay, FUSE (local disks too), and nothing.
    for (std::uint64_t type : {0xEF53ull, 0x01021994ull, 0x9123683Eull, 0x58465342ull, 0x4D44ull, 0x2011BAB0ull,
                               0x5346544Eull, 0x794C7630ull, 0x65735546ull, 0ull})
        EXPECT_EQ(networkFileSystemName(type), "") << std::hex << type;
}

TEST(NetworkFileSystem, AnUnaskablePathCountsAsLocalAndTheProbeIsRestored)
{
    TempDir dir;
    EXPECT_EQ(networkFileSystemOf(dir.file("no/such/path")), "");
    const std::string real = networkFileSystemOf(dir.path());
    {
        OnFileSystem nfs("NFS");
        EXPECT_EQ(networkFileSystemOf(dir.path()), "NFS");
        {
            OnFileSystem smb("SMB/CIFS");
            EXPECT_EQ(networkFileSystemOf(dir.path()), "SMB/CIFS");
        }
        EXPECT_EQ(networkFileSystemOf(dir.path()), "NFS");
    }
    EXPECT_EQ(networkFileSystemOf(dir.path()), real);
}

TEST(NetworkJournal, ANewTableKeepsTheRollbackJournalAndStoresRows)
{
    TempDir dir;
    OnFileSystem nfs("NFS");
    makeResults(dir);
    EXPECT_EQ(journalMode(dir.file("Result.db")), "delete");
    {
        Table t("Result.db");
        openResults(t, dir, {"Иванов", "Петров"});
        EXPECT_EQ(journalMode(dir.file("Result.db")), "delete");
        EXPECT_FALSE(std::filesystem::exists(dir.file("Result.db-wal"))) << "no write-ahead journal while open";
        EXPECT_FALSE(std::filesystem::exists(dir.file("Result.db-shm")));
    }
    replaceRows(dir.file("Result.db"), {"F"}, {{std::string("Сидоров")}});
    EXPECT_EQ(journalMode(dir.file("Result.db")), "delete");
    Table again("Result.db");
    openResults(again, dir);
    EXPECT_EQ(surnamesIn(again), std::vector<std::string>{"Сидоров"});
    EXPECT_EQ(testsupport::filesIn(dir.path()), std::vector<std::string>{"Result.db"}) << "no journal is left beside the table";
}

TEST(NetworkJournal, ATableInTheWriteAheadModeIsSwitchedWhenOpenedForWriting)
{
    TempDir dir;
    {
        Table t("Result.db");
        makeResults(dir);
        openResults(t, dir, {"Иванов"});
    }
    ASSERT_EQ(journalMode(dir.file("Result.db")), "wal");

    OnFileSystem nfs("NFS");
    {
        Table reader("Result.db");
        reader.setReadOnly(true);
        openResults(reader, dir);
        EXPECT_EQ(reader.recordCount(), 1);
    }
    EXPECT_EQ(journalMode(dir.file("Result.db")), "wal") << "reading leaves the mode as it is";

    Table t("Result.db");
    openResults(t, dir, {"Петров"});
    EXPECT_EQ(journalMode(dir.file("Result.db")), "delete");
    EXPECT_EQ(surnamesIn(t), (std::vector<std::string>{"Иванов", "Петров"}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("Result.db-wal")));
}

TEST(NetworkJournal, ASwitchWhileAnotherConnectionHoldsTheTableIsRefusedClearly)
{
    TempDir dir;
    makeResults(dir);
    {
        Table t("Result.db");
        openResults(t, dir, {"Иванов"});
    }
    Table other("Result.db");   // another copy, on a machine that took the disk for a local one
    openResults(other, dir);
    ASSERT_EQ(other.recordCount(), 1);

    OnFileSystem nfs("NFS");
    Table t("Result.db");
    t.setDirectoryPath(dir.path());
    t.declareFields(resultFields());
    t.setBusyTimeout(100);
    EXPECT_STORE_ERROR(t.open(), "Таблица «" + dir.file("Result.db") + "»: файл находится на сетевом диске (NFS)");
    EXPECT_STORE_ERROR(t.open(), "другая копия программы");
    EXPECT_FALSE(t.active());
    EXPECT_EQ(journalMode(dir.file("Result.db")), "wal");
    EXPECT_EQ(other.recordCount(), 1) << "the other copy's table is untouched";
}

TEST(NetworkJournal, LocalTablesKeepTheWriteAheadJournal)
{
    TempDir dir;
    OnFileSystem local("");
    makeResults(dir);
    EXPECT_EQ(journalMode(dir.file("Result.db")), "wal");
    {
        Table t("Result.db");
        openResults(t, dir, {"Иванов"});
        EXPECT_EQ(journalMode(dir.file("Result.db")), "wal");
    }
    replaceRows(dir.file("Result.db"), {"F"}, {{std::string("Сидоров")}});
    EXPECT_EQ(journalMode(dir.file("Result.db")), "wal");
    EXPECT_FALSE(local.asked.empty()) << "the file system was asked about";
}

TEST(NetworkJournal, StartUpSaysWhichNetworkFileSystemTheDirectoryLiesOn)
{
    TempDir dir;
    makeSubjects(dir);
    makeQuestionnaire(dir, {std::int64_t{1}});
    makeResults(dir);
    struct Case {
        const char* fileSystem;
        bool serviceFile;
        const char* said;
    };
    for (const Case& c : {Case{"NFS", false, "NFS"}, Case{"", false, ""}, Case{"SMB/CIFS", true, ""}}) {
        SCOPED_TRACE(std::string(c.fileSystem) + (c.serviceFile ? " with pg_service.conf" : ""));
        if (c.serviceFile) {
            // The tables are on a server then, wherever the directory lies.
            if (!testsupport::PgServer::available())
                continue;
            testsupport::PgServer& server = testsupport::PgServer::shared();
            server.writeServiceFile(dir.path(), server.newDatabase());
            createServerTables(dir.path());
        }
        OnFileSystem probe(c.fileSystem);
        Database database;
        Table subjects("TestFam.DB");
        Table questionnaire("FpiBd.db");
        Table results("Result.db");
        const StartupOutcome outcome = connectAtStartup(database, subjects, questionnaire, results, dir.path() + "/");
        EXPECT_EQ(outcome.kind, StartupOutcome::Connected) << outcome.engineMessage;
        EXPECT_EQ(outcome.networkFileSystem, c.said);
        std::filesystem::remove(dir.file("pg_service.conf"));
    }
    OnFileSystem nfs("NFS");
    Database database;
    Table subjects("TestFam.DB");
    Table questionnaire("FpiBd.db");
    Table results("Result.db");
    std::filesystem::remove(dir.file("FpiBd.db"));
    const StartupOutcome failed = connectAtStartup(database, subjects, questionnaire, results, dir.path());
    EXPECT_EQ(failed.kind, StartupOutcome::ConnectionFailed);
    EXPECT_EQ(failed.networkFileSystem, "") << "only a connected directory is spoken of";
}
