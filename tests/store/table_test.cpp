// The table engine: moving, reading, editing, filtering, pending rows, sharing.
// Every suite but the file-only ones runs on table files and on the server.
#include "engine_test_util.h"

#include <sys/stat.h>

using namespace store;
using namespace storetest;

namespace {

std::vector<std::string> surnamesByPosition(const Table& t)
{
    std::vector<std::string> names;
    for (std::int64_t k = 0; k < t.recordCount(); ++k)
        names.push_back(toText(t.rowAt(k)[0], "F"));
    return names;
}

using TableNavigation = EngineTest;
using ResultRows = EngineTest;
using TablePositions = EngineTest;
using TableFilter = EngineTest;
using PendingRow = EngineTest;
using Listeners = EngineTest;
using TableCopying = EngineTest;

}  // namespace

INSTANTIATE_ENGINE_SUITE(TableNavigation);
INSTANTIATE_ENGINE_SUITE(ResultRows);
INSTANTIATE_ENGINE_SUITE(TablePositions);
INSTANTIATE_ENGINE_SUITE(TableFilter);
INSTANTIATE_ENGINE_SUITE(PendingRow);
INSTANTIATE_ENGINE_SUITE(Listeners);
INSTANTIATE_ENGINE_SUITE(TableCopying);

TEST_P(TableNavigation, FirstNextAndTheEndFlag)
{
    DataDir dir(engine());
    makeQuestionnaire(dir, {std::int64_t{5}, std::int64_t{7}, std::int64_t{9}});
    Table t("FpiBd.db");
    t.setDirectoryPath(dir.path());
    t.open();
    EXPECT_EQ(itemNumber(t), 5);
    EXPECT_FALSE(t.eof());
    t.next();
    t.next();
    EXPECT_EQ(itemNumber(t), 9);
    EXPECT_FALSE(t.eof()) << "reaching the last row is not yet the end";
    t.next();
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(itemNumber(t), 9) << "Next on the last row stays there";
    t.first();
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(itemNumber(t), 5);
    EXPECT_EQ(t.recNo(), 0);
}

TEST_P(TableNavigation, EmptyAndClosedTables)
{
    DataDir dir(engine());
    makeQuestionnaire(dir, {});
    Table t("FpiBd.db");
    t.setDirectoryPath(dir.path());
    EXPECT_STORE_ERROR(t.first(), "не открыта");
    EXPECT_STORE_ERROR(itemNumber(t), "не открыта");
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recordCount(), 0);

    t.open();
    EXPECT_TRUE(t.eof()) << "an empty table is at its end";
    EXPECT_TRUE(isNull(t.field("NumVopros")));
    EXPECT_STORE_ERROR(itemNumber(t), "нет строк");
    t.next();
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recNo(), -1);
    EXPECT_STORE_ERROR(t.fieldIndex("Nope"), "нет поля «Nope»");
}

// Table files only: a file's column keeps whatever it is given (a fraction, a
// text), a server column only values of its kind.
TEST(TableReading, ItemNumberConversions)
{
    TempDir dir;
    makeQuestionnaire(dir, {2.5, 3.5, -2.5, std::string("17"), std::string("1x"), Value{}, 1e12, std::int64_t{3000000000}});
    Table t("FpiBd.db");
    t.setDirectoryPath(dir.path());
    t.open();
    EXPECT_EQ(itemNumber(t), 2) << "half rounds to even";
    t.next();
    EXPECT_EQ(itemNumber(t), 4);
    t.next();
    EXPECT_EQ(itemNumber(t), -2);
    t.next();
    EXPECT_EQ(itemNumber(t), 17) << "text holding a whole number is parsed";
    t.next();
    EXPECT_STORE_ERROR(itemNumber(t), "«1x»");
    t.next();
    EXPECT_STORE_ERROR(itemNumber(t), "пусто");
    t.next();
    EXPECT_STORE_ERROR(itemNumber(t), "32 бита");
    t.next();
    EXPECT_STORE_ERROR(itemNumber(t), "32 бита");
}

