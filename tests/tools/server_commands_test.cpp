// fpi-data server-init and copy on a real server, and the other commands on a
// data directory whose tables are on a server.
#include "store/result_table.h"
#include "store/server.h"
#include "store/table.h"
#include "support/fpi_data_run.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using testsupport::PgServer;
using testsupport::TempDir;

const char* const kTables[] = {"TestFam.DB", "FpiBd.db", "Result.db"};

fpi_data_run::Run fpiData(const std::vector<std::string>& args)
{
    fpi_data_run::Options options;
    options.watchdogSeconds = 120;
    return fpi_data_run::run(args, options);
}

class ServerCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PgServer::available())
            GTEST_SKIP() << "PostgreSQL 15 is not installed";
        database_ = server().newDatabase();
        server().writeServiceFile(serverDir_.path(), database_);
    }
    static PgServer& server() { return PgServer::shared(); }

    TempDir serverDir_;
    std::string database_;
};

// Every row of a table, every field, in table order.
std::vector<std::vector<store::Value>> rowsOf(const std::string& directory, const std::string& name)
{
    store::Table table(name);
    table.setDirectoryPath(directory);
    if (name == std::string("Result.db"))
        table.declareFields(store::resultFields());
    table.setReadOnly(true);
    table.open();
    std::vector<std::vector<store::Value>> rows;
    table.forEachRow([&](std::vector<store::Value>&& row) { rows.push_back(std::move(row)); });
    return rows;
}

void expectSameTables(const std::string& a, const std::string& b)
{
    for (const char* name : kTables) {
        SCOPED_TRACE(name);
        const auto left = rowsOf(a, name);
        const auto right = rowsOf(b, name);
        ASSERT_EQ(left.size(), right.size());
        for (size_t i = 0; i < left.size(); ++i)
            ASSERT_TRUE(left[i] == right[i]) << "row " << i;
    }
}

// A results table file of `count` rows whose numbers have gaps (every
// seventh left out) and whose names and dates vary.
void makeResultsWithGaps(const std::string& directory, int count)
{
    ASSERT_EQ(fpiData({"create", directory}).status, 0);
    std::vector<std::string> columns = {"NN", "F", "I", "O", "Dat"};
    for (int k = 1; k <= 12; ++k)
        columns.push_back("Tip" + std::to_string(k));
    std::vector<std::vector<store::Value>> rows;
    std::int64_t nn = 0;
    for (int i = 0; i < count; ++i) {
        nn += i % 7 == 6 ? 2 : 1;
        std::vector<store::Value> row(columns.size());
        row[0] = nn;
        row[1] = "Фамилия" + std::to_string(i % 997);
        row[2] = std::string(i % 5 ? "Анна" : "Ёж\t\\");
        if (i % 11)
            row[3] = std::string("Отчество");
        row[4] = store::Date{2000 + i % 25, 1 + i % 12, 1 + i % 28};
        for (int k = 1; k <= 12; ++k)
            row[static_cast<size_t>(4 + k)] = std::int64_t{1 + (i + k) % 9};
        rows.push_back(std::move(row));
    }
    store::replaceRows((fs::path(directory) / "Result.db").string(), columns, rows);
}

TEST_F(ServerCommands, ServerInitMakesTheTablesOnceAndItsGrantsAreAllTheProgramNeeds)
{
    const auto made = fpiData({"server-init", serverDir_.path(), "clinic"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("Таблицы созданы"), std::string::npos) << made.err;
    EXPECT_EQ(made.out, store::serverGrants("clinic"));

    const auto again = fpiData({"server-init", serverDir_.path()});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("уже есть"), std::string::npos) << again.err;

    // A role with exactly the printed rights stores, corrects and deletes results.
    const std::string role = server().newRole();
    server().sql(database_, store::serverGrants(role));
    TempDir workstation;
    server().writeServiceFile(workstation.path(), database_, role);
    {
        store::Table results("Result.db");
        results.setDirectoryPath(workstation.path());
        results.declareFields(store::resultFields());
        results.open();
        store::appendResultRow(results, "Иванов", "Иван", "Иванович", {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3},
                               store::Date{2026, 12, 9});
        EXPECT_EQ(results.fieldInt("NN"), 1);
        store::appendResultRow(results, "Петров", "Пётр", "", {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3},
                               store::Date{2026, 12, 9});
        results.edit();
        results.setField("Tip1", std::int64_t{9});
        results.post();
        results.first();
        results.deleteCurrent();
        EXPECT_EQ(results.recordCount(), 1);
    }
    const auto psql = PgServer::psqlWithServiceFile((fs::path(workstation.path()) / "pg_service.conf").string(),
                                                    "CREATE TABLE intruder (x int);");
    EXPECT_NE(psql.status, 0) << "the program's role cannot create tables";
    EXPECT_NE(psql.output.find("denied"), std::string::npos) << psql.output;

    TempDir files;
    const auto noService = fpiData({"server-init", files.path()});
    EXPECT_EQ(noService.status, 2);
    EXPECT_NE(noService.err.find("pg_service.conf"), std::string::npos) << noService.err;
}

