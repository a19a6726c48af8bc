// The examination run without windows: answering item by item, the end of the
// questionnaire, items replaced by another program, and storing the result.
#include "../store/store_test_util.h"

#include "engine/conversion.h"
#include "engine/scoring_key.h"
#include "engine/test_scores.h"
#include "exam/examination.h"

#include <sqlite3.h>

using namespace storetest;

namespace {

const store::Date kDate{2025, 4, 30};

class ExaminationRunTest : public ::testing::Test {
protected:
    // The questionnaire holds the given item numbers; the run is started.
    void begin(const std::vector<store::Value>& items)
    {
        makeQuestionnaire(dir, items);
        makeResults(dir);
        questionnaire.setDirectoryPath(dir.path());
        questionnaire.open();
        openResults(results, dir);
        run.itemsRead();
        run.start();
    }

    // Another program replaces the items, as the data command does.
    void replaceItems(const std::vector<std::int64_t>& numbers) const
    {
        std::vector<std::vector<store::Value>> rows;
        for (std::int64_t n : numbers)
            rows.push_back({n, std::string("Новое")});
        store::replaceRows(dir.file("FpiBd.db"), {"NumVopros", "Vopros"}, rows);
    }

    void execOnResults(const char* sql) const
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.file("Result.db").c_str(), &db), SQLITE_OK);
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
        ASSERT_EQ(rc, SQLITE_OK) << sql;
    }

    static bool sheetIsClear()
    {
        for (int scale = 1; scale <= 12; ++scale)
            if (engine::TestScores.raw(scale) != 0 || engine::TestScores.stanine(scale) != 0)
                return false;
        return true;
    }

    TempDir dir;
    store::Table questionnaire{"FpiBd.db"};
    store::Table results{"Result.db"};
    exam::Examination run{questionnaire, results};
    const exam::Subject subject{"Иванов", "Иван", "Иванович"};
};

}  // namespace

