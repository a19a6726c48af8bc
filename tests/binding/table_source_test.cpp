// A table of the store as the grids see it: every kind of value shown with
// the one display text, and the search that compares what is shown.
#include "binding/display_text.h"
#include "binding/table_source.h"
#include "store/table.h"
#include "toolkit/incremental_search.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

class TableSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const std::string path = dir.path().toStdString();
        store::createTableFile(path + "/T.db", "\"F\" VARCHAR(15), \"Dat\" DATE, \"N\" INTEGER, \"R\" REAL");
        table.setDirectoryPath(path);
        table.open();
        add("Ёжиков", {2024, 3, 1}, 12, 2.5);
        add("😀Смайлов", {1999, 12, 31}, -7, 0.125);
        add("Яковлев", {2023, 1, 2}, 120, 1234567.5);
    }

    void add(const char* surname, store::Date date, std::int64_t number, double real)
    {
        table.append();
        table.setField("F", std::string(surname));
        table.setField("Dat", date);
        table.setField("N", number);
        table.setField("R", real);
        table.post();
    }

    int find(binding::TableSource& source, const char* field, const QString& typed)
    {
        return source.findRow(source.fieldIndex(QString::fromLatin1(field)), 0, 1, toolkit::searchFold(typed));
    }

    QTemporaryDir dir;
    store::Table table{"T.db"};
};

}  // namespace

TEST_F(TableSourceTest, RowsShowEveryValueAsTheDisplayTextDoes)
{
    binding::TableSource source(table);
    ASSERT_EQ(source.rowCount(), 3);
    const QStringList texts = source.rowTexts(0);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Ёжиков"), QStringLiteral("01.03.2024"), QStringLiteral("12"),
                                  QStringLiteral("2,5")}));
    for (int row = 0; row < 3; ++row) {
        const std::vector<store::Value> values = table.rowAt(row);
        const QStringList shown = source.rowTexts(row);
        for (std::size_t i = 0; i < values.size(); ++i)
            EXPECT_EQ(shown.at(int(i)), binding::displayText(values[i])) << row << ' ' << i;
    }
}

TEST_F(TableSourceTest, SearchMatchesTheDisplayedTextOfEveryKind)
{
    binding::TableSource source(table);
    EXPECT_EQ(find(source, "F", QStringLiteral("ёЖ")), 0);
    EXPECT_EQ(find(source, "F", QStringLiteral("я")), 2);
    EXPECT_EQ(find(source, "F", QStringLiteral("😀с")), 1) << "a character beyond the names' alphabet";
    EXPECT_EQ(find(source, "F", QStringLiteral("Ёжиковы")), -1) << "a prefix longer than the text";
    EXPECT_EQ(find(source, "Dat", QStringLiteral("31.12")), 1);
    EXPECT_EQ(find(source, "N", QStringLiteral("12")), 0);
    EXPECT_EQ(find(source, "N", QStringLiteral("-7")), 1);
    EXPECT_EQ(find(source, "R", QStringLiteral("1234567,")), 2);
    EXPECT_EQ(find(source, "R", QStringLiteral("0,12")), 1);
}
