#pragma once
// Scratch directories of the tests, removed with everything in them.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
public:
    // A new directory under the system's temporary folder, or under `parent`
    // (say, a memory-backed one) when it is a directory.
    explicit TempDir(const std::filesystem::path& parent = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The names of a directory's entries, sorted.
std::vector<std::string> filesIn(const std::string& dir);

}  // namespace testsupport
