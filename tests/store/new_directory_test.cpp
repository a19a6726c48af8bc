// New table files built under a temporary name: what a killed run leaves and
// how the next run deals with it.
#include "store_test_util.h"

#include "store/new_directory.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using storetest::TempDir;
using testsupport::filesIn;

const std::vector<std::string> kTables = {"TestFam.DB", "FpiBd.db", "Result.db"};

// The id of a process that has ended and been waited for.
pid_t deadProcess()
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
}

void buildAll(const store::NewTables& tables)
{
    for (const std::string& name : kTables)
        storetest::writeBytes(tables.path(name), "table " + name);
}

// A temporary as a killed run leaves it, holding copies of personal data.
std::string staleTemporary(const std::string& path)
{
    fs::create_directory(path);
    for (const std::string& name : kTables)
        storetest::writeBytes(path + "/" + name, "Иванов Иван Иванович");
    storetest::writeBytes(path + "/Result.db-journal", "half a transaction");
    return path;
}

}  // namespace

TEST(NewTables, NewDirectoryAppearsWholeAndOwnerOnly)
{
    TempDir root;
    const std::string dest = root.file("Data");
    {
        store::NewTables tables(dest, kTables, store::NewTables::Target::NewDirectory);
        buildAll(tables);
        EXPECT_FALSE(fs::exists(dest)) << "nothing under the target name before it is placed";
        tables.place();
    }
    EXPECT_EQ(filesIn(root.path()), std::vector<std::string>{"Data"});
    EXPECT_EQ(filesIn(dest), (std::vector<std::string>{"FpiBd.db", "Result.db", "TestFam.DB"}));
    struct stat st;
    ASSERT_EQ(stat(dest.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((dest + "/Result.db").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // An existing directory is never the target of a new one.
    EXPECT_STORE_ERROR(store::NewTables(dest, kTables, store::NewTables::Target::NewDirectory), "уже существует");
    storetest::writeBytes(root.file("file"), "x");
    EXPECT_STORE_ERROR(store::NewTables(root.file("file"), kTables, store::NewTables::Target::NewOrExistingDirectory),
                       "не является каталогом");
    EXPECT_STORE_ERROR(store::NewTables(root.file("no/such"), kTables, store::NewTables::Target::NewDirectory),
                       "no/such");
    EXPECT_EQ(filesIn(root.path()), (std::vector<std::string>{"Data", "file"}));
}

TEST(NewTables, FailedOrAbandonedBuildLeavesNothing)
{
    TempDir root;
    const std::string dest = root.file("Data");
    {
        store::NewTables tables(dest, kTables, store::NewTables::Target::NewDirectory);
        buildAll(tables);
    }
    EXPECT_TRUE(filesIn(root.path()).empty()) << "abandoned without place()";
    {
        store::NewTables tables(dest, kTables, store::NewTables::Target::NewDirectory);
        storetest::writeBytes(tables.path("TestFam.DB"), "only one");
        EXPECT_STORE_ERROR(tables.place(), "FpiBd.db");
    }
    EXPECT_TRUE(filesIn(root.path()).empty()) << "a missing table";

    // Into an existing directory: a table already there is never replaced, and
    // one that appears while the others are placed takes back those placed.
    fs::create_directory(dest);
    storetest::writeBytes(dest + "/Result.db", "results of this installation");
    EXPECT_STORE_ERROR(store::NewTables(dest, kTables, store::NewTables::Target::NewOrExistingDirectory),
                       "Result.db» уже существует");
    fs::remove(dest + "/Result.db");
    {
        store::NewTables tables(dest, kTables, store::NewTables::Target::NewOrExistingDirectory);
        buildAll(tables);
        storetest::writeBytes(dest + "/Result.db", "appeared meanwhile");
        EXPECT_STORE_ERROR(tables.place(), "уже существует");
    }
    EXPECT_EQ(filesIn(dest), std::vector<std::string>{"Result.db"});
    std::ifstream kept(dest + "/Result.db");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "appeared meanwhile");
}

TEST(NewTables, TemporaryOfADeadRunIsRemovedAndTheRerunSucceeds)
{
    TempDir root;
    const std::string dest = root.file("Data");
    const pid_t dead = deadProcess();
    staleTemporary(root.file(".Data.fpi-new-" + std::to_string(dead)));
    // A run still going on keeps its temporary, and nobody reads it.
    const std::string live = staleTemporary(root.file(".Data.fpi-new-" + std::to_string(getppid())));

    store::NewTables tables(dest, kTables, store::NewTables::Target::NewDirectory);
    buildAll(tables);
    tables.place();
    EXPECT_EQ(filesIn(root.path()), (std::vector<std::string>{".Data.fpi-new-" + std::to_string(getppid()), "Data"}));
    EXPECT_EQ(filesIn(live).size(), 4u);
    EXPECT_EQ(filesIn(dest), (std::vector<std::string>{"FpiBd.db", "Result.db", "TestFam.DB"}));
}

// A run killed while it linked its files into an existing directory: the next
// run takes back a partial set, keeps a complete one, and removes the temporary.
TEST(NewTables, PartlyPlacedFilesOfADeadRunAreTakenBack)
{
    TempDir root;
    const std::string dest = root.file("Data");
    fs::create_directory(dest);
    storetest::writeBytes(dest + "/pg_service.conf", "not ours");
    const std::string partial = staleTemporary(dest + "/.fpi-new-" + std::to_string(deadProcess()));
    fs::remove(partial + "/Result.db-journal");
    fs::create_hard_link(partial + "/TestFam.DB", dest + "/TestFam.DB");
    // A file of the same name that the run did not link is not the run's.
    storetest::writeBytes(dest + "/FpiBd.db", "the operator's own");

    store::removeStaleTemporaries(dest);
    EXPECT_EQ(filesIn(dest), (std::vector<std::string>{"FpiBd.db", "pg_service.conf"}));

    fs::remove(dest + "/FpiBd.db");
    const std::string complete = staleTemporary(dest + "/.fpi-new-" + std::to_string(deadProcess()));
    fs::remove(complete + "/Result.db-journal");
    for (const std::string& name : kTables)
        fs::create_hard_link(complete + "/" + name, dest + "/" + name);
    store::removeStaleTemporaries(dest);
    EXPECT_EQ(filesIn(dest), (std::vector<std::string>{"FpiBd.db", "Result.db", "TestFam.DB", "pg_service.conf"}));

    // Then a rerun into the directory is refused as for any existing tables, and leaves no temporary.
    EXPECT_STORE_ERROR(store::NewTables(dest, kTables, store::NewTables::Target::NewOrExistingDirectory),
                       "уже существует");
    EXPECT_EQ(filesIn(dest).size(), 4u);
}
