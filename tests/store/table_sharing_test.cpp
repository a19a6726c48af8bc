// Several workstations on one table, on table files and on the server: other
// processes storing results at the same time, edits of rows another program
// deleted or changed meanwhile, and the data version that tells of others' changes.
#include "engine_test_util.h"

#include <algorithm>
#include <set>

#include <unistd.h>

using namespace store;
using namespace storetest;

namespace {

using TableSharing = EngineTest;
using RowConflicts = EngineTest;
using DataVersion = EngineTest;

std::vector<std::string> surnamesOf(const Table& t)
{
    std::vector<std::string> names;
    for (std::int64_t k = 0; k < t.recordCount(); ++k)
        names.push_back(toText(t.rowAt(k)[static_cast<size_t>(t.fieldIndex("F"))], "F"));
    return names;
}

// The surnames of the table as a fresh copy of the program reads them.
std::vector<std::string> storedSurnames(const TempDir& dir)
{
    Table fresh("Result.db");
    openResults(fresh, dir);
    return surnamesOf(fresh);
}

void moveToSurname(Table& t, const std::string& surname)
{
    if (!t.locate("F", surname))
        throw StoreError("нет строки «" + surname + "»");
}

}  // namespace

INSTANTIATE_ENGINE_SUITE(TableSharing);
INSTANTIATE_ENGINE_SUITE(RowConflicts);
INSTANTIATE_ENGINE_SUITE(DataVersion);

TEST_P(TableSharing, TwoProcessesStoringAtOnceKeepEveryRow)
{
    DataDir dir(engine());
    makeResults(dir);
    constexpr int kRows = 60;
    // Both children wait for the start, then append as fast as they can.
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    const auto storeResults = [&](const std::string& prefix) {
        return [&dir, &start, prefix] {
            close(start[1]);
            char c = 0;
            if (read(start[0], &c, 1) != 0)
                throw StoreError("the start signal went wrong");
            Table t("Result.db");
            t.setBusyTimeout(30000);
            openResults(t, dir);
            for (int k = 0; k < kRows; ++k)
                appendResultRow(t, prefix + std::to_string(k), "Имя", "Отчество", scores(k % 9 + 1),
                                Date{2024, 4, 1});
            if (t.hasPending())
                throw StoreError("a row stayed pending");
        };
    };
    ChildProcess first(storeResults("Первый"));
    ChildProcess second(storeResults("Второй"));
    close(start[0]);
    close(start[1]);
    EXPECT_TRUE(first.succeeded());
    EXPECT_TRUE(second.succeeded());

    Table t("Result.db");
    openResults(t, dir);
    ASSERT_EQ(t.recordCount(), 2 * kRows);
    std::set<std::int64_t> numbers;
    std::set<std::string> names;
    for (std::int64_t k = 0; k < t.recordCount(); ++k) {
        const std::vector<Value> row = t.rowAt(k);
        numbers.insert(std::get<std::int64_t>(row[static_cast<size_t>(t.fieldIndex("NN"))]));
        names.insert(toText(row[static_cast<size_t>(t.fieldIndex("F"))], "F"));
    }
    EXPECT_EQ(numbers.size(), static_cast<size_t>(2 * kRows)) << "every result has a number of its own";
    for (int k = 0; k < kRows; ++k) {
        EXPECT_EQ(names.count("Первый" + std::to_string(k)), 1u) << k;
        EXPECT_EQ(names.count("Второй" + std::to_string(k)), 1u) << k;
    }
    // Each process's rows keep their own order.
    std::vector<std::string> firsts;
    for (const std::string& name : surnamesOf(t))
        if (name.rfind("Первый", 0) == 0)
            firsts.push_back(name);
    for (int k = 0; k < kRows; ++k)
        EXPECT_EQ(firsts[static_cast<size_t>(k)], "Первый" + std::to_string(k));
}

TEST_P(RowConflicts, AnEditOfARowAnotherDeletedIsRefusedAndTheDeleteStands)
{
    DataDir dir(engine());
    makeResults(dir);
    Table mine("Result.db");
    openResults(mine, dir, {"А", "Б", "В", "Г"});
    Table other("Result.db");
    openResults(other, dir);

    // Another copy of the program deletes the row being edited here.
    moveToSurname(mine, "Б");
    mine.edit();
    mine.setField("F", std::string("Бб"));
    moveToSurname(other, "Б");
    other.deleteCurrent();
    EXPECT_STORE_ERROR(mine.post(), "строку удалило другое рабочее место");
    EXPECT_EQ(mine.state(), Table::State::Browse);
    EXPECT_FALSE(mine.hasPending()) << "a row that is gone cannot be stored";
    EXPECT_EQ(surnamesOf(mine), (std::vector<std::string>{"А", "В", "Г"})) << "the table is shown afresh";
    EXPECT_NO_THROW(mine.fieldText("F"));

    // Another process deletes it.
    moveToSurname(mine, "В");
    mine.edit();
    mine.setField("Tip1", std::int64_t{9});
    ChildProcess deleter([&dir] {
        Table t("Result.db");
        openResults(t, dir);
        moveToSurname(t, "В");
        t.deleteCurrent();
    });
    ASSERT_TRUE(deleter.succeeded());
    EXPECT_STORE_ERROR(mine.post(), "строку удалило другое рабочее место");
    EXPECT_EQ(surnamesOf(mine), (std::vector<std::string>{"А", "Г"}));

    // Deleting a row another process has deleted.
    moveToSurname(mine, "Г");
    ChildProcess second([&dir] {
        Table t("Result.db");
        openResults(t, dir);
        moveToSurname(t, "Г");
        t.deleteCurrent();
    });
    ASSERT_TRUE(second.succeeded());
    EXPECT_STORE_ERROR(mine.deleteCurrent(), "строку удалило другое рабочее место");
    EXPECT_EQ(surnamesOf(mine), std::vector<std::string>{"А"});
    EXPECT_EQ(mine.fieldText("F"), "А");

    EXPECT_EQ(storedSurnames(dir), std::vector<std::string>{"А"});
}

