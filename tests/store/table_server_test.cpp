// Tables on a PostgreSQL server only: the server going away while results are
// stored, a row another workstation holds, opening failures told in Russian,
// and a login role with no more rights than the program needs.
#include "engine_test_util.h"
#include "store/table_server.h"

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

using namespace store;
using namespace storetest;
using testsupport::PgServer;

namespace {

class ServerTables : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_POSTGRESQL(); }
};

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const StoreError& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("(not a StoreError) ") + e.what();
    }
    return "(no error)";
}

bool holds(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// How many rows of the results hold the surname, as a fresh copy of the program reads them.
int storedWithSurname(const TempDir& dir, const std::string& surname)
{
    Table t("Result.db");
    openResults(t, dir);
    int found = 0;
    for (std::int64_t k = 0; k < t.recordCount(); ++k)
        found += toText(t.rowAt(k)[0], "F") == surname;
    return found;
}

// A pending result's surname.
std::string pendingSurname(const Table& t)
{
    for (const auto& [name, value] : t.pendingValues())
        if (name == "F")
            return toText(value, "F");
    return "";
}

}  // namespace

TEST_F(ServerTables, AServerStoppedWhileStoringKeepsTheResultPendingAndStoresItOnce)
{
    PgServer server(false);
    TempDir dir;
    server.writeServiceFile(dir.path(), server.newDatabase());
    createServerTables(dir.path());
    Table t("Result.db");
    openResults(t, dir, {"Первый"});

    server.stop();
    const std::string failure =
        messageOf([&] { appendResultRow(t, "Сидоров", "Иван", "Ильич", scores(2), Date{2024, 5, 6}); });
    EXPECT_TRUE(holds(failure, "Таблица «Result»")) << failure;
    EXPECT_TRUE(holds(failure, "сервер базы данных не отвечает")) << failure;
    ASSERT_TRUE(t.hasPending());
    EXPECT_EQ(pendingSurname(t), "Сидоров");
    EXPECT_STORE_ERROR(t.first(), "не отвечает");   // a move first retries it, and fails again
    EXPECT_TRUE(t.hasPending());
    Table another("Result.db");
    EXPECT_STORE_ERROR(openResults(another, dir), "не отвечает");
    EXPECT_FALSE(another.active());

    server.start();
    t.storePending();
    EXPECT_FALSE(t.hasPending());
    EXPECT_EQ(t.fieldText("F"), "Сидоров");
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(storedWithSurname(dir, "Сидоров"), 1) << "stored exactly once";

    // An edit posted while the server is down waits the same way.
    t.edit();
    t.setField("F", std::string("Сидорова"));
    server.stop();
    EXPECT_STORE_ERROR(t.post(), "не отвечает");
    EXPECT_EQ(t.state(), Table::State::Edit);
    EXPECT_EQ(pendingSurname(t), "Сидорова");
    server.start();
    t.storePending();
    EXPECT_EQ(t.state(), Table::State::Browse);
    EXPECT_EQ(storedWithSurname(dir, "Сидорова"), 1);
    EXPECT_EQ(storedWithSurname(dir, "Сидоров"), 0);
    EXPECT_EQ(storedWithSurname(dir, "Первый"), 1);
}

