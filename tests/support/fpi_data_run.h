#pragma once
// Runs the built fpi-data as a child process with its standard streams set up
// as a test needs them: input from bytes, output captured, sent to /dev/full,
// closed, into a pipe nobody reads, or appended to a file; optionally under a file size limit.
// A run that does not end within the watchdog's time is killed and marked hung.

#include <QStringList>

#include <string>
#include <vector>

namespace fpi_data_run {

enum class Output { Captured, DevFull, Closed, BrokenPipe, AppendedToFile };

struct Options {
    std::string input;
    Output output = Output::Captured;
    long fileSizeLimit = 0;   // bytes; 0 for none
    std::string appendTo;     // the file of Output::AppendedToFile, opened as ">>" would
    std::vector<std::string> environment = {};   // "NAME=value" set for the run only
    std::vector<std::string> runAs = {};   // a program and its arguments that start fpi-data (say, as another user)
    int watchdogSeconds = 30;   // a run still going after this long is killed
};

struct Run {
    int status = -1;      // the exit status; -1 when killed by a signal or hung
    bool hung = false;
    std::string out;
    std::string err;
};

// The built program; the tools tests are built after it.
const std::string& program();

// The bytes of a file; empty when it cannot be read.
std::string readWhole(const std::string& path);

Run run(const std::vector<std::string>& args, const Options& options = {});
// The same with the arguments as Qt's strings.
Run runArgs(const QStringList& args, const Options& options = {});

}  // namespace fpi_data_run
