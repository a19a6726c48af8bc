#include "store/backup.h"

#include "base/system_error.h"
#include "store/new_directory.h"
#include "store/data_directory.h"
#include "store/sqlite_util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace store {
namespace {

using detail::Connection;
using detail::raiseSqlite;
using detail::tableLabel;

// How long the copy waits for a table that another copy of the program is writing.
constexpr int kBusyTimeoutMs = 10000;

std::string sourceOf(const std::string& directory, const std::string& fileName)
{
    const std::string path = directory + "/" + fileName;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            throw StoreError("В каталоге «" + directory + "» нет таблицы " + fileName);
        const int error = errno;
        throw StoreError(tableLabel(path) + ": " + base::systemErrorText(error));
    }
    if (!S_ISREG(st.st_mode))
        throw StoreError(tableLabel(path) + ": это не обычный файл");
    if (st.st_size == 0)
        throw StoreError(tableLabel(path) + ": файл пуст, это не таблица");
    return path;
}

// The whole source in one step, that is within one read transaction.
// Returns SQLITE_OK or the failure.
int copyPages(const Connection& source, const Connection& copy)
{
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
    if (!backup)
        raiseSqlite(copy.get(), sqlite3_errcode(copy.get()), copy.path());
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 10; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(200);
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        return rc;
    if (finished != SQLITE_OK)
        raiseSqlite(copy.get(), finished, copy.path());
    return SQLITE_OK;
}

std::string uriOf(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#' || c < 0x21 || c == 0x7F) {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0xF];
        } else {
            uri += char(c);
        }
    }
    return uri;
}

struct FileState {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {};

    static FileState of(const std::string& path)
    {
        FileState f;
        struct stat st;
        if (::stat(path.c_str(), &st) == 0)
            f = {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
        return f;
    }
    bool operator==(const FileState& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

// A table in the write-ahead journal mode cannot be opened in the usual way
// where this process may not create the journal's index beside it. Without a
// journal there is nothing but the file itself to read; it is read as it
// stands, and the copy counts only if the file did not change meanwhile and no
// journal appeared.
void copyUnchangedFile(const std::string& sourcePath, const Connection& copy)
{
    const std::string journal = sourcePath + "-wal";
    const FileState before = FileState::of(sourcePath);
    if (FileState::of(journal).exists)
        throw StoreError(tableLabel(sourcePath) + ": таблицу нельзя прочитать: каталог защищён от записи, "
                                                  "а журнал таблицы не завершён");
    const Connection source(uriOf(sourcePath) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                            kBusyTimeoutMs);
    const int rc = copyPages(source, copy);
    if (rc != SQLITE_OK)
        raiseSqlite(source.get(), rc, sourcePath);
    if (!(FileState::of(sourcePath) == before) || FileState::of(journal).exists)
        throw StoreError(tableLabel(sourcePath) + ": таблица изменилась во время копирования; повторите копирование");
}

void copyTable(const std::string& directory, const std::string& sourcePath, const Connection& copy)
{
    int rc = SQLITE_OK;
    std::string message;
    {
        const Connection source(sourcePath, SQLITE_OPEN_READONLY, kBusyTimeoutMs);
        rc = copyPages(source, copy);
        if (rc == SQLITE_OK)
            return;
        try {
            raiseSqlite(source.get(), rc, sourcePath);
        } catch (const StoreError& e) {
            message = e.what();
        }
    }
    const int primary = rc & 0xFF;
    if ((primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN) && ::access(directory.c_str(), W_OK) != 0)
        copyUnchangedFile(sourcePath, copy);
    else
        throw StoreError(message);
}

// The first value of a one-value query.
std::string scalar(const Connection& db, const std::string& sql, const std::string& parameter = {})
{
    detail::Statement q(db.get(), sql, db.path());
    if (!parameter.empty())
        q.bind(1, parameter);
    if (!q.step())
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 0));
    return text ? text : "";
}

// Checks the copy whole and counts its rows.
std::int64_t checkedRows(const Connection& copy, const std::string& sourcePath)
{
    if (scalar(copy, "PRAGMA integrity_check") != "ok")
        throw StoreError(tableLabel(sourcePath) + ": копия не прошла проверку целостности; вероятно, файл таблицы "
                                                  "повреждён, и копию с него снять нельзя");
    const std::string stem = detail::fileStem(sourcePath);
    const std::string name =
        scalar(copy, "SELECT name FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE", stem);
    if (name.empty())
        throw StoreError(tableLabel(sourcePath) + ": в файле нет таблицы «" + stem + "»");
    return std::stoll(scalar(copy, "SELECT count(*) FROM " + detail::quoted(name)));
}

}  // namespace

std::vector<BackedUpTable> backupDirectory(const std::string& directory, const std::string& destination)
{
    const std::vector<std::string>& names = tableFileNames();
    std::vector<std::string> sources;
    for (const std::string& name : names)
        sources.push_back(sourceOf(directory, name));

    NewTables tables(destination, names, NewTables::Target::NewDirectory);
    std::vector<BackedUpTable> copied;
    for (std::size_t i = 0; i < names.size(); ++i) {
        Connection copy(tables.path(names[i]), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kBusyTimeoutMs);
        copyTable(directory, sources[i], copy);
        copied.push_back({names[i], checkedRows(copy, sources[i])});
        copy.close();
    }
    tables.place();
    return copied;
}

}  // namespace store
