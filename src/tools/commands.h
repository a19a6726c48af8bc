#pragma once
// The commands of fpi-data. Each takes the arguments after its own name and
// returns the exit status: 0 success, 1 bad input, 2 a file that cannot be
// read or written.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tools {

using Args = std::vector<std::string>;

int scoreCommand(const Args& args);          // cmd_score.cpp
int createCommand(const Args& args);         // cmd_data.cpp
int importItemsCommand(const Args& args);    // cmd_data.cpp
int importParadoxCommand(const Args& args);  // cmd_paradox.cpp
int exportCommand(const Args& args);         // cmd_data.cpp
int reportCommand(const Args& args);         // cmd_report.cpp
int backupCommand(const Args& args);         // cmd_backup.cpp
int whereCommand(const Args& args);          // cmd_where.cpp
int serverInitCommand(const Args& args);     // cmd_server.cpp
int copyCommand(const Args& args);           // cmd_server.cpp

// Fails (StoreError) when the data directory keeps its tables on a server:
// for the commands that work on table files only.
void refuseServerDirectory(const std::string& directory);

bool wantsHelp(const Args& args);
// Answers --help (the help on standard output, status 0) or a count of
// parameters outside [fewest, most] (the help on standard error, status 1);
// no status when the command should run.
std::optional<int> helpOrUsage(const Args& args, std::size_t fewest, std::size_t most, const char* help);

}  // namespace tools
