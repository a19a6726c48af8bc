#include "store/data_directory.h"

#include "store/file_system.h"
#include "store/result_table.h"
#include "store/server.h"

namespace store {

const std::vector<std::string>& tableFileNames()
{
    static const std::vector<std::string> names = {"TestFam.DB", "FpiBd.db", "Result.db"};
    return names;
}

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
    if (!keptOnServer(directory))
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
