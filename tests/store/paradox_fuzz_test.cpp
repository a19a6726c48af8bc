// Random damage to a valid Paradox table: every import either succeeds or
// fails with a clean error, never crashes and never hangs.
#include "support/paradox_maker.h"
#include "store/paradox_import.h"

#include <gtest/gtest.h>

extern "C" {
#include <paradox.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

// Successful imports write durably; memory-backed files keep the many runs fast.
class ScratchDir : public testsupport::TempDir {
public:
    ScratchDir() : TempDir("/dev/shm") {}
};

// A table with every kind of field the tables of the program use, spread
// over a few data blocks.
std::vector<unsigned char> validTable(const ScratchDir& dir)
{
    const std::vector<paradox_test::Column> columns = {
        {"F", pxfAlpha, 15}, {"Dat", pxfDate, 4}, {"Tip1", pxfShort, 2}, {"Count", pxfLong, 4},
        {"Weight", pxfNumber, 8}, {"Sum", pxfCurrency, 8}, {"Active", pxfLogical, 1}, {"NN", pxfAutoInc, 4}};
    std::vector<std::vector<paradox_test::Cell>> rows;
    for (long k = 1; k <= 100; ++k)
        rows.push_back({std::string("Фамилия ") + std::to_string(k), paradox_test::Day{2000, 1 + int(k % 12), 1 + int(k % 28)},
                        k % 3 ? paradox_test::Cell{k} : paradox_test::Cell{}, k * 1000, k / 4.0, double(k), k % 2, k});
    const std::string path = dir.file("Result.db");
    paradox_test::writeTable(path, columns, rows);
    return paradox_test::readBytes(path);
}

// Mostly the header and the block headers, where the file describes itself;
// sometimes anywhere, sometimes a cut.
void mutate(std::vector<unsigned char>& bytes, std::mt19937& random)
{
    const auto pick = [&](std::size_t below) { return std::uniform_int_distribution<std::size_t>(0, below - 1)(random); };
    const std::size_t edits = 1 + pick(6);
    for (std::size_t e = 0; e < edits; ++e) {
        std::size_t at;
        switch (pick(4)) {
        case 0: at = pick(0x78); break;                                      // fixed header
        case 1: at = 0x78 + pick(0x200); break;                              // fields and names
        case 2: at = 0x800 + 0x800 * pick(bytes.size() / 0x800 - 1) + pick(6); break;   // a block header
        default: at = pick(bytes.size()); break;
        }
        if (at >= bytes.size())
            continue;
        bytes[at] = pick(3) == 0 ? static_cast<unsigned char>(0xFF * pick(2)) : static_cast<unsigned char>(pick(256));
    }
    if (pick(8) == 0)
        bytes.resize(pick(bytes.size()));
}

}  // namespace

TEST(ParadoxImportFuzz, RandomDamageGivesSuccessOrACleanError)
{
    ScratchDir dir;
    const std::vector<unsigned char> valid = validTable(dir);
    // FPI_FUZZ_RUNS and FPI_FUZZ_SEED allow a longer search by hand.
    const char* runsWanted = std::getenv("FPI_FUZZ_RUNS");
    const char* seed = std::getenv("FPI_FUZZ_SEED");
    const int wanted = runsWanted ? std::atoi(runsWanted) : 600;
    std::mt19937 random(seed ? unsigned(std::atoi(seed)) : 20240611u);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(runsWanted ? 3600 : 3);
    int runs = 0, succeeded = 0, refused = 0;
    for (; runs < wanted && std::chrono::steady_clock::now() < deadline; ++runs) {
        std::vector<unsigned char> bytes = valid;
        mutate(bytes, random);
        const std::string source = dir.file("Damaged.db");
        paradox_test::writeBytes(source, bytes);
        const std::string target = dir.file("Out" + std::to_string(runs) + ".db");
        try {
            store::importParadoxTable(source, target);
            ++succeeded;
            std::filesystem::remove(target);
        } catch (const store::ImportError& e) {
            ++refused;
            EXPECT_EQ(e.cause(), store::ImportError::Cause::DamagedTable) << "run " << runs << ": " << e.what();
            EXPECT_FALSE(std::filesystem::exists(target)) << "run " << runs;
        }
    }
    EXPECT_GE(runs, std::min(wanted, 300)) << "the importer is too slow on damaged files";
    std::printf("%d runs: %d imported, %d refused\n", runs, succeeded, refused);
    EXPECT_GT(refused, runs / 4);
    EXPECT_GT(succeeded, 0);
    std::filesystem::remove(dir.file("Damaged.db"));
    std::filesystem::remove(dir.file("Result.db"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "temporary files were left behind";
}
