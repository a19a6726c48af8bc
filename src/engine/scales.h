#pragma once
// The twelve scales of the questionnaire and every name each one bears.
// Each name set is used in its own place exactly as written here; the sets
// differ from one another in wording and spelling.

#include <array>

namespace engine {

constexpr int kScaleCount = 12;

struct Scale {
    int number;                 // 1 to 12
    bool basic;                 // scales 1 to 9 are basic, 10 to 12 derived
    const char* field;          // result field: "Tip1" .. "Tip12"
    const char* displayLabel;   // display label of the result field
    const char* journalTitle;   // column title in the results journal
    const char* captionText;    // caption on the results summary window
    const char* shortHeading;   // heading in the short explanation
    const char* reportLabel;    // label on the printed report
};

// Indexed by scale number minus one.
extern const std::array<Scale, kScaleCount> kScales;

// The scale with the given number (1 to 12).
const Scale& scale(int number);

}  // namespace engine