TEST_P(ResultRows, AppendStoresInOrderAndCutsNames)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir);
    const std::string longName = "Александропольская";   // 18 characters, 2 bytes each
    appendResultRow(t, "  Иванов", longName, "", scores(1), Date{2024, 2, 29});
    EXPECT_EQ(t.state(), Table::State::Browse);
    EXPECT_EQ(t.fieldText("F"), "  Иванов") << "names are stored untrimmed";
    EXPECT_EQ(t.fieldText("I"), "Александропольс");
    EXPECT_TRUE(isNull(t.field("O"))) << "an empty text stores a blank field";
    EXPECT_EQ(std::get<Date>(t.field("Dat")), (Date{2024, 2, 29}));
    for (int s = 1; s <= 12; ++s)
        EXPECT_EQ(t.fieldInt("Tip" + std::to_string(s)), s);
    const std::int32_t firstNN = t.fieldInt("NN");

    appendResultRow(t, "Петров", "Пётр", "Петрович", scores(2), Date{2024, 3, 1});
    EXPECT_EQ(t.fieldText("F"), "Петров") << "the stored row becomes current";
    EXPECT_GT(t.fieldInt("NN"), firstNN);
    EXPECT_EQ(t.recNo(), 1);
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(surnamesByPosition(t), (std::vector<std::string>{"  Иванов", "Петров"}));
}

TEST_P(ResultRows, FieldsRefuseValuesThatDoNotFit)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir);
    EXPECT_STORE_ERROR(t.setField("F", std::string("x")), "только при добавлении");
    t.append();
    EXPECT_STORE_ERROR(t.setField("Tip1", std::int64_t{32768}), "поле «Tip1»");
    t.setField("Tip1", std::int64_t{-32768});
    EXPECT_STORE_ERROR(t.setField("F", std::string(16, 'a')), "длиннее 15");
    EXPECT_STORE_ERROR(t.setField("NN", std::int64_t{5}), "автоматически");
    EXPECT_STORE_ERROR(t.setField("Dat", std::string("2024-02-30")), "ожидается дата");
    t.setField("Dat", std::string("2024-02-29"));
    t.post();
    EXPECT_EQ(t.fieldInt("Tip1"), -32768);
    EXPECT_EQ(t.fieldText("Dat"), "29.02.2024");
}

TEST_P(ResultRows, GridEditingInsertingAndDeleting)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"А", "Б", "В", "Г"});
    t.moveTo(1);
    t.edit();
    t.setField("F", std::string("Бб"));
    EXPECT_EQ(t.fieldText("F"), "Бб");
    t.cancel();
    EXPECT_EQ(t.fieldText("F"), "Б");
    t.edit();
    t.setField("F", std::string("Бб"));
    t.post();
    EXPECT_EQ(surnamesByPosition(t), (std::vector<std::string>{"А", "Бб", "В", "Г"}));

    t.moveTo(2);
    t.insert();
    EXPECT_EQ(t.recNo(), 2) << "an inserted row shows at the cursor";
    t.setField("F", std::string("Д"));
    t.post();
    EXPECT_EQ(t.recNo(), 4) << "once posted it takes its place at the end";
    EXPECT_EQ(t.fieldText("F"), "Д");

    t.moveTo(1);
    t.deleteCurrent();
    EXPECT_EQ(t.fieldText("F"), "В") << "the next row becomes current";
    t.moveTo(99);
    EXPECT_EQ(t.recNo(), 3);
    t.deleteCurrent();
    EXPECT_EQ(t.fieldText("F"), "Г") << "after the last row goes, the new last row is current";
    EXPECT_EQ(surnamesByPosition(t), (std::vector<std::string>{"А", "В", "Г"}));
    EXPECT_EQ(t.recordCount(), 3);
}

TEST_P(TablePositions, FindRowScansBothWaysAndLocateMoves)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"Орлов", "Иванов", "Осипов", "Петров"});
    const auto startsWithO = [](const Value& v) { return toText(v, "F").rfind("О", 0) == 0; };
    EXPECT_EQ(t.findRow("F", 0, 1, startsWithO), 0);
    EXPECT_EQ(t.findRow("F", 1, 1, startsWithO), 2);
    EXPECT_EQ(t.findRow("F", 3, 1, startsWithO), -1);
    EXPECT_EQ(t.findRow("F", 3, -1, startsWithO), 2);
    EXPECT_EQ(t.findRow("F", 1, -1, startsWithO), 0);
    EXPECT_EQ(t.findRow("F", 7, 1, startsWithO), -1);
    EXPECT_EQ(t.recNo(), 3) << "searching does not move the cursor";

    EXPECT_TRUE(t.locate("F", std::string("Осипов")));
    EXPECT_EQ(t.recNo(), 2);
    EXPECT_FALSE(t.locate("F", std::string("Сидоров")));
    EXPECT_EQ(t.recNo(), 2);
}

