// fpi-data report: the result report of one stored result as a PDF file.
#include "tools/commands.h"

#include "report/result_report.h"
#include "store/result_table.h"
#include "toolkit/report_render.h"
#include "tools/files.h"

#include <QBuffer>
#include <QGuiApplication>

#include <iostream>
#include <memory>

namespace tools {
namespace {

const char kHelp[] =
    "Использование: fpi-data report КАТАЛОГ NN ФАЙЛ.pdf\n"
    "\n"
    "Записывает отчёт о результате с номером NN из таблицы КАТАЛОГ/Result.db\n"
    "в ФАЙЛ.pdf: одна страница A4, шрифты встроены, текст можно искать и копировать.\n"
    "Дата печатается в кратком формате системного языка.\n"
    "\n"
    "ФАЙЛ.pdf записывается сначала во временный файл рядом и заменяет прежний,\n"
    "только когда всё записано; он доступен только владельцу. ФАЙЛОМ не может\n"
    "быть таблица каталога данных или её служебный файл (-wal, -shm), другая\n"
    "база данных SQLite, каталог, канал или устройство.\n"
    "\n"
    "Код завершения: 0 - файл записан, 1 - нет такого результата или таблицы,\n"
    "2 - файл нельзя заменять или не удалось записать (прежний файл тогда\n"
    "не изменяется).\n";

// Fonts and painting need a GUI application; a PDF needs no display, so it
// always draws offscreen.
std::unique_ptr<QGuiApplication> guiApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 3;
    static char name[] = "fpi-data";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

bool parseRowNumber(const std::string& text, std::int64_t& number)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    number = std::stoll(text);
    return true;
}

// The page of result NN, or a message and false.
bool buildPage(const std::string& directory, std::int64_t number, toolkit::BuiltReport& page)
{
    try {
        store::Table results("Result.db");
        results.setDirectoryPath(directory);
        results.declareFields(store::resultFields());
        results.setReadOnly(true);
        results.open();
        if (!results.locate("NN", store::Value(number))) {
            std::cerr << "Результат с номером " << number << " не найден в " << results.filePath() << "\n";
            return false;
        }
        page = report::buildResultPage(results);
        return true;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return false;
    }
}

// The PDF is made in memory and written through the checked replacement.
bool writePdfFile(const toolkit::BuiltReport& page, const OutputTarget& target)
{
    QByteArray pdf;
    try {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        toolkit::writePdf(page, buffer);
        replaceFile(target, std::string_view(pdf.constData(), size_t(pdf.size())));
        return true;
    } catch (const FileError& e) {
        std::cerr << e.what() << "\n";
    } catch (const std::exception& e) {
        std::cerr << e.what() << ": " << target.shown << "\n";
    }
    return false;
}

}  // namespace

int reportCommand(const Args& args)
{
    if (wantsHelp(args)) {
        std::cout << kHelp;
        return 0;
    }
    std::int64_t number = 0;
    if (args.size() != 3) {
        std::cerr << kHelp;
        return 1;
    }
    if (!parseRowNumber(args[1], number)) {
        std::cerr << "Номер результата должен быть целым неотрицательным числом: " << args[1] << "\n";
        return 1;
    }
    OutputTarget target;
    try {
        target = checkOutputTarget(args[2], args[0]);
    } catch (const FileError& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    const std::unique_ptr<QGuiApplication> app = guiApplication();
    toolkit::BuiltReport page;
    if (!buildPage(args[0], number, page))
        return 1;
    return writePdfFile(page, target) ? 0 : 2;
}

}  // namespace tools
