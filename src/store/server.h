#pragma once
// A data directory whose tables live on a PostgreSQL server: it holds a
// libpq connection service file (libpq's own format) with a service named
// "fpi". No password is kept there: libpq's password file or the server's
// own authentication supplies it.

#include <string>

namespace store {

// "pg_service.conf".
extern const char* const kServiceFileName;

// True when the directory holds the service file.
bool keptOnServer(const std::string& directory);

// Where the directory's tables are, for messages: "сервер «host:port», база «db»".
std::string serverDescription(const std::string& directory);

// Creates the tables TestFam, FpiBd and Result on the directory's server,
// with the files' fields, kinds and sizes, a row-order column and the
// results' row number filled by the server; refuses, creating nothing, when
// any of them exists already.
void createServerTables(const std::string& directory);

// The statements that give a login role exactly what the program needs:
// reading and writing the rows of the three tables.
std::string serverGrants(const std::string& role);

}  // namespace store
