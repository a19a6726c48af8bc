// fpi-data import-paradox: carries the tables of an earlier installation over.
#include "tools/commands.h"

#include "store/paradox_import.h"

#include <cstdio>
#include <new>

namespace tools {
namespace {

const char kHelp[] =
    "Использование: fpi-data import-paradox ИСТОЧНИК КАТАЛОГ\n"
    "\n"
    "Переносит таблицы Paradox прежней установки (TestFam.DB, FpiBd.db, Result.db\n"
    "из каталога ИСТОЧНИК; регистр букв в именах файлов не важен) в каталог данных\n"
    "КАТАЛОГ. Переносятся все поля и все записи; текст перекодируется из кодовой\n"
    "страницы таблицы, номера результатов NN сохраняются.\n"
    "\n"
    "Файлы в каталоге ИСТОЧНИК только читаются. Существующие таблицы в КАТАЛОГЕ\n"
    "не заменяются. Переносятся все три таблицы или ни одной.\n"
    "\n"
    "Перед переносом проверяется, что в каждой таблице есть нужные программе поля:\n"
    "в TestFam.DB - F, I, O; в FpiBd.db - NumVopros, Vopros; в Result.db - F, I, O\n"
    "(текст), Dat (дата), Tip1-Tip12 и NN (целые числа).\n"
    "\n"
    "Код завершения: 0 - таблицы перенесены, 1 - таблица повреждена или в ней нет\n"
    "нужного поля, 2 - файл не удалось найти, прочитать или записать, он не является\n"
    "обычным файлом, либо он уже существует.\n";

}  // namespace

int importParadoxCommand(const Args& args)
{
    if (const auto status = helpOrUsage(args, 2, 2, kHelp))
        return *status;
    try {
        refuseServerDirectory(args[1]);
        for (const store::ImportedTable& t : store::importParadoxDirectory(args[0], args[1]))
            std::printf("%s: %lld зап.\n", t.fileName.c_str(), static_cast<long long>(t.rows));
        return 0;
    } catch (const store::ImportError& e) {
        std::fprintf(stderr, "%s\nНичего не перенесено.\n", e.what());
        return e.cause() == store::ImportError::Cause::DamagedTable ? 1 : 2;
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\nНичего не перенесено.\n", e.what());
        return 2;
    } catch (const std::bad_alloc&) {
        std::fputs("Не хватает памяти для переноса таблиц.\nНичего не перенесено.\n", stderr);
        return 2;
    }
}

}  // namespace tools
