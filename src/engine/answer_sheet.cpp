#include "engine/answer_sheet.h"

#include "engine/conversion.h"
#include "engine/scoring_key.h"

namespace engine {
namespace {

// Decodes one UTF-8 character at `pos`, advancing it; 0xFFFD when malformed.
char32_t nextChar(std::string_view text, size_t& pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || pos + extra >= text.size()) {
        ++pos;
        return 0xFFFD;
    }
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        c = (c << 6) | (byte(pos + i) & 0x3F);
    }
    pos += extra + 1;
    return c;
}

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

std::string utf8(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
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

    SheetLine result;
    result.kind = SheetLine::Sheet;
    result.sheet.label = std::string(line.substr(0, tab));
    const std::string_view answers = line.substr(tab + 1);
    int count = 0;
    for (size_t pos = 0; pos < answers.size();) {
        const char32_t c = nextChar(answers, pos);
        const int answer = answerOf(c);
        if (answer < 0) {
            const std::string shown = c == 0xFFFD ? "недопустимый байт UTF-8" : "«" + utf8(c) + "»";
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

std::string csvField(std::string_view text)
{
    const bool needsQuotes = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                             (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!needsQuotes)
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace engine
