// The tests' own PostgreSQL server: databases, SQL, service files, a user
// without superuser rights, and data kept across a restart.
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include <sys/stat.h>

using testsupport::PgServer;
using testsupport::TempDir;

namespace {

#define SKIP_WITHOUT_POSTGRESQL()                                                \
    if (!PgServer::available())                                                  \
    GTEST_SKIP() << "the PostgreSQL 15 server programs are not installed"

std::string readFile(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The settings of one section of an INI file as libpq reads a service file.
std::map<std::string, std::string> sectionOf(const std::string& text, const std::string& section)
{
    std::map<std::string, std::string> settings;
    std::istringstream lines(text);
    std::string line;
    bool inside = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.front() == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        const size_t equals = line.find('=');
        if (inside && equals != std::string::npos)
            settings[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return settings;
}

using Connection = std::unique_ptr<PGconn, void (*)(PGconn*)>;

// Connects with exactly the four settings of the service file's section [fpi].
Connection connectWithServiceFile(const std::string& path)
{
    const std::map<std::string, std::string> s = sectionOf(readFile(path), "fpi");
    const char* keys[] = {"host", "port", "dbname", "user", nullptr};
    const char* values[] = {s.count("host") ? s.at("host").c_str() : "",
                            s.count("port") ? s.at("port").c_str() : "",
                            s.count("dbname") ? s.at("dbname").c_str() : "",
                            s.count("user") ? s.at("user").c_str() : "", nullptr};
    return Connection(PQconnectdbParams(keys, values, 0), &PQfinish);
}

// The first value of a query's result, or the error message prefixed with "error: ".
std::string firstValue(PGconn* c, const std::string& query)
{
    std::unique_ptr<PGresult, void (*)(PGresult*)> r(PQexec(c, query.c_str()), &PQclear);
    const ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_COMMAND_OK)
        return "";
    if (status != PGRES_TUPLES_OK)
        return std::string("error: ") + PQresultErrorMessage(r.get());
    return PQntuples(r.get()) > 0 ? PQgetvalue(r.get(), 0, 0) : "";
}

TEST(PgServer, SharedServerRunsOnItsOwnSocketOnly)
{
    SKIP_WITHOUT_POSTGRESQL();
    PgServer& server = PgServer::shared();
    EXPECT_EQ(&server, &PgServer::shared());
    ASSERT_TRUE(server.running());
    EXPECT_TRUE(std::filesystem::exists(server.socketDirectory() + "/.s.PGSQL." + std::to_string(server.port())));
    EXPECT_EQ(server.sql("postgres", "SHOW listen_addresses"), "");
    EXPECT_EQ(server.sql("postgres", "SELECT rolsuper FROM pg_roles WHERE rolname = current_user"), "t");
    EXPECT_EQ(server.sql("postgres", "SELECT current_user"), server.superuser());
    EXPECT_EQ(server.sql("postgres", "SHOW server_encoding"), "UTF8");
    EXPECT_EQ(server.sql("postgres", "SELECT current_setting('server_version_num')::int / 10000"), "15");
    // The shared server is the quick one.
    EXPECT_EQ(server.sql("postgres", "SHOW fsync"), "off");
}

TEST(PgServer, DatabasesAreFreshAndSeparate)
{
    SKIP_WITHOUT_POSTGRESQL();
    PgServer& server = PgServer::shared();
    const std::string first = server.newDatabase();
    const std::string second = server.newDatabase();
    EXPECT_NE(first, second);
    EXPECT_EQ(server.sql(first, "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), "0");
    EXPECT_EQ(server.sql(first, "SELECT pg_get_userbyid(datdba) FROM pg_database WHERE datname = current_database()"),
              server.superuser());

    server.sql(first, "CREATE TABLE t (n integer, s text); INSERT INTO t VALUES (1, 'один'), (2, NULL)");
    // Rows by '\n' without a final one, values by '|', NULL as nothing; several statements print in turn.
    EXPECT_EQ(server.sql(first, "SELECT n, s FROM t ORDER BY n"), "1|один\n2|");
    EXPECT_EQ(server.sql(first, "SELECT 'a'; UPDATE t SET n = n + 10; SELECT max(n) FROM t"), "a\n12");
    EXPECT_EQ(server.sql(second, "SELECT count(*) FROM pg_tables WHERE tablename = 't'"), "0");
}

TEST(PgServer, FailedSqlFailsTheTestWithTheServersMessage)
{
    SKIP_WITHOUT_POSTGRESQL();
    PgServer& server = PgServer::shared();
    const std::string db = server.newDatabase();
    std::string result = "unchanged";
    EXPECT_NONFATAL_FAILURE(result = server.sql(db, "SELECT * FROM no_such_table"), "no_such_table");
    EXPECT_EQ(result, "");
    EXPECT_NONFATAL_FAILURE(server.sql("no_such_database", "SELECT 1"), "no_such_database");
    // Statements after a failing one are not run: they share one transaction.
    EXPECT_NONFATAL_FAILURE(server.sql(db, "CREATE TABLE u (n int); SELECT 1/0"), "division by zero");
    EXPECT_EQ(server.sql(db, "SELECT count(*) FROM pg_tables WHERE tablename = 'u'"), "0");
}

TEST(PgServer, ServiceFileNamesTheServerAndIsOwnerOnly)
{
    SKIP_WITHOUT_POSTGRESQL();
    PgServer& server = PgServer::shared();
    const std::string db = server.newDatabase();
    TempDir dir;
    const std::string path = dir.file("pg_service.conf");
    // An existing file with wider rights is narrowed.
    std::ofstream(path) << "old";
    chmod(path.c_str(), 0644);

    server.writeServiceFile(dir.path(), db);
    EXPECT_EQ(readFile(path), "[fpi]\nhost=" + server.socketDirectory() + "\nport=" + std::to_string(server.port())
                                  + "\ndbname=" + db + "\nuser=" + server.superuser() + "\n");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    server.writeServiceFile(dir.path(), db, "someone");
    EXPECT_EQ(sectionOf(readFile(path), "fpi").at("user"), "someone");
    EXPECT_EQ(readFile(path).find("password"), std::string::npos);
}

TEST(PgServer, RoleWithoutSuperuserRightsConnectsWithTheServiceFile)
{
    SKIP_WITHOUT_POSTGRESQL();
    PgServer& server = PgServer::shared();
    const std::string role = server.newRole();
    const std::string role2 = server.newRole();
    EXPECT_NE(role, role2);
    const std::string db = server.newDatabase();
    TempDir dir;
    server.writeServiceFile(dir.path(), db, role);

    const Connection c = connectWithServiceFile(dir.file("pg_service.conf"));
    ASSERT_EQ(PQstatus(c.get()), CONNECTION_OK) << PQerrorMessage(c.get());
    EXPECT_EQ(firstValue(c.get(), "SELECT current_user"), role);
    EXPECT_EQ(firstValue(c.get(), "SELECT current_database()"), db);
    EXPECT_EQ(firstValue(c.get(), "SELECT rolsuper FROM pg_roles WHERE rolname = current_user"), "f");
    // A database of the superuser gives other roles no right to create tables.
    EXPECT_NE(firstValue(c.get(), "CREATE TABLE t (n int)").find("permission denied"), std::string::npos);

    // libpq's own reader of service files accepts the file as written.
    const std::string ownDb = server.newDatabaseOwnedBy(role);
    server.writeServiceFile(dir.path(), ownDb, role);
    const PgServer::ClientRun run = PgServer::psqlWithServiceFile(
        dir.file("pg_service.conf"), "CREATE TABLE t (n int); INSERT INTO t VALUES (7); SELECT current_user, n FROM t");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, role + "|7\n");
    EXPECT_EQ(server.sql(ownDb, "SELECT tableowner FROM pg_tables WHERE tablename = 't'"), role);
}

TEST(PgServer, RestartKeepsTheDatabasesAndOnlyTheClientsMissTheServerMeanwhile)
{
    SKIP_WITHOUT_POSTGRESQL();
    PgServer server(true);
    ASSERT_TRUE(server.running());
    EXPECT_NE(server.socketDirectory(), PgServer::shared().socketDirectory());
    EXPECT_EQ(server.sql("postgres", "SHOW fsync"), "on");
    EXPECT_EQ(server.sql("postgres", "SHOW synchronous_commit"), "on");
    const std::string db = server.newDatabase();
    server.sql(db, "CREATE TABLE kept (s text); INSERT INTO kept VALUES ('до остановки')");
    TempDir dir;
    server.writeServiceFile(dir.path(), db);

    server.stop();
    EXPECT_FALSE(server.running());
    EXPECT_FALSE(std::filesystem::exists(server.dataDirectory() + "/postmaster.pid"));
    server.stop();   // a second stop does nothing
    const Connection refused = connectWithServiceFile(dir.file("pg_service.conf"));
    EXPECT_NE(PQstatus(refused.get()), CONNECTION_OK);

    server.start();
    ASSERT_TRUE(server.running());
    server.start();   // a second start does nothing
    EXPECT_EQ(server.sql(db, "SELECT s FROM kept"), "до остановки");
    const Connection c = connectWithServiceFile(dir.file("pg_service.conf"));
    EXPECT_EQ(PQstatus(c.get()), CONNECTION_OK) << PQerrorMessage(c.get());
}

TEST(PgServer, DestroyedServerLeavesNothingBehind)
{
    SKIP_WITHOUT_POSTGRESQL();
    std::string directory;
    {
        PgServer server(false);
        directory = server.socketDirectory();
        ASSERT_TRUE(server.running());
    }
    EXPECT_FALSE(std::filesystem::exists(directory));

    // Nor does one that failed to start again.
    {
        PgServer server(false);
        directory = server.socketDirectory();
        server.stop();
        std::ofstream(server.dataDirectory() + "/postgresql.conf", std::ios::app) << "shared_buffers = plenty\n";
        try {
            server.start();
            ADD_FAILURE() << "a server with a broken configuration started";
        } catch (const std::runtime_error& e) {
            // The reason comes from the server's log.
            EXPECT_NE(std::string(e.what()).find("shared_buffers"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(server.running());
    }
    EXPECT_FALSE(std::filesystem::exists(directory));
}

}  // namespace
