#pragma once
// Which file system a table file lies on. The write-ahead journal keeps an
// index in memory shared by everyone using the table, and a network file
// system cannot share memory between machines; its locks are unreliable too.
// On such a file system the tables keep the rollback journal instead.

#include <cstdint>
#include <functional>
#include <string>

namespace store {

// The name of the network file system a statfs(2) f_type number stands for
// ("NFS", "SMB/CIFS", "AFS", "Ceph", ...), or empty for any other (local) one.
// Only the low 32 bits count: that is all a file system's number has, and
// where f_type is a signed 32-bit number the high ones come out negative.
std::string networkFileSystemName(std::uint64_t type);

// The network file system `path` (a file or a directory) lies on, or empty
// when it is local. A path whose file system cannot be asked about counts as
// local: what follows (opening the file, listing the directory) says what is
// wrong with it.
std::string networkFileSystemOf(const std::string& path);

namespace detail {

using FileSystemProbe = std::function<std::string(const std::string& path)>;

// For tests, which cannot mount a network file system: while it exists,
// networkFileSystemOf answers with `probe`; the one before is back afterwards.
class FileSystemProbeOverride {
public:
    explicit FileSystemProbeOverride(FileSystemProbe probe);
    ~FileSystemProbeOverride();
    FileSystemProbeOverride(const FileSystemProbeOverride&) = delete;
    FileSystemProbeOverride& operator=(const FileSystemProbeOverride&) = delete;

private:
    FileSystemProbe previous_;
};

}  // namespace detail
}  // namespace store
