#pragma once
// The benchmarks' choice of engine, and a data directory whose tables live
// on a durable PostgreSQL server of the run's own (fsync, synchronous commit
// and full page writes on, as a real server would be), its results table
// filled on the server in one statement.

#include "store/server.h"
#include "support/pg_server.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace bench {

enum class Engine { File, Server };

// Registers a benchmark taking (state, engine) once for each engine, as
// name/file and name/server, with the same settings (`->Unit(…)->…`).
#define BENCHMARK_ON_BOTH_ENGINES(function, ...)                     \
    BENCHMARK_CAPTURE(function, file, bench::Engine::File) __VA_ARGS__; \
    BENCHMARK_CAPTURE(function, server, bench::Engine::Server) __VA_ARGS__

// Runs `prepare` (making a benchmark's data): false, with the benchmark
// skipped and the reason shown, when it fails (say, no server programs).
template <typename Prepare>
bool prepared(benchmark::State& state, Prepare prepare)
{
    try {
        prepare();
        return true;
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return false;
    }
}

class ServerResults {
public:
    // Creates the three tables on a new server and fills the results table
    // with `rows` rows, made by `selectList` (F, I, O, Dat, Tip1..Tip12 in
    // that order, SQL over the row's number `row`, 0 to rows-1); the server
    // numbers NN. Throws std::runtime_error when the server cannot start, or
    // the table does not end up with the rows.
    ServerResults(std::int64_t rows, const std::string& selectList)
    {
        if (!testsupport::PgServer::available())
            throw std::runtime_error("the PostgreSQL 15 server programs are not installed");
        std::string pattern = (std::filesystem::temp_directory_path() / "fpi-bench-server-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a scratch directory in " + pattern);
        directory_ = pattern + "/";
        server_ = std::make_unique<testsupport::PgServer>(true);
        const std::string database = server_->newDatabase();
        server_->writeServiceFile(directory_, database);
        store::createServerTables(directory_);
        std::string columns = "\"F\",\"I\",\"O\",\"Dat\"";
        for (int scale = 1; scale <= 12; ++scale)
            columns += ",\"Tip" + std::to_string(scale) + "\"";
        server_->sql(database, "INSERT INTO \"Result\" (" + columns + ") SELECT " + selectList +
                                   " FROM generate_series(0, " + std::to_string(rows - 1) + ") AS row");
        // Settled as a server that has run a while: statistics gathered, the
        // visibility of every row known, nothing left to write back.
        server_->sql(database, "VACUUM (ANALYZE) \"Result\"");
        server_->sql(database, "CHECKPOINT");
        if (server_->sql(database, "SELECT count(*) FROM \"Result\"") != std::to_string(rows))
            throw std::runtime_error("the results table on the server was not filled:\n" + server_->logTail());
    }
    ~ServerResults()
    {
        server_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    ServerResults(const ServerResults&) = delete;
    ServerResults& operator=(const ServerResults&) = delete;

    // The data directory: it holds only the service file naming the server.
    const std::string& directory() const { return directory_; }

private:
    std::string directory_;
    std::unique_ptr<testsupport::PgServer> server_;
};

}  // namespace bench
