#include "store/sqlite_util.h"

#include <cstring>
#include <filesystem>
#include <algorithm>

namespace store::detail {
namespace {

namespace fs = std::filesystem;

std::string problemText(sqlite3* db, int code)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "таблица занята другой копией программы; повторите действие позже";
    case SQLITE_READONLY:
        return "файл доступен только для чтения, записать в него нельзя";
    case SQLITE_NOTADB:
        return "файл не является таблицей (это не база данных SQLite)";
    case SQLITE_CORRUPT:
        return "файл таблицы повреждён";
    case SQLITE_FULL:
        return "на диске нет места";
    case SQLITE_CANTOPEN:
        return "файл не удаётся открыть";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "нет прав доступа к файлу";
    case SQLITE_IOERR:
        return "ошибка чтения или записи файла";
    case SQLITE_CONSTRAINT:
        return std::string("значение нарушает ограничение таблицы (") + (db ? sqlite3_errmsg(db) : "") + ")";
    default:
        return std::string("ошибка SQLite: ") + (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    }
}

unsigned readLe16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

// The header of a Paradox data table: record size, a header size in whole
// 2 KiB blocks, a data file type, a block size of 1 to 32 KiB and a known
// file version.
bool looksLikeParadox(const unsigned char* h, size_t size)
{
    if (size < 0x3a)
        return false;
    const unsigned recordSize = readLe16(h);
    const unsigned headerSize = readLe16(h + 2);
    const unsigned fileType = h[4];
    const unsigned blockKiB = h[5];
    const unsigned version = h[0x39];
    return recordSize > 0 && headerSize > 0 && headerSize % 0x800 == 0 && (fileType == 0 || fileType == 2) &&
           blockKiB >= 1 && blockKiB <= 32 && version >= 3 && version <= 12;
}

// Refuses a file that is not an SQLite database before anything reads it as
// one: SQLite would take an empty file for an empty database and write into
// it. The header is read through SQLite's own file handle, because closing
// another descriptor of the file would drop the locks this process holds on it.
void checkHeader(sqlite3* db, const std::string& path)
{
    sqlite3_file* file = nullptr;
    sqlite3_int64 size = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods || file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        throw StoreError(tableLabel(path) + ": файл не удаётся прочитать");
    if (size == 0)
        throw StoreError(tableLabel(path) + ": файл пуст, это не таблица");
    unsigned char header[100] = {};
    const int got = static_cast<int>(std::min<sqlite3_int64>(size, sizeof header));
    const int rc = file->pMethods->xRead(file, header, got, 0);
    if (rc != SQLITE_OK)
        throw StoreError(tableLabel(path) + ": файл не удаётся прочитать");
    if (got >= 16 && std::memcmp(header, "SQLite format 3", 16) == 0)
        return;
    if (looksLikeParadox(header, static_cast<size_t>(got)))
        throw StoreError(tableLabel(path) +
                         ": это таблица Paradox прежней установки программы; переведите таблицы командой "
                         "fpi-data import-paradox");
    throw StoreError(tableLabel(path) + ": файл не является таблицей (это не база данных SQLite)");
}

}  // namespace

std::string tableLabel(const std::string& path)
{
    return "Таблица «" + path + "»";
}

void raiseSqlite(sqlite3* db, int code, const std::string& path)
{
    throw StoreError(tableLabel(path) + ": " + problemText(db, code));
}

std::string quoted(const std::string& identifier)
{
    std::string out = "\"";
    for (char c : identifier) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::string fileStem(const std::string& path)
{
    return fs::path(path).stem().string();
}

void execute(sqlite3* db, const char* sql, const std::string& path)
{
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        raiseSqlite(db, rc, path);
}

sqlite3* openTableFile(const std::string& path, int busyTimeoutMs)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        throw StoreError(tableLabel(path) + ": файл не найден");
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = tableLabel(path) + ": " + problemText(db, rc);
        sqlite3_close(db);
        throw StoreError(message);
    }
    try {
        checkHeader(db, path);
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, busyTimeoutMs);
        execute(db, "PRAGMA synchronous=FULL", path);
        // Grids read rows by position all over a large table: keep its pages in memory.
        execute(db, "PRAGMA cache_size=-32768", path);
        execute(db, "PRAGMA mmap_size=268435456", path);
        // The journal mode is kept in the file; a write-protected file keeps the one it has.
        if (!sqlite3_db_readonly(db, "main"))
            execute(db, "PRAGMA journal_mode=WAL", path);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return db;
}

Statement::Statement(sqlite3* db, const std::string& sql, const std::string& path) : db_(db), path_(path)
{
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        raiseSqlite(db, rc, path);
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    raiseSqlite(db_, rc, path_);
}

void Statement::bind(int index, const Value& value)
{
    bindValue(db_, stmt_, index, value, path_);
}

void bindValue(sqlite3* db, sqlite3_stmt* stmt, int index, const Value& value, const std::string& path)
{
    int rc = SQLITE_OK;
    if (const auto* n = std::get_if<std::int64_t>(&value))
        rc = sqlite3_bind_int64(stmt, index, *n);
    else if (const auto* r = std::get_if<double>(&value))
        rc = sqlite3_bind_double(stmt, index, *r);
    else if (const auto* s = std::get_if<std::string>(&value))
        rc = s->empty() ? sqlite3_bind_null(stmt, index)
                        : sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    else if (const auto* d = std::get_if<Date>(&value))
        rc = sqlite3_bind_text(stmt, index, d->iso().c_str(), -1, SQLITE_TRANSIENT);
    else
        rc = sqlite3_bind_null(stmt, index);
    if (rc != SQLITE_OK)
        raiseSqlite(db, rc, path);
}

}  // namespace store::detail
