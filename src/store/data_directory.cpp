#include "store/data_directory.h"

#include "store/result_table.h"

#include <filesystem>

namespace store {

std::string dataDirectoryFor(const std::string& executablePath)
{
    const std::filesystem::path directory = std::filesystem::path(executablePath).parent_path();
    std::string path = directory.string();
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + "Data/";
}

std::string dataDirectory()
{
    // The running executable's own file, whatever the working directory or the
    // way the program was started.
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return dataDirectoryFor(error ? std::string("./fpi") : executable.string());
}

StartupOutcome connectAtStartup(Database& database, Table& subjects, Table& questionnaire, Table& results,
                                const std::string& directory)
{
    if (!initialiseEngine())
        return {StartupOutcome::MissingEngine, {}};
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
        return {StartupOutcome::ConnectionFailed, error.what()};
    }
    return {};
}

void reopenByPath(Table& results, const std::string& directory)
{
    results.close();
    results.setDirectoryPath(directory);
    results.declareFields(resultFields());
    results.open();
}

}  // namespace store
