// The incremental search on its own, over rows in memory.
#include "grid_memory_source.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

using toolkit::IncrementalSearch;

namespace {

const QStringList kFields{QStringLiteral("F"), QStringLiteral("Tip1")};

// Surnames in mixed case, and scores.
QVector<QStringList> people()
{
    return {{QStringLiteral("Петров"), QStringLiteral("12")},
            {QStringLiteral("иванов"), QStringLiteral("7")},
            {QStringLiteral("Сидоров"), QStringLiteral("70")},
            {QStringLiteral("Ивлев"), QStringLiteral("5")},
            {QStringLiteral("Игнатьев"), QStringLiteral("17")}};
}

class SearchTest : public ::testing::Test {
protected:
    MemorySource source{kFields, people(), {QStringLiteral("Tip1")}};
    IncrementalSearch search{&source};
};

}  // namespace

TEST(SearchFold, UpperCasesCyrillicAndLatinCharacterByCharacter)
{
    EXPECT_EQ(toolkit::searchFold(u"ёжик Abc"), QStringLiteral("ЁЖИК ABC"));
    EXPECT_TRUE(toolkit::beginsWithFolded(u"ёлка", u"ЁЛ"));
    EXPECT_TRUE(toolkit::beginsWithFolded(u"Ёлка", u""));
    EXPECT_FALSE(toolkit::beginsWithFolded(u"Ёл", u"ЁЛК"));
    EXPECT_FALSE(toolkit::beginsWithFolded(u"елка", u"ЁЛ"));
}

TEST_F(SearchTest, FirstLetterKeepsAMatchingRowElseGoesToTheFirstMatchFromTheTop)
{
    // Петров does not begin with И: the first such row is иванов, in lower case.
    EXPECT_TRUE(search.type(0, QStringLiteral("И")));
    EXPECT_EQ(source.currentRow(), 1);
    // иванов begins with ив: the cursor stays.
    EXPECT_TRUE(search.type(0, QStringLiteral("в")));
    EXPECT_EQ(source.currentRow(), 1);
    EXPECT_EQ(search.text(), QStringLiteral("Ив"));

    search.end();
    source.setCurrentRow(4);   // Игнатьев
    EXPECT_TRUE(search.type(0, QStringLiteral("и")));
    EXPECT_EQ(source.currentRow(), 4);
    // Игнатьев does not go on with в: back to the first ив from the top.
    EXPECT_TRUE(search.type(0, QStringLiteral("В")));
    EXPECT_EQ(source.currentRow(), 1);
}

TEST_F(SearchTest, ALetterThatMatchesNothingIsDroppedAndTheCursorStays)
{
    source.setCurrentRow(2);
    EXPECT_FALSE(search.type(0, QStringLiteral("Ъ")));
    EXPECT_FALSE(search.active());   // no search, so no mark
    EXPECT_EQ(source.currentRow(), 2);

    EXPECT_TRUE(search.type(0, QStringLiteral("и")));
    EXPECT_FALSE(search.type(0, QStringLiteral("щ")));
    EXPECT_TRUE(search.active());
    EXPECT_EQ(search.text(), QStringLiteral("и"));
    EXPECT_EQ(source.currentRow(), 1);
}

TEST_F(SearchTest, ScoresMatchByTheirDigits)
{
    EXPECT_TRUE(search.type(1, QStringLiteral("7")));
    EXPECT_EQ(source.currentRow(), 1);
    search.end();
    source.setCurrentRow(2);   // 70 begins with 7 too
    EXPECT_TRUE(search.type(1, QStringLiteral("7")));
    EXPECT_EQ(source.currentRow(), 2);
    EXPECT_TRUE(search.type(1, QStringLiteral("0")));
    EXPECT_EQ(source.currentRow(), 2);
}

TEST_F(SearchTest, EndsAfterTheTimeoutSoTheNextLetterStartsAfresh)
{
    search.setTimeout(30);
    EXPECT_TRUE(search.type(0, QStringLiteral("И")));
    EXPECT_TRUE(search.active());
    QTRY_VERIFY_WITH_TIMEOUT(!search.active(), 2000);
    EXPECT_TRUE(search.type(0, QStringLiteral("С")));
    EXPECT_EQ(search.text(), QStringLiteral("С"));
    EXPECT_EQ(source.currentRow(), 2);
}

TEST_F(SearchTest, EachKeystrokeRestartsTheTimeout)
{
    search.setTimeout(600);
    search.type(0, QStringLiteral("И"));
    QTest::qWait(400);
    search.type(0, QStringLiteral("в"));
    QTest::qWait(400);
    EXPECT_TRUE(search.active());
    EXPECT_EQ(search.text(), QStringLiteral("Ив"));
}

TEST_F(SearchTest, ASearchStartedEmptyHasNoTimeLimit)
{
    search.setTimeout(10);
    search.startEmpty(0);
    search.type(0, QStringLiteral("С"));
    QTest::qWait(60);
    EXPECT_TRUE(search.active());
    EXPECT_EQ(source.currentRow(), 2);
}

TEST_F(SearchTest, BackspaceShortensTheTextWithoutMoving)
{
    search.type(0, QStringLiteral("и"));
    search.type(0, QStringLiteral("в"));
    search.backspace();
    EXPECT_EQ(search.text(), QStringLiteral("и"));
    EXPECT_EQ(source.currentRow(), 1);
    EXPECT_TRUE(search.active());
}

TEST_F(SearchTest, NextAndPreviousMatchesMoveBelowAndAbove)
{
    search.type(0, QStringLiteral("и"));
    search.type(0, QStringLiteral("в"));
    EXPECT_TRUE(search.findNext(1));
    EXPECT_EQ(source.currentRow(), 3);   // Ивлев
    EXPECT_FALSE(search.findNext(1));
    EXPECT_EQ(source.currentRow(), 3);
    EXPECT_TRUE(search.findNext(-1));
    EXPECT_EQ(source.currentRow(), 1);
    EXPECT_TRUE(search.active());
}

TEST_F(SearchTest, AnyOtherCursorMoveOrChangeOfRowsEndsIt)
{
    QSignalSpy changed(&search, &IncrementalSearch::changed);
    search.type(0, QStringLiteral("и"));
    source.setCurrentRow(0);
    EXPECT_FALSE(search.active());
    EXPECT_TRUE(search.text().isEmpty());

    search.type(0, QStringLiteral("и"));
    source.appendRow();
    EXPECT_FALSE(search.active());
    EXPECT_GE(changed.count(), 4);
}

TEST_F(SearchTest, DoesNothingOnAClosedSourceOrWhileARowIsEdited)
{
    source.edit();
    EXPECT_FALSE(search.type(0, QStringLiteral("С")));
    EXPECT_EQ(source.currentRow(), 0);
    source.cancel();

    source.open = false;
    EXPECT_FALSE(search.type(0, QStringLiteral("С")));
    search.startEmpty(0);
    EXPECT_FALSE(search.active());
    EXPECT_EQ(source.scans, 0);
}
