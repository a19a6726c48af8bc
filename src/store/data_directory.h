#pragma once
// The start-up connection to a data directory. Which directory that is, the
// program decides (see ui/data_location.h).

#include "store/table.h"

#include <string>
#include <vector>

namespace store {

struct StartupOutcome {
    enum Kind { Connected, MissingEngine, ConnectionFailed };
    Kind kind = Connected;
    std::string engineMessage;   // the raised error's text when ConnectionFailed
    // When Connected: the network file system the directory of table files lies
    // on ("NFS", ...; see file_system.h), empty for a local one. A directory
    // holding pg_service.conf keeps its tables on a server and is not asked.
    std::string networkFileSystem;
};

// The file names of the three tables, as a data directory holds them:
// TestFam.DB, FpiBd.db and Result.db (the subjects, the questionnaire, the results).
const std::vector<std::string>& tableFileNames();

// The registration window's start-up steps: check the engine, connect the
// database to the directory, open the subjects, questionnaire and results
// tables in that order. Stops at the first failure, leaving what was opened
// open and the rest closed, and says what happened, and whether the tables
// lie on a network file system.
StartupOutcome connectAtStartup(Database& database, Table& subjects, Table& questionnaire, Table& results,
                                const std::string& directory);

// The results summary window's creation: close the results table and open it
// again by the directory's path. Raises on failure.
void reopenByPath(Table& results, const std::string& directory);

}  // namespace store
