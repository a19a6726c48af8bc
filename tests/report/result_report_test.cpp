// The result report's page: golden expectation, name line, score block, values.
#include "report/result_report.h"
#include "report_test_util.h"
#include "toolkit/report_build.h"
#include "toolkit/report_render.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

#include <cstdlib>

using namespace reporttest;
using toolkit::BuiltReport;
using toolkit::TextRun;

namespace {

const QString kGolden = QStringLiteral(FPI_SOURCE_DIR "/tests/report/golden/result_page.txt");

QString number(double v) { return QString::number(v, 'f', 2); }

// One line per run and rule; positions to a hundredth of a unit.
QString dump(const BuiltReport& r)
{
    QString out;
    QTextStream s(&out);
    s << "page " << number(r.pageSize.width()) << " " << number(r.pageSize.height()) << "\n";
    for (const TextRun& run : r.pages.at(0).texts) {
        s << "text " << number(run.position.x()) << " " << number(run.position.y()) << " " << run.font.family << " "
          << run.font.pointSize << (run.font.bold ? " bold" : "") << (run.font.italic ? " italic" : "")
          << (run.font.underline ? " underline" : "") << " |" << run.text << "|\n";
    }
    for (const toolkit::LineRun& line : r.pages.at(0).lines)
        s << "line " << number(line.from.x()) << " " << number(line.from.y()) << " " << number(line.to.x()) << " "
          << number(line.to.y()) << " " << number(line.thickness) << "\n";
    return out;
}

const TextRun* runAt(const BuiltReport& r, const QString& text)
{
    for (const TextRun& run : r.pages.at(0).texts)
        if (run.text == text)
            return &run;
    return nullptr;
}

}  // namespace

TEST(ResultReport, PageOfAFixedRowMatchesTheGoldenExpectation)
{
    ResultsDir dir({ivanov()});
    const QString actual = dump(report::buildResultPage(dir.table()));
    if (std::getenv("FPI_UPDATE_GOLDEN")) {
        QFile out(kGolden);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(actual.toUtf8());
    }
    QFile in(kGolden);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << "missing " << kGolden.toStdString();
    const QStringList expected = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    const QStringList got = actual.split(QLatin1Char('\n'));
    ASSERT_EQ(got.size(), expected.size()) << actual.toStdString();
    for (int i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].toStdString(), expected[i].toStdString()) << "line " << i + 1;
}

TEST(ResultReport, LongNamePartsStayOnOneLinePastTheStoredWidth)
{
    const std::string part = "ЩЖШЩЖШЩЖШЩЖШЩЖШ";   // 15 wide letters; the 16th is cut when stored
    ResultsDir dir({{part + "Ю", part, part, {2023, 12, 31}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}}});
    const BuiltReport r = report::buildResultPage(dir.table());
    const QString p = QString::fromStdString(part);
    const QString line = QStringLiteral("Тестируемый: ") + p + QLatin1Char(' ') + p + QLatin1Char(' ') + p;
    const TextRun* name = runAt(r, line);
    ASSERT_NE(name, nullptr) << pageTexts(r).join(QLatin1Char('\n')).toStdString();
    EXPECT_GT(toolkit::UnitMetrics(name->font).width(name->text), 512);
    EXPECT_EQ(name->position, QPointF(30, 33));
    ASSERT_NE(runAt(r, QStringLiteral("Дата тестирования: 31.12.2023")), nullptr);
}