TEST_F(ServerTables, AfterARestartTheTableConnectsAgainWithItsOwnSettings)
{
    PgServer server(false);
    TempDir dir;
    const std::string database = server.newDatabase();
    server.writeServiceFile(dir.path(), database);
    createServerTables(dir.path());
    Table t("Result.db");
    openResults(t, dir, {"А"});
    t.setBusyTimeout(100);
    server.stop();
    server.start();
    // The first write after the restart connects again instead of failing on the lost connection.
    EXPECT_NO_THROW(appendResultRow(t, "Б", "", "", scores(1), Date{2024, 1, 1}));
    EXPECT_FALSE(t.hasPending());
    EXPECT_EQ(storedWithSurname(dir, "Б"), 1);
    t.first();

    // Another workstation holds the row; the post must fail after the busy
    // timeout, not wait for the other. The watchdog lets the row go after ten
    // seconds, so a post that waits ends (and stores) instead of hanging.
    OtherConnection holder(server, database);
    holder.run("BEGIN; SELECT * FROM \"Result\" FOR UPDATE");
    std::promise<void> posted;
    std::thread watchdog([&holder, done = posted.get_future()] {
        if (done.wait_for(std::chrono::seconds(10)) == std::future_status::timeout)
            holder.run("ROLLBACK");
    });
    t.edit();
    t.setField("F", std::string("Аа"));
    const std::string failure = messageOf([&] { t.post(); });
    posted.set_value();
    watchdog.join();
    EXPECT_TRUE(holds(failure, busyText(Engine::Server))) << failure;
    EXPECT_TRUE(t.hasPending());
}

// A restart by itself changes nothing a table has read; a change committed
// while its connection was lost is seen once it connects again, though the
// notification of it never reached it.
TEST_F(ServerTables, AfterARestartOnlyWhatChangedMeanwhileCounts)
{
    PgServer server(false);
    TempDir dir;
    server.writeServiceFile(dir.path(), server.newDatabase());
    createServerTables(dir.path());
    Table t("Result.db");
    openResults(t, dir, {"А"});
    const std::int64_t before = t.dataVersion();

    server.stop();
    EXPECT_EQ(t.dataVersion(), before) << "nothing is known to have changed while the server is down";
    server.start();
    EXPECT_EQ(t.dataVersion(), before) << "a restart alone";
    appendResultRow(t, "Б", "", "", scores(1), Date{2024, 1, 1});
    EXPECT_EQ(t.dataVersion(), before) << "its own row, stored after connecting again";

    server.stop();
    server.start();
    {
        Table other("Result.db");
        openResults(other, dir, {"В"});
    }
    EXPECT_NE(t.dataVersion(), before) << "another's row, stored while this table's connection was lost";
    t.refresh();
    EXPECT_EQ(t.recordCount(), 3);
}

// A new row tried again after the answer to its first try was lost (the
// server went away just after storing it) is found, not stored twice.
TEST_F(ServerTables, ANewRowTriedAgainWithItsTokenIsStoredOnce)
{
    PgServer& server = PgServer::shared();
    TempDir dir;
    server.writeServiceFile(dir.path(), server.newDatabase());
    createServerTables(dir.path());
    const auto backend = detail::openServerTable(dir.path(), "Result", 3000, false);
    int autoField = -1;
    const std::vector<FieldDef> fields = backend->fields(resultFields(), autoField);
    std::vector<Value> values(fields.size());
    std::vector<bool> changed(fields.size(), false);
    values[0] = std::string("Повторов");
    changed[0] = true;
    const std::string token = detail::newRowToken();
    const std::int64_t first = backend->insert({fields, values, changed, token});
    EXPECT_EQ(backend->insert({fields, values, changed, token}), first);
    EXPECT_EQ(backend->count({}), 1);
    EXPECT_NE(backend->insert({fields, values, changed, detail::newRowToken()}), first) << "another row alike";
    EXPECT_EQ(backend->count({}), 2);

    const std::string another = detail::newRowToken();
    EXPECT_NE(another, token);
    EXPECT_EQ(another.size(), 36u);
    EXPECT_EQ(another[14], '4');
}

