#include "engine/answer_sheet.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

std::string allAnswers(const std::string& one)
{
    std::string out;
    for (int i = 0; i < kSheetItems; ++i)
        out += one;
    return out;
}

}  // namespace

TEST(AnswerSheet, AcceptsEveryYesAndNoSpelling)
{
    const std::string yes[] = {"Д", "д", "Y", "y", "1", "+"};
    const std::string no[] = {"Н", "н", "N", "n", "0", "-"};
    for (const auto& y : yes) {
        const SheetLine line = parseSheetLine("a\t" + allAnswers(y));
        ASSERT_EQ(line.kind, SheetLine::Sheet) << y << ": " << line.reason;
        EXPECT_EQ(scoreAnswerSheet(line.sheet).raw(1), 16);
    }
    for (const auto& n : no) {
        const SheetLine line = parseSheetLine("a\t" + allAnswers(n));
        ASSERT_EQ(line.kind, SheetLine::Sheet) << n << ": " << line.reason;
        EXPECT_EQ(scoreAnswerSheet(line.sheet).raw(5), 8);
    }
}

TEST(AnswerSheet, ScoresLikeTheExamination)
{
    std::string odd;
    for (int item = 1; item <= kSheetItems; ++item)
        odd += item % 2 ? "Д" : "н";
    const SheetLine line = parseSheetLine("Иванов, 3-й класс\t" + odd + "\r");
    ASSERT_EQ(line.kind, SheetLine::Sheet) << line.reason;
    EXPECT_EQ(line.sheet.label, "Иванов, 3-й класс");
    const ScoreSheet s = scoreAnswerSheet(line.sheet);
    const int raw[12] = {8, 7, 3, 2, 3, 7, 6, 6, 5, 6, 5, 7};
    for (int scale = 1; scale <= 12; ++scale) {
        EXPECT_EQ(s.raw(scale), raw[scale - 1]);
        EXPECT_GE(s.stanine(scale), 1);
    }
}

TEST(AnswerSheet, SkipsBlankAndCommentLines)
{
    for (const char* text : {"", "\r", "   ", "\t", "# комментарий", "#\tДДД"})
        EXPECT_EQ(parseSheetLine(text).kind, SheetLine::Skip) << text;
}

TEST(AnswerSheet, RejectsBadLinesWithAReason)
{
    const std::string good = allAnswers("Д");
    struct Case {
        std::string line;
        std::string reasonPart;
    } cases[] = {
        {"без табуляции " + good, "табуляции"},
        {"a\t" + good.substr(0, good.size() - 2), "113"},
        {"a\t" + good + "Д", "115"},
        {"a\t", "0"},
        {"a\t" + good.substr(2) + "x", "«x»"},
        {"a\t" + good.substr(2) + "\xff", "UTF-8"},
        {"a\t" + good.substr(2) + " ", "« »"},
        {"a\t" + good.substr(2) + std::string(1, '\0'), "кодом 0"},
        {"a\t" + good.substr(4) + "\xC0\xAF", "UTF-8"},                 // an overlong '/'
        {std::string("мет") + std::string(1, '\0') + "ка\t" + good, "нулевой байт"},
        {"\xD0\t" + good, "метка не в кодировке UTF-8"},
        {"\xED\xA0\x80\t" + good, "метка не в кодировке UTF-8"},       // a surrogate
        {"\xF4\x90\x80\x80\t" + good, "метка не в кодировке UTF-8"},   // above U+10FFFF
    };
    for (const Case& c : cases) {
        const SheetLine line = parseSheetLine(c.line);
        ASSERT_EQ(line.kind, SheetLine::Bad) << c.line;
        EXPECT_NE(line.reason.find(c.reasonPart), std::string::npos) << line.reason;
    }
}

TEST(AnswerSheet, LabelsAreCheckedUtf8)
{
    const std::string good = allAnswers("Д");
    for (const std::string label : {"Пётр", "€", "\xF0\x9F\x98\x80", "\xEF\xBF\xBD", ""}) {
        const SheetLine line = parseSheetLine(label + "\t" + good);
        ASSERT_EQ(line.kind, SheetLine::Sheet) << label << ": " << line.reason;
        EXPECT_EQ(line.sheet.label, label);
    }
}
