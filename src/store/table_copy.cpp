#include "store/table_copy.h"

#include "store/data_directory.h"
#include "store/result_table.h"
#include "store/server.h"
#include "store/table.h"

#include <filesystem>
#include <memory>

namespace store {

namespace {

namespace fs = std::filesystem;

std::unique_ptr<Table> openTable(const std::string& directory, const std::string& fileName, bool readOnly)
{
    auto table = std::make_unique<Table>(fileName);
    table->setDirectoryPath(directory);
    if (fileName == "Result.db")
        table->declareFields(resultFields());
    table->setReadOnly(readOnly);
    table->open();
    return table;
}

// For each field of `to`, its index among the fields of `from`; fails naming the missing one.
std::vector<size_t> fieldMap(const Table& from, const Table& to)
{
    std::vector<size_t> map;
    for (const FieldDef& f : to.fields())
        map.push_back(static_cast<size_t>(from.fieldIndex(f.name)));
    return map;
}

std::int64_t copyRows(const Table& from, Table& to)
{
    const std::vector<size_t> map = fieldMap(from, to);
    std::int64_t rows = 0;
    to.appendRows([&](const Table::RowSink& put) {
        std::vector<Value> row(map.size());
        from.forEachRow([&](std::vector<Value>&& values) {
            for (size_t i = 0; i < map.size(); ++i)
                row[i] = std::move(values[map[i]]);
            put(row);
            ++rows;
        });
    });
    return rows;
}

bool anyTableFile(const std::string& directory)
{
    std::error_code error;
    for (const std::string& name : tableFileNames())
        if (fs::exists(fs::path(directory) / name, error))
            return true;
    return false;
}

}  // namespace

void createEmptyTableFiles(const NewTables& tables)
{
    createTableFile(tables.path("TestFam.DB"), "\"F\" VARCHAR(15), \"I\" VARCHAR(15), \"O\" VARCHAR(15)");
    createTableFile(tables.path("FpiBd.db"), "\"NumVopros\" INTEGER, \"Vopros\" TEXT");
    createTableFile(tables.path("Result.db"), resultColumnsSql());
}

std::vector<CopiedTable> copyTables(const std::string& source, const std::string& destination)
{
    std::vector<std::unique_ptr<Table>> from;
    for (const std::string& name : tableFileNames())
        from.push_back(openTable(source, name, true));

    std::unique_ptr<NewTables> fresh;
    std::string target = destination;
    if (!keptOnServer(destination) && !anyTableFile(destination)) {
        fresh = std::make_unique<NewTables>(destination, tableFileNames(), NewTables::Target::NewOrExistingDirectory);
        createEmptyTableFiles(*fresh);
        target = fs::path(fresh->path(tableFileNames().front())).parent_path().string();
    }
    std::vector<std::unique_ptr<Table>> to;
    for (const std::string& name : tableFileNames()) {
        to.push_back(openTable(target, name, false));
        fieldMap(*from[to.size() - 1], *to.back());
        if (to.back()->recordCount() > 0)
            throw StoreError(to.back()->label() +
                             ": в таблице уже есть строки; копирование возможно только в пустые таблицы, "
                             "ничего не скопировано");
    }
    std::vector<CopiedTable> copied;
    for (size_t i = 0; i < to.size(); ++i)
        copied.push_back({tableFileNames()[i], copyRows(*from[i], *to[i])});
    to.clear();
    if (fresh)
        fresh->place();
    return copied;
}

}  // namespace store