TEST_F(ServerTables, ARowAnotherWorkstationHoldsFailsClearlyAndStaysPending)
{
    DataDir dir(Engine::Server);
    Table t("Result.db");
    openResults(t, dir, {"А", "Б"});
    t.setBusyTimeout(100);
    OtherConnection holder(dir, "Result.db");
    holder.run("BEGIN; SELECT * FROM \"Result\" WHERE \"F\" = 'Б' FOR UPDATE");

    t.moveTo(1);
    t.edit();
    t.setField("F", std::string("Бб"));
    EXPECT_STORE_ERROR(t.post(), "«Result»");
    EXPECT_STORE_ERROR(t.post(), busyText(Engine::Server));
    EXPECT_EQ(t.state(), Table::State::Edit);
    EXPECT_EQ(pendingSurname(t), "Бб");
    EXPECT_EQ(storedWithSurname(dir, "Б"), 1) << "reading goes on while the row is held";
    EXPECT_STORE_ERROR(t.first(), busyText(Engine::Server));
    EXPECT_TRUE(t.hasPending());

    holder.run("ROLLBACK");
    t.storePending();
    EXPECT_FALSE(t.hasPending());
    EXPECT_EQ(storedWithSurname(dir, "Бб"), 1);

    // Deleting a held row fails the same way and keeps it.
    holder.run("BEGIN; SELECT * FROM \"Result\" WHERE \"F\" = 'Бб' FOR UPDATE");
    EXPECT_STORE_ERROR(t.deleteCurrent(), busyText(Engine::Server));
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(t.fieldText("F"), "Бб");
    holder.run("ROLLBACK");
    t.deleteCurrent();
    EXPECT_EQ(storedWithSurname(dir, "Бб"), 0);
    EXPECT_EQ(storedWithSurname(dir, "А"), 1);
}

TEST_F(ServerTables, OpeningFailuresSayWhyInRussian)
{
    PgServer& server = PgServer::shared();
    const auto openingFails = [](const TempDir& dir) {
        Table t("Result.db");
        const std::string message = messageOf([&] { openResults(t, dir); });
        EXPECT_FALSE(t.active());
        return message;
    };
    const auto serviceFile = [](const TempDir& dir, const std::string& text) {
        std::ofstream(dir.file(kServiceFileName)) << text;
    };
    const std::string socket = "host=" + server.socketDirectory() + "\nport=" + std::to_string(server.port()) + "\n";

    TempDir nobodyListens;
    TempDir down;
    serviceFile(down, "[fpi]\nhost=" + nobodyListens.path() + "\nport=5432\ndbname=fpi\n");
    std::string m = openingFails(down);
    EXPECT_TRUE(holds(m, "Таблица «Result»")) << m;
    EXPECT_TRUE(holds(m, "сервер базы данных не отвечает: он не запущен или недоступен")) << m;

    TempDir wrongDatabase;
    server.writeServiceFile(wrongDatabase.path(), "no_such_database");
    m = openingFails(wrongDatabase);
    EXPECT_TRUE(holds(m, "на сервере нет базы данных")) << m;
    EXPECT_TRUE(holds(m, "no_such_database")) << m;

    DataDir tables(Engine::Server);
    TempDir noRights;
    server.writeServiceFile(noRights.path(), tables.database(), server.newRole());
    m = openingFails(noRights);
    EXPECT_TRUE(holds(m, "у пользователя нет прав на эту таблицу")) << m;

    TempDir unknownRole;
    server.writeServiceFile(unknownRole.path(), tables.database(), "no_such_role");
    m = openingFails(unknownRole);
    EXPECT_TRUE(holds(m, "на сервере нет пользователя")) << m;

    TempDir noTables;
    server.writeServiceFile(noTables.path(), server.newDatabase());
    m = openingFails(noTables);
    EXPECT_TRUE(holds(m, "на сервере нет такой таблицы")) << m;

    TempDir noSection;
    serviceFile(noSection, "[other]\n" + socket);
    m = openingFails(noSection);
    EXPECT_TRUE(holds(m, "«" + noSection.file(kServiceFileName) + "»")) << m;
    EXPECT_TRUE(holds(m, "нет службы [fpi]")) << m;

    TempDir password;
    serviceFile(password, "[fpi]\n" + socket + "dbname=" + tables.database() + "\npassword=тайна\n");
    m = openingFails(password);
    EXPECT_TRUE(holds(m, "записан пароль")) << m;
    EXPECT_TRUE(holds(m, "~/.pgpass")) << m;
    EXPECT_FALSE(holds(m, "тайна")) << "the password itself is never shown: " << m;
}

