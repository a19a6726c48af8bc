// Saving and opening built reports, and files that are not built reports.
#include "toolkit/report_file.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

using namespace toolkit;

namespace {

BuiltReport sample()
{
    BuiltReport r;
    r.pageSize = QSizeF(757.9, 1071.9);
    BuiltPage page;
    page.texts.push_back({QPointF(30, 33), QStringLiteral("Тестируемый: Иванов"),
                          {QStringLiteral("Arial"), 12, true, false, true}});
    page.texts.push_back({QPointF(30.5, 101.25), QStringLiteral("7"), {QStringLiteral("Arial"), 10, true, true, false}});
    page.lines.push_back({QPointF(16, 280), QPointF(736, 280), 2});
    r.pages = {page, BuiltPage{}};
    return r;
}

QByteArray bytesOf(const BuiltReport& r)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeReport(r, buffer);
    return buffer.data();
}

BuiltReport readBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readReport(buffer);
}

}  // namespace

TEST(ReportFile, SavedReportOpensUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("отчет.frp"));
    saveReportFile(sample(), path);
    EXPECT_EQ(openReportFile(path), sample());
    // Saving again replaces the file.
    BuiltReport other = sample();
    other.pages.pop_back();
    saveReportFile(other, path);
    EXPECT_EQ(openReportFile(path), other);
}

TEST(ReportFile, DamagedOrForeignFilesAreRefusedWithAMessage)
{
    const QByteArray good = bytesOf(sample());
    std::vector<QByteArray> bad = {QByteArray(), QByteArray("%PDF-1.4 not a report"), good.left(good.size() - 3),
                                   good + "x"};
    for (int cut : {4, 6, 10, 30})
        bad.push_back(good.left(cut));
    QByteArray wrongVersion = good;
    wrongVersion[4] = 9;
    bad.push_back(wrongVersion);
    QByteArray hugeCount = good;
    hugeCount.replace(22, 4, QByteArray("\xff\xff\xff\x7f", 4));   // the page count
    bad.push_back(hugeCount);
    QByteArray nanSize = good;
    nanSize.replace(6, 8, QByteArray("\x00\x00\x00\x00\x00\x00\xf8\x7f", 8));
    bad.push_back(nanSize);
    for (const QByteArray& bytes : bad) {
        try {
            readBytes(bytes);
            ADD_FAILURE() << "accepted " << bytes.size() << " bytes";
        } catch (const ReportFileError& e) {
            EXPECT_FALSE(QString::fromUtf8(e.what()).isEmpty());
        }
    }
    EXPECT_THROW(readBytes(wrongVersion), ReportFileError);
    try {
        readBytes(wrongVersion);
    } catch (const ReportFileError& e) {
        EXPECT_NE(std::string(e.what()).find("верси"), std::string::npos);
    }
}

TEST(ReportFile, UnreadableAndUnwritablePathsFailWithoutTouchingFiles)
{
    QTemporaryDir dir;
    EXPECT_THROW(openReportFile(dir.filePath(QStringLiteral("нет.frp"))), ReportFileError);
    EXPECT_THROW(saveReportFile(sample(), dir.filePath(QStringLiteral("нет/такого/каталога.frp"))), ReportFileError);

    const QString foreign = dir.filePath(QStringLiteral("чужой.frp"));
    QFile f(foreign);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a report");
    f.close();
    try {
        openReportFile(foreign);
        FAIL();
    } catch (const ReportFileError& e) {
        EXPECT_NE(QString::fromUtf8(e.what()).indexOf(QStringLiteral("чужой.frp")), -1);
    }
}
