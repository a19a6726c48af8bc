#pragma once
// Conversion of the Paradox tables of an earlier installation into the table
// files of a data directory. The source files are only ever read; existing
// table files are never overwritten; a failed import leaves nothing behind.

#include "store/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace store {

class ImportError : public StoreError {
public:
    enum class Cause {
        DamagedTable,   // the file is not a readable Paradox table, or lacks a field the program needs
        FileAccess,     // a file cannot be found, read or written, is no regular file, or already exists
    };
    ImportError(Cause cause, const std::string& message) : StoreError(message), cause_(cause) {}
    Cause cause() const { return cause_; }

private:
    Cause cause_;
};

struct ImportedTable {
    std::string fileName;   // "TestFam.DB"
    std::int64_t rows = 0;
};

// Finds `fileName` in `directory` whatever the letter case; empty when there is
// none. Raises when the directory cannot be read or holds several such files.
std::string findCaseInsensitive(const std::string& directory, const std::string& fileName);

// Converts one Paradox table file into a new table file at `targetPath` (which
// must not exist), in one table named after the target's stem. Returns the rows.
std::int64_t importParadoxTable(const std::string& sourcePath, const std::string& targetPath);

// Converts TestFam.DB, FpiBd.db and Result.db of `sourceDirectory` into
// `targetDirectory` (created when missing): all three or none, also when the
// process is killed (see NewTables). Every source must be a regular file, and
// each table must have the fields the program reads (the results table with
// kinds the results table accepts) and no field named as SQLite's row number;
// all three are read and checked before anything is written.
std::vector<ImportedTable> importParadoxDirectory(const std::string& sourceDirectory,
                                                  const std::string& targetDirectory);

}  // namespace store
