#pragma once
// A copy of a data directory's three tables that stays consistent while the
// program is storing results.

#include <cstdint>
#include <string>
#include <vector>

namespace store {

struct BackedUpTable {
    std::string fileName;   // "Result.db"
    std::int64_t rows = 0;  // rows of the copy
};

// Copies TestFam.DB, FpiBd.db and Result.db of `directory` into the new
// directory `destination` through SQLite's online backup: each copy is the
// table as one read transaction saw it, so it holds every row committed
// before the copy began and no half-stored row. The sources are opened
// read-only and may lie in a write-protected directory; the copy waits for a
// writer that holds a table, and a writer is held up at most for the copy of
// one table (not at all for a table in the write-ahead journal mode).
//
// The destination is built under a temporary name (see NewTables); each copy
// must pass SQLite's integrity check before anything is placed; the files are
// owner-only, the directory owner-only. An existing destination is never
// touched. Raises StoreError with a Russian message naming the file; then no
// destination is left.
std::vector<BackedUpTable> backupDirectory(const std::string& directory, const std::string& destination);

}  // namespace store