TEST_F(ServerTables, ARoleWithOnlyTheGrantsWorksWithRowsButNotWithTables)
{
    PgServer& server = PgServer::shared();
    DataDir admin(Engine::Server);
    const std::string role = server.newRole();
    server.sql(admin.database(), serverGrants(role));
    TempDir dir;
    server.writeServiceFile(dir.path(), admin.database(), role);

    makeQuestionnaire(dir, {std::int64_t{7}, std::int64_t{8}});
    Table questions("FpiBd.db");
    questions.setDirectoryPath(dir.path());
    questions.open();
    EXPECT_EQ(questions.recordCount(), 2);
    EXPECT_EQ(itemNumber(questions), 7);

    Table subjects("TestFam.DB");
    subjects.setDirectoryPath(dir.path());
    subjects.open();
    subjects.append();
    subjects.setField("F", std::string("Иванов"));
    subjects.post();
    EXPECT_EQ(subjects.recordCount(), 1);

    Table results("Result.db");
    openResults(results, dir, {"А", "Б", "В"});
    EXPECT_EQ(results.fieldInt("NN"), 3) << "the server numbers the results";
    results.first();
    EXPECT_EQ(results.fieldInt("NN"), 1);
    results.edit();
    results.setField("Tip1", std::int64_t{9});
    results.post();
    results.deleteCurrent();
    EXPECT_EQ(server.sql(admin.database(), "SELECT string_agg(\"F\" || ':' || \"NN\", ',' ORDER BY row_order) FROM \"Result\""),
              "Б:2,В:3");

    for (const char* statement : {"CREATE TABLE extra (n int)", "DROP TABLE \"Result\"",
                                  "ALTER TABLE \"Result\" ADD COLUMN x int", "TRUNCATE \"FpiBd\"",
                                  "UPDATE fpi_table_versions SET version = 0"}) {
        const PgServer::ClientRun run = PgServer::psqlWithServiceFile(dir.file(kServiceFileName), statement);
        EXPECT_NE(run.status, 0) << statement << " was allowed";
        EXPECT_TRUE(holds(run.output, "permission denied") || holds(run.output, "must be owner"))
            << statement << ": " << run.output;
    }
    // The three tables and the count of their changes.
    EXPECT_EQ(server.sql(admin.database(), "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), "4");
    EXPECT_EQ(server.sql(admin.database(), "SELECT count(*) FROM \"FpiBd\""), "2");

    // Making the tables needs more: refused, and nothing is made.
    const std::string empty = server.newDatabase();
    TempDir fresh;
    server.writeServiceFile(fresh.path(), empty, role);
    EXPECT_STORE_ERROR(createServerTables(fresh.path()), "нет прав");
    EXPECT_EQ(server.sql(empty, "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), "0");
}

// The counterpart of the table files' item number conversions: a server
// column holds whole numbers only, so what would not fit is refused when it
// is entered, and what is stored reads back as it was.
TEST_F(ServerTables, ItemNumbersAreWholeNumbersOrBlank)
{
    DataDir dir(Engine::Server);
    makeQuestionnaire(dir, {std::int64_t{5}, std::string("17"), 4.0, Value{}});
    Table t("FpiBd.db");
    t.setDirectoryPath(dir.path());
    t.open();
    EXPECT_EQ(itemNumber(t), 5);
    t.next();
    EXPECT_EQ(itemNumber(t), 17) << "a text holding a whole number is stored as the number";
    t.next();
    EXPECT_EQ(itemNumber(t), 4);
    t.next();
    EXPECT_STORE_ERROR(itemNumber(t), "пусто");

    t.append();
    EXPECT_STORE_ERROR(t.setField("NumVopros", 2.5), "ожидается целое число");
    EXPECT_STORE_ERROR(t.setField("NumVopros", std::string("1x")), "«1x»");
    EXPECT_STORE_ERROR(t.setField("NumVopros", std::int64_t{3000000000}), "32 бит");
    t.cancel();
    EXPECT_EQ(t.recordCount(), 4);
}
