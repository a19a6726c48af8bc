#pragma once
// The three tables of a data directory as a whole: made empty, and copied
// from one data directory to another, either side a directory of table files
// or one whose tables are on a server (see server.h).

#include "store/new_directory.h"

#include <cstdint>
#include <string>
#include <vector>

namespace store {

// Creates the three empty table files where `tables` builds them.
void createEmptyTableFiles(const NewTables& tables);

struct CopiedTable {
    std::string fileName;
    std::int64_t rows = 0;
};

// Copies every row of the three tables of `source` (read only) into those of
// `destination`, keeping the row numbers and the table order. A destination
// on a server needs its tables made and empty; one of files gets new table
// files (in a new or an existing directory, where none may be yet) that appear
// together, or fills existing empty ones. Refuses, writing nothing, when a
// destination table holds rows.
std::vector<CopiedTable> copyTables(const std::string& source, const std::string& destination);

}  // namespace store
