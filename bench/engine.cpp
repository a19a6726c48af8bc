// Scoring one answer and converting the twelve scales.
#include "engine/conversion.h"
#include "engine/scoring_key.h"
#include "engine/test_scores.h"

#include <benchmark/benchmark.h>

static void ScoreOneAnswer(benchmark::State& state)
{
    engine::ScoreSheet sheet{};
    std::int32_t item = 1;
    bool yes = true;
    for (auto _ : state) {
        engine::scoreItem(sheet, item, yes);
        benchmark::DoNotOptimize(sheet);
        item = item == 114 ? 1 : item + 1;
        yes = !yes;
    }
}
BENCHMARK(ScoreOneAnswer);

static void ConvertTwelveScales(benchmark::State& state)
{
    engine::ScoreSheet sheet{};
    for (int s = 1; s <= 12; ++s)
        sheet.RawScore[s - 1] = s;
    for (auto _ : state) {
        engine::convertScores(sheet, [](int, int score) { benchmark::DoNotOptimize(score); });
        benchmark::DoNotOptimize(sheet);
    }
}
BENCHMARK(ConvertTwelveScales);

BENCHMARK_MAIN();
