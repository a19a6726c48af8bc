#include "store/new_directory.h"

#include "base/system_error.h"
#include "store/value.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace store {
namespace {

const char kMarker[] = ".fpi-new-";

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joined(const std::string& directory, const std::string& name)
{
    return directory == "/" ? "/" + name : directory + "/" + name;
}

std::string reason(int error)
{
    return base::systemErrorText(error);
}

// The process id that ends `name` after `prefix`, or 0 when the name is not such a temporary.
pid_t ownerOf(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return pid_t(std::stol(digits));
}

// A temporary of this process is one left by an earlier process that had the same id.
bool ownerGone(pid_t pid)
{
    if (pid == ::getpid())
        return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

std::vector<std::string> entriesOf(const std::string& directory)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), &::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

bool syncDirectory(const std::string& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

void removeTree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && S_ISREG(sa.st_mode) &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// A killed run that had linked some but not all of its files into the
// directory: those files are taken out again. Once all were linked, the run
// had only its temporary names left to remove, and the files stay.
void takeBackPartialPlacement(const std::string& directory, const std::string& temporary)
{
    std::vector<std::string> linked;
    std::size_t files = 0;
    for (const std::string& name : entriesOf(temporary)) {
        struct stat st;
        if (::lstat(joined(temporary, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        ++files;
        if (sameFile(joined(temporary, name), joined(directory, name)))
            linked.push_back(name);
    }
    if (linked.empty() || linked.size() == files)
        return;
    for (const std::string& name : linked)
        ::unlink(joined(directory, name).c_str());
    syncDirectory(directory);
}

[[noreturn]] void raiseExists(const std::string& path, bool directory)
{
    throw StoreError(std::string(directory ? "Каталог" : "Файл") + " «" + path +
                     "» уже существует; он не будет перезаписан");
}

// Owner-only and on disk; the file must be a regular file the caller made.
void finishFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        throw StoreError("Файл «" + path + "» не создан: " + reason(error));
    }
    struct stat st;
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = EINVAL;
    else if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0 || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        throw StoreError("Файл «" + path + "» не удалось записать на диск: " + reason(error));
}

bool endsWith(const std::string& name, const std::string& suffix)
{
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What SQLite may leave after its connections closed: the shared-memory index
// and empty journals, no part of a table.
bool leftOverByClosedConnection(const std::string& name, off_t size)
{
    return endsWith(name, "-shm") || (size == 0 && (endsWith(name, "-wal") || endsWith(name, "-journal")));
}

}  // namespace

namespace {

void removeStaleBeside(const std::string& directory)
{
    const std::string parent = parentOf(directory);
    const std::string prefix = "." + baseOf(directory) + kMarker;
    for (const std::string& name : entriesOf(parent)) {
        const pid_t owner = ownerOf(name, prefix);
        if (owner > 0 && ownerGone(owner))
            removeTree(joined(parent, name));
    }
}

void removeStaleInside(const std::string& directory)
{
    struct stat st;
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    for (const std::string& name : entriesOf(directory)) {
        const pid_t owner = ownerOf(name, kMarker);
        if (owner > 0 && ownerGone(owner)) {
            takeBackPartialPlacement(directory, joined(directory, name));
            removeTree(joined(directory, name));
        }
    }
}

}  // namespace

void removeStaleTemporaries(const std::string& directoryPath)
{
    const std::string directory = withoutTrailingSlashes(directoryPath);
    removeStaleBeside(directory);
    removeStaleInside(directory);
}

NewTables::NewTables(std::string directory, std::vector<std::string> fileNames, Target target)
    : directory_(withoutTrailingSlashes(std::move(directory))), fileNames_(std::move(fileNames))
{
    if (directory_.empty())
        throw StoreError("Не указан каталог");
    // A directory that must be new is not touched inside when it exists.
    removeStaleBeside(directory_);
    if (target == Target::NewOrExistingDirectory)
        removeStaleInside(directory_);
    const std::string pid = std::to_string(::getpid());
    struct stat st;
    if (::stat(directory_.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            throw StoreError("«" + directory_ + "» уже существует и не является каталогом");
        if (target == Target::NewDirectory)
            raiseExists(directory_, true);
        for (const std::string& name : fileNames_)
            if (::lstat(joined(directory_, name).c_str(), &st) == 0)
                raiseExists(joined(directory_, name), false);
        intoExisting_ = true;
        temporary_ = joined(directory_, kMarker + pid);
    } else if (errno == ENOENT) {
        temporary_ = joined(parentOf(directory_), "." + baseOf(directory_) + kMarker + pid);
    } else {
        const int error = errno;
        throw StoreError("Каталог «" + directory_ + "» недоступен: " + reason(error));
    }
    const std::string failure = intoExisting_ ? "Не удалось создать файлы в каталоге «" + directory_ + "»: "
                                              : "Не удалось создать каталог «" + directory_ + "»: ";
    if (::mkdir(temporary_.c_str(), S_IRWXU) != 0) {
        const int error = errno;
        throw StoreError(failure + reason(error));
    }
    if (::chmod(temporary_.c_str(), S_IRWXU) != 0) {   // whatever the umask
        const int error = errno;
        removeTree(temporary_);
        throw StoreError(failure + reason(error));
    }
}

NewTables::~NewTables()
{
    if (!placed_)
        removeTree(temporary_);
}

std::string NewTables::path(const std::string& fileName) const
{
    return joined(temporary_, fileName);
}

void NewTables::place()
{
    for (const std::string& name : fileNames_)
        finishFile(path(name));
    // Anything else would be a table still being written.
    for (const std::string& name : entriesOf(temporary_)) {
        if (std::find(fileNames_.begin(), fileNames_.end(), name) != fileNames_.end())
            continue;
        struct stat st;
        const std::string p = joined(temporary_, name);
        if (::lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && leftOverByClosedConnection(name, st.st_size))
            ::unlink(p.c_str());
        else
            throw StoreError("Во временном каталоге «" + temporary_ + "» остался незаконченный файл «" + name + "»");
    }
    if (!syncDirectory(temporary_)) {
        const int error = errno;
        throw StoreError("Каталог «" + temporary_ + "» не удалось записать на диск: " + reason(error));
    }
    if (intoExisting_)
        placeFiles();
    else
        placeDirectory();
}

void NewTables::placeDirectory()
{
    const std::string parent = parentOf(directory_);
    int rc = -1;
    int error = 0;
#ifdef RENAME_NOREPLACE
    rc = ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, directory_.c_str(), RENAME_NOREPLACE);
    error = rc == 0 ? 0 : errno;
    if (rc != 0 && (error == EINVAL || error == ENOSYS || error == ENOTSUP))
#endif
    {
        // A file system that cannot rename without replacing: check once more first.
        struct stat st;
        if (::lstat(directory_.c_str(), &st) == 0) {
            rc = -1;
            error = EEXIST;
        } else {
            rc = ::rename(temporary_.c_str(), directory_.c_str());
            error = rc == 0 ? 0 : errno;
        }
    }
    if (rc != 0) {
        if (error == EEXIST || error == ENOTEMPTY)
            raiseExists(directory_, true);
        throw StoreError("Не удалось переименовать «" + temporary_ + "» в «" + directory_ + "»: " + reason(error));
    }
    placed_ = true;
    if (!syncDirectory(parent)) {
        error = errno;
        throw StoreError("Каталог «" + directory_ + "» создан, но не записан на диск: " + reason(error));
    }
}

void NewTables::placeFiles()
{
    // A new link never replaces a file. File systems without links get a
    // rename after one more check, and a rename back when another file fails.
    bool linking = true;
    std::vector<std::string> placed;
    const auto takeBack = [&] {
        for (const std::string& name : placed) {
            if (linking)
                ::unlink(joined(directory_, name).c_str());
            else
                ::rename(joined(directory_, name).c_str(), path(name).c_str());
        }
        syncDirectory(directory_);
    };
    for (const std::string& name : fileNames_) {
        const std::string target = joined(directory_, name);
        int rc = linking ? ::link(path(name).c_str(), target.c_str()) : -1;
        int error = rc == 0 ? 0 : errno;
        if (rc != 0 && placed.empty() && (error == EPERM || error == ENOTSUP || error == EOPNOTSUPP))
            linking = false;
        if (!linking) {
            struct stat st;
            if (::lstat(target.c_str(), &st) == 0) {
                rc = -1;
                error = EEXIST;
            } else {
                rc = ::rename(path(name).c_str(), target.c_str());
                error = rc == 0 ? 0 : errno;
            }
        }
        if (rc == 0) {
            placed.push_back(name);
            continue;
        }
        takeBack();
        if (error == EEXIST)
            raiseExists(target, false);
        throw StoreError("Не удалось создать файл «" + target + "»: " + reason(error));
    }
    if (!syncDirectory(directory_)) {
        const int error = errno;
        takeBack();
        throw StoreError("Каталог «" + directory_ + "» не удалось записать на диск: " + reason(error));
    }
    placed_ = true;
    for (const std::string& name : fileNames_)
        ::unlink(path(name).c_str());
    ::rmdir(temporary_.c_str());
    syncDirectory(directory_);
}

}  // namespace store
