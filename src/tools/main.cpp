// fpi-data: the command-line companion of the FPI program.
#include "tools/commands.h"
#include "tools/files.h"

#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

struct Command {
    const char* name;
    int (*run)(const tools::Args&);
    const char* summary;
};

const Command kCommands[] = {
    {"score", tools::scoreCommand, "score [ФАЙЛ]                 подсчёт баллов по бланкам ответов (CSV на выход)"},
    {"create", tools::createCommand, "create КАТАЛОГ               новый каталог данных с образцами таблиц"},
    {"import-items", tools::importItemsCommand, "import-items КАТАЛОГ ФАЙЛ    загрузка текстов вопросов из файла"},
    {"import-paradox", tools::importParadoxCommand, "import-paradox ИСТОЧНИК КАТАЛОГ  перенос таблиц Paradox прежней установки"},
    {"export", tools::exportCommand, "export КАТАЛОГ [ФАЙЛ]        выгрузка результатов в CSV"},
    {"report", tools::reportCommand, "report КАТАЛОГ NN ФАЙЛ.pdf   отчёт о результате в PDF"},
    {"backup", tools::backupCommand, "backup КАТАЛОГ КОПИЯ         резервная копия таблиц, также во время работы программы"},
    {"server-init", tools::serverInitCommand, "server-init КАТАЛОГ [РОЛЬ]   таблицы на сервере PostgreSQL и права для роли"},
    {"copy", tools::copyCommand, "copy ИСТОЧНИК НАЗНАЧЕНИЕ     перенос таблиц между файлами и сервером"},
    {"where", tools::whereCommand, "where                        каталог данных, который откроет программа fpi"},
};

void printUsage(std::FILE* out)
{
    std::fprintf(out, "Использование: fpi-data КОМАНДА [ПАРАМЕТРЫ]\n\nКоманды:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  %s\n", c.summary);
    std::fprintf(out, "\nПодробнее о команде: fpi-data КОМАНДА --help\n");
}

}  // namespace

namespace tools {

bool wantsHelp(const Args& args)
{
    for (const std::string& a : args)
        if (a == "--help" || a == "-h")
            return true;
    return false;
}

std::optional<int> helpOrUsage(const Args& args, std::size_t fewest, std::size_t most, const char* help)
{
    if (wantsHelp(args)) {
        std::fputs(help, stdout);
        return 0;
    }
    if (args.size() < fewest || args.size() > most) {
        std::fprintf(stderr, "Неверные параметры.\n\n%s", help);
        return 1;
    }
    return std::nullopt;
}

}  // namespace tools

int main(int argc, char** argv)
{
    tools::guardStandardStreams();
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h") {
        printUsage(stdout);
        return 0;
    }
    const tools::Args args(argv + 2, argv + argc);
    for (const Command& c : kCommands)
        if (name == c.name)
            return c.run(args);
    std::fprintf(stderr, "Неизвестная команда: %s\n\n", name.c_str());
    printUsage(stderr);
    return 1;
}
