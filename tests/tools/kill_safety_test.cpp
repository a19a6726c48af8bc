// fpi-data import-paradox and create killed while they run, at several
// moments: afterwards the target is complete or absent, and after the next run
// no temporary copy of the tables is left.
#include "support/fpi_data_run.h"
#include "support/paradox_maker.h"
#include "support/temp_dir.h"

#include "store/result_table.h"
#include "store/table.h"

#include <gtest/gtest.h>

extern "C" {
#include <paradox.h>
}

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using paradox_test::Cell;
using testsupport::TempDir;

// Starts fpi-data with its output thrown away, to be killed while it runs.
pid_t start(const std::vector<std::string>& args)
{
    const std::string& program = fpi_data_run::program();
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, pointers.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status of a run to its end.
int run(const std::vector<std::string>& args)
{
    return fpi_data_run::run(args).status;
}

// Kills the run with SIGKILL as soon as `reached(pid)` holds; true when that
// happened before the run ended by itself.
bool killWhen(pid_t pid, const std::function<bool(pid_t)>& reached)
{
    int status = 0;
    for (long polls = 0; polls < 2000000; ++polls) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return false;
        if (reached(pid)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return WIFSIGNALED(status);
        }
        usleep(50);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "the run neither ended nor reached the moment";
    return false;
}

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

off_t sizeOf(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

struct Moment {
    const char* what;
    std::function<bool(const std::string& temporary, const std::string& target)> reached;
};

// The moments of a run that builds its tables in `temporary` and places them at `target`.
std::vector<Moment> moments()
{
    return {
        {"at the start", [](const std::string&, const std::string&) { return true; }},
        {"temporary made", [](const std::string& t, const std::string&) { return exists(t); }},
        {"first table written", [](const std::string& t, const std::string&) { return exists(t + "/FpiBd.db"); }},
        {"last table begun", [](const std::string& t, const std::string&) { return exists(t + "/Result.db"); }},
        {"last table half written",
         [](const std::string& t, const std::string&) { return sizeOf(t + "/Result.db") > 2 << 20; }},
        {"first table placed",
         [](const std::string&, const std::string& target) { return exists(target + "/TestFam.DB"); }},
    };
}

std::vector<std::string> temporariesIn(const std::string& dir)
{
    std::vector<std::string> found;
    if (!fs::is_directory(dir))
        return found;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().find("fpi-new") != std::string::npos)
            found.push_back(entry.path().string());
    return found;
}

std::int64_t rowsOf(const std::string& dir, const char* table, bool results = false)
{
    store::Table t(table);
    t.setDirectoryPath(dir);
    if (results)
        t.declareFields(store::resultFields());
    t.open();
    return t.recordCount();
}

// Either no tables or all three, each opening as the program opens it.
void expectAllOrNothing(const std::string& dir, std::int64_t results)
{
    const int present = exists(dir + "/TestFam.DB") + exists(dir + "/FpiBd.db") + exists(dir + "/Result.db");
    if (present == 0)
        return;
    ASSERT_EQ(present, 3) << "a part of the tables in " << dir;
    EXPECT_GE(rowsOf(dir, "TestFam.DB"), 2);
    EXPECT_EQ(rowsOf(dir, "FpiBd.db"), 114);
    EXPECT_EQ(rowsOf(dir, "Result.db", true), results);
}

// A source installation with a large results table, made once.
class KillSafety : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        source_ = new TempDir;
        paradox_test::writeTable(source_->file("TestFam.DB"), {{"F", pxfAlpha, 20}, {"I", pxfAlpha, 20}, {"O", pxfAlpha, 20}},
                                 {{std::string("Иванов"), std::string("Пётр"), std::string("Ильич")},
                                  {std::string("Петрова"), std::string("Анна"), Cell{}}});
        std::vector<std::vector<Cell>> items;
        for (long k = 1; k <= 114; ++k)
            items.push_back({k, "Вопрос № " + std::to_string(k)});
        paradox_test::writeTable(source_->file("FpiBd.db"), {{"NumVopros", pxfShort, 2}, {"Vopros", pxfAlpha, 250}}, items);
        resultRows_ = paradox_test::writeLargeResults(source_->file("Result.db"), 6000);
    }
    static void TearDownTestSuite()
    {
        delete source_;
        source_ = nullptr;
    }
    static TempDir* source_;
    static long resultRows_;
};

