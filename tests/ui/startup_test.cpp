// Start-up as the windows show it: the six windows in their order, and each
// way the data directory can fail.
#include "shell_fixture.h"

#include "toolkit/date_edit.h"
#include "toolkit/operator_box.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"
#include "ui/unit4.h"
#include "ui/unit5.h"
#include "ui/unit6.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>

using namespace uitest;

namespace {

const QString kConnectionFailed = QStringLiteral("Ошибка при соеденение с БД ");

class StartupTest : public ShellTest {
protected:
    void expectConnectionFailure(const char* naming)
    {
        ASSERT_EQ(box.messages.size(), 1);
        EXPECT_TRUE(box.messages[0].startsWith(kConnectionFailed));
        EXPECT_TRUE(box.messages[0].contains(QLatin1String(naming))) << box.messages[0].toStdString();
        EXPECT_GT(box.messages[0].size(), kConnectionFailed.size());
        // The date is set only after a successful connection.
        EXPECT_TRUE(MainForm->deDateReg->text().trimmed().isEmpty());
        EXPECT_TRUE(MainForm->isVisible());
    }
};

}  // namespace

TEST_F(StartupTest, CreatesTheSixWindowsAndShowsOnlyTheMainOne)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    EXPECT_EQ(toolkit::boxCaption(), QStringLiteral("Опросник FPI"));
    for (QWidget* window : std::initializer_list<QWidget*>{Form2, Form3, fmResult, FormDesc, Form6}) {
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->isVisible());
    }
    EXPECT_TRUE(MainForm->tbFamil.active());
    EXPECT_TRUE(MainForm->tbVopros.active());
    EXPECT_TRUE(MainForm->tbResult.active());
    EXPECT_TRUE(box.messages.isEmpty());
    EXPECT_TRUE(box.errors.isEmpty());
}

TEST_F(StartupTest, WindowsAreCentredAgainAtEveryShowing)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    const QPoint centre = MainForm->screen()->availableGeometry().center();
    EXPECT_LE((MainForm->frameGeometry().center() - centre).manhattanLength(), 2);
    MainForm->move(0, 0);
    MainForm->hide();
    MainForm->show();
    EXPECT_LE((MainForm->frameGeometry().center() - centre).manhattanLength(), 2);
}

TEST_F(StartupTest, MissingDataDirectoryIsReportedAndTheProgramStillRuns)
{
    QDir(QString::fromStdString(data.path())).removeRecursively();
    startProgram();
    expectConnectionFailure("");
    // The results summary window cannot open the results table either.
    EXPECT_EQ(box.errors.size(), 1);

    // "Новое обследование" still leads back although nothing is open.
    click("MainForm", "SpeedButton4");
    EXPECT_TRUE(Form3->isVisible());
    click("Form3", "SpeedButton3");
    EXPECT_TRUE(MainForm->isVisible());
}

TEST_F(StartupTest, MissingSubjectsTableLeavesTheOthersToTheSummaryWindow)
{
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults();
    startProgram();
    expectConnectionFailure("TestFam");
    EXPECT_FALSE(MainForm->tbVopros.active());
    EXPECT_TRUE(MainForm->tbResult.active());
    EXPECT_TRUE(box.errors.isEmpty());
}

TEST_F(StartupTest, ResultsTableWithoutTip7FailsAtBothOpenings)
{
    data.createSubjects({{"Петров", "Пётр", "Петрович"}});
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults(false);
    startProgram();
    expectConnectionFailure("Tip7");
    EXPECT_TRUE(MainForm->tbVopros.active());
    ASSERT_EQ(box.errors.size(), 1);
    EXPECT_TRUE(box.errors[0].contains(QLatin1String("Tip7")));
    EXPECT_FALSE(MainForm->tbResult.active());
}

TEST_F(StartupTest, QuestionnaireWithoutItemTextsIsReportedOnce)
{
    data.createSubjects({{"Петров", "Пётр", "Петрович"}});
    data.exec("FpiBd.db", "CREATE TABLE FpiBd(NumVopros INTEGER, Tekst TEXT); INSERT INTO FpiBd VALUES(2, 'x');");
    data.createResults();
    startProgram();
    ASSERT_EQ(box.errors.size(), 1);
    EXPECT_TRUE(box.errors[0].contains(QLatin1String("Vopros"))) << box.errors[0].toStdString();
    EXPECT_TRUE(MainForm->isVisible());
}
