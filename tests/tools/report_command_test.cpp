// fpi-data report: the PDF's text read back, and the failure statuses.
#include "report/report_test_util.h"
#include "support/fpi_data_run.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace reporttest;

namespace {

// fpi-data report with the given arguments, under a Russian locale.
fpi_data_run::Run fpiData(const QStringList& args)
{
    fpi_data_run::Options options;
    options.environment = {"LC_ALL=ru_RU.UTF-8"};
    return fpi_data_run::runArgs(QStringList{QStringLiteral("report")} + args, options);
}

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class ReportCommand : public ::testing::Test {
protected:
    QString data() const { return QString::fromStdString(dir.path()); }
    QString out(const QString& name) const { return scratch.filePath(name); }

    ResultsDir dir{{ivanov(), {"Сидорова", "Анна", "Петровна", {2020, 11, 30}, {9, 8, 7, 6, 5, 4, 3, 2, 1, 9, 8, 7}}}};
    QTemporaryDir scratch;
};

}  // namespace

TEST_F(ReportCommand, WritesTheChosenResultAsSearchableText)
{
    const fpi_data_run::Run run = fpiData({data(), QStringLiteral("2"), out(QStringLiteral("отчет.pdf"))});
    ASSERT_EQ(run.status, 0) << run.err;
    const QString text = pdfText(out(QStringLiteral("отчет.pdf")));
    EXPECT_TRUE(text.contains(QStringLiteral("Тестируемый: Сидорова Анна Петровна"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Дата тестирования: 30.11.2020")));
    EXPECT_TRUE(text.contains(QStringLiteral("Маскулизм-феменизьм")));
    EXPECT_FALSE(text.contains(QStringLiteral("Иванов")));
    EXPECT_EQ(QDir(scratch.path()).entryList(QDir::Files), QStringList{QStringLiteral("отчет.pdf")});
}

TEST_F(ReportCommand, FailuresLeaveNoFileBehind)
{
    const QString target = out(QStringLiteral("r.pdf"));
    EXPECT_EQ(fpiData({data(), QStringLiteral("99"), target}).status, 1);
    EXPECT_EQ(fpiData({data(), QStringLiteral("1x"), target}).status, 1);
    EXPECT_EQ(fpiData({out(QStringLiteral("нет")), QStringLiteral("1"), target}).status, 1);
    EXPECT_EQ(fpiData({data(), QStringLiteral("1")}).status, 1);
    EXPECT_TRUE(QDir(scratch.path()).isEmpty());

    const fpi_data_run::Run unwritable = fpiData({data(), QStringLiteral("1"), out(QStringLiteral("нет/r.pdf"))});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_FALSE(unwritable.err.empty());
}

TEST_F(ReportCommand, AFailedRunKeepsTheEarlierFile)
{
    const QString target = out(QStringLiteral("r.pdf"));
    QFile earlier(target);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("прежний");
    earlier.close();
    EXPECT_EQ(fpiData({data(), QStringLiteral("5"), target}).status, 1);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(earlier.readAll()), QStringLiteral("прежний"));
}
