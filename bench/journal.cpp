// The results journal on a results table of a million rows: opening it to its
// first painted screen, a search keystroke that finds no row (a whole scan),
// one that keeps the current row, scrolling a page, and the memory it takes
// (also once a search has been made). Each is measured on a table file
// (…/file) and on a table on a local durable database server (…/server)
// holding the same rows; --benchmark_filter=server runs only the latter.
#include "server_results.h"
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

using bench::Engine;

constexpr int kRows = 1000000;

const char* const kSurnames[] = {"Петров", "Иванов", "Сидоров", "Кузнецова", "Смирнов", "Попова",
                                 "Васильев", "Морозов", "Новикова", "Фёдоров"};

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

// The highest resident memory of the process since resetPeak, in megabytes.
double peakMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0;
}

// Starts measuring the peak afresh from the memory resident now.
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Writes the results table in one transaction, as fast as SQLite allows.
void createResults(const std::string& file)
{
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
        sqlite3_bind_text(statement, 1, kSurnames[row % 10], -1, SQLITE_STATIC);
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

// The same rows on the server, made there in one statement.
std::string serverRowsSql()
{
    std::string surnames;
    for (const char* surname : kSurnames)
        surnames += std::string(surnames.empty() ? "" : ",") + "'" + surname + "'";
    std::string sql = "(ARRAY[" + surnames + "])[row % 10 + 1], 'Иван', 'Иванович', "
                      "make_date(2010 + row % 15, 1 + row % 12, 1 + row % 28)";
    for (int scale = 1; scale <= 12; ++scale)
        sql += ", 1 + (row + " + std::to_string(scale) + ") % 9";
    return sql;
}

// The results table on disk or on the server, made once for all the benchmarks.
const std::string& dataDirectory(Engine engine)
{
    if (engine == Engine::Server) {
        static const bench::ServerResults server(kRows, serverRowsSql());
        return server.directory();
    }
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

    explicit Journal(Engine engine)
    {
        table.setDirectoryPath(dataDirectory(engine));
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

void OpenJournal(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    for (auto _ : state) {
        auto journal = std::make_unique<Journal>(engine);
        benchmark::DoNotOptimize(journal.get());
        state.PauseTiming();
        journal.reset();
        state.ResumeTiming();
    }
}
BENCHMARK_ON_BOTH_ENGINES(OpenJournal, ->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true));

void JournalMemory(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    const double idle = residentMb();
    resetPeak();
    std::unique_ptr<Journal> journal;
    for (auto _ : state)
        journal = std::make_unique<Journal>(engine);
    state.counters["MB_above_idle"] = residentMb() - idle;
    state.counters["MB_peak_above_idle"] = peakMb() - idle;
    // A search keeps the searched field's values in memory.
    journal->search()->type(0, QStringLiteral("Ъ"));
    state.counters["MB_above_idle_after_search"] = residentMb() - idle;
    state.counters["MB_peak_above_idle_after_search"] = peakMb() - idle;
}
BENCHMARK_ON_BOTH_ENGINES(JournalMemory, ->Unit(benchmark::kMillisecond)->Iterations(1));

void SearchKeystrokeFindingNoRow(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    Journal journal(engine);
    for (auto _ : state) {
        const bool found = journal.search()->type(0, QStringLiteral("Ъ"));
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK_ON_BOTH_ENGINES(SearchKeystrokeFindingNoRow, ->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true));

// The first keystroke after the journal has opened: it reads the field's values.
void FirstSearchKeystrokeFindingNoRow(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        auto journal = std::make_unique<Journal>(engine);
        state.ResumeTiming();
        const bool found = journal->search()->type(0, QStringLiteral("Ъ"));
        benchmark::DoNotOptimize(found);
        state.PauseTiming();
        journal.reset();
        state.ResumeTiming();
    }
}
BENCHMARK_ON_BOTH_ENGINES(FirstSearchKeystrokeFindingNoRow, ->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true));

// The same keystroke once a search has read the field's values.
void SearchKeystrokeFindingNoRowAgain(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    Journal journal(engine);
    journal.search()->type(0, QStringLiteral("Ъ"));
    for (auto _ : state) {
        const bool found = journal.search()->type(0, QStringLiteral("Ъ"));
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK_ON_BOTH_ENGINES(SearchKeystrokeFindingNoRowAgain, ->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true));

void SearchKeystrokeKeepingTheCurrentRow(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    Journal journal(engine);
    for (auto _ : state) {
        journal.search()->end();
        const bool found = journal.search()->type(0, QStringLiteral("п"));   // the first row is Петров
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK_ON_BOTH_ENGINES(SearchKeystrokeKeepingTheCurrentRow, ->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true));

void ScrollPage(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    Journal journal(engine);
    QWidget* viewport = journal.view()->viewport();
    for (auto _ : state) {
        sendKey(journal.view(), Qt::Key_PageDown);
        viewport->grab();   // paints the rows now on screen
    }
    state.counters["last_row"] = double(journal.table.recNo());
}
BENCHMARK_ON_BOTH_ENGINES(ScrollPage, ->Unit(benchmark::kMillisecond)->Iterations(200)->Repetitions(5)->ReportAggregatesOnly(true));

// Opening once a row has been deleted (the server then reads every row's key
// instead of only their count and ends). Runs last: the row stays deleted.
void OpenJournalWithADeletedRow(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    static bool deleted[2] = {false, false};   // once per engine, not per repetition
    if (!deleted[static_cast<int>(engine)]) {
        store::Table table("Result.db");
        table.setDirectoryPath(dataDirectory(engine));
        table.open();
        table.moveTo(kRows / 2);
        table.deleteCurrent();
        deleted[static_cast<int>(engine)] = true;
    }
    OpenJournal(state, engine);
}
BENCHMARK_ON_BOTH_ENGINES(OpenJournalWithADeletedRow, ->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true));

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
