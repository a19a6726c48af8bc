#pragma once
// A scratch results table and a recorder of what the operator is told.

#include "store/result_table.h"
#include "support/recording_box.h"
#include "toolkit/report_model.h"

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace reporttest {

struct Subject {
    std::string surname, firstName, patronymic;
    store::Date date;
    std::array<std::int32_t, 12> scores;
};

inline Subject ivanov()
{
    return {"Иванов", "Иван", "Иванович", {2024, 3, 5}, {5, 7, 3, 9, 1, 2, 4, 6, 8, 5, 4, 6}};
}

// Result.db in a scratch directory, open, with the given rows appended.
class ResultsDir {
public:
    explicit ResultsDir(const std::vector<Subject>& rows = {})
    {
        store::createTableFile(path() + "/Result.db", store::resultColumnsSql());
        table_ = std::make_unique<store::Table>("Result.db");
        table_->setDirectoryPath(path());
        table_->declareFields(store::resultFields());
        table_->open();
        for (const Subject& s : rows)
            store::appendResultRow(*table_, s.surname, s.firstName, s.patronymic, s.scores, s.date);
    }
    std::string path() const { return dir_.path().toStdString(); }
    store::Table& table() { return *table_; }

private:
    QTemporaryDir dir_;
    std::unique_ptr<store::Table> table_;
};

using Recorder = testsupport::RecordingBox;

// A word of a PDF page and its box in points from the page's top-left corner.
struct PdfWord {
    QString text;
    QRectF box;
};

// The words of a PDF's first page as poppler's pdftotext places them; empty
// when the file cannot be read.
inline std::vector<PdfWord> pdfWords(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
             QStringLiteral("1"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return {};
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    std::vector<PdfWord> words;
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        words.push_back({m.captured(5), QRectF(topLeft, bottomRight)});
    }
    return words;
}

// The texts of a built page, top to bottom and left to right as built.
inline QStringList pageTexts(const toolkit::BuiltReport& report)
{
    QStringList out;
    for (const toolkit::TextRun& run : report.pages.at(0).texts)
        out << run.text;
    return out;
}

}  // namespace reporttest