TEST_P(TableFilter, OnlyTheRowNumberFormIsAccepted)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"А", "Б", "В"});
    for (const char* bad : {"NN = 2", "nn=2", "NN=2 ", "NN=2 OR 1=1", "NN=", "F='А'", "NN=2;", "NN=+2", "NN=0x2"})
        EXPECT_STORE_ERROR(t.setFilter(bad), "условие отбора «" + std::string(bad) + "»");
    t.setFilter("NN=-3");
    EXPECT_EQ(t.filter(), "NN=-3");
    t.setFilter("NN=2");
    EXPECT_EQ(t.fieldText("F"), "В") << "recording the expression while filtering is off does not move";

    t.setFiltered(true);
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.fieldText("F"), "Б");
    t.next();
    EXPECT_TRUE(t.eof());
    t.setFiltered(false);
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(t.fieldText("F"), "А") << "switching off makes the first row current";

    Table q("FpiBd.db");
    makeQuestionnaire(dir, {std::int64_t{1}});
    q.setDirectoryPath(dir.path());
    q.open();
    q.setFilter("NN=1");
    EXPECT_STORE_ERROR(q.setFiltered(true), "нет поля «NN»");
}

TEST_P(TableFilter, OneRowFilterAlwaysEndsSwitchedOff)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"А", "Б", "В"});
    t.moveTo(1);
    std::vector<std::string> seen;
    withOneRowFilter(t, [&] { seen = surnamesByPosition(t); });
    EXPECT_EQ(seen, std::vector<std::string>{"Б"});
    EXPECT_FALSE(t.filtered());
    EXPECT_EQ(t.fieldText("F"), "Б") << "the printed row stays current";

    EXPECT_THROW(withOneRowFilter(t, [] { throw std::runtime_error("report failed"); }), std::runtime_error);
    EXPECT_FALSE(t.filtered());
    EXPECT_EQ(t.recordCount(), 3);

    t.append();
    EXPECT_STORE_ERROR(withOneRowFilter(t, [] {}), "пусто");   // a pending row has no number yet
    t.cancel();

    Table empty("Result.db");
    DataDir other(engine());
    makeResults(other);
    openResults(empty, other);
    EXPECT_STORE_ERROR(withOneRowFilter(empty, [] { ADD_FAILURE(); }), "нет строк");
    EXPECT_FALSE(empty.filtered());
}

TEST_P(PendingRow, AFailedPostIsKeptAndRetried)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"А"});
    t.setBusyTimeout(50);
    TableBusy lock(dir, "Result.db");
    EXPECT_STORE_ERROR(appendResultRow(t, "Сидоров", "Иван", "Ильич", scores(3), Date{2024, 5, 6}),
                       busyText(engine()));
    EXPECT_EQ(t.state(), Table::State::Insert);
    ASSERT_TRUE(t.hasPending());
    const auto pending = t.pendingValues();
    ASSERT_EQ(pending.size(), 17u);
    EXPECT_EQ(pending[0].first, "F");
    EXPECT_EQ(std::get<std::string>(pending[0].second), "Сидоров");
    EXPECT_EQ(std::get<Date>(pending[3].second), (Date{2024, 5, 6}));

    EXPECT_STORE_ERROR(t.first(), busyText(engine()));   // a move first retries the pending row
    EXPECT_STORE_ERROR(t.append(), busyText(engine()));
    EXPECT_STORE_ERROR(t.setFiltered(true), busyText(engine()));
    EXPECT_FALSE(t.filtered());
    EXPECT_TRUE(t.hasPending());

    lock.release();
    t.storePending();
    EXPECT_FALSE(t.hasPending());
    EXPECT_EQ(t.fieldText("F"), "Сидоров");
    EXPECT_EQ(surnamesByPosition(t), (std::vector<std::string>{"А", "Сидоров"}));
}

TEST_P(PendingRow, TheNextMoveStoresIt)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"А"});
    t.setBusyTimeout(50);
    {
        TableBusy lock(dir, "Result.db");
        EXPECT_THROW(appendResultRow(t, "Б", "", "", scores(1), Date{2024, 1, 1}), StoreError);
    }
    t.first();
    EXPECT_EQ(t.state(), Table::State::Browse);
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(t.fieldText("F"), "А");
}

