#include "store/paradox_import.h"

#include "store/data_directory.h"
#include "store/new_directory.h"
#include "store/paradox_reader.h"
#include "store/result_table.h"
#include "store/sqlite_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <set>

namespace store {

namespace {

using detail::quoted;
using paradox::accessError;
using paradox::Cell;
using paradox::damagedError;
using paradox::directoryOf;
using paradox::Field;
using paradox::FieldType;
using paradox::lowerAscii;
using paradox::ParadoxReader;
using paradox::stemOf;
using paradox::systemReason;

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

// Binds one value of a record.
void bindCell(const detail::Statement& statement, int index, const Cell& c)
{
    sqlite3_stmt* stmt = statement.get();
    switch (c.kind) {
    case Cell::Null:
        sqlite3_bind_null(stmt, index);
        break;
    case Cell::Integer:
        sqlite3_bind_int64(stmt, index, c.integer);
        break;
    case Cell::Real:
        sqlite3_bind_double(stmt, index, c.real);
        break;
    case Cell::Text:
        sqlite3_bind_text(stmt, index, c.bytes.data(), int(c.bytes.size()), SQLITE_TRANSIENT);
        break;
    case Cell::Blob:
        sqlite3_bind_blob(stmt, index, c.bytes.data(), int(c.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
}

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
void keepAutoIncrement(const detail::Connection& file, const std::string& tableName, std::int64_t lastGiven)
{
    if (lastGiven <= 0 || lastGiven >= INT32_MAX)
        return;
    for (const char* sql : {"INSERT INTO sqlite_sequence(name, seq) SELECT ?1, ?2"
                            " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = ?1)",
                            "UPDATE sqlite_sequence SET seq = max(seq, ?2) WHERE name = ?1"}) {
        detail::Statement statement(file.get(), sql, file.path());
        statement.bind(1, tableName);
        statement.bind(2, lastGiven);
        statement.step();
    }
}

// Writes the table into the empty file at `temporaryPath`, in one transaction
// with full synchronous writes. A failure of the file raises StoreError.
std::int64_t convert(ParadoxReader& reader, const std::string& temporaryPath, const std::string& tableName)
{
    const Columns columns = columnsOf(reader, tableName);

    detail::Connection out(temporaryPath, SQLITE_OPEN_READWRITE);
    detail::execute(out.get(), "PRAGMA synchronous=FULL", temporaryPath);
    detail::execute(out.get(), "BEGIN", temporaryPath);
    detail::execute(out.get(), ("CREATE TABLE " + quoted(tableName) + " (" + columns.definitions + ")").c_str(),
                    temporaryPath);
    std::string placeholders;
    for (std::size_t i = 0; i < columns.names.size(); ++i)
        placeholders += i ? ", ?" : "?";
    const detail::Statement insert(out.get(), "INSERT INTO " + quoted(tableName) + " VALUES (" + placeholders + ")",
                                   temporaryPath);

    const std::int64_t count = reader.header().recordCount;
    for (std::int64_t n = 0; n < count; ++n) {
        const std::vector<Cell> cells = reader.record(n);
        const std::string where = "Таблица «" + reader.path() + "», запись " + std::to_string(n + 1);
        if (columns.rowNumber >= 0 && cells[std::size_t(columns.rowNumber)].kind == Cell::Null)
            damagedError(where + ": пустой номер NN");
        sqlite3_reset(insert.get());
        for (std::size_t i = 0; i < cells.size(); ++i)
            bindCell(insert, int(i) + 1, cells[i]);
        const int rc = sqlite3_step(insert.get());
        if ((rc & 0xFF) == SQLITE_CONSTRAINT)
            damagedError(where + ": номер NN повторяется");
        if (rc != SQLITE_DONE)
            detail::raiseSqlite(out.get(), rc, temporaryPath);
    }
    if (columns.rowNumber >= 0)
        keepAutoIncrement(out, tableName, reader.header().autoIncrement);
    detail::execute(out.get(), "COMMIT", temporaryPath);
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
    const std::int64_t rows = asAccessError([&] { return convert(reader, temporary.path(), stemOf(targetPath)); });
    temporary.place();
    syncDirectory(directoryOf(targetPath));
    return rows;
}

std::vector<ImportedTable> importParadoxDirectory(const std::string& sourceDirectory,
                                                  const std::string& targetDirectory)
{
    const std::vector<std::string>& names = tableFileNames();
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
        imported.push_back({names[i], asAccessError([&] { return convert(*readers[i], path, stemOf(names[i])); })});
    }
    asAccessError([&] { tables->place(); });
    return imported;
}

}  // namespace store
