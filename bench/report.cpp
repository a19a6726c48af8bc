// The result report: building the page from a stored row, and writing it as PDF.
#include "report/result_report.h"
#include "store/result_table.h"
#include "toolkit/report_render.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// A results table in a scratch directory holding one row, current.
struct OneResult {
    OneResult()
    {
        store::createTableFile(dir.path().toStdString() + "/Result.db", store::resultColumnsSql());
        table.setDirectoryPath(dir.path().toStdString());
        table.declareFields(store::resultFields());
        table.open();
        store::appendResultRow(table, "Константинопольский", "Александр", "Александрович",
                               {5, 7, 3, 9, 1, 2, 4, 6, 8, 5, 4, 6}, {2024, 3, 5});
    }
    QTemporaryDir dir;
    store::Table table{"Result.db"};
};

void BuildResultPage(benchmark::State& state)
{
    OneResult result;
    for (auto _ : state)
        benchmark::DoNotOptimize(report::buildResultPage(result.table));
}
BENCHMARK(BuildResultPage)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

void WriteResultPdf(benchmark::State& state)
{
    OneResult result;
    const toolkit::BuiltReport page = report::buildResultPage(result.table);
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        toolkit::writePdf(page, buffer);
        benchmark::DoNotOptimize(buffer.size());
    }
}
BENCHMARK(WriteResultPdf)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