// Table files only: their permissions, their journal and their write lock
// (the server's counterpart, a row another workstation holds, is in
// table_sharing_test.cpp).
TEST(Sharing, ABusyTableFailsClearlyAndANewFileIsPrivate)
{
    DataDir dir(Engine::Files);
    makeResults(dir);
    struct stat info {};
    ASSERT_EQ(stat(dir.file("Result.db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    Table first("Result.db");
    openResults(first, dir, {"А"});
    Table second("Result.db");
    openResults(second, dir);
    second.setBusyTimeout(100);
    EXPECT_EQ(second.recordCount(), 1) << "two copies read the same table";
    ASSERT_EQ(stat(dir.file("Result.db-wal").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the journal is as private as the table";

    TableBusy lock(dir, "Result.db");
    EXPECT_STORE_ERROR(appendResultRow(second, "Б", "", "", scores(1), Date{2024, 1, 1}),
                       "«" + dir.file("Result.db") + "»: таблица занята другой копией программы");
    EXPECT_EQ(first.recordCount(), 1) << "reading goes on while another copy writes";
    EXPECT_STORE_ERROR(createTableFile(dir.file("Result.db"), resultColumnsSql()), "уже существует");
}

TEST_P(Listeners, AreToldOfEveryChange)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    std::vector<Table::Change> changes;
    const int id = t.subscribe([&](Table::Change c) { changes.push_back(c); });
    openResults(t, dir, {"А", "Б"});
    EXPECT_EQ(changes.front(), Table::Change::Reset);
    changes.clear();
    t.first();
    EXPECT_EQ(changes, std::vector<Table::Change>{Table::Change::Cursor});
    changes.clear();
    t.edit();
    t.setField("F", std::string("В"));
    t.post();
    EXPECT_EQ(changes, std::vector<Table::Change>(3, Table::Change::Row));
    changes.clear();
    t.unsubscribe(id);
    t.close();
    EXPECT_TRUE(changes.empty());
}

TEST_P(TableCopying, RowsAreStoredWithTheirOwnNumbersAllOrNone)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir);
    const auto row = [&t](const std::string& surname, std::int64_t nn) {
        std::vector<Value> values(t.fields().size());
        values[static_cast<size_t>(t.fieldIndex("F"))] = surname;
        values[static_cast<size_t>(t.fieldIndex("Dat"))] = Date{2023, 12, 31};
        values[static_cast<size_t>(t.fieldIndex("Tip1"))] = std::int64_t{3};
        values[static_cast<size_t>(t.fieldIndex("NN"))] = nn;
        return values;
    };
    const auto storedCount = [&dir] {
        Table fresh("Result.db");
        openResults(fresh, dir);
        return fresh.recordCount();
    };

    EXPECT_THROW(t.appendRows([&](const Table::RowSink& sink) {
        sink(row("А", 5));
        throw StoreError("источник повреждён");
    }),
                 StoreError);
    EXPECT_THROW(t.appendRows([&](const Table::RowSink& sink) {
        sink(row("А", 5));
        sink(row("Б", 5));
    }),
                 StoreError)
        << "a row number given twice";
    EXPECT_EQ(storedCount(), 0) << "a copy that fails stores nothing";
    EXPECT_EQ(t.recordCount(), 0);

    // Ascending numbers: a file's table order is its row numbers', the server's the order of storing.
    t.appendRows([&](const Table::RowSink& sink) {
        sink(row("А", 5));
        sink(row("Б", 9));
        sink(row("В", 12));
    });
    EXPECT_EQ(surnamesByPosition(t), (std::vector<std::string>{"А", "Б", "В"}));
    EXPECT_EQ(t.fieldText("F"), "А") << "the first row is current";
    std::vector<std::vector<Value>> copied;
    t.forEachRow([&](std::vector<Value>&& values) { copied.push_back(std::move(values)); });
    EXPECT_EQ(copied, (std::vector<std::vector<Value>>{row("А", 5), row("Б", 9), row("В", 12)}));

    appendResultRow(t, "Г", "", "", scores(1), Date{2024, 1, 1});
    EXPECT_EQ(t.fieldInt("NN"), 13) << "numbering goes on after the highest number copied";
    EXPECT_STORE_ERROR(t.appendRows([&](const Table::RowSink& sink) { sink(row("Д", 20)); }),
                       "в таблице уже есть строки, копировать в неё нельзя");
    EXPECT_EQ(storedCount(), 4);
}
