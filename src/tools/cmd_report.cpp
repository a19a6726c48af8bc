// fpi-data report: the result report of one stored result as a PDF file.
#include "tools/commands.h"

#include "report/result_report.h"
#include "store/result_table.h"
#include "toolkit/report_render.h"

#include <QGuiApplication>
#include <QSaveFile>

#include <cstdlib>
#include <iostream>
#include <memory>

namespace tools {
namespace {

const char kHelp[] =
    "Использование: fpi-data report КАТАЛОГ NN ФАЙЛ.pdf\n"
    "\n"
    "Записывает отчет о результате с номером NN из таблицы КАТАЛОГ/Result.db\n"
    "в ФАЙЛ.pdf: одна страница A4, шрифты встроены, текст можно искать и копировать.\n"
    "Дата печатается в кратком формате системного языка.\n"
    "\n"
    "Код завершения: 0 - файл записан, 1 - нет такого результата или таблицы,\n"
    "2 - файл не удалось записать (прежний файл тогда не изменяется).\n";

// Fonts and painting need a GUI application; without a display it draws offscreen.
std::unique_ptr<QGuiApplication> guiApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fpi-data";
    static char* argv[] = {name, nullptr};
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

// Writes beside the target first and replaces it only when everything is written.
bool writePdfFile(const toolkit::BuiltReport& page, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::cerr << "Не удалось создать файл " << path.toStdString() << ": " << file.errorString().toStdString()
                  << "\n";
        return false;
    }
    try {
        toolkit::writePdf(page, file);
    } catch (const std::exception& e) {
        file.cancelWriting();
        std::cerr << e.what() << ": " << path.toStdString() << "\n";
        return false;
    }
    if (!file.commit()) {
        std::cerr << "Не удалось записать файл " << path.toStdString() << ": " << file.errorString().toStdString()
                  << "\n";
        return false;
    }
    return true;
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
    const std::unique_ptr<QGuiApplication> app = guiApplication();
    toolkit::BuiltReport page;
    if (!buildPage(args[0], number, page))
        return 1;
    return writePdfFile(page, QString::fromStdString(args[2])) ? 0 : 2;
}

}  // namespace tools
