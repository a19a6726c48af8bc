#pragma once
// The scoring key: for each scale, the items that add a point when answered
// "Да" and those that add a point when answered "Нет".

#include "engine/test_scores.h"

#include <cstdint>
#include <vector>

namespace engine {

// Highest item number that any list holds.
constexpr int kLastKeyedItem = 114;

// The key's lists for one scale, in ascending order (for checks and reports).
std::vector<int> yesItems(int scale);
std::vector<int> noItems(int scale);

// True when the given answer to item n adds a point to the scale.
bool keyed(int scale, std::int32_t item, bool yes);

// Adds one point to every scale whose list for that answer holds the item.
// Item numbers outside 2 to 114 score nothing. No allocation, constant time.
void scoreItem(ScoreSheet& sheet, std::int32_t item, bool yes);

}  // namespace engine