TEST_F(ServerCommands, CopyMovesTheSampleTablesToTheServerAndBackUnchanged)
{
    TempDir work;
    const std::string sample = work.file("sample");
    ASSERT_EQ(fpiData({"create", sample}).status, 0);
    ASSERT_EQ(fpiData({"server-init", serverDir_.path()}).status, 0);

    const auto up = fpiData({"copy", sample, serverDir_.path()});
    ASSERT_EQ(up.status, 0) << up.err;
    EXPECT_NE(up.out.find("FpiBd.db: 114 зап."), std::string::npos) << up.out;
    const std::string back = work.file("back");
    const auto down = fpiData({"copy", serverDir_.path(), back});
    ASSERT_EQ(down.status, 0) << down.err;
    expectSameTables(sample, serverDir_.path());
    expectSameTables(sample, back);
    EXPECT_EQ(fs::status(back).permissions() & fs::perms::all, fs::perms::owner_all);

    // Tables that hold rows are never written into, on either side.
    const auto onto = fpiData({"copy", sample, serverDir_.path()});
    EXPECT_EQ(onto.status, 2);
    EXPECT_NE(onto.err.find("уже есть строки"), std::string::npos) << onto.err;
    const auto ontoFiles = fpiData({"copy", serverDir_.path(), back});
    EXPECT_EQ(ontoFiles.status, 2);
    expectSameTables(sample, serverDir_.path());
    expectSameTables(sample, back);
}

TEST_F(ServerCommands, CopyOfAHundredThousandResultsKeepsNumbersOrderAndValues)
{
    TempDir work;
    const std::string files = work.file("files");
    makeResultsWithGaps(files, 100000);
    ASSERT_EQ(fpiData({"server-init", serverDir_.path()}).status, 0);
    const auto up = fpiData({"copy", files, serverDir_.path()});
    ASSERT_EQ(up.status, 0) << up.err;
    const std::string back = work.file("back");
    const auto down = fpiData({"copy", serverDir_.path(), back});
    ASSERT_EQ(down.status, 0) << down.err;
    expectSameTables(files, serverDir_.path());
    expectSameTables(files, back);

    // The server numbers the next result after the highest one copied in, never reusing one.
    const auto last = rowsOf(files, "Result.db").back();
    store::Table results("Result.db");
    results.setDirectoryPath(serverDir_.path());
    results.declareFields(store::resultFields());
    results.open();
    store::appendResultRow(results, "Новый", "", "", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, store::Date{2026, 1, 1});
    EXPECT_EQ(results.fieldInt("NN"), std::get<std::int64_t>(last[16]) + 1);
}

TEST_F(ServerCommands, DataCommandsWorkOnAServerDirectoryAndFileCommandsRefuseIt)
{
    ASSERT_EQ(fpiData({"server-init", serverDir_.path()}).status, 0);
    TempDir work;
    const std::string items = work.file("items.txt");
    std::ofstream(items) << "1\tПервый вопрос\n2\tВторой вопрос\n";
    const auto imported = fpiData({"import-items", serverDir_.path(), items});
    ASSERT_EQ(imported.status, 0) << imported.err;
    const auto importedAgain = fpiData({"import-items", serverDir_.path(), items});
    ASSERT_EQ(importedAgain.status, 0) << importedAgain.err;
    EXPECT_EQ(rowsOf(serverDir_.path(), "FpiBd.db").size(), 2u) << "the questionnaire is replaced, not added to";

    {
        store::Table results("Result.db");
        results.setDirectoryPath(serverDir_.path());
        results.declareFields(store::resultFields());
        results.open();
        store::appendResultRow(results, "=Формула", "Анна", "", {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3},
                               store::Date{2026, 12, 9});
    }
    const auto exported = fpiData({"export", serverDir_.path()});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("1;\"'=Формула\";Анна;;2026-12-09;1;2;3"), std::string::npos) << exported.out;
    const auto report = fpiData({"report", serverDir_.path(), "1", work.file("r.pdf")});
    EXPECT_EQ(report.status, 0) << report.err;
    EXPECT_TRUE(fs::exists(work.file("r.pdf")));

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"backup", serverDir_.path(), work.file("copy")},
          std::vector<std::string>{"create", serverDir_.path()},
          std::vector<std::string>{"import-paradox", work.path(), serverDir_.path()}}) {
        SCOPED_TRACE(args[0]);
        const auto refused = fpiData(args);
        EXPECT_EQ(refused.status, 2);
        EXPECT_NE(refused.err.find("хранит таблицы на сервере"), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("fpi-data copy"), std::string::npos) << refused.err;
    }
    EXPECT_FALSE(fs::exists(work.file("copy")));
    EXPECT_FALSE(fs::exists(fs::path(serverDir_.path()) / "Result.db"));
}

TEST_F(ServerCommands, AServerThatIsDownOrAServiceFileWithAPasswordIsRefusedInRussian)
{
    std::ofstream(fs::path(serverDir_.path()) / "pg_service.conf", std::ios::app) << "password=secret\n";
    const auto withPassword = fpiData({"export", serverDir_.path()});
    EXPECT_EQ(withPassword.status, 2);
    EXPECT_NE(withPassword.err.find("Пароль в каталоге данных не хранится"), std::string::npos) << withPassword.err;

    server().writeServiceFile(serverDir_.path(), database_);
    ASSERT_EQ(fpiData({"server-init", serverDir_.path()}).status, 0);
    server().stop();
    const auto down = fpiData({"export", serverDir_.path()});
    server().start();
    EXPECT_EQ(down.status, 2);
    EXPECT_NE(down.err.find("сервер базы данных не отвечает"), std::string::npos) << down.err;
}

}  // namespace
