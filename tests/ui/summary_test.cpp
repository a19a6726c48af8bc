// The results summary window: a result is stored once per completed
// examination, its buttons, and no result lost when the program ends.
#include "shell_fixture.h"

#include "toolkit/flat_button.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"

#include <QLabel>
#include <QTest>

using namespace uitest;

namespace {

const std::vector<Item> kItems = {{2, "Одно"}, {3, "Другое"}};

class SummaryTest : public ShellTest {
protected:
    void runExamination(const QString& surname)
    {
        typeName(surname, QStringLiteral("Имя"), QStringLiteral("Отчество"));
        click("MainForm", "SpeedButton1");
        answer(true);
        answer(true);
    }
    QStringList labelTexts()
    {
        QStringList texts;
        for (QLabel* label : Form3->valueLabels)
            texts << label->text();
        return texts;
    }
};

}  // namespace

TEST_F(SummaryTest, ResultsButtonBeforeAnyTestShowsEmptyLabelsAndStoresNothing)
{
    data.createAll(kItems);
    startProgram();
    typeName(QStringLiteral("Сидоров"), QString(), QString());
    click("MainForm", "SpeedButton4");

    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(labelTexts(), QStringList(12, QStringLiteral("()")));
    EXPECT_TRUE(data.resultRows().empty());
    EXPECT_TRUE(box.errors.isEmpty());
}

TEST_F(SummaryTest, LaterShowingsKeepTheScoresButStoreNoSecondRow)
{
    data.createAll(kItems);
    startProgram();
    runExamination(QStringLiteral("Первый"));
    const QStringList scores = labelTexts();
    ASSERT_EQ(data.resultRows().size(), 1u);

    // A new subject's name and "Результаты": the previous scores are shown, not stored again.
    click("Form3", "SpeedButton3");
    typeName(QStringLiteral("Второй"), QStringLiteral("Имя"), QStringLiteral("Отчество"));
    click("MainForm", "SpeedButton4");
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(labelTexts(), scores);
    pressAltF4(Form3);
    ASSERT_TRUE(MainForm->isVisible());
    click("MainForm", "SpeedButton4");
    EXPECT_EQ(data.resultRows().size(), 1u);
}

TEST_F(SummaryTest, ExitEndsTheProgramFromTheHiddenMainWindow)
{
    data.createAll(kItems);
    startProgram();
    runExamination(QStringLiteral("Выходов"));
    EXPECT_EQ(programEnds, 0);
    click("Form3", "SpeedButton4");
    EXPECT_EQ(programEnds, 1);
    EXPECT_TRUE(box.messages == QStringList{QStringLiteral("Позовите обследуемого")});
}

TEST_F(SummaryTest, CaptionsTurnRedUnderThePointerAndBlackOverThePanel)
{
    data.createAll(kItems);
    startProgram();
    click("MainForm", "SpeedButton4");
    auto* journal = static_cast<toolkit::FlatButton*>(child(Form3, "SpeedButton1"));
    auto* exit = static_cast<toolkit::FlatButton*>(child(Form3, "SpeedButton4"));
    auto* print = static_cast<toolkit::FlatButton*>(child(Form3, "SpeedButton5"));

    QTest::mouseMove(journal);
    QTest::mouseMove(exit);
    QTest::mouseMove(print);
    EXPECT_EQ(journal->captionColor(), QColor(Qt::red));
    EXPECT_EQ(exit->captionColor(), QColor(Qt::red));
    EXPECT_EQ(print->captionColor(), QColor(Qt::black));

    QTest::mouseMove(Form3, QPoint(20, 340));
    EXPECT_EQ(journal->captionColor(), QColor(Qt::black));
    EXPECT_EQ(exit->captionColor(), QColor(Qt::black));
}

// Storing fails while the results table refuses new rows.
class UnsavedResultTest : public SummaryTest {
protected:
    void refuseRows() const
    {
        data.exec("Result.db",
                  "CREATE TRIGGER refuse BEFORE INSERT ON Result BEGIN SELECT RAISE(ABORT, 'диск защищён'); END;");
    }
    void acceptRows() const { data.exec("Result.db", "DROP TRIGGER refuse;"); }
};

TEST_F(UnsavedResultTest, FailedRowIsStoredWhenTheProgramEnds)
{
    data.createAll(kItems);
    refuseRows();
    startProgram();
    runExamination(QStringLiteral("Несохранёнов"));
    EXPECT_EQ(box.errors.size(), 1);
    EXPECT_TRUE(data.resultRows().empty());

    acceptRows();
    click("Form3", "SpeedButton4");
    EXPECT_EQ(programEnds, 1);
    ASSERT_EQ(data.resultRows().size(), 1u);
    EXPECT_EQ(data.resultRows()[0].rfind("Несохранёнов|Имя|Отчество|", 0), 0u);
    EXPECT_EQ(box.messages.size(), 1);   // only "Позовите обследуемого"
}

TEST_F(UnsavedResultTest, ResultThatStillCannotBeStoredIsShownBeforeTheEnd)
{
    data.createAll(kItems);
    refuseRows();
    startProgram();
    runExamination(QStringLiteral("Несохранёнов"));
    const QStringList scores = labelTexts();

    MainForm->close();
    EXPECT_EQ(programEnds, 1);
    ASSERT_EQ(box.messages.size(), 2);
    const QString shown = box.messages.last();
    EXPECT_TRUE(shown.contains(QStringLiteral("Несохранёнов"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Невротичность: ") + scores[0])) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Маскулизм-феменизьм: ") + scores[11])) << shown.toStdString();
    EXPECT_TRUE(data.resultRows().empty());
}
