// fpi-data score: scores paper answer sheets with the program's own key.
#include "tools/commands.h"

#include "base/csv.h"
#include "base/utf8.h"
#include "engine/answer_sheet.h"
#include "tools/files.h"

#include <iostream>
#include <string>
#include <string_view>

namespace tools {
namespace {

const char kHelp[] =
    "Использование: fpi-data score [ФАЙЛ]\n"
    "\n"
    "Подсчитывает баллы по бланкам ответов опросника FPI, заполненным на бумаге.\n"
    "Читает ФАЙЛ или, если он не указан или равен «-», стандартный ввод (UTF-8;\n"
    "метка порядка байтов в начале пропускается). ФАЙЛ должен быть обычным\n"
    "файлом, не каталогом, каналом или устройством.\n"
    "\n"
    "Одна строка - один бланк: метка, символ табуляции, затем ровно 114 ответов,\n"
    "k-й символ отвечает на вопрос k.\n"
    "  «да»:  Д д Y y 1 +\n"
    "  «нет»: Н н N n 0 -\n"
    "Пустые строки и строки, начинающиеся с #, пропускаются; CR в конце строки\n"
    "не учитывается. Метка - текст UTF-8 без нулевых байтов.\n"
    "\n"
    "Вывод (CSV, запятая, UTF-8): строка заголовка label,raw1..raw12,Tip1..Tip12,\n"
    "затем по строке на каждый правильный бланк: метка, двенадцать сырых баллов\n"
    "и двенадцать стенов. Метка, которую электронная таблица приняла бы за\n"
    "формулу (начинается с =, +, -, @ или возврата каретки), записывается в\n"
    "кавычках с апострофом впереди, например \"'=A1\", и показывается как текст;\n"
    "баллы записываются как есть.\n"
    "\n"
    "Ошибочные строки описываются в стандартном потоке ошибок и пропускаются.\n"
    "Код завершения: 0 - все бланки обработаны, 1 - были ошибочные строки\n"
    "или во входных данных нет ни одного бланка, 2 - файл не удалось прочитать\n"
    "или вывод не удалось записать.\n";

std::string headerLine()
{
    std::string header = "label";
    for (int s = 1; s <= 12; ++s)
        header += ",raw" + std::to_string(s);
    for (int s = 1; s <= 12; ++s)
        header += ",Tip" + std::to_string(s);
    return header + "\r\n";
}

std::string rowLine(const engine::AnswerSheet& sheet)
{
    const engine::ScoreSheet scores = engine::scoreAnswerSheet(sheet);
    std::string row = base::csvField(sheet.label);
    for (int s = 1; s <= 12; ++s)
        row += "," + std::to_string(scores.raw(s));
    for (int s = 1; s <= 12; ++s)
        row += "," + std::to_string(scores.stanine(s));
    return row + "\r\n";
}

// Scores every sheet of the input, writing each row as it is scored; the
// exit status for the lines (0 all good, 1 bad lines or no sheet at all).
int scoreInput(std::string_view input)
{
    writeStandardOutput(headerLine());
    input = base::withoutByteOrderMark(input);
    bool allGood = true;
    bool anySheet = false;
    long number = 1;
    for (size_t start = 0; start < input.size(); ++number) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos)
            end = input.size();
        const engine::SheetLine parsed = engine::parseSheetLine(input.substr(start, end - start));
        start = end + 1;
        if (parsed.kind == engine::SheetLine::Bad) {
            std::cerr << "Строка " << number << ": " << parsed.reason << "; бланк пропущен\n";
            allGood = false;
        } else if (parsed.kind == engine::SheetLine::Sheet) {
            writeStandardOutput(rowLine(parsed.sheet));
            anySheet = true;
        }
    }
    finishStandardOutput();
    if (!anySheet && allGood) {
        std::cerr << "Во входных данных нет ни одного бланка.\n";
        return 1;
    }
    return allGood ? 0 : 1;
}

}  // namespace

int scoreCommand(const Args& args)
{
    if (wantsHelp(args)) {
        std::cout << kHelp;
        return 0;
    }
    if (args.size() > 1) {
        std::cerr << "Слишком много параметров.\n\n" << kHelp;
        return 1;
    }
    std::string input;
    try {
        input = args.empty() || args[0] == "-" ? readStandardInput() : readInputFile(args[0]);
    } catch (const FileError& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    try {
        return scoreInput(input);
    } catch (const FileError& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
}

}  // namespace tools
