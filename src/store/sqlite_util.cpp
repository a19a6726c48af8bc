#include "store/sqlite_util.h"

#include "base/system_error.h"
#include "store/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace store::detail {
namespace {

namespace fs = std::filesystem;

// The operating system's reason for the connection's last failure, as ": причина".
// SQLite does not record it for a failure while committing; the error number
// the failed call left (`lastErrno`) is the reason then.
std::string systemReason(sqlite3* db, int lastErrno)
{
    const int error = db && sqlite3_system_errno(db) ? sqlite3_system_errno(db) : lastErrno;
    return error ? ": " + base::systemErrorText(error) : std::string();
}

std::string ioText(int code)
{
    switch (code) {
    case SQLITE_IOERR_READ:
    case SQLITE_IOERR_SHORT_READ:
        return "ошибка чтения файла";
    case SQLITE_IOERR_WRITE:
    case SQLITE_IOERR_FSYNC:
    case SQLITE_IOERR_DIR_FSYNC:
    case SQLITE_IOERR_TRUNCATE:
    case SQLITE_IOERR_SHMSIZE:
        return "ошибка записи файла";
    default:
        return "ошибка чтения или записи файла";
    }
}

// SQLite names the fields after "failed: " ("Result.F"); the rest of its text is English and not shown.
std::string constraintText(sqlite3* db, int code)
{
    std::string which;
    const std::string message = db ? sqlite3_errmsg(db) : "";
    if (const auto at = message.find("failed: "); at != std::string::npos && code != SQLITE_CONSTRAINT_CHECK)
        which = " (" + message.substr(at + 8) + ")";
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID:
        return "такое значение уже есть в таблице, а поле" + which + " не допускает повторов";
    case SQLITE_CONSTRAINT_NOTNULL:
        return "поле" + which + " не может быть пустым";
    default:
        return "значение нарушает ограничение таблицы" + which;
    }
}

std::string problemText(sqlite3* db, int code, int lastErrno)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "таблица занята другой копией программы; повторите действие позже";
    case SQLITE_READONLY:
        if (code == SQLITE_READONLY_DBMOVED)
            return "файл переместили или удалили, пока таблица была открыта";
        if (code == SQLITE_READONLY_CANTINIT || code == SQLITE_READONLY_RECOVERY || code == SQLITE_READONLY_CANTLOCK)
            return "служебный файл таблицы (-shm) доступен только для чтения, записать в таблицу нельзя";
        return "файл доступен только для чтения, записать в него нельзя";
    case SQLITE_NOTADB:
        return "файл не является таблицей (это не база данных SQLite)";
    case SQLITE_CORRUPT:
        return "файл таблицы повреждён";
    case SQLITE_FULL:
        return "на диске нет места";
    case SQLITE_CANTOPEN:
        return "файл не удаётся открыть" + systemReason(db, lastErrno);
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "нет прав доступа к файлу";
    case SQLITE_IOERR:
        return ioText(code) + systemReason(db, lastErrno);
    case SQLITE_CONSTRAINT:
        return constraintText(db, code);
    case SQLITE_NOMEM:
        return "не хватает памяти";
    case SQLITE_TOOBIG:
        return "значение слишком велико для таблицы";
    case SQLITE_NOLFS:
        return "файл слишком велик для этой системы";
    case SQLITE_PROTOCOL:
        return "сбой блокировки файла; повторите действие";
    case SQLITE_ERROR:
    case SQLITE_SCHEMA:
        return "таблица в файле устроена не так, как ожидает программа (возможно, её изменили другой программой)";
    default:
        return "внутренняя ошибка SQLite (код " + std::to_string(code) + ")";
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

namespace {

std::string directoryOf(const std::string& path)
{
    const std::string directory = fs::path(path).parent_path().string();
    return directory.empty() ? "." : directory;
}

}  // namespace

std::string directoryLabel(const std::string& path)
{
    return "Каталог «" + directoryOf(path) + "»";
}

std::string directoryProblem(const std::string& path, bool forWriting)
{
    const std::string directory = directoryOf(path);
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0)
        return errno == ENOENT ? "такого каталога нет" : base::systemErrorText(errno);
    if (!S_ISDIR(info.st_mode))
        return "это не каталог, а файл";
    if (forWriting && ::faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return errno == EACCES ? "нет права записи в каталог" : base::systemErrorText(errno);
    return {};
}

