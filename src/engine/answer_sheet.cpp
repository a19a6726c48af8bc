#include "engine/answer_sheet.h"

#include "engine/conversion.h"
#include "engine/scoring_key.h"

#include "base/utf8.h"

namespace engine {
namespace {

// 1 for yes, 0 for no, -1 for anything else.
int answerOf(char32_t c)
{
    switch (c) {
    case U'Д': case U'д': case U'Y': case U'y': case U'1': case U'+':
        return 1;
    case U'Н': case U'н': case U'N': case U'n': case U'0': case U'-':
        return 0;
    default:
        return -1;
    }
}

SheetLine bad(std::string reason)
{
    SheetLine result;
    result.kind = SheetLine::Bad;
    result.reason = std::move(reason);
    return result;
}

}  // namespace

SheetLine parseSheetLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#')
        return {};

    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos)
        return bad("нет символа табуляции между меткой и ответами");

    const std::string_view label = line.substr(0, tab);
    if (label.find('\0') != std::string_view::npos)
        return bad("метка содержит нулевой байт");
    if (!base::validUtf8(label))
        return bad("метка не в кодировке UTF-8");

    SheetLine result;
    result.kind = SheetLine::Sheet;
    result.sheet.label = std::string(label);
    const std::string_view answers = line.substr(tab + 1);
    int count = 0;
    for (size_t pos = 0; pos < answers.size();) {
        const char32_t c = base::nextUtf8Char(answers, pos);
        const int answer = answerOf(c);
        if (answer < 0) {
            const std::string shown = c == base::kBadChar ? "недопустимый байт UTF-8"
                                      : c < 0x20          ? "символ с кодом " + std::to_string(c)
                                                          : "«" + base::utf8Char(c) + "»";
            return bad("ответ " + std::to_string(count + 1) + ": " + shown + " не является ни «да», ни «нет»");
        }
        if (count < kSheetItems)
            result.sheet.yes[count] = answer == 1;
        ++count;
    }
    if (count != kSheetItems)
        return bad("ответов " + std::to_string(count) + ", а должно быть ровно " + std::to_string(kSheetItems));
    return result;
}

ScoreSheet scoreAnswerSheet(const AnswerSheet& sheet)
{
    ScoreSheet scores{};
    for (int item = 1; item <= kSheetItems; ++item)
        scoreItem(scores, item, sheet.yes[item - 1]);
    convertScores(scores, [](int, int) {});
    return scores;
}

}  // namespace engine
