#pragma once
// The score sheet of the examination in progress and the answer flag.
// Exactly one of each exists for the whole run; all access is on the
// user-interface thread.

#include <cstdint>

namespace engine {

// Twelve raw scores followed by twelve scale scores. The operations take the
// scale number, 1 to 12.
struct ScoreSheet {
    std::int32_t RawScore[12];
    std::int32_t Stanine[12];

    // Sets all 24 integers to 0, the raw scores first.
    void clear();
    void addPoint(int scale) { ++RawScore[scale - 1]; }
    std::int32_t raw(int scale) const { return RawScore[scale - 1]; }
    void setStanine(int scale, std::int32_t value) { Stanine[scale - 1] = value; }
    std::int32_t stanine(int scale) const { return Stanine[scale - 1]; }
};
static_assert(sizeof(ScoreSheet) == 24 * sizeof(std::int32_t), "24 integers, nothing else");

// The process-wide score sheet: all zeros before the first examination.
extern ScoreSheet TestScores;

// True while a "Да" answer is being scored, false for "Нет"; false at start.
extern bool AnswerYes;

}  // namespace engine
