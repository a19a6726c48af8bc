#pragma once
// The files fpi-data reads and writes. Inputs must be regular files and are
// read whole; outputs never land on a table of a data directory, never on
// anything but a regular file, and replace the previous file only once
// every byte is written and flushed. Every failure raises FileError.

#include <stdexcept>
#include <string>
#include <string_view>

namespace tools {

// A file that may not or cannot be read or written. The message is Russian,
// names the file and the reason, and is ready to be printed as it stands.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Process set-up before any command runs: a write to a pipe whose reader has
// gone, or beyond the file size limit, fails with an error instead of killing
// the process (so it is reported and the temporary file removed), and a closed
// standard stream is held by /dev/null (read-only for the output, so writes
// to it fail) so that no file opened later takes its number.
void guardStandardStreams();

// The whole content of a regular file; a directory, a FIFO, a device or a
// socket is refused without blocking on it.
std::string readInputFile(const std::string& path);
// The whole of standard input.
std::string readStandardInput();

// Where an output goes: the path as the user gave it (for messages) and the
// file actually replaced (symbolic links and ".." resolved).
struct OutputTarget {
    std::string shown;
    std::string file;
};

// Checks, before anything is opened for writing, that `path` may be replaced
// by an output of a command working on the data directory `dataDirectory`.
// Refused: an existing path that is not a regular file; a table file of that
// directory or its -wal, -shm or -journal companion, however it is reached
// (same device and inode, or the same name in the same directory); any
// existing SQLite database; a companion of an existing SQLite database.
OutputTarget checkOutputTarget(const std::string& path, const std::string& dataDirectory);

// Writes `bytes` to a new owner-only temporary file beside the target,
// flushes it to the disk, checks its size and renames it over the target.
// On failure the target is left as it was and the temporary file is removed.
void replaceFile(const OutputTarget& target, std::string_view bytes);

// Refuses a standard output that is a table file of the data directory or
// its companion (a shell appending to it has not truncated it yet).
void checkStandardOutput(const std::string& dataDirectory);
// Writes all of `bytes` to standard output, checking every write.
void writeStandardOutput(std::string_view bytes);
// Flushes standard output to the disk when it is a regular file.
void finishStandardOutput();

}  // namespace tools