TEST_F(ExaminationRunTest, LastItemEndsTheRunWithConvertedScoresAwaitingStoring)
{
    const std::vector<std::int32_t> items = {3, 5, 12, 113};
    const std::vector<bool> answers = {true, false, true, false};
    begin({std::int64_t{3}, std::int64_t{5}, std::int64_t{12}, std::int64_t{113}});

    for (size_t i = 0; i + 1 < items.size(); ++i) {
        EXPECT_EQ(run.answer(answers[i]), exam::Answered::NextItem) << "item " << i;
        EXPECT_EQ(questionnaire.recNo(), static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(engine::AnswerYes, answers[i]);
        EXPECT_FALSE(run.resultAwaitsStoring());
    }
    EXPECT_EQ(run.answer(answers.back()), exam::Answered::Completed);
    EXPECT_TRUE(run.resultAwaitsStoring());

    for (int scale = 1; scale <= 12; ++scale) {
        int raw = 0;
        for (size_t i = 0; i < items.size(); ++i)
            raw += engine::keyed(scale, items[i], answers[i]);
        EXPECT_EQ(engine::TestScores.raw(scale), raw) << "scale " << scale;
        EXPECT_EQ(engine::TestScores.stanine(scale), engine::convertScale(scale, raw)) << "scale " << scale;
    }
    EXPECT_EQ(results.recordCount(), 0) << "nothing is stored before the summary asks";
}

TEST_F(ExaminationRunTest, ItemNumbersOutsideTheKeyScoreNothingButAreAnswered)
{
    begin({std::int64_t{1}, std::int64_t{115}, std::int64_t{-7}, std::int64_t{2147483647}});
    EXPECT_EQ(run.answer(true), exam::Answered::NextItem);
    EXPECT_EQ(run.answer(false), exam::Answered::NextItem);
    EXPECT_EQ(run.answer(true), exam::Answered::NextItem);
    EXPECT_EQ(run.answer(false), exam::Answered::Completed);
    for (int scale = 1; scale <= 12; ++scale) {
        EXPECT_EQ(engine::TestScores.raw(scale), 0) << "scale " << scale;
        EXPECT_EQ(engine::TestScores.stanine(scale), engine::convertScale(scale, 0)) << "scale " << scale;
    }
}

TEST_F(ExaminationRunTest, ItemWithoutNumberOrNoItemRaisesAndNothingMoves)
{
    begin({store::Value{}, std::int64_t{5}});
    EXPECT_THROW(run.answer(true), store::StoreError);
    EXPECT_EQ(questionnaire.recNo(), 0);
    EXPECT_TRUE(sheetIsClear());
    EXPECT_FALSE(run.resultAwaitsStoring());
}

TEST_F(ExaminationRunTest, EmptyQuestionnaireNeverCompletes)
{
    begin({});
    EXPECT_THROW(run.answer(true), store::StoreError);
    EXPECT_THROW(run.answer(false), store::StoreError);
    EXPECT_FALSE(run.resultAwaitsStoring());
    EXPECT_FALSE(run.storeResult(subject, kDate));
    EXPECT_EQ(results.recordCount(), 0);
}

TEST_F(ExaminationRunTest, OneItemQuestionnaireEndsAfterTheFirstAnswer)
{
    begin({std::int64_t{9}});
    EXPECT_EQ(run.answer(true), exam::Answered::Completed);
}

TEST_F(ExaminationRunTest, StartClearsTheScoresAndForgetsAnUnstoredResult)
{
    begin({std::int64_t{2}, std::int64_t{3}});
    run.answer(true);
    run.answer(true);
    ASSERT_TRUE(run.resultAwaitsStoring());
    run.rewind();
    run.start();
    EXPECT_TRUE(sheetIsClear());
    EXPECT_FALSE(run.resultAwaitsStoring());
    EXPECT_EQ(questionnaire.recNo(), 0);
    EXPECT_FALSE(run.storeResult(subject, kDate));
}

TEST_F(ExaminationRunTest, RewindLeavesAClosedQuestionnaireAlone)
{
    begin({std::int64_t{2}, std::int64_t{3}});
    run.answer(false);
    run.rewind();
    EXPECT_EQ(questionnaire.recNo(), 0);
    questionnaire.close();
    EXPECT_NO_THROW(run.rewind());
}

TEST_F(ExaminationRunTest, ItemsReplacedMidRunEndTheRunWithoutAResult)
{
    begin({std::int64_t{3}, std::int64_t{5}, std::int64_t{12}});
    run.answer(true);
    run.answer(true);
    replaceItems({14, 40});

    EXPECT_EQ(run.answer(true), exam::Answered::ItemsReplaced);
    EXPECT_TRUE(sheetIsClear());
    EXPECT_FALSE(run.resultAwaitsStoring());
    EXPECT_FALSE(run.storeResult(subject, kDate));
    EXPECT_EQ(results.recordCount(), 0);

    // The new items are asked from the first, and only their answers count.
    run.readItemsAfresh();
    EXPECT_EQ(questionnaire.recordCount(), 2);
    EXPECT_EQ(questionnaire.recNo(), 0);
    run.start();
    EXPECT_EQ(run.answer(true), exam::Answered::NextItem);
    EXPECT_EQ(run.answer(false), exam::Answered::Completed);
    for (int scale = 1; scale <= 12; ++scale)
        EXPECT_EQ(engine::TestScores.raw(scale), engine::keyed(scale, 14, true) + engine::keyed(scale, 40, false))
            << "scale " << scale;
}

TEST_F(ExaminationRunTest, ItemsReplacedBetweenRunsAreAskedFromTheFirstNewItem)
{
    begin({std::int64_t{3}, std::int64_t{5}});
    run.answer(true);
    run.answer(true);   // at the end, as after the summary is closed
    replaceItems({14, 40, 77});

    run.start();
    EXPECT_EQ(questionnaire.recordCount(), 3);
    EXPECT_EQ(questionnaire.recNo(), 0);
    EXPECT_EQ(run.answer(true), exam::Answered::NextItem);
}

TEST_F(ExaminationRunTest, CompletedResultIsStoredOnceWithNameScoresAndDate)
{
    begin({std::int64_t{3}});
    run.answer(true);
    ASSERT_TRUE(run.storeResult(subject, kDate));
    EXPECT_FALSE(run.resultAwaitsStoring());
    EXPECT_FALSE(run.storeResult({"Другой", "Имя", "Отчество"}, kDate));

    ASSERT_EQ(results.recordCount(), 1);
    EXPECT_EQ(results.fieldText("F"), "Иванов");
    EXPECT_EQ(results.fieldText("I"), "Иван");
    EXPECT_EQ(results.fieldText("O"), "Иванович");
    EXPECT_EQ(results.fieldText("Dat"), "30.04.2025");
    for (int scale = 1; scale <= 12; ++scale)
        EXPECT_EQ(results.fieldInt("Tip" + std::to_string(scale)), engine::TestScores.stanine(scale));
}

TEST_F(ExaminationRunTest, NamesAreCutToFifteenCharactersWithLeadingSpacesKept)
{
    begin({std::int64_t{3}});
    run.answer(false);
    ASSERT_TRUE(run.storeResult({"  Константинопольский", "Александра", " Ё "}, kDate));
    EXPECT_EQ(results.fieldText("F"), "  Константинопо");
    EXPECT_EQ(results.fieldText("I"), "Александра");
    EXPECT_EQ(results.fieldText("O"), " Ё ");
}

TEST_F(ExaminationRunTest, RefusedRowStaysPendingAndIsReported)
{
    begin({std::int64_t{3}});
    run.answer(true);
    ASSERT_NO_FATAL_FAILURE(execOnResults(
        "CREATE TRIGGER refuse BEFORE INSERT ON Result BEGIN SELECT RAISE(ABORT, 'диск защищён'); END;"));

    EXPECT_STORE_ERROR(run.storeResult(subject, kDate), "Result.db");
    EXPECT_FALSE(run.resultAwaitsStoring()) << "the pending row is the one copy: never a second row";
    ASSERT_TRUE(results.hasPending());
    bool surnameKept = false;
    for (const auto& [name, value] : results.pendingValues())
        surnameKept = surnameKept || (name == "F" && value == store::Value{std::string("Иванов")});
    EXPECT_TRUE(surnameKept);

    ASSERT_NO_FATAL_FAILURE(execOnResults("DROP TRIGGER refuse;"));
    results.storePending();
    EXPECT_EQ(results.recordCount(), 1);
}

TEST_F(ExaminationRunTest, ClosedResultsTableIsReportedNamingTheFile)
{
    begin({std::int64_t{3}});
    run.answer(true);
    results.close();
    EXPECT_STORE_ERROR(run.storeResult(subject, kDate), "Result.db");
    EXPECT_FALSE(results.hasPending());
}
