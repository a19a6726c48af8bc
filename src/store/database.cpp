// The engine, the database (a connected directory) and new table files.
#include "store/sqlite_util.h"
#include "store/table.h"

#include "base/system_error.h"

#include <cerrno>
#include <cstdio>
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
    if (std::filesystem::exists(directory, error) && !std::filesystem::is_directory(directory, error))
        throw StoreError("Каталог данных «" + directory + "»: это не каталог, а файл");
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
    // SQLite deletes a journal it finds beside a new, empty file; one left by an
    // earlier file of this name may hold that table's last rows.
    for (const char* suffix : {"-wal", "-journal"}) {
        std::error_code error;
        if (!std::filesystem::exists(filePath, error) && std::filesystem::exists(filePath + suffix, error))
            throw StoreError(detail::tableLabel(filePath) + ": рядом остался журнал прежней таблицы «" + filePath +
                             suffix + "»; новая таблица не создана, чтобы журнал не пропал");
    }
    // The file is made here, with owner-only access, before SQLite writes into
    // it; SQLite gives its journal files the same permissions.
    const int fd = ::open(filePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            throw StoreError(detail::tableLabel(filePath) + ": файл уже существует, он не будет перезаписан");
        if (const std::string problem = detail::directoryProblem(filePath, true); !problem.empty())
            throw StoreError(detail::directoryLabel(filePath) + ": " + problem + "; файл таблицы «" +
                             std::filesystem::path(filePath).filename().string() + "» создать в нём нельзя");
        throw StoreError(detail::tableLabel(filePath) + ": файл не удаётся создать: " + base::systemErrorText(error));
    }
    const int modeError = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 ? 0 : errno;   // whatever the umask
    const int closeError = ::close(fd) == 0 ? 0 : errno;
    if (modeError || closeError) {
        std::remove(filePath.c_str());
        throw StoreError(detail::tableLabel(filePath) +
                         ": файл не удаётся создать: " + base::systemErrorText(modeError ? modeError : closeError));
    }

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(filePath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    try {
        if (rc != SQLITE_OK)
            detail::raiseSqlite(db, rc, filePath);
        detail::useWriteAheadJournal(db, filePath);
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

namespace {

void requireColumns(sqlite3* db, const std::string& path, const std::string& table,
                    const std::vector<std::string>& columns)
{
    for (const std::string& column : columns) {
        detail::Statement q(db, "SELECT 1 FROM pragma_table_info(?1) WHERE name=?2 COLLATE NOCASE", path);
        q.bind(1, table);
        q.bind(2, column);
        if (!q.step())
            throw StoreError(detail::tableLabel(path) + ": нет поля «" + column + "»");
    }
}

void insertAll(sqlite3* db, const std::string& path, const std::string& table, const std::vector<std::string>& columns,
               const std::vector<std::vector<Value>>& rows)
{
    std::string names;
    std::string marks;
    for (const std::string& column : columns) {
        names += (names.empty() ? "" : ",") + detail::quoted(column);
        marks += marks.empty() ? "?" : ",?";
    }
    detail::Statement insert(db, "INSERT INTO " + detail::quoted(table) + " (" + names + ") VALUES (" + marks + ")",
                             path);
    for (const auto& row : rows) {
        for (size_t i = 0; i < columns.size(); ++i)
            insert.bind(static_cast<int>(i) + 1, i < row.size() ? row[i] : Value());
        insert.step();
        sqlite3_reset(insert.get());
    }
}

}  // namespace

void replaceRows(const std::string& filePath, const std::vector<std::string>& columns,
                 const std::vector<std::vector<Value>>& rows)
{
    sqlite3* db = detail::openTableFile(filePath, 3000);
    const std::string table = detail::fileStem(filePath);
    try {
        requireColumns(db, filePath, table, columns);
        detail::useWriteAheadJournal(db, filePath);
        detail::inWriteTransaction(db, filePath, [&] {
            detail::execute(db, ("DELETE FROM " + detail::quoted(table)).c_str(), filePath);
            insertAll(db, filePath, table, columns, rows);
        });
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

}  // namespace store
