#include "engine/test_scores.h"

namespace engine {

ScoreSheet TestScores = {};
bool AnswerYes = false;

void ScoreSheet::clear()
{
    for (auto& raw : RawScore)
        raw = 0;
    for (auto& stanine : Stanine)
        stanine = 0;
}

}  // namespace engine
