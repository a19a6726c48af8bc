#include "engine/conversion.h"
#include "engine/scales.h"
#include "engine/scoring_key.h"
#include "engine/test_scores.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

using namespace engine;

namespace {

using Twelve = std::array<int, 12>;

Twelve raws(const ScoreSheet& sheet)
{
    Twelve r{};
    for (int s = 1; s <= 12; ++s)
        r[s - 1] = sheet.raw(s);
    return r;
}

template <typename Answer>
ScoreSheet answerAll(Answer answer)
{
    ScoreSheet sheet{};
    for (int item = 1; item <= 114; ++item)
        scoreItem(sheet, item, answer(item));
    return sheet;
}

Twelve converted(const Twelve& raw)
{
    Twelve out{};
    for (int s = 1; s <= 12; ++s)
        out[s - 1] = convertScale(s, raw[s - 1]);
    return out;
}

}  // namespace

TEST(ScoringKey, WholeQuestionnaireExamples)
{
    EXPECT_EQ(raws(answerAll([](int) { return true; })), (Twelve{16, 12, 14, 11, 7, 10, 10, 9, 13, 10, 13, 10}));
    EXPECT_EQ(raws(answerAll([](int) { return false; })), (Twelve{1, 1, 0, 0, 8, 0, 0, 1, 0, 2, 1, 5}));
    EXPECT_EQ(raws(answerAll([](int item) { return item % 2 == 1; })),
              (Twelve{8, 7, 3, 2, 3, 7, 6, 6, 5, 6, 5, 7}));
}

