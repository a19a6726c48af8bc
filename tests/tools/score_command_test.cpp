// Runs the built fpi-data score on files and standard input.
#include "support/fpi_data_run.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

namespace {

struct CommandRun {
    int status;
    QString out;
    QString err;
};

CommandRun runScore(const QStringList& args, const QByteArray& input = {})
{
    fpi_data_run::Options options;
    options.input = input.toStdString();
    const fpi_data_run::Run run = fpi_data_run::runArgs(QStringList{"score"} + args, options);
    return {run.status, QString::fromStdString(run.out), QString::fromStdString(run.err)};
}

QByteArray answers(const char* one)
{
    QByteArray out;
    for (int i = 0; i < 114; ++i)
        out += one;
    return out;
}

const QString kHeader = QStringLiteral(
    "label,raw1,raw2,raw3,raw4,raw5,raw6,raw7,raw8,raw9,raw10,raw11,raw12,"
    "Tip1,Tip2,Tip3,Tip4,Tip5,Tip6,Tip7,Tip8,Tip9,Tip10,Tip11,Tip12\r\n");

}  // namespace

TEST(ScoreCommand, ScoresEverySheetOfStandardInput)
{
    const QByteArray input = "# бланки школы №5\r\n"
                             "все да\t" + answers("Д") + "\r\n"
                             "\r\n"
                             "Сидоров, \"Коля\"\t" + answers("n") + "\n";
    const CommandRun run = runScore({}, input);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, kHeader +
                           "все да,16,12,14,11,7,10,10,9,13,10,13,10,9,9,9,9,3,9,9,9,9,8,9,8\r\n"
                           "\"Сидоров, \"\"Коля\"\"\",1,1,0,0,8,0,0,1,0,2,1,5,1,1,1,1,4,1,1,3,1,1,2,2\r\n");
    EXPECT_TRUE(run.err.isEmpty());
}

TEST(ScoreCommand, BadLinesAreReportedAndSkipped)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sheets.txt");
    std::ofstream(path.toStdString()) << "первый\t" << answers("+").constData() << "\n"
                                      << "без табуляции\n"
                                      << "короткий\tДДД\n"
                                      << "второй\t" << answers("-").constData() << "\n";
    const CommandRun run = runScore({path});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.startsWith(kHeader));
    EXPECT_EQ(run.out.count(QStringLiteral("\r\n")), 3) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("первый,")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("второй,")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Строка 2")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Строка 3")));
}

TEST(ScoreCommand, UnreadableFileAndHelp)
{
    EXPECT_EQ(runScore({"/nonexistent/sheets.txt"}).status, 2);
    QTemporaryDir dir;
    EXPECT_EQ(runScore({dir.path()}).status, 2);
    const CommandRun help = runScore({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("114")));
}

TEST(ScoreCommand, CheckedInputFromFileOrStandardInput)
{
    const QByteArray yes = answers("Д");
    // A byte-order mark before the first label is not part of it; "-" is standard input.
    const CommandRun bom = runScore({"-"}, "\xEF\xBB\xBFпервый\t" + yes + "\n");
    EXPECT_EQ(bom.status, 0) << bom.err.toStdString();
    EXPECT_TRUE(bom.out.startsWith(kHeader + QStringLiteral("первый,16,"))) << bom.out.toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath("bom.txt");
    std::ofstream(path.toStdString(), std::ios::binary) << "\xEF\xBB\xBFвторой\t" << yes.constData() << "\r\n";
    const CommandRun fromFile = runScore({path});
    EXPECT_EQ(fromFile.status, 0) << fromFile.err.toStdString();
    EXPECT_TRUE(fromFile.out.startsWith(kHeader + QStringLiteral("второй,16,"))) << fromFile.out.toStdString();

    // Labels that are not UTF-8 text are bad lines, named by number; the good ones are still scored.
    const CommandRun badLabels = runScore({}, "хороший\t" + yes + "\n\xC3\x28\t" + yes + "\n" +
                                                 QByteArray("нул\0евой\t", 16) + yes + "\n");
    EXPECT_EQ(badLabels.status, 1);
    EXPECT_TRUE(badLabels.err.contains(QStringLiteral("Строка 2: метка не в кодировке UTF-8"))) << badLabels.err.toStdString();
    EXPECT_TRUE(badLabels.err.contains(QStringLiteral("Строка 3: метка содержит нулевой байт"))) << badLabels.err.toStdString();
    EXPECT_EQ(badLabels.out.count(QStringLiteral("\r\n")), 2) << badLabels.out.toStdString();

    // No sheet at all is said, not passed over.
    for (const QByteArray& nothing : {QByteArray(), QByteArray("\xEF\xBB\xBF"), QByteArray("# только комментарий\n\n")}) {
        const CommandRun empty = runScore({}, nothing);
        EXPECT_EQ(empty.status, 1) << nothing.toStdString();
        EXPECT_TRUE(empty.err.contains(QStringLiteral("нет ни одного бланка"))) << empty.err.toStdString();
    }
}

TEST(ScoreCommand, LabelsThatLookLikeFormulasStayText)
{
    const QByteArray yes = answers("Д");
    const CommandRun run = runScore({}, "=1+2\t" + yes + "\n@Иванов\t" + yes + "\n-5\t" + yes + "\n+Петров\t" + yes + "\n");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QString scores = QStringLiteral(",16,12,14,11,7,10,10,9,13,10,13,10,9,9,9,9,3,9,9,9,9,8,9,8\r\n");
    EXPECT_EQ(run.out, kHeader + "\"'=1+2\"" + scores + "\"'@Иванов\"" + scores + "\"'-5\"" + scores +
                           "\"'+Петров\"" + scores);
}
