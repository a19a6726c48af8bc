#include "engine/conversion.h"

#include <array>

namespace engine {
namespace {

// Scale score by raw score 0, 1, 2, ...; each row ends with its last raw score.
constexpr int kMaxRows = 18;
struct Table {
    int last;
    std::array<std::uint8_t, kMaxRows> score;
};

constexpr std::array<Table, 12> kTables = {{
    {17, {1, 1, 4, 4, 5, 5, 6, 7, 7, 8, 8, 8, 8, 9, 9, 9, 9, 9}},
    {13, {1, 1, 3, 4, 5, 5, 7, 8, 8, 8, 9, 9, 9, 9}},
    {14, {1, 3, 4, 4, 5, 6, 6, 7, 7, 8, 8, 8, 9, 9, 9}},
    {11, {1, 3, 4, 5, 6, 7, 7, 8, 8, 9, 9, 9}},
    {14, {1, 1, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 7, 8, 9}},
    {10, {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9}},
    {10, {1, 3, 4, 5, 6, 7, 8, 8, 9, 9, 9}},
    {10, {1, 3, 5, 6, 6, 7, 7, 8, 9, 9, 9}},
    {13, {1, 1, 1, 2, 3, 3, 4, 5, 5, 6, 8, 8, 9, 9}},
    {12, {1, 1, 1, 2, 3, 4, 4, 5, 6, 7, 8, 9, 9}},
    {14, {1, 2, 3, 4, 4, 5, 6, 7, 7, 8, 8, 8, 9, 9, 9}},
    {15, {1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 8, 8, 9, 9, 9, 9}},
}};

}  // namespace

int lastRawScore(int scale) { return kTables[scale - 1].last; }

std::int32_t convertScale(int scale, std::int32_t raw)
{
    const Table& table = kTables[scale - 1];
    if (raw < 0)
        return 1;
    if (raw > table.last)
        return 9;
    return table.score[raw];
}

}  // namespace engine
