// A posted row survives the writer being killed, and a kill during a post
// never damages the file.
#include "store_test_util.h"

#include <sqlite3.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace store;
using namespace storetest;

namespace {

// Appends rows without end, writing each stored row's number to `out` once post returns.
[[noreturn]] void writeForever(const TempDir& dir, int out)
{
    try {
        Table t("Result.db");
        openResults(t, dir);
        for (std::int32_t i = 0;; ++i) {
            appendResultRow(t, "Писатель", "№" + std::to_string(i), "", scores(i % 9), Date{2024, 1, 1});
            const std::int32_t nn = t.fieldInt("NN");
            if (write(out, &nn, sizeof nn) != sizeof nn)
                _exit(3);
        }
    } catch (...) {
        _exit(2);
    }
}

}  // namespace

TEST(Durability, RowsPostedBeforeAKillAreAllThere)
{
    TempDir dir;
    makeResults(dir);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        close(pipeEnds[0]);
        writeForever(dir, pipeEnds[1]);
    }
    close(pipeEnds[1]);

    std::vector<std::int32_t> posted;
    std::int32_t nn = 0;
    while (posted.size() < 40 && read(pipeEnds[0], &nn, sizeof nn) == sizeof nn)
        posted.push_back(nn);
    kill(writer, SIGKILL);   // most likely in the middle of the next post
    int status = 0;
    waitpid(writer, &status, 0);
    close(pipeEnds[0]);
    ASSERT_EQ(posted.size(), 40u) << "the writer stopped by itself, status " << status;

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("Result.db").c_str(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);

    Table t("Result.db");
    openResults(t, dir);
    ASSERT_GE(t.recordCount(), 40);
    for (size_t i = 0; i < posted.size(); ++i) {
        const auto row = t.rowAt(static_cast<std::int64_t>(i));
        EXPECT_EQ(std::get<std::int64_t>(row.back()), posted[i]);
        EXPECT_EQ(std::get<std::string>(row[1]), "№" + std::to_string(i));
    }
    // The file takes new rows after the crash.
    appendResultRow(t, "После", "", "", scores(1), Date{2024, 1, 2});
    EXPECT_EQ(t.fieldText("F"), "После");
}
