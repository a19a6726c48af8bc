// Searching a field's values: what the search sees after every kind of change,
// and values that look alike but are stored differently.
#include "engine_test_util.h"

using namespace store;
using namespace storetest;

namespace {

std::function<bool(const Value&)> surnameBegins(const std::string& prefix)
{
    return [prefix](const Value& v) {
        const auto* text = std::get_if<std::string>(&v);
        return text && text->rfind(prefix, 0) == 0;
    };
}

using TableSearch = EngineTest;

}  // namespace

INSTANTIATE_ENGINE_SUITE(TableSearch);

TEST_P(TableSearch, SeesEveryChangeMadeAfterAnEarlierSearch)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"Орлов", "Иванов", "Петров"});
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("С")), -1);

    t.moveTo(1);
    t.edit();
    t.setField("F", std::string("Сидоров"));
    t.post();
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("С")), 1) << "an edited row";
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("И")), -1) << "the value it had";

    appendResultRow(t, "Смирнов", "Имя", "Отчество", scores(1), Date{2024, 3, 15});
    EXPECT_EQ(t.findRow("F", 2, 1, surnameBegins("С")), 3) << "an appended row";

    t.moveTo(1);
    t.deleteCurrent();
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("С")), 2) << "the rows after a deleted one move up";
    EXPECT_EQ(t.findRow("F", 3, -1, surnameBegins("О")), 0) << "backwards from past the end";

    t.moveTo(2);
    t.setFilter("NN=" + std::to_string(t.fieldInt("NN")));
    t.setFiltered(true);
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("С")), 0) << "the one row the filter shows";
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("О")), -1) << "a row the filter hides";
    t.setFiltered(false);
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("О")), 0);

    const std::int64_t seen = t.dataVersion();
    changeFromOutside(dir, "Result.db", "UPDATE \"Result\" SET \"F\"='Седов' WHERE \"F\"='Орлов'");
    ASSERT_TRUE(othersChangeArrives(t, seen));
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("Се")), 0) << "a change another program committed";
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("О")), -1);

    t.close();
    changeFromOutside(dir, "Result.db", "UPDATE \"Result\" SET \"F\"='Орлов' WHERE \"F\"='Петров'");
    t.open();
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("О")), 1) << "a change made while the table was closed";
}

// Table files only: a file's column keeps values of any kind side by side, a
// server column only values of its own.
TEST(TableFileSearch, ValuesAlikeButStoredDifferentlyStayApart)
{
    TempDir dir;
    makeQuestionnaire(dir, {std::int64_t{5}, std::string("5"), 5.0, Value(), std::int64_t{5}, std::string("5")});
    Table t("FpiBd.db");
    t.setDirectoryPath(dir.path());
    t.open();
    const auto isText = [](const Value& v) { return std::holds_alternative<std::string>(v); };
    const auto isReal = [](const Value& v) { return std::holds_alternative<double>(v); };
    const auto isBlank = [](const Value& v) { return isNull(v); };
    EXPECT_EQ(t.findRow("NumVopros", 0, 1, isText), 1);
    EXPECT_EQ(t.findRow("NumVopros", 2, 1, isText), 5);
    EXPECT_EQ(t.findRow("NumVopros", 0, 1, isReal), 2);
    EXPECT_EQ(t.findRow("NumVopros", 5, -1, isBlank), 3);
    EXPECT_EQ(t.findRow("Vopros", 0, 1, isText), 0) << "another field of the same table";
    EXPECT_EQ(t.findRow("NumVopros", 0, 1, isText), 1) << "and back";
}

TEST_P(TableSearch, AFieldOfManyDifferentValuesIsSearchedAsWell)
{
    DataDir dir(engine());
    makeResults(dir);
    changeFromOutside(dir, "Result.db",
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 70000) "
                      "INSERT INTO \"Result\"(\"F\") SELECT 'Фамилия' || i FROM n");
    Table t("Result.db");
    t.setDirectoryPath(dir.path());
    t.declareFields(resultFields());
    t.open();
    const auto named = [](const std::string& name) {
        return [name](const Value& v) { return std::get_if<std::string>(&v) && std::get<std::string>(v) == name; };
    };
    EXPECT_EQ(t.findRow("F", 0, 1, named("Фамилия69999")), 69998);
    EXPECT_EQ(t.findRow("F", 69999, -1, named("Фамилия2")), 1);
    EXPECT_EQ(t.findRow("F", 0, 1, named("Сидоров")), -1);
    t.moveTo(5);
    t.edit();
    t.setField("F", std::string("Сидоров"));
    t.post();
    EXPECT_EQ(t.findRow("F", 0, 1, named("Сидоров")), 5);
    EXPECT_EQ(t.findRow("NN", 0, 1, [](const Value& v) { return v == Value(std::int64_t{70000}); }), 69999);
}

// Rows changed after they were stored, and a gap left by a deleted one: the
// positions and the search still follow the table's own order, whatever
// order the rows are kept in underneath.
TEST_P(TableSearch, ChangedRowsKeepTheirPlacesInPositionsAndSearch)
{
    DataDir dir(engine());
    makeResults(dir);
    Table t("Result.db");
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back("Фамилия" + std::to_string(i));
    openResults(t, dir, names);
    for (const int row : {3, 0, 17, 39}) {
        t.moveTo(row);
        t.edit();
        t.setField("F", "Изменён" + std::to_string(row) + "!");
        t.post();
    }
    t.moveTo(20);
    t.deleteCurrent();
    t.close();
    openResults(t, dir);
    ASSERT_EQ(t.recordCount(), 39);
    for (const int row : {3, 0, 17, 39}) {
        const std::int64_t position = row < 20 ? row : row - 1;
        EXPECT_EQ(toText(t.rowAt(position)[0], "F"), "Изменён" + std::to_string(row) + "!");
        EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("Изменён" + std::to_string(row) + "!")), position);
        EXPECT_EQ(t.findRow("F", 38, -1, surnameBegins("Изменён" + std::to_string(row) + "!")), position);
    }
    EXPECT_EQ(t.findRow("F", 0, 1, surnameBegins("Изменён")), 0);
    EXPECT_EQ(t.findRow("F", 38, -1, surnameBegins("Изменён")), 38);
    EXPECT_EQ(toText(t.rowAt(20)[0], "F"), "Фамилия21");
}
