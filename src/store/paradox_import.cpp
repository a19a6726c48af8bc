#include "store/paradox_import.h"

#include "base/system_error.h"
#include "store/new_directory.h"
#include "store/paradox_header.h"
#include "store/paradox_values.h"
#include "store/result_table.h"

extern "C" {
#include <paradox.h>
}

#include <sqlite3.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <set>

namespace store {

namespace {

using paradox::allZero;
using paradox::Field;
using paradox::FieldType;
using Bytes = std::vector<unsigned char>;

[[noreturn]] void accessError(const std::string& message)
{
    throw ImportError(ImportError::Cause::FileAccess, message);
}

[[noreturn]] void damagedError(const std::string& message)
{
    throw ImportError(ImportError::Cause::DamagedTable, message);
}

// Why the last system call failed, in words the operator reads.
std::string systemReason()
{
    return base::systemErrorText(errno);
}

std::string sqliteReason(sqlite3* db)
{
    switch (db ? sqlite3_errcode(db) & 0xFF : SQLITE_NOMEM) {
    case SQLITE_FULL: return "нет места на диске";
    case SQLITE_IOERR: return "ошибка ввода-вывода";
    case SQLITE_CANTOPEN: return "файл не открывается";
    case SQLITE_READONLY: return "файл доступен только для чтения";
    case SQLITE_PERM: return "нет прав доступа";
    case SQLITE_NOMEM: return "не хватает памяти";
    default: return "ошибка SQLite " + std::to_string(sqlite3_errcode(db));
    }
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string stemOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// What a file is when it is not a regular file, for the message refusing it.
std::string kindOfSpecialFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return "это каталог";
    if (S_ISFIFO(mode))
        return "это именованный канал";
    if (S_ISSOCK(mode))
        return "это сокет";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "это устройство";
    return "это особый файл";
}

void requireRegularFile(const std::string& path, const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        accessError("Файл «" + path + "» не прочитан: " + kindOfSpecialFile(st.st_mode)
                    + ", а не обычный файл");
}

struct ClosedAtEnd {
    int fd;
    ~ClosedAtEnd() { ::close(fd); }
};

// Reads a regular file whole. A directory, a named pipe or a device is refused
// before it is opened, and once more after, should the name have been replaced
// meanwhile; opening never waits for a writer of a pipe.
Bytes readWholeFile(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        accessError("Не удалось открыть файл «" + path + "» для чтения: " + systemReason());
    requireRegularFile(path, st);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        accessError("Не удалось открыть файл «" + path + "» для чтения: " + systemReason());
    const ClosedAtEnd closer{fd};
    if (::fstat(fd, &st) != 0)
        accessError("Не удалось прочитать файл «" + path + "»: " + systemReason());
    requireRegularFile(path, st);
    Bytes bytes;
    bytes.reserve(std::size_t(st.st_size));
    unsigned char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            accessError("Не удалось прочитать файл «" + path + "»: " + systemReason());
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

// ---- Values of a record --------------------------------------------------------------

struct Cell {
    enum Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes;   // text in UTF-8, or the bytes of a blob
};

Cell integerCell(std::int64_t v) { Cell c; c.kind = Cell::Integer; c.integer = v; return c; }
Cell realCell(double v) { Cell c; c.kind = Cell::Real; c.real = v; return c; }
Cell textCell(std::string v) { Cell c; c.kind = Cell::Text; c.bytes = std::move(v); return c; }
Cell blobCell(std::string v) { Cell c; c.kind = Cell::Blob; c.bytes = std::move(v); return c; }

// The memo file beside a table, read once a value does not fit in its record.
class MemoFile {
public:
    explicit MemoFile(std::string tablePath) : tablePath_(std::move(tablePath)) {}

    std::string value(const unsigned char* locator, const std::string& what)
    {
        if (path_.empty())
            load(what);
        const std::optional<std::string> v = paradox::memoValue(bytes_, locator);
        if (!v)
            damagedError(what + ": значение не найдено в файле «" + path_ + "» (файл повреждён?)");
        return *v;
    }

private:
    void load(const std::string& what)
    {
        const std::string name = stemOf(tablePath_) + ".MB";
        const std::string path = findCaseInsensitive(directoryOf(tablePath_), name);
        if (path.empty())
            damagedError(what + ": нет файла «" + name + "», в котором хранятся длинные значения таблицы");
        bytes_ = readWholeFile(path);
        path_ = path;
    }

    std::string tablePath_;
    std::string path_;
    Bytes bytes_;
};

// ---- One Paradox table read through the library --------------------------------------

class ParadoxReader {
public:
    explicit ParadoxReader(const std::string& path)
        : path_(path), file_(readWholeFile(path)), header_(paradox::readHeader(file_, path)),
          decoder_(header_.codePage), memo_(path)
    {
        if (!decoder_.valid())
            damagedError("Таблица «" + path + "» записана в кодовой странице " + std::to_string(decoder_.codePage())
                         + ", которая не поддерживается");
        // The library reads the very bytes that were checked, never the file again.
        stream_.reset(fmemopen(file_.data(), file_.size(), "rb"));
        if (!stream_)
            accessError("Не удалось прочитать файл «" + path + "»: " + systemReason());
        doc_.reset(PX_new3(&ParadoxReader::onError, nullptr, nullptr, nullptr, &libraryMessage_));
        if (!doc_ || PX_open_fp(doc_.get(), stream_.get()) < 0)
            damagedError("Не удалось прочитать таблицу «" + path + "» (" + libraryMessage_ + ")");
        if (PX_get_num_records(doc_.get()) != header_.recordCount || PX_get_recordsize(doc_.get()) != header_.recordSize)
            damagedError("Не удалось прочитать таблицу «" + path + "»: заголовок прочитан неоднозначно");
        record_.resize(std::size_t(header_.recordSize));
    }

    const std::string& path() const { return path_; }
    const paradox::Header& header() const { return header_; }
    std::string fieldName(const Field& f) const { return decoder_.decode(f.rawName.data(), f.rawName.size()); }

    // The values of record `n` (from 0), in field order.
    std::vector<Cell> record(std::int64_t n)
    {
        if (!PX_get_record(doc_.get(), int(n), reinterpret_cast<char*>(record_.data())))
            damagedError("Не удалось прочитать запись " + std::to_string(n + 1) + " таблицы «" + path_ + "» ("
                         + libraryMessage_ + ")");
        std::vector<Cell> cells;
        cells.reserve(header_.fields.size());
        for (const Field& f : header_.fields)
            cells.push_back(cell(f, record_.data() + f.offset, n));
        return cells;
    }

private:
    static void onError(pxdoc_t*, int type, const char* message, void* data)
    {
        if (type != PX_Warning && message)
            *static_cast<std::string*>(data) = message;
    }

    Cell cell(const Field& f, const unsigned char* p, std::int64_t n)
    {
        if (allZero(p, f.length))
            return Cell{};
        const auto what = [&] {
            return "Таблица «" + path_ + "», запись " + std::to_string(n + 1) + ", поле " + fieldName(f);
        };
        // A value no valid table holds.
        const auto valid = [&](const std::optional<std::string>& text) {
            if (!text)
                damagedError(what() + ": недопустимое значение");
            return textCell(*text);
        };
        switch (f.type) {
        case FieldType::Alpha: {
            const auto end = std::find(p, p + f.length, 0);
            if (end == p)
                return Cell{};
            return textCell(decoder_.decode(reinterpret_cast<const char*>(p), std::size_t(end - p)));
        }
        case FieldType::Bytes:
            return blobCell(std::string(reinterpret_cast<const char*>(p), std::size_t(f.length)));
        case FieldType::Short:
        case FieldType::Long:
        case FieldType::AutoInc:
        case FieldType::Logical:
            return integerCell(paradox::storedInteger(p, f.length));
        case FieldType::Currency:
        case FieldType::Number:
            return realCell(paradox::storedNumber(p));
        case FieldType::Date:
            return valid(paradox::isoDate(paradox::storedInteger(p, 4)));
        case FieldType::Time:
            return valid(paradox::isoTime(paradox::storedInteger(p, 4)));
        case FieldType::Timestamp:
            return valid(paradox::isoTimestamp(paradox::storedNumber(p)));
        case FieldType::Bcd:
            return valid(paradox::decimalText(p, f.decimals));
        case FieldType::Memo:
        case FieldType::FormattedMemo:
        case FieldType::Blob:
        case FieldType::Ole:
        case FieldType::Graphic:
            return longValue(f, p, what);
        }
        return Cell{};
    }

    // The start of a memo or blob is kept in the record; a longer value is in the memo file.
    template <typename What>
    Cell longValue(const Field& f, const unsigned char* p, const What& what)
    {
        const std::size_t leader = std::size_t(f.length - 10);
        const unsigned char* locator = p + leader;
        const std::uint32_t size = paradox::memoLength(locator);
        if (size == 0)
            return Cell{};
        const std::string raw = size <= leader ? std::string(reinterpret_cast<const char*>(p), size)
                                               : memo_.value(locator, what());
        if (f.type == FieldType::Memo)
            return textCell(decoder_.decode(raw.data(), raw.size()));
        return blobCell(raw);
    }

    struct CloseFile {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    struct CloseDocument {
        void operator()(pxdoc_t* doc) const
        {
            PX_close(doc);
            PX_delete(doc);
        }
    };

    std::string path_;
    Bytes file_;
    paradox::Header header_;
    paradox::TextDecoder decoder_;
    MemoFile memo_;
    Bytes record_;
    std::string libraryMessage_ = "причина неизвестна";   // the library reports in English
    std::unique_ptr<std::FILE, CloseFile> stream_;
    std::unique_ptr<pxdoc_t, CloseDocument> doc_;   // closed before its stream
};

// ---- The SQLite table file -------------------------------------------------------------

// The declared type tells the table engine the field's kind, a text's size
// and a 16-bit integer's range.
std::string columnType(const Field& f)
{
    switch (f.type) {
    case FieldType::Alpha:
        return "TEXT(" + std::to_string(f.length) + ")";
    case FieldType::Memo:
        return "TEXT";
    case FieldType::Date:
        return "DATE";
    case FieldType::Time:
        return "TIME";
    case FieldType::Timestamp:
        return "DATETIME";
    case FieldType::Short:
        return "SMALLINT";
    case FieldType::Long:
    case FieldType::AutoInc:
    case FieldType::Logical:
        return "INTEGER";
    case FieldType::Currency:
    case FieldType::Number:
        return "REAL";
    case FieldType::Bcd:
        return "NUMERIC";
    case FieldType::Bytes:
    case FieldType::Blob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic:
        return "BLOB";
    }
    return "BLOB";
}

bool isIntegerType(FieldType type)
{
    return type == FieldType::Short || type == FieldType::Long || type == FieldType::AutoInc;
}

std::string quoted(const std::string& identifier)
{
    std::string q = "\"";
    for (char c : identifier)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

class SqliteFile {
public:
    explicit SqliteFile(const std::string& path) : path_(path)
    {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fail();
        execute("PRAGMA synchronous=FULL");
    }
    ~SqliteFile() { sqlite3_close_v2(db_); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    sqlite3* handle() const { return db_; }
    void execute(const std::string& sql)
    {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
    }
    [[noreturn]] void fail() const
    {
        accessError("Не удалось записать таблицу «" + path_ + "»: " + sqliteReason(db_));
    }

private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(SqliteFile& file, const std::string& sql)
    {
        if (sqlite3_prepare_v2(file.handle(), sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
            file.fail();
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs the statement with these parameters; returns the SQLite result code.
    int run(const std::vector<Cell>& cells)
    {
        sqlite3_reset(stmt_);
        for (std::size_t i = 0; i < cells.size(); ++i)
            bind(int(i) + 1, cells[i]);
        return sqlite3_step(stmt_);
    }

private:
    void bind(int index, const Cell& c)
    {
        switch (c.kind) {
        case Cell::Null:
            sqlite3_bind_null(stmt_, index);
            break;
        case Cell::Integer:
            sqlite3_bind_int64(stmt_, index, c.integer);
            break;
        case Cell::Real:
            sqlite3_bind_double(stmt_, index, c.real);
            break;
        case Cell::Text:
            sqlite3_bind_text(stmt_, index, c.bytes.data(), int(c.bytes.size()), SQLITE_TRANSIENT);
            break;
        case Cell::Blob:
            sqlite3_bind_blob(stmt_, index, c.bytes.data(), int(c.bytes.size()), SQLITE_TRANSIENT);
            break;
        }
    }

    sqlite3_stmt* stmt_ = nullptr;
};

struct Columns {
    std::vector<std::string> names;
    std::string definitions;
    int rowNumber = -1;   // index of the results table's NN, which keeps its numbers as the row key
};

// SQLite's own names for a row's number; a field so named would hide it.
bool isRowNumberName(const std::string& name)
{
    const std::string lower = lowerAscii(name);
    return lower == "rowid" || lower == "oid" || lower == "_rowid_";
}

Columns columnsOf(const ParadoxReader& reader, const std::string& tableName)
{
    Columns c;
    std::set<std::string> seen;
    for (const Field& f : reader.header().fields) {
        const std::string name = reader.fieldName(f);
        if (!seen.insert(lowerAscii(name)).second)
            damagedError("В таблице «" + reader.path() + "» два поля с именем " + name);
        if (isRowNumberName(name))
            damagedError("В таблице «" + reader.path() + "» есть поле с именем «" + name
                         + "»: так называется служебный номер строки новой таблицы, поле не перенести."
                         " Переименуйте поле в прежней программе и повторите перенос");
        if (!c.definitions.empty())
            c.definitions += ", ";
        c.definitions += quoted(name) + " ";
        if (tableName == "Result" && lowerAscii(name) == "nn" && isIntegerType(f.type)) {
            c.rowNumber = int(c.names.size());
            c.definitions += "INTEGER PRIMARY KEY AUTOINCREMENT";
        } else {
            c.definitions += columnType(f);
        }
        c.names.push_back(name);
    }
    return c;
}

// The next number the engine gives is above every number the old table ever gave.
void keepAutoIncrement(SqliteFile& file, const std::string& tableName, std::int64_t lastGiven)
{
    if (lastGiven <= 0 || lastGiven >= INT32_MAX)
        return;
    const std::vector<Cell> parameters = {textCell(tableName), integerCell(lastGiven)};
    Statement add(file, "INSERT INTO sqlite_sequence(name, seq) SELECT ?1, ?2"
                        " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = ?1)");
    Statement raise(file, "UPDATE sqlite_sequence SET seq = max(seq, ?2) WHERE name = ?1");
    if (add.run(parameters) != SQLITE_DONE || raise.run(parameters) != SQLITE_DONE)
        file.fail();
}

std::int64_t convert(ParadoxReader& reader, const std::string& temporaryPath, const std::string& tableName)
{
    const Columns columns = columnsOf(reader, tableName);

    SqliteFile out(temporaryPath);
    out.execute("BEGIN");
    out.execute("CREATE TABLE " + quoted(tableName) + " (" + columns.definitions + ")");
    std::string placeholders;
    for (std::size_t i = 0; i < columns.names.size(); ++i)
        placeholders += i ? ", ?" : "?";
    Statement insert(out, "INSERT INTO " + quoted(tableName) + " VALUES (" + placeholders + ")");

    const std::int64_t count = reader.header().recordCount;
    for (std::int64_t n = 0; n < count; ++n) {
        const std::vector<Cell> cells = reader.record(n);
        const std::string where = "Таблица «" + reader.path() + "», запись " + std::to_string(n + 1);
        if (columns.rowNumber >= 0 && cells[std::size_t(columns.rowNumber)].kind == Cell::Null)
            damagedError(where + ": пустой номер NN");
        const int rc = insert.run(cells);
        if (rc == SQLITE_CONSTRAINT)
            damagedError(where + ": номер NN повторяется");
        if (rc != SQLITE_DONE)
            out.fail();
    }
    if (columns.rowNumber >= 0)
        keepAutoIncrement(out, tableName, reader.header().autoIncrement);
    out.execute("COMMIT");
    return count;
}

// ---- Placing the new files ----------------------------------------------------------------

std::string existsMessage(const std::string& target)
{
    return "Файл «" + target + "» уже существует; перенос не заменяет существующие таблицы";
}

void refuseExisting(const std::string& target)
{
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0)
        accessError(existsMessage(target));
}

// A new file beside the target, readable by its owner only; removed unless placed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) : target_(target)
    {
        std::string pattern = target + ".import-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            accessError("Не удалось создать файл в каталоге «" + directoryOf(target) + "»: " + systemReason());
        ::close(fd);
        path_ = pattern;
    }
    ~TemporaryFile()
    {
        if (!placed_)
            ::unlink(path_.c_str());
        ::unlink((path_ + "-journal").c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& target() const { return target_; }

    // Moves the file to its target name, never replacing a file that appeared meanwhile.
    void place()
    {
        if (::link(path_.c_str(), target_.c_str()) == 0) {
            ::unlink(path_.c_str());
        } else if (errno == EEXIST) {
            accessError(existsMessage(target_));
        } else {
            // File systems without hard links: rename, after checking once more.
            refuseExisting(target_);
            if (::rename(path_.c_str(), target_.c_str()) != 0)
                accessError("Не удалось создать файл «" + target_ + "»: " + systemReason());
        }
        placed_ = true;
    }

private:
    std::string target_;
    std::string path_;
    bool placed_ = false;
};

void syncDirectory(const std::string& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void createEmptyFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0 || ::close(fd) != 0)
        accessError("Не удалось создать файл «" + path + "»: " + systemReason());
}

// Failures of the store around the import are failures to write the target.
template <typename Action>
auto asAccessError(const Action& action)
{
    try {
        return action();
    } catch (const ImportError&) {
        throw;
    } catch (const StoreError& e) {
        accessError(e.what());
    }
}

// ---- What the program needs of each table ---------------------------------------------------

struct RequiredField {
    std::string name;
    std::vector<FieldType> types;   // empty: a value of any type will do
    std::string kind;               // what the field must hold, for the message
};

std::vector<RequiredField> requiredFields(const std::string& fileName)
{
    if (fileName == "TestFam.DB")
        return {{"F", {}, {}}, {"I", {}, {}}, {"O", {}, {}}};
    if (fileName == "FpiBd.db")
        return {{"NumVopros", {}, {}}, {"Vopros", {}, {}}};
    // The results table: the fields it declares, in Paradox types whose new
    // column the table engine accepts for them.
    std::vector<RequiredField> fields;
    for (const FieldDef& f : resultFields()) {
        switch (f.kind) {
        case FieldKind::Text:
            fields.push_back({f.name, {FieldType::Alpha, FieldType::Memo}, "текстом"});
            break;
        case FieldKind::Date:
        case FieldKind::DateTime:
            fields.push_back({f.name, {FieldType::Date, FieldType::Time, FieldType::Timestamp},
                              "датой, временем или датой со временем"});
            break;
        default:
            fields.push_back({f.name, {FieldType::Short, FieldType::Long, FieldType::AutoInc}, "целым числом"});
            break;
        }
    }
    return fields;
}

std::string tableRole(const std::string& fileName)
{
    if (fileName == "TestFam.DB")
        return "таблица обследуемых";
    if (fileName == "FpiBd.db")
        return "таблица вопросов";
    return "таблица результатов";
}

// A table that lacks a field the program reads, or holds it in a type the
// program cannot use, is refused rather than converted into a table the
// program would not open.
void requireFields(const ParadoxReader& reader, const std::string& fileName)
{
    for (const RequiredField& want : requiredFields(fileName)) {
        const auto& fields = reader.header().fields;
        const auto it = std::find_if(fields.begin(), fields.end(), [&](const Field& f) {
            return lowerAscii(reader.fieldName(f)) == lowerAscii(want.name);
        });
        const std::string label = "Таблица «" + reader.path() + "» не годится как " + tableRole(fileName) + " "
                                  + fileName;
        if (it == fields.end())
            damagedError(label + ": нет поля «" + want.name + "»");
        if (!want.types.empty() && std::find(want.types.begin(), want.types.end(), it->type) == want.types.end())
            damagedError(label + ": поле «" + want.name + "» должно быть " + want.kind);
    }
}

}  // namespace

const std::vector<std::string>& paradoxTableNames()
{
    static const std::vector<std::string> names = {"TestFam.DB", "FpiBd.db", "Result.db"};
    return names;
}

std::string findCaseInsensitive(const std::string& directory, const std::string& fileName)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), &::closedir);
    if (!dir)
        accessError("Не удалось открыть каталог «" + directory + "»: " + systemReason());
    const std::string wanted = lowerAscii(fileName);
    std::string found;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (lowerAscii(entry->d_name) != wanted)
            continue;
        if (!found.empty())
            accessError("В каталоге «" + directory + "» несколько файлов с именем " + fileName
                        + " в разном регистре букв; оставьте один");
        found = entry->d_name;
    }
    return found.empty() ? std::string() : directory + "/" + found;
}

std::int64_t importParadoxTable(const std::string& sourcePath, const std::string& targetPath)
{
    refuseExisting(targetPath);
    ParadoxReader reader(sourcePath);
    TemporaryFile temporary(targetPath);
    const std::int64_t rows = convert(reader, temporary.path(), stemOf(targetPath));
    temporary.place();
    syncDirectory(directoryOf(targetPath));
    return rows;
}

std::vector<ImportedTable> importParadoxDirectory(const std::string& sourceDirectory,
                                                  const std::string& targetDirectory)
{
    const std::vector<std::string>& names = paradoxTableNames();
    std::vector<std::unique_ptr<ParadoxReader>> readers;
    for (const std::string& name : names) {
        const std::string source = findCaseInsensitive(sourceDirectory, name);
        if (source.empty())
            accessError("В каталоге «" + sourceDirectory + "» нет таблицы " + name);
        readers.push_back(std::make_unique<ParadoxReader>(source));
    }
    // Every source is read and checked before anything is written.
    for (std::size_t i = 0; i < names.size(); ++i) {
        requireFields(*readers[i], names[i]);
        columnsOf(*readers[i], stemOf(names[i]));
    }

    std::unique_ptr<NewTables> tables = asAccessError([&] {
        return std::make_unique<NewTables>(targetDirectory, names, NewTables::Target::NewOrExistingDirectory);
    });
    std::vector<ImportedTable> imported;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string path = tables->path(names[i]);
        createEmptyFile(path);
        imported.push_back({names[i], convert(*readers[i], path, stemOf(names[i]))});
    }
    asAccessError([&] { tables->place(); });
    return imported;
}

}  // namespace store
