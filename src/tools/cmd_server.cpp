// fpi-data server-init and copy: the tables on a database server, and moving
// them between a server and table files.
#include "tools/commands.h"

#include "store/server.h"
#include "store/table_copy.h"
#include "store/value.h"

#include <cstdio>
#include <new>

namespace tools {
namespace {

const char kServerInitHelp[] =
    "Использование: fpi-data server-init КАТАЛОГ [РОЛЬ]\n"
    "\n"
    "Создаёт таблицы TestFam, FpiBd и Result на сервере PostgreSQL, который\n"
    "назван в файле КАТАЛОГ/pg_service.conf (служба [fpi]). Таблицы создаются\n"
    "все три сразу; если хотя бы одна уже есть, ничего не меняется.\n"
    "Подключаться нужно пользователем, которому разрешено создавать таблицы.\n"
    "\n"
    "На стандартный вывод печатаются команды SQL, которые дают роли РОЛЬ\n"
    "(по умолчанию fpi) ровно те права, что нужны программе: читать и менять\n"
    "строки трёх таблиц. Выполните их от имени владельца базы, например:\n"
    "  fpi-data server-init Data fpi | psql \"service=fpi\"\n"
    "\n"
    "Код завершения: 0 - таблицы созданы, 1 - неверные параметры,\n"
    "2 - сервер недоступен, отказал или таблицы уже есть.\n";

const char kCopyHelp[] =
    "Использование: fpi-data copy ИСТОЧНИК НАЗНАЧЕНИЕ\n"
    "\n"
    "Копирует все строки таблиц TestFam, FpiBd и Result из каталога данных\n"
    "ИСТОЧНИК в каталог данных НАЗНАЧЕНИЕ, сохраняя номера результатов NN\n"
    "и порядок строк. Каждый из каталогов может хранить таблицы в файлах\n"
    "или на сервере (файл pg_service.conf со службой [fpi]). Так таблицы\n"
    "переносятся на сервер, а с сервера - в файлы для резервной копии или\n"
    "одного рабочего места. ИСТОЧНИК только читается.\n"
    "\n"
    "Копирование идёт только в пустые таблицы: если в НАЗНАЧЕНИИ есть хотя бы\n"
    "одна строка, ничего не копируется. Каталог без файлов таблиц получает\n"
    "новые файлы, которые появляются все три сразу; на сервере таблицы должны\n"
    "быть созданы командой server-init.\n"
    "\n"
    "Код завершения: 0 - таблицы скопированы, 1 - неверные параметры,\n"
    "2 - таблицу не удалось прочитать или записать, либо в НАЗНАЧЕНИИ уже есть строки.\n";

}  // namespace

void refuseServerDirectory(const std::string& directory)
{
    if (store::keptOnServer(directory))
        throw store::StoreError("Каталог данных «" + directory + "» хранит таблицы на сервере (файл " +
                                store::kServiceFileName +
                                "); эта команда работает только с файлами таблиц. Перенести таблицы между "
                                "сервером и файлами можно командой fpi-data copy");
}

int serverInitCommand(const Args& args)
{
    if (const auto status = helpOrUsage(args, 1, 2, kServerInitHelp))
        return *status;
    try {
        if (!store::keptOnServer(args[0]))
            throw store::StoreError("В каталоге «" + args[0] + "» нет файла " + store::kServiceFileName +
                                    " со службой [fpi]: неизвестно, на каком сервере создавать таблицы");
        store::createServerTables(args[0]);
        std::fprintf(stderr, "Таблицы созданы: %s.\n", store::serverDescription(args[0]).c_str());
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::fputs(store::serverGrants(args.size() > 1 ? args[1] : "fpi").c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
}

int copyCommand(const Args& args)
{
    if (const auto status = helpOrUsage(args, 2, 2, kCopyHelp))
        return *status;
    try {
        for (const store::CopiedTable& t : store::copyTables(args[0], args[1]))
            std::printf("%s: %lld зап.\n", t.fileName.c_str(), static_cast<long long>(t.rows));
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    } catch (const std::bad_alloc&) {
        std::fputs("Не хватает памяти.\n", stderr);
        return 2;
    }
    std::printf("Таблицы из «%s» скопированы в «%s».\n", args[0].c_str(), args[1].c_str());
    return std::fflush(stdout) == 0 ? 0 : 2;
}

}  // namespace tools