TEST(ResultReport, ScoreBlockPrintsSixRowsSideBySideAboveTheRule)
{
    ResultsDir dir({ivanov()});
    const BuiltReport r = report::buildResultPage(dir.table());
    const char* left[] = {"Невротичность - ",   "Спонтанная агрессия - ", "Депрсивность - ",
                          "Раздражительность - ", "Общительность - ",       "Уравновешеность - "};
    const char* right[] = {"Реактивная агрессивность - ", "Застенчивость - ",
                           "Открытость - ",              "Экстраверсия-интроверсия - ",
                           "Эмоцианальная лабильность - ", "Маскулизм-феменизьм - "};
    const Subject s = ivanov();
    double previous = 0;
    for (int row = 0; row < 6; ++row) {
        const TextRun* label1 = runAt(r, QString::fromUtf8(left[row]));
        const TextRun* label2 = runAt(r, QString::fromUtf8(right[row]));
        ASSERT_TRUE(label1 && label2) << "row " << row + 1;
        EXPECT_DOUBLE_EQ(label1->position.x(), 30);
        EXPECT_DOUBLE_EQ(label2->position.x(), 326);
        EXPECT_DOUBLE_EQ(label1->position.y(), label2->position.y());
        EXPECT_GT(label1->position.y(), previous);
        previous = label1->position.y();
        for (const TextRun& run : r.pages[0].texts) {
            if (run.position.y() != label1->position.y())
                continue;
            if (run.position.x() == 175) {
                EXPECT_EQ(run.text, QString::number(s.scores[row]));
            } else if (run.position.x() == 543) {
                EXPECT_EQ(run.text, QString::number(s.scores[row + 6]));
            }
        }
    }
    EXPECT_EQ(r.pages[0].texts.size(), 2u + 4 * 6);
    for (const TextRun& run : r.pages[0].texts)
    {
        const double bottom = run.position.y() + toolkit::UnitMetrics(run.font).lineHeight();
        EXPECT_LT(bottom, 279) << run.text.toStdString();
        // The score block's lines end inside its boxes (100 + 174, less the inset).
        if (run.position.y() >= 100) {
            EXPECT_LE(bottom, 273) << run.text.toStdString();
        }
    }
}

TEST(ResultReport, ScoreRowsEndAboveTheRuleInThePdf)
{
    ResultsDir dir({ivanov()});
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("page.pdf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    toolkit::writePdf(report::buildResultPage(dir.table()), file);
    file.close();

    const std::vector<PdfWord> words = pdfWords(path);
    ASSERT_FALSE(words.empty()) << "pdftotext (poppler-utils) could not read " << path.toStdString();
    auto points = [](double units) { return units / toolkit::kUnitsPerInch * 72; };
    const double ruleTop = points(280 - 1);     // the rule is 2 units thick
    const double boxBottom = points(100 + 174);  // the score objects' lower edge
    int scoreBlockWords = 0;
    double lowest = 0;
    for (const PdfWord& w : words) {
        EXPECT_LT(w.box.bottom(), ruleTop) << w.text.toStdString();
        if (w.box.top() > points(100)) {
            ++scoreBlockWords;
            EXPECT_LE(w.box.bottom(), boxBottom) << w.text.toStdString();
            lowest = std::max(lowest, w.box.bottom());
        }
    }
    // Six rows of two labels and two scores; the sixth row's words are among them.
    EXPECT_GE(scoreBlockWords, 6 * 4);
    const auto sixth = std::find_if(words.begin(), words.end(),
                                    [](const PdfWord& w) { return w.text == QStringLiteral("Маскулизм-феменизьм"); });
    ASSERT_NE(sixth, words.end());
    EXPECT_DOUBLE_EQ(sixth->box.bottom(), lowest);
}

TEST(ResultReport, ResolverReadsTheCurrentRow)
{
    ResultsDir dir({ivanov(), {"Петрова", "", "", {2001, 1, 9}, {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 1}}});
    store::Table& t = dir.table();
    const toolkit::FieldResolver value = report::resultResolver(t);
    t.first();
    t.next();
    EXPECT_EQ(value(QStringLiteral("tbResult"), QStringLiteral("F")), QStringLiteral("Петрова"));
    EXPECT_EQ(value(QStringLiteral("tbResult"), QStringLiteral("I")), QString());
    EXPECT_EQ(value(QStringLiteral("tbResult"), QStringLiteral("Dat")), QStringLiteral("09.01.2001"));
    EXPECT_EQ(value(QStringLiteral("tbResult"), QStringLiteral("Tip12")), QStringLiteral("1"));
    EXPECT_THROW(value(QStringLiteral("tbResult"), QStringLiteral("Tip13")), std::exception);
    EXPECT_THROW(value(QStringLiteral("tbFamil"), QStringLiteral("F")), std::exception);

    t.close();
    EXPECT_EQ(value(QStringLiteral("tbResult"), QStringLiteral("F")), QStringLiteral("Иванов"));
}
