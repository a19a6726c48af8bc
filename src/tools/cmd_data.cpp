// fpi-data create, import-items and export: the data directory's tables.
#include "tools/commands.h"

#include "base/system_error.h"
#include "base/csv.h"
#include "base/utf8.h"
#include "sample_subjects.h"
#include "store/data_directory.h"
#include "store/new_directory.h"
#include "store/result_table.h"
#include "store/server.h"
#include "store/table.h"
#include "store/table_copy.h"
#include "tools/files.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>

namespace tools {
namespace {

namespace fs = std::filesystem;

constexpr int kItemCount = 114;

const char kCreateHelp[] =
    "Использование: fpi-data create КАТАЛОГ\n"
    "\n"
    "Создаёт каталог данных с тремя таблицами: TestFam.DB (несколько вымышленных\n"
    "обследуемых), FpiBd.db (вопросы 1-114 с демонстрационными текстами; настоящие\n"
    "тексты загружаются командой import-items) и пустой Result.db.\n"
    "Существующие файлы таблиц не перезаписываются. Таблицы появляются все три\n"
    "сразу: прерванное создание не оставляет ни одной.\n"
    "\n"
    "Код завершения: 0 - каталог создан, 1 - неверные параметры,\n"
    "2 - файл не удалось создать или он уже существует.\n";

const char kImportHelp[] =
    "Использование: fpi-data import-items КАТАЛОГ ФАЙЛ\n"
    "\n"
    "Заменяет вопросы опросника в КАТАЛОГ/FpiBd.db вопросами из ФАЙЛА (UTF-8).\n"
    "Одна строка - один вопрос: номер (целое число), символ табуляции, текст.\n"
    "Вопросы задаются в порядке строк файла; пустые строки пропускаются.\n"
    "Сначала проверяются все строки; если хотя бы одна ошибочна, таблица\n"
    "не меняется, а ошибки перечисляются с номерами строк.\n"
    "ФАЙЛ должен быть обычным файлом (не каталогом, каналом или устройством).\n"
    "\n"
    "Код завершения: 0 - вопросы загружены, 1 - ошибки в файле или параметрах,\n"
    "2 - файл или таблицу не удалось прочитать или записать.\n";

const char kExportHelp[] =
    "Использование: fpi-data export КАТАЛОГ [ФАЙЛ]\n"
    "\n"
    "Выгружает результаты обследований из КАТАЛОГ/Result.db в формате CSV для\n"
    "электронных таблиц и статистических программ: UTF-8 с меткой порядка байтов,\n"
    "разделитель «;», первая строка NN;F;I;O;Dat;Tip1;...;Tip12, даты в виде\n"
    "ГГГГ-ММ-ДД, строки в порядке таблицы. Без ФАЙЛА - на стандартный вывод.\n"
    "\n"
    "Текст, который электронная таблица приняла бы за формулу (начинается\n"
    "с =, +, -, @, табуляции или возврата каретки), записывается в кавычках\n"
    "с апострофом впереди, например \"'=A1\", и показывается как текст.\n"
    "Числа (NN, Tip1-Tip12) записываются как есть.\n"
    "\n"
    "ФАЙЛ записывается сначала во временный файл рядом и заменяет прежний, только\n"
    "когда всё записано; он доступен только владельцу. ФАЙЛОМ не может быть\n"
    "таблица каталога данных или её служебный файл (-wal, -shm), другая база\n"
    "данных SQLite, каталог, канал или устройство.\n"
    "\n"
    "Код завершения: 0 - выгрузка выполнена, 1 - неверные параметры,\n"
    "2 - таблицу не удалось прочитать, файл нельзя заменять или не удалось\n"
    "записать (прежний файл тогда не изменяется).\n";

std::string tablePath(const std::string& directory, const char* file)
{
    return (fs::path(directory) / file).string();
}

// ---- create ------------------------------------------------------------------

std::vector<std::vector<store::Value>> sampleSubjects()
{
    std::vector<std::vector<store::Value>> rows;
    std::istringstream in(kSampleSubjects);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<store::Value> row;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t'))
            row.emplace_back(field);
        if (!row.empty())
            rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::vector<store::Value>> demonstrationItems()
{
    std::vector<std::vector<store::Value>> rows;
    for (int n = 1; n <= kItemCount; ++n)
        rows.push_back({std::int64_t{n}, "Демонстрационный вопрос № " + std::to_string(n) +
                                             ". Тексты вопросов поставляются с лицензионной копией опросника."});
    return rows;
}

// The three tables are built under a temporary name and appear together, so a
// failed or killed run leaves none of them.
void createSampleTables(const std::string& directory)
{
    refuseServerDirectory(directory);
    store::NewTables tables(directory, store::tableFileNames(), store::NewTables::Target::NewOrExistingDirectory);
    store::createEmptyTableFiles(tables);
    store::replaceRows(tables.path("TestFam.DB"), {"F", "I", "O"}, sampleSubjects());
    store::replaceRows(tables.path("FpiBd.db"), {"NumVopros", "Vopros"}, demonstrationItems());
    tables.place();
}

// The directories above the new data directory; the data directory itself is made by createSampleTables.
void makeParentDirectories(const std::string& directory)
{
    fs::path parent = fs::path(directory);
    while (parent.has_relative_path() && parent.filename().empty())
        parent = parent.parent_path();   // "a/b/" names the directory b
    parent = parent.parent_path();
    if (parent.empty())
        return;
    std::error_code error;
    fs::create_directories(parent, error);
    if (error)
        throw store::StoreError("Каталог «" + parent.string() + "» не удалось создать: "
                                + base::systemErrorText(error.value()));
}

// ---- import-items --------------------------------------------------------------

bool wholeNumber(const std::string& s, std::int64_t& n)
{
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    n = std::stoll(s);
    return true;
}

// The problem with one line of an items file, or empty when the line is good.
std::string lineProblem(const std::string& line, std::vector<store::Value>& row)
{
    if (!base::validUtf8(line))
        return "текст не в кодировке UTF-8";
    const auto tab = line.find('\t');
    if (tab == std::string::npos)
        return "нет символа табуляции между номером и текстом";
    std::int64_t number = 0;
    if (!wholeNumber(line.substr(0, tab), number))
        return "номер «" + line.substr(0, tab) + "» не является целым неотрицательным числом";
    const std::string text = line.substr(tab + 1);
    if (text.find_first_not_of(" \t") == std::string::npos)
        return "пустой текст вопроса";
    row = {number, text};
    return {};
}

// Reads and checks every line; the rows when all are good, otherwise the errors.
bool readItems(std::istream& in, std::vector<std::vector<store::Value>>& rows, std::vector<std::string>& errors)
{
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::vector<store::Value> row;
        const std::string problem = lineProblem(line, row);
        if (problem.empty())
            rows.push_back(std::move(row));
        else
            errors.push_back("строка " + std::to_string(lineNumber) + ": " + problem);
    }
    if (rows.empty() && errors.empty())
        errors.push_back("в файле нет ни одного вопроса");
    return errors.empty();
}

// Replaces the questionnaire on the directory's server in one transaction;
// where the table is, for the report.
std::string replaceItemsOnServer(const std::string& directory, const std::vector<std::vector<store::Value>>& rows)
{
    store::Table items("FpiBd.db");
    items.setDirectoryPath(directory);
    store::FieldDef number;
    number.name = "NumVopros";
    number.kind = store::FieldKind::Integer;
    store::FieldDef text;
    text.name = "Vopros";
    text.kind = store::FieldKind::Text;
    items.declareFields({number, text});
    items.open();
    items.replaceRows([&](const store::Table::RowSink& put) {
        for (const auto& row : rows)
            put(row);
    });
    return store::serverDescription(directory);
}

// ---- export --------------------------------------------------------------------

// Text through the shared CSV field (a text that looks like a formula is
// shown as text); numbers and dates as they are.
std::string csvField(const store::Value& v)
{
    if (store::isNull(v))
        return {};
    if (const auto* d = std::get_if<store::Date>(&v))
        return d->iso();
    if (const auto* text = std::get_if<std::string>(&v))
        return base::csvField(*text, ';');
    return store::toText(v, "");
}

void writeResults(const store::Table& results, std::ostream& out)
{
    const auto& fields = results.fields();
    out << "\xEF\xBB\xBF";
    std::vector<size_t> order{fields.size() - 1};   // NN first, then the fields as declared
    for (size_t i = 0; i + 1 < fields.size(); ++i)
        order.push_back(i);
    for (size_t k = 0; k < order.size(); ++k)
        out << (k ? ";" : "") << fields[order[k]].name;
    out << "\r\n";
    results.forEachRow([&](std::vector<store::Value>&& values) {
        for (size_t k = 0; k < order.size(); ++k)
            out << (k ? ";" : "") << csvField(values[order[k]]);
        out << "\r\n";
    });
}

}  // namespace

int createCommand(const Args& args)
{
    if (const auto status = helpOrUsage(args, 1, 1, kCreateHelp))
        return *status;
    const std::string& directory = args[0];
    try {
        makeParentDirectories(directory);
        createSampleTables(directory);
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::printf("Каталог данных «%s» создан.\n", directory.c_str());
    return 0;
}

int importItemsCommand(const Args& args)
{
    if (const auto status = helpOrUsage(args, 2, 2, kImportHelp))
        return *status;
    std::string content;
    try {
        content = readInputFile(args[1]);
    } catch (const FileError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::istringstream in{std::string(base::withoutByteOrderMark(content))};
    std::vector<std::vector<store::Value>> rows;
    std::vector<std::string> errors;
    if (!readItems(in, rows, errors)) {
        std::fprintf(stderr, "Файл «%s» не загружен, таблица не изменена:\n", args[1].c_str());
        for (const std::string& e : errors)
            std::fprintf(stderr, "  %s\n", e.c_str());
        return 1;
    }
    std::string where = tablePath(args[0], "FpiBd.db");
    try {
        if (store::keptOnServer(args[0]))
            where = replaceItemsOnServer(args[0], rows);
        else
            store::replaceRows(where, {"NumVopros", "Vopros"}, rows);
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::printf("Загружено вопросов: %zu (таблица «%s»).\n", rows.size(), where.c_str());
    return 0;
}

int exportCommand(const Args& args)
{
    if (const auto status = helpOrUsage(args, 1, 2, kExportHelp))
        return *status;
    try {
        // The target is checked before the table is even opened.
        std::optional<OutputTarget> target;
        if (args.size() == 2)
            target = checkOutputTarget(args[1], args[0]);
        else
            checkStandardOutput(args[0]);
        store::Table results("Result.db");
        results.setDirectoryPath(args[0]);
        results.declareFields(store::resultFields());
        results.setReadOnly(true);
        results.open();
        std::ostringstream csv;
        writeResults(results, csv);
        results.close();
        if (target) {
            replaceFile(*target, csv.str());
        } else {
            writeStandardOutput(csv.str());
            finishStandardOutput();
        }
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    } catch (const FileError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    return 0;
}

}  // namespace tools
