#pragma once
// The table engine's tests on both engines: table files, and tables on a
// PostgreSQL server of the tests' own. A suite's fixture is EngineTest (or a
// name for it), instantiated with INSTANTIATE_ENGINE_SUITE; a test makes its
// data directories with DataDir(engine()), touches the tables as another
// program would with OtherConnection, and runs other processes with
// ChildProcess.

#include "store_test_util.h"
#include "support/pg_server.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace storetest {

enum class Engine { Files, Server };

inline std::string engineName(const testing::TestParamInfo<Engine>& info)
{
    return info.param == Engine::Files ? "Files" : "Server";
}

// How a failing test names its engine.
inline void PrintTo(Engine engine, std::ostream* out)
{
    *out << (engine == Engine::Files ? "table files" : "server");
}

// Runs every test of the suite once on table files ("…/Files") and once on
// the server ("…/Server").
#define INSTANTIATE_ENGINE_SUITE(suite)                                                                         \
    INSTANTIATE_TEST_SUITE_P(, suite, testing::Values(storetest::Engine::Files, storetest::Engine::Server), \
                             storetest::engineName)

#define SKIP_WITHOUT_POSTGRESQL()                                                                               \
    if (!testsupport::PgServer::available())                                                                    \
    GTEST_SKIP() << "the PostgreSQL 15 server programs are not installed"

class EngineTest : public testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        if (GetParam() == Engine::Server) {
            SKIP_WITHOUT_POSTGRESQL();
        }
    }
    Engine engine() const { return GetParam(); }
};

// A scratch data directory whose tables the engine keeps. On the server: a
// fresh database of the shared server, named by the directory's service
// file, holding the three tables (still empty) as createServerTables makes them.
class DataDir : public TempDir {
public:
    explicit DataDir(Engine engine) : engine_(engine)
    {
        if (engine != Engine::Server)
            return;
        testsupport::PgServer& server = testsupport::PgServer::shared();
        database_ = server.newDatabase();
        server.writeServiceFile(path(), database_);
        store::createServerTables(path());
    }
    Engine engine() const { return engine_; }
    const std::string& database() const { return database_; }

private:
    Engine engine_;
    std::string database_;
};

// The name of a directory's table file as a table name: "Result.db" -> "Result".
inline std::string tableOf(const std::string& tableFile)
{
    return tableFile.substr(0, tableFile.find('.'));
}

// Another program's connection to one of the directory's tables (named by
// its file, "Result.db"): sqlite3 on the table file, or libpq to the
// directory's database as the server's superuser. Table and field names in
// statements are quoted ("Result", "F"), which both engines read alike.
class OtherConnection {
public:
    OtherConnection(const DataDir& dir, const std::string& tableFile)
    {
        if (dir.engine() == Engine::Files) {
            if (sqlite3_open(dir.file(tableFile).c_str(), &db_) != SQLITE_OK)
                ADD_FAILURE() << sqlite3_errmsg(db_);
            sqlite3_busy_timeout(db_, 10000);
            return;
        }
        connect(testsupport::PgServer::shared(), dir.database());
    }
    // The superuser's connection to a database of a server of the test's own.
    OtherConnection(const testsupport::PgServer& server, const std::string& database) { connect(server, database); }
    ~OtherConnection()
    {
        sqlite3_close(db_);
        PQfinish(pg_);
    }
    OtherConnection(const OtherConnection&) = delete;
    OtherConnection& operator=(const OtherConnection&) = delete;

    // Runs the statements; a failure fails the test with the engine's message.
    void run(const std::string& statements)
    {
        if (db_) {
            EXPECT_EQ(sqlite3_exec(db_, statements.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
                << statements << ": " << sqlite3_errmsg(db_);
            return;
        }
        std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(pg_, statements.c_str()), PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) << statements << ": " << PQerrorMessage(pg_);
    }

private:
    void connect(const testsupport::PgServer& server, const std::string& database)
    {
        const std::string port = std::to_string(server.port());
        const char* keys[] = {"host", "port", "dbname", "user", nullptr};
        const char* values[] = {server.socketDirectory().c_str(), port.c_str(), database.c_str(),
                                server.superuser().c_str(), nullptr};
        pg_ = PQconnectdbParams(keys, values, 0);
        if (PQstatus(pg_) != CONNECTION_OK)
            ADD_FAILURE() << PQerrorMessage(pg_);
    }

    sqlite3* db_ = nullptr;
    PGconn* pg_ = nullptr;
};

// Runs the statements on the table as another program would; committed when it returns.
inline void changeFromOutside(const DataDir& dir, const std::string& tableFile, const std::string& statements)
{
    OtherConnection(dir, tableFile).run(statements);
}

// Keeps a table from being written by anybody else until released, as
// another copy of the program in the middle of a write would: the file's
// write lock, or on the server an exclusive lock on the table held by an
// open transaction (reading goes on on both).
class TableBusy {
public:
    TableBusy(const DataDir& dir, const std::string& tableFile) : other_(std::make_unique<OtherConnection>(dir, tableFile))
    {
        other_->run(dir.engine() == Engine::Files
                        ? std::string("BEGIN IMMEDIATE")
                        : "BEGIN; LOCK TABLE \"" + tableOf(tableFile) + "\" IN EXCLUSIVE MODE");
    }
    ~TableBusy() { release(); }
    void release()
    {
        if (!other_)
            return;
        other_->run("ROLLBACK");
        other_.reset();
    }

private:
    std::unique_ptr<OtherConnection> other_;
};

// What a write refused because of a busy table says. The engines word it
// differently: a file is locked whole by another copy, a server table or row
// by another workstation's transaction.
inline std::string busyText(Engine engine)
{
    return engine == Engine::Files ? "таблица занята другой копией программы"
                                   : "строку сейчас меняет другое рабочее место; повторите попытку";
}

// Waits, up to ten seconds, until the table's data version is no longer
// `seen`; false when it stays. A table file's version changes with the other
// program's commit itself; the server tells other connections of a commit
// just after it, so a change may arrive a moment later.
inline bool othersChangeArrives(const store::Table& table, std::int64_t seen)
{
    for (int tries = 0; tries < 2000; ++tries) {
        if (table.dataVersion() != seen)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Another process of the program: runs `body` in a child made by fork(),
// which exits with 0 when it returned and 1 (its message on standard error)
// when it raised. The child leaves by _exit, so it never runs the test
// program's exit handlers (which would stop the tests' server).
class ChildProcess {
public:
    explicit ChildProcess(const std::function<void()>& body)
    {
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ != 0)
            return;
        int status = 0;
        try {
            body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child %d: %s\n", static_cast<int>(getpid()), e.what());
            status = 1;
        } catch (...) {
            status = 1;
        }
        std::fflush(nullptr);
        _exit(status);
    }
    ~ChildProcess() { succeeded(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the child; true when it exited with 0.
    bool succeeded()
    {
        if (pid_ > 0) {
            int status = 0;
            if (waitpid(pid_, &status, 0) == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
        }
        return status_ == 0;
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

}  // namespace storetest
