#pragma once
// Rows kept in a table file: an SQLite database holding one table named
// after the file's stem, whose own order is rowid order.

#include "store/table_backend.h"

#include <memory>

namespace store::detail {

// Opens the table file (see openTableFile); its write-ahead journal is taken
// on once its fields have been checked.
std::unique_ptr<TableBackend> openFileTable(const std::string& path, int busyTimeoutMs, bool readOnly);

}  // namespace store::detail
