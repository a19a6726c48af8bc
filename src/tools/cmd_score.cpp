// fpi-data score: scores paper answer sheets with the program's own key.
#include "tools/commands.h"

#include "engine/answer_sheet.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <istream>
#include <string>

namespace tools {
namespace {

const char kHelp[] =
    "Использование: fpi-data score [ФАЙЛ]\n"
    "\n"
    "Подсчитывает баллы по бланкам ответов опросника FPI, заполненным на бумаге.\n"
    "Читает ФАЙЛ или, если он не указан, стандартный ввод (UTF-8).\n"
    "\n"
    "Одна строка - один бланк: метка, символ табуляции, затем ровно 114 ответов,\n"
    "k-й символ отвечает на вопрос k.\n"
    "  «да»:  Д д Y y 1 +\n"
    "  «нет»: Н н N n 0 -\n"
    "Пустые строки и строки, начинающиеся с #, пропускаются; CR в конце строки\n"
    "не учитывается.\n"
    "\n"
    "Вывод (CSV, запятая, UTF-8): строка заголовка label,raw1..raw12,Tip1..Tip12,\n"
    "затем по строке на каждый правильный бланк: метка, двенадцать сырых баллов\n"
    "и двенадцать стенов.\n"
    "\n"
    "Ошибочные строки описываются в стандартном потоке ошибок и пропускаются.\n"
    "Код завершения: 0 - все бланки обработаны, 1 - были ошибочные строки,\n"
    "2 - файл не удалось прочитать.\n";

void printHeader()
{
    std::string header = "label";
    for (int s = 1; s <= 12; ++s)
        header += ",raw" + std::to_string(s);
    for (int s = 1; s <= 12; ++s)
        header += ",Tip" + std::to_string(s);
    std::cout << header << "\r\n";
}

void printRow(const engine::AnswerSheet& sheet)
{
    const engine::ScoreSheet scores = engine::scoreAnswerSheet(sheet);
    std::string row = engine::csvField(sheet.label);
    for (int s = 1; s <= 12; ++s)
        row += "," + std::to_string(scores.raw(s));
    for (int s = 1; s <= 12; ++s)
        row += "," + std::to_string(scores.stanine(s));
    std::cout << row << "\r\n";
}

// Scores every sheet of the stream; true when no line was bad.
bool scoreStream(std::istream& in)
{
    printHeader();
    bool allGood = true;
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        const engine::SheetLine parsed = engine::parseSheetLine(line);
        if (parsed.kind == engine::SheetLine::Bad) {
            std::cerr << "Строка " << number << ": " << parsed.reason << "; бланк пропущен\n";
            allGood = false;
        } else if (parsed.kind == engine::SheetLine::Sheet) {
            printRow(parsed.sheet);
        }
    }
    return allGood;
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
    std::ios::sync_with_stdio(false);
    if (args.empty())
        return scoreStream(std::cin) ? 0 : 1;

    std::error_code ec;
    std::ifstream file(args[0], std::ios::binary);
    if (!file || std::filesystem::is_directory(args[0], ec)) {
        std::cerr << "Не удалось открыть файл «" << args[0] << "» для чтения.\n";
        return 2;
    }
    const bool allGood = scoreStream(file);
    if (file.bad()) {
        std::cerr << "Ошибка чтения файла «" << args[0] << "».\n";
        return 2;
    }
    return allGood ? 0 : 1;
}

}  // namespace tools