TempDir* KillSafety::source_ = nullptr;
long KillSafety::resultRows_ = 0;

}  // namespace

TEST_F(KillSafety, ImportIntoANewDirectory)
{
    int killedWhileWriting = 0;
    for (const Moment& m : moments()) {
        SCOPED_TRACE(m.what);
        TempDir root;
        const std::string dest = root.file("Data");
        const pid_t pid = start({"import-paradox", source_->path(), dest});
        const std::string temporary = root.file(".Data.fpi-new-" + std::to_string(pid));
        const bool killed = killWhen(pid, [&](pid_t) { return m.reached(temporary, dest); });
        if (killed && exists(temporary + "/Result.db"))
            ++killedWhileWriting;
        // The new directory appears whole or not at all, right away.
        if (exists(dest))
            expectAllOrNothing(dest, resultRows_);
        const bool wasComplete = exists(dest);

        const int rerun = run({"import-paradox", source_->path(), dest});
        EXPECT_EQ(rerun, wasComplete ? 2 : 0);
        expectAllOrNothing(dest, resultRows_);
        EXPECT_TRUE(exists(dest));
        EXPECT_EQ(temporariesIn(root.path()), std::vector<std::string>{}) << "no copy of personal data is left";
        EXPECT_EQ(temporariesIn(dest), std::vector<std::string>{});
    }
    EXPECT_GE(killedWhileWriting, 1) << "no run was killed while it wrote the results table";
}

TEST_F(KillSafety, ImportIntoAnExistingDirectory)
{
    for (const Moment& m : moments()) {
        SCOPED_TRACE(m.what);
        TempDir root;
        const std::string dest = root.file("Data");
        fs::create_directory(dest);
        const pid_t pid = start({"import-paradox", source_->path(), dest});
        const std::string temporary = dest + "/.fpi-new-" + std::to_string(pid);
        killWhen(pid, [&](pid_t) { return m.reached(temporary, dest); });

        // A run killed between placing its tables is set right by the next run.
        run({"import-paradox", source_->path(), dest});
        expectAllOrNothing(dest, resultRows_);
        EXPECT_TRUE(exists(dest + "/Result.db"));
        EXPECT_EQ(temporariesIn(root.path()), std::vector<std::string>{});
        EXPECT_EQ(temporariesIn(dest), std::vector<std::string>{});
    }
}

TEST_F(KillSafety, Create)
{
    for (const Moment& m : moments()) {
        for (const bool existing : {false, true}) {
            SCOPED_TRACE(std::string(m.what) + (existing ? ", existing directory" : ", new directory"));
            TempDir root;
            const std::string dest = root.file("Data");
            if (existing)
                fs::create_directory(dest);
            const pid_t pid = start({"create", dest});
            const std::string temporary =
                existing ? dest + "/.fpi-new-" + std::to_string(pid) : root.file(".Data.fpi-new-" + std::to_string(pid));
            killWhen(pid, [&](pid_t) { return m.reached(temporary, dest); });
            if (!existing && exists(dest))
                expectAllOrNothing(dest, 0);
            const bool wasComplete = exists(dest + "/Result.db");

            EXPECT_EQ(run({"create", dest}), wasComplete ? 2 : 0);
            expectAllOrNothing(dest, 0);
            EXPECT_TRUE(exists(dest + "/Result.db"));
            EXPECT_EQ(temporariesIn(root.path()), std::vector<std::string>{});
            EXPECT_EQ(temporariesIn(dest), std::vector<std::string>{});
        }
    }
}
