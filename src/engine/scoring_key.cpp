#include "engine/scoring_key.h"

#include <array>
#include <initializer_list>

namespace engine {
namespace {

// Item numbers 0 to 127 as a bit set; membership is a range check and a bit test.
struct ItemSet {
    std::uint64_t bits[2] = {0, 0};

    constexpr ItemSet(std::initializer_list<int> items)
    {
        for (int item : items)
            bits[item >> 6] |= std::uint64_t{1} << (item & 63);
    }
    constexpr bool contains(std::int32_t item) const
    {
        return static_cast<std::uint32_t>(item) < 128u && ((bits[item >> 6] >> (item & 63)) & 1u);
    }
};

struct ScaleKey {
    ItemSet yes;
    ItemSet no;
};

constexpr std::array<ScaleKey, 12> kKey = {{
    {{4, 5, 12, 15, 22, 26, 31, 41, 42, 57, 66, 72, 85, 86, 89, 105}, {49}},
    {{32, 35, 45, 50, 64, 73, 77, 93, 97, 103, 112, 114}, {99}},
    {{16, 24, 27, 28, 30, 40, 48, 56, 61, 74, 84, 87, 88, 100}, {}},
    {{6, 10, 58, 69, 76, 80, 82, 102, 104, 107, 110}, {}},
    {{2, 19, 46, 52, 55, 94, 106}, {3, 8, 23, 53, 67, 71, 79, 113}},
    {{14, 21, 29, 37, 38, 59, 91, 95, 108, 111}, {}},
    {{13, 17, 18, 36, 39, 43, 65, 75, 90, 98}, {}},
    {{9, 11, 20, 47, 60, 70, 81, 83, 109}, {33}},
    {{7, 25, 34, 44, 51, 54, 62, 63, 68, 78, 92, 96, 101}, {}},
    {{2, 29, 46, 51, 55, 76, 93, 95, 106, 110}, {20, 87}},
    {{24, 25, 40, 48, 80, 83, 84, 85, 87, 88, 102, 112, 113}, {59}},
    {{18, 29, 33, 50, 52, 58, 59, 65, 91, 104}, {16, 20, 31, 47, 81}},
}};

// The same key by item: for each item number, the scales (bit s-1) that a
// "Да" or a "Нет" answer raises. Scoring is then a range check and a few bits.
struct ItemMasks {
    std::uint16_t yes[128] = {};
    std::uint16_t no[128] = {};
};

constexpr ItemMasks makeItemMasks()
{
    ItemMasks masks;
    for (int item = 0; item < 128; ++item)
        for (int s = 0; s < 12; ++s) {
            if (kKey[s].yes.contains(item))
                masks.yes[item] |= static_cast<std::uint16_t>(1u << s);
            if (kKey[s].no.contains(item))
                masks.no[item] |= static_cast<std::uint16_t>(1u << s);
        }
    return masks;
}

constexpr ItemMasks kItemMasks = makeItemMasks();

std::vector<int> members(const ItemSet& set)
{
    std::vector<int> items;
    for (int item = 0; item < 128; ++item)
        if (set.contains(item))
            items.push_back(item);
    return items;
}

}  // namespace

std::vector<int> yesItems(int scale) { return members(kKey[scale - 1].yes); }
std::vector<int> noItems(int scale) { return members(kKey[scale - 1].no); }

bool keyed(int scale, std::int32_t item, bool yes)
{
    const ScaleKey& key = kKey[scale - 1];
    return yes ? key.yes.contains(item) : key.no.contains(item);
}

void scoreItem(ScoreSheet& sheet, std::int32_t item, bool yes)
{
    if (static_cast<std::uint32_t>(item) >= 128u)
        return;
    // Scale by scale, as a test of each list in turn would add them.
    unsigned mask = yes ? kItemMasks.yes[item] : kItemMasks.no[item];
    for (int s = 0; mask != 0; ++s, mask >>= 1)
        sheet.RawScore[s] += static_cast<std::int32_t>(mask & 1u);
}

}  // namespace engine
