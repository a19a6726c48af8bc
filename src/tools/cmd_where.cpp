// fpi-data where: the data directory the program would open.
#include "tools/commands.h"

#include "base/system_error.h"
#include "toolkit/data_location.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>

namespace tools {
namespace {

const char kWhereHelp[] =
    "Использование: fpi-data where\n"
    "\n"
    "Печатает каталог данных, который откроет программа fpi: Data рядом\n"
    "с программой, если он там есть (переносная копия), иначе Data в личном\n"
    "каталоге данных пользователя ($XDG_DATA_HOME/fpi, обычно ~/.local/share/fpi).\n"
    "Каталог не создаётся: это делает fpi при первом запуске.\n"
    "\n"
    "Код завершения: 0 - каталог напечатан, 1 - неверные параметры,\n"
    "2 - вывод не удалось записать.\n";

}  // namespace

int whereCommand(const Args& args)
{
    if (const auto status = helpOrUsage(args, 0, 0, kWhereHelp))
        return *status;
    // The executable's directory comes from the application object.
    int argc = 1;
    char name[] = "fpi-data";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    // The same program folder and directory name as the program's own lookup.
    QString directory = toolkit::locateDataDirectory(QStringLiteral("fpi"), QStringLiteral("Data")).directory;
    directory.chop(1);
    std::printf("%s\n", QFile::encodeName(directory).constData());
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "Каталог данных не удалось вывести: %s.\n", base::systemErrorText(errno).c_str());
        return 2;
    }
    return 0;
}

}  // namespace tools