TEST(ScoringKey, SingleItems)
{
    for (bool yes : {true, false}) {
        ScoreSheet sheet{};
        scoreItem(sheet, 1, yes);
        for (int item : {0, -1, 115, 119, 120, 127, 128, 1000, INT32_MIN, INT32_MAX})
            scoreItem(sheet, item, yes);
        EXPECT_EQ(raws(sheet), Twelve{}) << "yes=" << yes;
    }

    ScoreSheet sheet{};
    scoreItem(sheet, 29, true);
    EXPECT_EQ(raws(sheet), (Twelve{0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1}));
    sheet = {};
    scoreItem(sheet, 29, false);
    EXPECT_EQ(raws(sheet), Twelve{});

    sheet = {};
    scoreItem(sheet, 20, true);
    EXPECT_EQ(raws(sheet), (Twelve{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
    sheet = {};
    scoreItem(sheet, 20, false);
    EXPECT_EQ(raws(sheet), (Twelve{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1}));

    // A repeated item scores each time.
    sheet = {};
    scoreItem(sheet, 29, true);
    scoreItem(sheet, 29, true);
    EXPECT_EQ(sheet.raw(6), 2);
}

TEST(ScoringKey, ListSizesAndCoverage)
{
    const int yesCounts[12] = {16, 12, 14, 11, 7, 10, 10, 9, 13, 10, 13, 10};
    const int noCounts[12] = {1, 1, 0, 0, 8, 0, 0, 1, 0, 2, 1, 5};
    int keyedAnswers = 0;
    std::map<int, std::set<int>> scalesOfItem;
    std::set<int> bothAnswers;
    for (int s = 1; s <= 12; ++s) {
        const auto yes = yesItems(s);
        const auto no = noItems(s);
        EXPECT_EQ(static_cast<int>(yes.size()), yesCounts[s - 1]) << "scale " << s;
        EXPECT_EQ(static_cast<int>(no.size()), noCounts[s - 1]) << "scale " << s;
        keyedAnswers += static_cast<int>(yes.size() + no.size());
        for (int item : yes) {
            scalesOfItem[item].insert(s);
            EXPECT_FALSE(keyed(s, item, false)) << "item " << item << " keyed both ways on scale " << s;
        }
        for (int item : no)
            scalesOfItem[item].insert(s);
    }
    EXPECT_EQ(keyedAnswers, 154);
    EXPECT_EQ(scalesOfItem.size(), 113u);
    EXPECT_EQ(scalesOfItem.begin()->first, 2);
    EXPECT_EQ(scalesOfItem.rbegin()->first, 114);

    std::map<size_t, int> itemsBySpread;
    std::set<int> onThree;
    for (const auto& [item, scales] : scalesOfItem) {
        ++itemsBySpread[scales.size()];
        if (scales.size() == 3)
            onThree.insert(item);
        bool onYes = false, onNo = false;
        for (int s = 1; s <= 12; ++s) {
            onYes |= keyed(s, item, true);
            onNo |= keyed(s, item, false);
        }
        if (onYes && onNo)
            bothAnswers.insert(item);
    }
    EXPECT_EQ(itemsBySpread[1], 76);
    EXPECT_EQ(itemsBySpread[2], 33);
    EXPECT_EQ(itemsBySpread[3], 4);
    EXPECT_EQ(onThree, (std::set<int>{20, 29, 59, 87}));
    EXPECT_EQ(bothAnswers, (std::set<int>{16, 20, 31, 33, 47, 59, 81, 87, 113}));

    // Every item of a derived scale is also keyed on a basic scale.
    for (int s = 10; s <= 12; ++s)
        for (bool yes : {true, false})
            for (int item : yes ? yesItems(s) : noItems(s)) {
                bool onBasic = false;
                for (int b = 1; b <= 9; ++b)
                    onBasic |= keyed(b, item, true) || keyed(b, item, false);
                EXPECT_TRUE(onBasic) << "item " << item;
            }
}

TEST(Conversion, Examples)
{
    EXPECT_EQ(converted(Twelve{}), (Twelve{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(converted({16, 12, 14, 11, 7, 10, 10, 9, 13, 10, 13, 10}), (Twelve{9, 9, 9, 9, 3, 9, 9, 9, 9, 8, 9, 8}));
    EXPECT_EQ(converted({1, 1, 0, 0, 8, 0, 0, 1, 0, 2, 1, 5}), (Twelve{1, 1, 1, 1, 4, 1, 1, 3, 1, 1, 2, 2}));
    EXPECT_EQ(convertScale(1, 2), 4);
    EXPECT_EQ(convertScale(9, 10), 8);
}

TEST(Conversion, TablesRiseFromOneToNineSkippingOnlyTheListedScores)
{
    const int lastRaw[12] = {17, 13, 14, 11, 14, 10, 10, 10, 13, 12, 14, 15};
    const std::set<int> skipped[12] = {{2, 3}, {2, 6}, {2}, {2}, {}, {}, {2}, {2, 4}, {7}, {}, {}, {7}};
    for (int s = 1; s <= 12; ++s) {
        ASSERT_EQ(lastRawScore(s), lastRaw[s - 1]) << "scale " << s;
        EXPECT_EQ(convertScale(s, 0), 1);
        EXPECT_EQ(convertScale(s, lastRaw[s - 1]), 9);
        std::set<int> given;
        for (int r = 0; r <= lastRaw[s - 1]; ++r) {
            given.insert(convertScale(s, r));
            if (r > 0) {
                EXPECT_GE(convertScale(s, r), convertScale(s, r - 1)) << "scale " << s << " raw " << r;
            }
        }
        std::set<int> missing;
        for (int v = 1; v <= 9; ++v)
            if (!given.count(v))
                missing.insert(v);
        EXPECT_EQ(missing, skipped[s - 1]) << "scale " << s;
    }
    // Every scale but 5 ends at the number of its keyed items.
    for (int s = 1; s <= 12; ++s)
        if (s != 5) {
            EXPECT_EQ(lastRawScore(s), static_cast<int>(yesItems(s).size() + noItems(s).size()));
        }
}

TEST(Conversion, RawScoreAboveTheTableGivesNine)
{
    EXPECT_EQ(convertScale(5, 15), 9);
    for (int s = 1; s <= 12; ++s)
        EXPECT_EQ(convertScale(s, lastRawScore(s) + 5), 9);
}

TEST(ScoreSheet, ClearAndConvertAlternatesWithShow)
{
    ScoreSheet sheet{};
    for (int s = 1; s <= 12; ++s) {
        sheet.addPoint(s);
        sheet.setStanine(s, 5);
    }
    sheet.clear();
    for (int s = 1; s <= 12; ++s) {
        EXPECT_EQ(sheet.raw(s), 0);
        EXPECT_EQ(sheet.stanine(s), 0);
    }

    sheet.RawScore[0] = 2;  // scale 1 -> 4
    std::vector<int> order;
    convertScores(sheet, [&](int s, int score) {
        order.push_back(s);
        EXPECT_EQ(score, sheet.stanine(s));
        if (s < 12) {
            EXPECT_EQ(sheet.stanine(s + 1), 0) << "scale " << s + 1 << " converted before " << s << " was shown";
        }
    });
    EXPECT_EQ(order.size(), 12u);
    EXPECT_EQ(sheet.stanine(1), 4);
}

TEST(Scales, Catalogue)
{
    for (int s = 1; s <= 12; ++s) {
        const Scale& sc = scale(s);
        EXPECT_EQ(sc.number, s);
        EXPECT_EQ(sc.basic, s <= 9);
        EXPECT_EQ(std::string(sc.field), "Tip" + std::to_string(s));
        // Captions end in " - ", scale 3's in "-  "; report labels in " - ".
        const std::string caption = sc.captionText;
        EXPECT_EQ(caption.substr(caption.size() - 3), s == 3 ? "-  " : " - ") << s;
        const std::string label = sc.reportLabel;
        EXPECT_EQ(label.substr(label.size() - 3), " - ") << s;
    }
    EXPECT_STREQ(scale(10).shortHeading, "Шкала 10 – ЭКСТРАВЕРСИЯ - ИНТРОВЕРСИЯ.");
    EXPECT_STREQ(scale(3).reportLabel, "Депрсивность - ");
    EXPECT_THROW(scale(13), std::out_of_range);
}
