// The engine, the database (a connected directory) and new table files.
#include "store/sqlite_util.h"
#include "store/table.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

bool initialiseEngine()
{
    return sqlite3_initialize() == SQLITE_OK;
}

void Database::connect(const std::string& directory)
{
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw StoreError("Каталог данных «" + directory + "» не найден");
    directory_ = directory;
    if (directory_.back() != '/')
        directory_ += '/';
    connected_ = true;
}

void Database::disconnect()
{
    connected_ = false;
}

void createTableFile(const std::string& filePath, const std::string& columnsSql)
{
    // The file is made here, with owner-only access, before SQLite writes into
    // it; SQLite gives its journal files the same permissions.
    const int fd = ::open(filePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        if (errno == EEXIST)
            throw StoreError(detail::tableLabel(filePath) + ": файл уже существует, он не будет перезаписан");
        throw StoreError(detail::tableLabel(filePath) + ": файл не удаётся создать (" + std::strerror(errno) + ")");
    }
    ::fchmod(fd, S_IRUSR | S_IWUSR);   // whatever the umask
    ::close(fd);

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(filePath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    try {
        if (rc != SQLITE_OK)
            detail::raiseSqlite(db, rc, filePath);
        detail::execute(db, "PRAGMA journal_mode=WAL", filePath);
        const std::string sql =
            "CREATE TABLE " + detail::quoted(detail::fileStem(filePath)) + " (" + columnsSql + ")";
        detail::execute(db, sql.c_str(), filePath);
    } catch (...) {
        sqlite3_close(db);
        std::remove(filePath.c_str());
        throw;
    }
    sqlite3_close(db);
}

}  // namespace store
