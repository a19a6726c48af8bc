// fpi-data create, import-items and export: the data directory's tables.
#include "tools/commands.h"

#include "sample_subjects.h"
#include "store/result_table.h"
#include "store/table.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
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
    "Существующие файлы таблиц не перезаписываются.\n"
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
    "Код завершения: 0 - выгрузка выполнена, 1 - неверные параметры,\n"
    "2 - таблицу не удалось прочитать или файл не удалось записать.\n";

int usageError(const char* help)
{
    std::fprintf(stderr, "Неверные параметры.\n\n%s", help);
    return 1;
}

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

void createSampleTables(const std::string& directory)
{
    const std::string subjects = tablePath(directory, "TestFam.DB");
    store::createTableFile(subjects, "\"F\" VARCHAR(15), \"I\" VARCHAR(15), \"O\" VARCHAR(15)");
    store::replaceRows(subjects, {"F", "I", "O"}, sampleSubjects());
    const std::string items = tablePath(directory, "FpiBd.db");
    store::createTableFile(items, "\"NumVopros\" INTEGER, \"Vopros\" TEXT");
    store::replaceRows(items, {"NumVopros", "Vopros"}, demonstrationItems());
    store::createTableFile(tablePath(directory, "Result.db"), store::resultColumnsSql());
}

// ---- import-items --------------------------------------------------------------

bool validUtf8(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > s.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

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
    if (!validUtf8(line))
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
        if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
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

// ---- export --------------------------------------------------------------------

std::string csvField(const store::Value& v)
{
    if (store::isNull(v))
        return {};
    if (const auto* d = std::get_if<store::Date>(&v))
        return d->iso();
    std::string text = store::toText(v, "");
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string quotedText = "\"";
    for (char c : text)
        quotedText += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quotedText + "\"";
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
    for (std::int64_t row = 0; row < results.recordCount(); ++row) {
        const std::vector<store::Value> values = results.rowAt(row);
        for (size_t k = 0; k < order.size(); ++k)
            out << (k ? ";" : "") << csvField(values[order[k]]);
        out << "\r\n";
    }
}

}  // namespace

int createCommand(const Args& args)
{
    if (wantsHelp(args)) {
        std::fputs(kCreateHelp, stdout);
        return 0;
    }
    if (args.size() != 1)
        return usageError(kCreateHelp);
    const std::string& directory = args[0];
    for (const char* file : {"TestFam.DB", "FpiBd.db", "Result.db"}) {
        std::error_code error;
        if (fs::exists(tablePath(directory, file), error)) {
            std::fprintf(stderr, "Файл «%s» уже существует; он не будет перезаписан.\n",
                         tablePath(directory, file).c_str());
            return 2;
        }
    }
    std::error_code error;
    fs::create_directories(directory, error);
    if (error) {
        std::fprintf(stderr, "Каталог «%s» не удалось создать: %s\n", directory.c_str(), error.message().c_str());
        return 2;
    }
    try {
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
    if (wantsHelp(args)) {
        std::fputs(kImportHelp, stdout);
        return 0;
    }
    if (args.size() != 2)
        return usageError(kImportHelp);
    std::ifstream in(args[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "Файл «%s» не удалось прочитать.\n", args[1].c_str());
        return 2;
    }
    std::vector<std::vector<store::Value>> rows;
    std::vector<std::string> errors;
    if (!readItems(in, rows, errors)) {
        std::fprintf(stderr, "Файл «%s» не загружен, таблица не изменена:\n", args[1].c_str());
        for (const std::string& e : errors)
            std::fprintf(stderr, "  %s\n", e.c_str());
        return 1;
    }
    const std::string path = tablePath(args[0], "FpiBd.db");
    try {
        store::replaceRows(path, {"NumVopros", "Vopros"}, rows);
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::printf("Загружено вопросов: %zu (таблица «%s»).\n", rows.size(), path.c_str());
    return 0;
}

int exportCommand(const Args& args)
{
    if (wantsHelp(args)) {
        std::fputs(kExportHelp, stdout);
        return 0;
    }
    if (args.empty() || args.size() > 2)
        return usageError(kExportHelp);
    store::Table results("Result.db");
    try {
        results.setDirectoryPath(args[0]);
        results.declareFields(store::resultFields());
        results.setReadOnly(true);
        results.open();
        if (args.size() == 1) {
            writeResults(results, std::cout);
            std::cout.flush();
            return std::cout ? 0 : 2;
        }
        std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
        if (out)
            writeResults(results, out);
        out.close();
        if (!out) {
            std::fprintf(stderr, "Файл «%s» не удалось записать.\n", args[1].c_str());
            return 2;
        }
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    return 0;
}

}  // namespace tools