void raiseSqlite(sqlite3* db, int code, const std::string& path)
{
    const int lastErrno = errno;
    // The journal beside a readable file cannot be made: the directory is what needs seeing to.
    if (code == SQLITE_READONLY_DIRECTORY ||
        ((code & 0xff) == SQLITE_CANTOPEN && ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0)) {
        const std::string problem = directoryProblem(path, true);
        if (!problem.empty())
            throw StoreError(directoryLabel(path) + ": " + problem + "; файлы журнала таблицы «" +
                             fs::path(path).filename().string() + "» создать в нём нельзя");
    }
    throw StoreError(tableLabel(path) + ": " + problemText(db, code, lastErrno));
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

void inWriteTransaction(sqlite3* db, const std::string& path, const std::function<void()>& body)
{
    execute(db, "BEGIN IMMEDIATE", path);
    try {
        body();
        execute(db, "COMMIT", path);
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

namespace {

void requireFile(const std::string& path)
{
    std::error_code error;
    if (fs::is_regular_file(path, error))
        return;
    if (const std::string problem = directoryProblem(path, false); !problem.empty())
        throw StoreError(directoryLabel(path) + ": " + problem);
    if (fs::is_directory(path, error))
        throw StoreError(tableLabel(path) + ": " + base::systemErrorText(EISDIR));
    throw StoreError(tableLabel(path) + ": файл не найден");
}

// A write-protected table opened read-only leaves its -wal and -shm as
// protected as the file was (SQLite gives them the file's permissions); once
// the file is writable they must be too, or every later write fails.
void makeSideFilesWritable(const std::string& path)
{
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        return;
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::string side = path + suffix;
        struct stat info {};
        if (::lstat(side.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            !(info.st_mode & S_IWUSR))
            ::chmod(side.c_str(), (info.st_mode & 07777) | S_IWUSR);   // if this fails, SQLite says the file is read-only
    }
}

std::string uriPath(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || std::strchr("/-._~", c))
            out += static_cast<char>(c);
        else
            out += std::string("%") + hex[c >> 4] + hex[c & 15];
    }
    return out;
}

// A connection to the file, refused unless the file is an SQLite database.
// It is read-only when the file is write-protected, or `immutable`.
sqlite3* connectTo(const std::string& path, bool immutable)
{
    const std::string name = immutable ? "file:" + uriPath(path) + "?immutable=1" : path;
    const int flags = immutable ? SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX
                                : SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    try {
        if (rc != SQLITE_OK)
            raiseSqlite(db, rc, path);
        checkHeader(db, path);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_extended_result_codes(db, 1);
    return db;
}

int firstRead(sqlite3* db)
{
    return sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
}

// SQLite reads a file in write-ahead mode only with its -wal and -shm beside
// it. In a directory this program cannot write to, where they are missing,
// the file is read as unchanging: that holds while no copy of the program has
// it open for writing, since such a copy keeps its -wal (or a rollback
// journal) beside it.
bool readableOnlyAsImmutable(const std::string& path, int rc)
{
    std::error_code error;
    return ((rc & 0xff) == SQLITE_READONLY || (rc & 0xff) == SQLITE_CANTOPEN) && !fs::exists(path + "-wal", error) &&
           !fs::exists(path + "-journal", error) && !directoryProblem(path, true).empty();
}

// The table named after the file's stem exists, is an ordinary table whose rows
// have their own numbers, and no field hides those numbers: the program finds
// every row by its rowid, and a field named so would make rows sharing its value
// indistinguishable.
void checkTable(sqlite3* db, const std::string& path)
{
    const std::string stem = fileStem(path);
    {
        Statement table(db, "SELECT type, wr FROM pragma_table_list WHERE schema='main' AND name=?1 COLLATE NOCASE",
                        path);
        table.bind(1, stem);
        if (!table.step())
            throw StoreError(tableLabel(path) + ": в файле нет таблицы «" + stem + "»");
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(table.get(), 0));
        if (!type || std::strcmp(type, "table") != 0 || sqlite3_column_int(table.get(), 1) != 0)
            throw StoreError(tableLabel(path) + ": «" + stem +
                             "» в файле не обычная таблица (представление, виртуальная таблица или таблица без "
                             "номеров строк); с такой программа не работает");
    }
    Statement hiding(db, "SELECT name FROM pragma_table_xinfo(?1) WHERE lower(name) IN ('rowid','oid','_rowid_')",
                     path);
    hiding.bind(1, stem);
    if (hiding.step())
        throw StoreError(tableLabel(path) + ": поле «" +
                         reinterpret_cast<const char*>(sqlite3_column_text(hiding.get(), 0)) +
                         "» называется так же, как скрытый номер строки SQLite, и строки такой таблицы нельзя "
                         "различить; переименуйте поле");
}

}  // namespace

sqlite3* openTableFile(const std::string& path, int busyTimeoutMs, bool readOnly)
{
    requireFile(path);
    makeSideFilesWritable(path);
    sqlite3* db = connectTo(path, false);
    try {
        sqlite3_busy_timeout(db, busyTimeoutMs);
        // A reader's connection may write what any last connection does on
        // closing (fold the journal into the file, remove -wal and -shm), so it
        // leaves nothing behind; no statement of it changes the table.
        if (readOnly)
            execute(db, "PRAGMA query_only=1", path);
        int rc = firstRead(db);
        if (rc != SQLITE_OK && readOnly && readableOnlyAsImmutable(path, rc)) {
            sqlite3_close(db);
            db = nullptr;
            db = connectTo(path, true);
            rc = firstRead(db);
        }
        if (rc != SQLITE_OK)
            raiseSqlite(db, rc, path);
        checkTable(db, path);
        execute(db, "PRAGMA synchronous=FULL", path);
        // Grids read rows by position all over a large table: keep its pages in memory.
        execute(db, "PRAGMA cache_size=-32768", path);
        execute(db, "PRAGMA mmap_size=268435456", path);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return db;
}

namespace {

// The rollback journal, deleted at the end of every write. A file still in the
// write-ahead mode leaves it only when no other connection has it open.
void useRollbackJournal(sqlite3* db, const std::string& path, const std::string& fileSystem)
{
    Statement pragma(db, "PRAGMA journal_mode=DELETE", path);
    const int rc = sqlite3_step(pragma.get());
    if (rc == SQLITE_ROW) {
        const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(pragma.get(), 0));
        if (mode && std::strcmp(mode, "delete") == 0)
            return;
    } else if ((rc & 0xff) != SQLITE_BUSY && (rc & 0xff) != SQLITE_LOCKED) {
        raiseSqlite(db, rc, path);
    }
    throw StoreError(tableLabel(path) + ": файл находится на сетевом диске (" + fileSystem +
                     "), и его журнал упреждающей записи нужно сменить на обычный, но таблицу сейчас держит "
                     "открытой другая копия программы; закройте программу на других рабочих местах и повторите");
}

}  // namespace

void useWriteAheadJournal(sqlite3* db, const std::string& path)
{
    // The journal mode is kept in the file; a write-protected file keeps the one it has.
    if (sqlite3_db_readonly(db, "main"))
        return;
    if (const std::string fileSystem = networkFileSystemOf(path); !fileSystem.empty())
        useRollbackJournal(db, path, fileSystem);
    else
        execute(db, "PRAGMA journal_mode=WAL", path);
}

Connection::Connection(const std::string& path, int flags, int busyTimeoutMs) : path_(path)
{
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        try {
            raiseSqlite(db_, rc, path);
        } catch (...) {
            sqlite3_close(db_);
            throw;
        }
    }
    sqlite3_extended_result_codes(db_, 1);
    if (busyTimeoutMs > 0)
        sqlite3_busy_timeout(db_, busyTimeoutMs);
}

void Connection::close()
{
    const int rc = sqlite3_close(db_);
    if (rc != SQLITE_OK)
        raiseSqlite(db_, rc, path_);
    db_ = nullptr;
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
    return stepStatement(db_, stmt_, path_);
}

bool stepStatement(sqlite3* db, sqlite3_stmt* stmt, const std::string& path)
{
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    raiseSqlite(db, rc, path);
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
