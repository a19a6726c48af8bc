#pragma once
// Paper answer sheets scored in batch: one sheet per line, a label, a TAB,
// then 114 answer characters, the k-th answering item k.

#include "engine/test_scores.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace engine {

constexpr int kSheetItems = 114;

struct AnswerSheet {
    std::string label;
    std::array<bool, kSheetItems> yes{};
};

struct SheetLine {
    enum Kind { Sheet, Skip, Bad } kind = Skip;
    AnswerSheet sheet;      // when Sheet
    std::string reason;     // when Bad: a Russian explanation
};

// Parses one input line (UTF-8, without its line feed; a trailing CR is
// ignored). Blank lines and lines starting with '#' are skipped. A label that
// is not valid UTF-8 or holds a NUL byte makes the line bad.
SheetLine parseSheetLine(std::string_view line);

// The raw and scale scores of a sheet, scored item by item in order.
ScoreSheet scoreAnswerSheet(const AnswerSheet& sheet);

}  // namespace engine
