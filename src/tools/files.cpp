#include "tools/files.h"

#include "base/system_error.h"
#include "store/data_directory.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tools {
namespace {

namespace fs = std::filesystem;

const char* const kCompanions[] = {"-wal", "-shm", "-journal"};

struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId& o) const { return device == o.device && inode == o.inode; }
};

bool idOf(const std::string& path, FileId& id)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return false;
    id = {info.st_dev, info.st_ino};
    return true;
}

// The names of a data directory's table files and their companions.
std::vector<std::string> tableAndCompanionNames()
{
    std::vector<std::string> names;
    for (const std::string& table : store::tableFileNames()) {
        names.push_back(table);
        for (const char* companion : kCompanions)
            names.push_back(table + companion);
    }
    return names;
}

// The files of a data directory's tables and companions that exist now.
std::vector<FileId> tableIds(const std::string& dataDirectory)
{
    std::vector<FileId> tables;
    for (const std::string& name : tableAndCompanionNames()) {
        FileId id{};
        if (idOf((fs::path(dataDirectory) / name).string(), id))
            tables.push_back(id);
    }
    return tables;
}

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; the errno of a failed close, or 0.
    int close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// True when a regular file begins with the SQLite database header. Opened
// without blocking, and only read.
bool isSqliteDatabase(const std::string& path)
{
    Descriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    static const char kHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    char head[sizeof kHeader] = {};
    ssize_t got = 0;
    while (got < ssize_t(sizeof head)) {
        const ssize_t n = read(fd.get(), head + got, sizeof head - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    return got == ssize_t(sizeof head) && std::memcmp(head, kHeader, sizeof head) == 0;
}

// Reads everything from a descriptor; errno of a failed read, or 0.
int readAll(int fd, std::string& out)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        out.append(buffer, size_t(n));
    }
}

// Writes everything to a descriptor; errno of a failed write, or 0.
int writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        bytes.remove_prefix(size_t(n));
    }
    return 0;
}

[[noreturn]] void refuseOutput(const std::string& shown, const std::string& reason)
{
    throw FileError("Файл «" + shown + "» не будет записан: " + reason + ".");
}

[[noreturn]] void failedOutput(const OutputTarget& target, int error)
{
    struct stat info {};
    const bool existed = stat(target.file.c_str(), &info) == 0;
    throw FileError("Файл «" + target.shown + "» не удалось записать: " + base::systemErrorText(error) +
                    (existed ? ". Прежний файл не изменён." : "."));
}

[[noreturn]] void failedInput(const std::string& shown, const std::string& reason)
{
    throw FileError("Файл «" + shown + "» не удалось прочитать: " + reason + ".");
}

}  // namespace

void guardStandardStreams()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);   // a file over the size limit fails its write and is cleaned up
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY);   // takes the lowest free number: fd
}

std::string readInputFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        failedInput(path, base::systemErrorText(errno));
    if (!S_ISREG(info.st_mode))
        failedInput(path, base::notRegularFileText(info.st_mode));
    // Non-blocking, in case something else took the name since.
    Descriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        failedInput(path, base::systemErrorText(errno));
    if (fstat(fd.get(), &info) != 0)
        failedInput(path, base::systemErrorText(errno));
    if (!S_ISREG(info.st_mode))
        failedInput(path, base::notRegularFileText(info.st_mode));
    std::string content;
    if (const int error = readAll(fd.get(), content))
        failedInput(path, base::systemErrorText(error));
    return content;
}

std::string readStandardInput()
{
    std::string content;
    if (const int error = readAll(STDIN_FILENO, content))
        throw FileError("Стандартный ввод не удалось прочитать: " + base::systemErrorText(error) + ".");
    return content;
}

OutputTarget checkOutputTarget(const std::string& path, const std::string& dataDirectory)
{
    OutputTarget target{path, {}};
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(fs::path(path), error);
    if (error)
        refuseOutput(path, base::systemErrorText(error.value()));
    if (!resolved.has_filename())
        refuseOutput(path, "не указано имя файла");
    target.file = resolved.string();

    const std::vector<FileId> tables = tableIds(dataDirectory);
    const auto isTable = [&](const std::string& file) {
        FileId id{};
        return idOf(file, id) && std::find(tables.begin(), tables.end(), id) != tables.end();
    };
    const std::string name = resolved.filename().string();

    // A table's name in the data directory itself, even while the file is absent.
    FileId directoryId{}, parentId{};
    if (idOf(dataDirectory, directoryId) && idOf(resolved.parent_path().string(), parentId) &&
        directoryId == parentId) {
        const std::vector<std::string> names = tableAndCompanionNames();
        if (std::find(names.begin(), names.end(), name) != names.end())
            refuseOutput(path, "это файл таблицы каталога данных");
    }

    struct stat info {};
    if (stat(target.file.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            refuseOutput(path, base::notRegularFileText(info.st_mode));
        if (isTable(target.file))
            refuseOutput(path, "это файл таблицы каталога данных");
        if (isSqliteDatabase(target.file))
            refuseOutput(path, "это база данных SQLite");
    } else if (errno != ENOENT) {
        refuseOutput(path, base::systemErrorText(errno));
    }

    for (const char* companion : kCompanions) {
        if (!endsWith(target.file, companion))
            continue;
        const std::string database = target.file.substr(0, target.file.size() - std::strlen(companion));
        if (isTable(database) || isSqliteDatabase(database))
            refuseOutput(path, "это служебный файл базы данных SQLite");
    }
    return target;
}

void replaceFile(const OutputTarget& target, std::string_view bytes)
{
    const fs::path file(target.file);
    std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    Descriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        failedOutput(target, errno);

    int error = fchmod(fd.get(), S_IRUSR | S_IWUSR) == 0 ? 0 : errno;
    if (!error)
        error = writeAll(fd.get(), bytes);
    if (!error && fsync(fd.get()) != 0)
        error = errno;
    struct stat info {};
    if (!error && fstat(fd.get(), &info) != 0)
        error = errno;
    if (!error && info.st_size != static_cast<off_t>(bytes.size()))
        error = EIO;
    const int closeError = fd.close();
    if (!error)
        error = closeError;
    if (!error && rename(temporary.c_str(), target.file.c_str()) != 0)
        error = errno;
    if (error) {
        unlink(temporary.c_str());
        failedOutput(target, error);
    }
    // The new name reaches the disk with the directory; a file system that
    // cannot flush a directory still has the file written and renamed.
    Descriptor directory(open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        fsync(directory.get());
}

void checkStandardOutput(const std::string& dataDirectory)
{
    struct stat info {};
    if (fstat(STDOUT_FILENO, &info) != 0 || !S_ISREG(info.st_mode))
        return;
    const std::vector<FileId> tables = tableIds(dataDirectory);
    if (std::find(tables.begin(), tables.end(), FileId{info.st_dev, info.st_ino}) != tables.end())
        throw FileError("Стандартный вывод не будет записан: это файл таблицы каталога данных.");
}

void writeStandardOutput(std::string_view bytes)
{
    if (const int error = writeAll(STDOUT_FILENO, bytes))
        throw FileError("Не удалось записать стандартный вывод: " + base::systemErrorText(error) + ".");
}

void finishStandardOutput()
{
    struct stat info {};
    if (fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode) && fsync(STDOUT_FILENO) != 0)
        throw FileError("Не удалось записать стандартный вывод: " + base::systemErrorText(errno) + ".");
}

}  // namespace tools
