// The results journal on a results table of a million rows: opening it to its
// first painted screen, a search keystroke that finds no row (a whole scan),
// one that keeps the current row, scrolling a page, and the memory it takes
// (also once a search has been made).
#include "store/result_table.h"
#include "toolkit/grid_view.h"
#include "toolkit/grid_widget.h"
#include "toolkit/incremental_search.h"
#include "ui/unit4.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int kRows = 1000000;

// Resident memory of the process in megabytes.
double residentMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0;
}

// Writes the results table in one transaction, as fast as SQLite allows.
void createResults(const std::string& file)
{
    static const char* const surnames[] = {"Петров", "Иванов", "Сидоров", "Кузнецова", "Смирнов", "Попова",
                                           "Васильев", "Морозов", "Новикова", "Фёдоров"};
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    std::string create = "CREATE TABLE Result(NN INTEGER PRIMARY KEY AUTOINCREMENT, F VARCHAR(15), "
                         "I VARCHAR(15), O VARCHAR(15), Dat DATE";
    for (int scale = 1; scale <= 12; ++scale)
        create += ", Tip" + std::to_string(scale) + " SMALLINT";
    sqlite3_exec(db, (create + ");").c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN;", nullptr, nullptr, nullptr);
    std::string insert = "INSERT INTO Result(F, I, O, Dat";
    for (int scale = 1; scale <= 12; ++scale)
        insert += ", Tip" + std::to_string(scale);
    insert += ") VALUES(?, 'Иван', 'Иванович', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, insert.c_str(), -1, &statement, nullptr);
    for (int row = 0; row < kRows; ++row) {
        sqlite3_bind_text(statement, 1, surnames[row % 10], -1, SQLITE_STATIC);
        char date[16];
        std::snprintf(date, sizeof date, "20%02d-%02d-%02d", 10 + row % 15, 1 + row % 12, 1 + row % 28);
        sqlite3_bind_text(statement, 2, date, -1, SQLITE_TRANSIENT);
        for (int scale = 1; scale <= 12; ++scale)
            sqlite3_bind_int(statement, 2 + scale, 1 + (row + scale) % 9);
        sqlite3_step(statement);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The results table on disk, made once for all the benchmarks.
const std::string& dataDirectory()
{
    static QTemporaryDir root;
    static const std::string path = [] {
        const std::string directory = root.path().toStdString() + "/";
        createResults(directory + "Result.db");
        return directory;
    }();
    return path;
}

// The results table open and the journal shown over it, first screen painted.
struct Journal {
    store::Table table{"Result.db"};
    TfmResult window;

    Journal()
    {
        table.setDirectoryPath(dataDirectory());
        table.declareFields(store::resultFields());
        table.open();
        window.setTable(&table);
        window.show();
        window.grab();
    }
    toolkit::GridView* view() const { return window.grResult->view(); }
    toolkit::IncrementalSearch* search() const { return window.grResult->search(); }
};

void sendKey(QWidget* widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

void OpenJournal(benchmark::State& state)
{
    dataDirectory();
    for (auto _ : state) {
        auto journal = std::make_unique<Journal>();
        benchmark::DoNotOptimize(journal.get());
        state.PauseTiming();
        journal.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(OpenJournal)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true);

void JournalMemory(benchmark::State& state)
{
    dataDirectory();
    const double idle = residentMb();
    std::unique_ptr<Journal> journal;
    for (auto _ : state)
        journal = std::make_unique<Journal>();
    state.counters["MB_above_idle"] = residentMb() - idle;
    // A search keeps the searched field's values in memory.
    journal->search()->type(0, QStringLiteral("Ъ"));
    state.counters["MB_above_idle_after_search"] = residentMb() - idle;
}
BENCHMARK(JournalMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

void SearchKeystrokeFindingNoRow(benchmark::State& state)
{
    Journal journal;
    for (auto _ : state) {
        const bool found = journal.search()->type(0, QStringLiteral("Ъ"));
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(SearchKeystrokeFindingNoRow)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true);

// The same keystroke once a search has read the field's values.
void SearchKeystrokeFindingNoRowAgain(benchmark::State& state)
{
    Journal journal;
    journal.search()->type(0, QStringLiteral("Ъ"));
    for (auto _ : state) {
        const bool found = journal.search()->type(0, QStringLiteral("Ъ"));
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(SearchKeystrokeFindingNoRowAgain)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true);

void SearchKeystrokeKeepingTheCurrentRow(benchmark::State& state)
{
    Journal journal;
    for (auto _ : state) {
        journal.search()->end();
        const bool found = journal.search()->type(0, QStringLiteral("п"));   // the first row is Петров
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(SearchKeystrokeKeepingTheCurrentRow)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void ScrollPage(benchmark::State& state)
{
    Journal journal;
    QWidget* viewport = journal.view()->viewport();
    for (auto _ : state) {
        sendKey(journal.view(), Qt::Key_PageDown);
        viewport->grab();   // paints the rows now on screen
    }
    state.counters["last_row"] = double(journal.table.recNo());
}
BENCHMARK(ScrollPage)->Unit(benchmark::kMillisecond)->Iterations(200)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