TEST_P(RowConflicts, AnEditOfARowAnotherChangedIsRefusedAndTheChangeIsShown)
{
    DataDir dir(engine());
    makeResults(dir);
    Table mine("Result.db");
    openResults(mine, dir, {"А", "Б", "В"});
    Table other("Result.db");
    openResults(other, dir);

    // Another copy of the program changes the row being edited here.
    moveToSurname(mine, "Б");
    mine.edit();
    mine.setField("F", std::string("Моё"));
    moveToSurname(other, "Б");
    other.edit();
    other.setField("F", std::string("Чужое"));
    other.post();
    EXPECT_STORE_ERROR(mine.post(), "строку изменило другое рабочее место");
    EXPECT_EQ(mine.state(), Table::State::Browse);
    EXPECT_FALSE(mine.hasPending());
    EXPECT_EQ(mine.fieldText("F"), "Чужое") << "the row is shown as the other left it";
    EXPECT_EQ(mine.recNo(), 1);
    EXPECT_EQ(storedSurnames(dir), (std::vector<std::string>{"А", "Чужое", "В"}));

    // Another process changes another field of it.
    mine.edit();
    mine.setField("F", std::string("Моё"));
    ChildProcess changer([&dir] {
        Table t("Result.db");
        openResults(t, dir);
        moveToSurname(t, "Чужое");
        t.edit();
        t.setField("Tip3", std::int64_t{9});
        t.post();
    });
    ASSERT_TRUE(changer.succeeded());
    EXPECT_STORE_ERROR(mine.post(), "строку изменило другое рабочее место");
    EXPECT_EQ(mine.fieldText("F"), "Чужое");
    EXPECT_EQ(mine.fieldInt("Tip3"), 9);

    // A change of another row is no conflict.
    mine.edit();
    mine.setField("F", std::string("Моё"));
    moveToSurname(other, "В");
    other.edit();
    other.setField("Tip1", std::int64_t{5});
    other.post();
    mine.post();
    EXPECT_EQ(storedSurnames(dir), (std::vector<std::string>{"А", "Моё", "В"}));

    Table fresh("Result.db");
    openResults(fresh, dir);
    fresh.moveTo(1);
    EXPECT_EQ(fresh.fieldInt("Tip3"), 9) << "the other's change stands";
    fresh.moveTo(2);
    EXPECT_EQ(fresh.fieldInt("Tip1"), 5);
}

TEST_P(DataVersion, ChangesWithOthersCommitsOnly)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    EXPECT_EQ(t.dataVersion(), 0) << "a closed table";
    openResults(t, dir, {"А"});
    const std::int64_t start = t.dataVersion();

    appendResultRow(t, "Б", "", "", scores(1), Date{2024, 1, 1});
    t.first();
    t.edit();
    t.setField("Tip2", std::int64_t{7});
    t.post();
    t.deleteCurrent();
    EXPECT_EQ(t.dataVersion(), start) << "the table's own changes";

    Table other("Result.db");
    openResults(other, dir, {"В"});
    ASSERT_TRUE(othersChangeArrives(t, start)) << "another connection's commit";
    const std::int64_t afterOther = t.dataVersion();

    ChildProcess process([&dir] {
        Table p("Result.db");
        openResults(p, dir);
        p.first();
        p.deleteCurrent();
    });
    ASSERT_TRUE(process.succeeded());
    EXPECT_TRUE(othersChangeArrives(t, afterOther)) << "another process's commit";

    // A transaction the other rolls back changes nothing.
    const std::int64_t settled = t.dataVersion();
    OtherConnection rolledBack(dir, "Result.db");
    rolledBack.run("BEGIN");
    rolledBack.run("DELETE FROM \"Result\"");
    rolledBack.run("ROLLBACK");
    appendResultRow(t, "Г", "", "", scores(1), Date{2024, 1, 1});   // a round trip after it
    EXPECT_EQ(t.dataVersion(), settled);
}
