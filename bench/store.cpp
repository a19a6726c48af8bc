// The data store on a results table of 1,000,000 rows: storing a result,
// opening the three tables, reading a row by position, a full search pass.
// Each is measured on table files (…/file) and on tables on a local durable
// database server (…/server) holding the same kind of rows.
#include "server_results.h"
#include "store/data_directory.h"
#include "store/result_table.h"
#include "store/table.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>

namespace {

using bench::Engine;

constexpr std::int64_t kRows = 1000000;

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db));
}

// Fills the results table in one transaction: building it row by row with a
// durable post each would take far longer than the measurements.
void fillResults(const std::string& path)
{
    sqlite3* db = nullptr;
    check(sqlite3_open(path.c_str(), &db), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO Result (F,I,O,Dat,Tip1,Tip2,Tip3,Tip4,Tip5,Tip6,Tip7,Tip8,Tip9,Tip10,"
                             "Tip11,Tip12) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                             -1, &insert, nullptr),
          db);
    std::mt19937 random(7);
    for (std::int64_t i = 0; i < kRows; ++i) {
        const std::string surname = "Фамилия" + std::to_string(i % 50000);
        sqlite3_bind_text(insert, 1, surname.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, "Имя", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, "Отчество", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, "2024-03-15", -1, SQLITE_STATIC);
        for (int s = 0; s < 12; ++s)
            sqlite3_bind_int(insert, 5 + s, static_cast<int>(random() % 9) + 1);
        check(sqlite3_step(insert), db);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

// The data directory of the whole run, removed when the run ends.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "fpi-bench-XXXXXX").string();
        path_ = std::string(mkdtemp(pattern.data())) + "/";
        store::createTableFile(path_ + "TestFam.DB", "F TEXT, I TEXT, O TEXT");
        store::createTableFile(path_ + "FpiBd.db", "NumVopros INTEGER, Vopros TEXT");
        store::createTableFile(path_ + "Result.db", store::resultColumnsSql());
        fillResults(path_ + "Result.db");
    }
    ~ScratchDirectory() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The same kind of rows on the server, made there in one statement.
std::string serverRowsSql()
{
    std::string sql = "'Фамилия' || row % 50000, 'Имя', 'Отчество', date '2024-03-15'";
    for (int scale = 1; scale <= 12; ++scale)
        sql += ", 1 + floor(random() * 9)::int";
    return sql;
}

const std::string& dataDirectory(Engine engine)
{
    if (engine == Engine::Server) {
        static const bench::ServerResults server(kRows, serverRowsSql());
        return server.directory();
    }
    static const ScratchDirectory directory;
    return directory.path();
}

store::Table& results(Engine engine)
{
    static store::Table onFile("Result.db");
    static store::Table onServer("Result.db");
    store::Table& table = engine == Engine::Server ? onServer : onFile;
    if (!table.active()) {
        table.setDirectoryPath(dataDirectory(engine));
        table.declareFields(store::resultFields());
        table.open();
    }
    return table;
}

// The value below which the fraction `share` of the values lie.
double percentile(std::vector<double> values, double share)
{
    const auto at = static_cast<std::ptrdiff_t>(static_cast<double>(values.size() - 1) * share);
    std::nth_element(values.begin(), values.begin() + at, values.end());
    return values[static_cast<size_t>(at)];
}

double median(std::vector<double> values)
{
    return percentile(std::move(values), 0.5);
}

void BM_AppendAndPostResult(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    store::Table& table = results(engine);
    std::vector<double> times;
    const std::array<std::int32_t, 12> scores{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        store::appendResultRow(table, "Иванов", "Иван", "Иванович", scores, store::Date{2024, 3, 15});
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["median_ms"] = median(times);
    state.counters["p90_ms"] = percentile(times, 0.9);
    state.counters["max_ms"] = *std::max_element(times.begin(), times.end());
}
BENCHMARK_ON_BOTH_ENGINES(BM_AppendAndPostResult, ->Iterations(300)->Unit(benchmark::kMillisecond));

void BM_OpenThreeTables(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    for (auto _ : state) {
        store::Database database;
        store::Table subjects("TestFam.DB"), questionnaire("FpiBd.db"), result("Result.db");
        const auto outcome = store::connectAtStartup(database, subjects, questionnaire, result, dataDirectory(engine));
        if (outcome.kind != store::StartupOutcome::Connected)
            state.SkipWithError(outcome.engineMessage.c_str());
    }
}
BENCHMARK_ON_BOTH_ENGINES(BM_OpenThreeTables, ->Unit(benchmark::kMillisecond));

void BM_ReadRowAtRandomPosition(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    store::Table& table = results(engine);
    const std::int64_t count = table.recordCount();
    table.rowAt(0);   // the positions of the rows are found once, on first use
    std::mt19937_64 random(11);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.rowAt(static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(count))));
}
BENCHMARK_ON_BOTH_ENGINES(BM_ReadRowAtRandomPosition, ->Unit(benchmark::kMicrosecond));

void BM_FirstPositionalReadAfterOpen(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    for (auto _ : state) {
        store::Table table("Result.db");
        table.setDirectoryPath(dataDirectory(engine));
        table.open();
        benchmark::DoNotOptimize(table.rowAt(kRows / 2));
    }
}
BENCHMARK_ON_BOTH_ENGINES(BM_FirstPositionalReadAfterOpen, ->Unit(benchmark::kMillisecond));

void BM_SearchScanOfAllRows(benchmark::State& state, Engine engine)
{
    if (!bench::prepared(state, [&] { dataDirectory(engine); }))
        return;
    store::Table& table = results(engine);
    table.rowAt(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.findRow("F", 0, 1, [](const store::Value&) { return false; }));
}
BENCHMARK_ON_BOTH_ENGINES(BM_SearchScanOfAllRows, ->Unit(benchmark::kMillisecond));

}  // namespace

BENCHMARK_MAIN();
