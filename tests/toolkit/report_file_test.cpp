// Saving and opening built reports, and files that are not built reports.
#include "toolkit/report_file.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

std::string messageOfSave(const QString& path, const BuiltReport& report = sample())
{
    try {
        saveReportFile(report, path);
    } catch (const ReportFileError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(ReportFile, SaveRefusesWhatIsNotARegularFileAndWritesOwnerOnly)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("папка.frp"));
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_NE(messageOfSave(folder).find("каталог"), std::string::npos);
    EXPECT_TRUE(S_ISDIR(modeOf(folder)));

    // Refused before anything is opened: opening a FIFO would block.
    const QString fifo = dir.filePath(QStringLiteral("канал.frp"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_NE(messageOfSave(fifo).find("не обычный файл"), std::string::npos);
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
    EXPECT_THROW(openReportFile(fifo), ReportFileError);

    const QString fresh = dir.filePath(QStringLiteral("новый.frp"));
    saveReportFile(sample(), fresh);
    EXPECT_EQ(modeOf(fresh) & 0777, 0600u);
    const QString shared = dir.filePath(QStringLiteral("общий.frp"));
    QFile f(shared);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 0644), 0);
    saveReportFile(sample(), shared);
    EXPECT_EQ(modeOf(shared) & 0777, 0600u) << "a saved report is the owner's only";
    EXPECT_EQ(openReportFile(shared), sample());

    const std::string missing = messageOfSave(dir.filePath(QStringLiteral("нет/такого.frp")));
    EXPECT_NE(missing.find("не существует"), std::string::npos) << missing;
    EXPECT_EQ(missing.find("No such"), std::string::npos) << missing;
}

TEST(ReportFile, FailedSaveKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("отчет.frp"));
    saveReportFile(sample(), path);
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray previous = before.readAll();
    before.close();

    BuiltReport big = sample();
    for (int i = 0; i < 20000; ++i)
        big.pages[0].texts.push_back(big.pages[0].texts[0]);
    // A file size limit stands for a full disk: lowered for the save only,
    // with the signal that would end the process ignored.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limit = saved;
    limit.rlim_cur = 64 * 1024;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::string message = messageOfSave(path, big);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(message.find("слишком велик"), std::string::npos) << message;
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), previous);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("отчет.frp")})
        << "no temporary file is left behind";
}
