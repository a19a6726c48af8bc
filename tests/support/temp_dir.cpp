#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir(const std::filesystem::path& parent)
{
    const fs::path base = !parent.empty() && fs::is_directory(parent) ? parent : fs::temp_directory_path();
    std::string pattern = (base / "fpi-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        ADD_FAILURE() << "no scratch directory under " << base;
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // A test may have taken its permissions away to provoke a failure.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::vector<std::string> filesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testsupport
