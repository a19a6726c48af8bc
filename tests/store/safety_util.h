#pragma once
// Helpers of the store's safety tests: raw reads of a table file, checks run
// in a child process with an ordinary user's rights, a small disk of its own.
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


namespace safetytest {

using namespace store;
using namespace storetest;
namespace fs = std::filesystem;


inline std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Byte 18 of an SQLite file: 1 for the rollback journal, 2 for the write-ahead journal.
inline int journalByte(const std::string& path)
{
    return fileBytes(path).at(18);
}

// Runs SQL on a file through a connection of its own, as another tool would.
inline void runSql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

inline std::int64_t queryNumber(const std::string& path, const std::string& sql)
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
inline std::string errorOf(const std::function<void()>& action)
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
inline bool russianOnly(std::string message, std::vector<std::string> names, std::string* word = nullptr)
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

inline constexpr uid_t kNobody = 65534;

// Runs `body` in a child process and returns its report. With `ordinaryUser`
// the child first takes an ordinary user's rights (the tests may run as root,
// which ignores permissions) and is given `directory`.
inline std::string inChild(const std::string& directory, bool ordinaryUser, const std::function<std::string()>& body)
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

inline bool writeText(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY);
    const bool ok = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return fd >= 0 && ::close(fd) == 0 && ok;
}

// Mounts a small memory file system of its own at `directory`, seen by this
// process alone (a child: it needs a user namespace of its own); false when
// the system does not allow it.
inline bool mountSmallDisk(const std::string& directory, const char* size)
{
    const std::string uid = std::to_string(geteuid());
    const std::string gid = std::to_string(getegid());
    return unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && writeText("/proc/self/setgroups", "deny") &&
           writeText("/proc/self/uid_map", "0 " + uid + " 1") && writeText("/proc/self/gid_map", "0 " + gid + " 1") &&
           mount("none", directory.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
}

// Fills the disk of `path` with it, leaving nothing free.
inline void fillDisk(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const std::string block(4096, 'x');
    while (file && std::fwrite(block.data(), 1, block.size(), file) == block.size() && std::fflush(file) == 0) {
    }
    if (file)
        std::fclose(file);
}

inline void openResultsReadOnly(Table& t, const std::string& directory)
{
    t.setDirectoryPath(directory);
    t.declareFields(resultFields());
    t.setReadOnly(true);
    t.open();
}

inline bool hasSideFiles(const std::string& path)
{
    return fs::exists(path + "-wal") || fs::exists(path + "-shm") || fs::exists(path + "-journal");
}


}  // namespace safetytest
