#include "store/data_directory.h"

#include "store/file_system.h"
#include "store/result_table.h"

#include <filesystem>

namespace store {
namespace {

// The directory names a PostgreSQL server for its tables instead of holding table files.
bool holdsServiceFile(const std::string& directory)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(directory) / "pg_service.conf", error);
}

}  // namespace

StartupOutcome connectAtStartup(Database& database, Table& subjects, Table& questionnaire, Table& results,
                                const std::string& directory)
{
    if (!initialiseEngine())
        return {StartupOutcome::MissingEngine, {}, {}};
    try {
        for (Table* table : {&subjects, &questionnaire, &results})
            if (!table->active())
                table->setDatabase(&database);
        if (!results.active())
            results.declareFields(resultFields());
        database.connect(directory);
        subjects.open();
        questionnaire.open();
        results.open();
    } catch (const std::exception& error) {
        return {StartupOutcome::ConnectionFailed, error.what(), {}};
    }
    StartupOutcome outcome;
    if (!holdsServiceFile(directory))
        outcome.networkFileSystem = networkFileSystemOf(directory);
    return outcome;
}

void reopenByPath(Table& results, const std::string& directory)
{
    results.close();
    results.setDirectoryPath(directory);
    results.declareFields(resultFields());
    results.open();
}

}  // namespace store
