// fpi-data backup: a consistent copy of a data directory, also while fpi runs.
#include "tools/commands.h"

#include "store/backup.h"
#include "store/value.h"

#include <cstdio>
#include <new>

namespace tools {
namespace {

const char kHelp[] =
    "Использование: fpi-data backup КАТАЛОГ КОПИЯ\n"
    "\n"
    "Копирует таблицы каталога данных КАТАЛОГ (TestFam.DB, FpiBd.db, Result.db)\n"
    "в новый каталог КОПИЯ. Копию можно снимать и во время работы программы:\n"
    "каждая таблица копируется целиком в том виде, в каком она была в начале её\n"
    "копирования, со всеми уже сохранёнными результатами. Таблицы в КАТАЛОГЕ только\n"
    "читаются; каталог может быть защищён от записи.\n"
    "\n"
    "Каждая копия проверяется на целостность до того, как каталог КОПИЯ появится;\n"
    "он появляется сразу со всеми тремя таблицами и доступен только владельцу.\n"
    "Существующий каталог или файл КОПИЯ не заменяется.\n"
    "\n"
    "Код завершения: 0 - копия создана, 1 - неверные параметры,\n"
    "2 - таблицу не удалось прочитать, копию не удалось записать или проверить,\n"
    "либо КОПИЯ уже существует.\n";

}  // namespace

int backupCommand(const Args& args)
{
    if (const auto status = helpOrUsage(args, 2, 2, kHelp))
        return *status;
    try {
        refuseServerDirectory(args[0]);
        for (const store::BackedUpTable& t : store::backupDirectory(args[0], args[1]))
            std::printf("%s: %lld зап.\n", t.fileName.c_str(), static_cast<long long>(t.rows));
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\nКопия не создана.\n", e.what());
        return 2;
    } catch (const std::bad_alloc&) {
        std::fputs("Не хватает памяти.\nКопия не создана.\n", stderr);
        return 2;
    }
    std::printf("Копия каталога данных «%s» создана в «%s».\n", args[0].c_str(), args[1].c_str());
    return std::fflush(stdout) == 0 ? 0 : 2;
}

}  // namespace tools
