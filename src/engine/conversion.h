#pragma once
// Conversion of raw scores into scale scores from 1 to 9, one table per scale.

#include "engine/test_scores.h"

#include <cstdint>

namespace engine {

// The last raw score that the scale's table lists.
int lastRawScore(int scale);

// The scale score of raw score `raw` on the scale (1 to 12). A raw score above
// the table's last raw score (possible on scale 5, or when the questionnaire
// repeats an item) gives 9; a negative one gives 1.
std::int32_t convertScale(int scale, std::int32_t raw);

// Converts the twelve raw scores of the sheet, scale by scale, writing each
// scale score into the sheet and then handing it to `show` before the next
// scale is converted.
template <typename Show>
void convertScores(ScoreSheet& sheet, Show&& show)
{
    for (int s = 1; s <= 12; ++s) {
        sheet.setStanine(s, convertScale(s, sheet.raw(s)));
        show(s, sheet.stanine(s));
    }
}

}  // namespace engine
