#pragma once
// Rows kept in a table on the data directory's PostgreSQL server (see
// server.h). The table's own order is its row-order column, filled by the
// server; every other program's committed change is heard of through the
// server's notifications.

#include "store/table_backend.h"

#include <memory>

namespace store::detail {

// The column that keeps a server table's own order; never one of its fields.
extern const char* const kRowOrderColumn;
// The column that holds the token of a row the program stored (see RowChange);
// never one of the fields.
extern const char* const kRowTokenColumn;
// The table that counts each table's committed changes.
extern const char* const kVersionsTable;

// Connects to the directory's server and finds the table `name` there;
// fails, in Russian, when the server cannot be reached, refuses the login
// or has no such table.
std::unique_ptr<TableBackend> openServerTable(const std::string& directory, const std::string& name, int busyTimeoutMs,
                                              bool readOnly);

}  // namespace store::detail
