// A whole examination driven through the windows' buttons, from "Старт" to the
// stored row, and the failures of the run.
#include "shell_fixture.h"
#include "support/fpi_data_run.h"

#include "engine/conversion.h"
#include "engine/scoring_key.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace uitest;

namespace {

const std::vector<Item> kItems = {{1, "Первое утверждение"}, {5, "Второе утверждение"},
                                  {12, "Третье утверждение"}, {113, "Четвёртое утверждение"}};

// The scale scores the key and the conversion tables give for these answers.
std::vector<int> expectedScores(const std::vector<Item>& items, const std::vector<bool>& answers)
{
    std::vector<int> scores;
    for (int scale = 1; scale <= 12; ++scale) {
        int raw = 0;
        for (size_t i = 0; i < answers.size(); ++i)
            raw += engine::keyed(scale, items[i].number, answers[i]) ? 1 : 0;
        scores.push_back(engine::convertScale(scale, raw));
    }
    return scores;
}

std::string row(const std::string& name, const std::vector<int>& scores)
{
    std::string text = name + "|" + QDate::currentDate().toString(Qt::ISODate).toStdString() + "|";
    for (size_t i = 0; i < scores.size(); ++i)
        text += (i ? "," : "") + std::to_string(scores[i]);
    return text;
}

class ExaminationTest : public ShellTest {
protected:
    QString memoText() { return Form2->findChild<QPlainTextEdit*>(QStringLiteral("DBMemo1"))->toPlainText(); }

    void startExamination()
    {
        typeName(QStringLiteral(" Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович "));
        click("MainForm", "SpeedButton1");
    }

    void answerAll(const std::vector<bool>& answers)
    {
        for (bool yes : answers)
            answer(yes);
    }

    // Runs the real data command, a program of its own, on the data directory.
    void importItems(const std::vector<Item>& items)
    {
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        QFile file(folder.filePath(QStringLiteral("items.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (const Item& item : items)
            file.write(QByteArray::number(item.number) + '\t' + QByteArray(item.text) + '\n');
        file.close();
        const fpi_data_run::Run import = fpi_data_run::run({"import-items", data.path(), file.fileName().toStdString()});
        ASSERT_EQ(import.status, 0) << import.err;
    }
};

const std::vector<Item> kNewItems = {{2, "Новое первое"}, {3, "Новое второе"}, {14, "Новое третье"},
                                     {40, "Новое четвёртое"}, {77, "Новое пятое"}};

}  // namespace

TEST_F(ExaminationTest, RunsFromStartToOneStoredRowAndTheScoreLabels)
{
    data.createAll(kItems);
    startProgram();
    startExamination();
    ASSERT_TRUE(Form2->isVisible());
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_EQ(memoText(), QStringLiteral("Первое утверждение"));

    bool primaryVisibleDuringMessage = true;
    box.onMessage = [&] {
        primaryVisibleDuringMessage = MainForm->isVisible() || Form2->isVisible() || Form3->isVisible();
    };
    const std::vector<bool> answers = {true, false, true, false};
    answer(answers[0]);
    EXPECT_EQ(memoText(), QStringLiteral("Второе утверждение"));
    answerAll({answers[1], answers[2]});
    EXPECT_EQ(memoText(), QStringLiteral("Четвёртое утверждение"));
    EXPECT_TRUE(box.messages.isEmpty());
    answer(answers[3]);

    EXPECT_EQ(box.messages, QStringList{QStringLiteral("Позовите обследуемого")});
    EXPECT_FALSE(primaryVisibleDuringMessage);
    EXPECT_TRUE(box.errors.isEmpty()) << box.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_TRUE(Form3->isVisible());
    const std::vector<int> scores = expectedScores(kItems, answers);
    // The name is stored exactly as typed, spaces included.
    EXPECT_EQ(data.resultRows(), std::vector<std::string>{row(" Иванов|Иван|Иванович ", scores)});
    for (int scale = 1; scale <= 12; ++scale)
        EXPECT_EQ(Form3->valueLabels[scale - 1]->text(), QString::number(scores[scale - 1])) << "scale " << scale;
}

TEST_F(ExaminationTest, NewExaminationStartsAtTheFirstItemWithClearedScores)
{
    data.createAll(kItems);
    startProgram();
    startExamination();
    answerAll({true, true, true, true});
    click("Form3", "SpeedButton3");

    EXPECT_FALSE(Form3->isVisible());
    ASSERT_TRUE(MainForm->isVisible());
    EXPECT_TRUE(MainForm->Edit1->text().isEmpty());
    startExamination();
    EXPECT_EQ(memoText(), QStringLiteral("Первое утверждение"));
    answerAll({false, false, false, false});

    const auto rows = data.resultRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], row(" Иванов|Иван|Иванович ", expectedScores(kItems, {false, false, false, false})));
}

TEST_F(ExaminationTest, OneItemQuestionnaireEndsAfterTheFirstAnswer)
{
    data.createAll({{9, "Единственное утверждение"}});
    startProgram();
    startExamination();
    answer(true);
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(data.resultRows(), std::vector<std::string>{row(" Иванов|Иван|Иванович ", expectedScores({{9, ""}}, {true}))});
}

TEST_F(ExaminationTest, SummaryClosedBySystemCommandLeavesTheQuestionnaireAtItsEnd)
{
    data.createAll(kItems);
    startProgram();
    startExamination();
    answerAll({false, false, false, false});
    pressAltF4(Form3);
    EXPECT_FALSE(Form3->isVisible());
    ASSERT_TRUE(MainForm->isVisible());

    // The next run shows the last item and completes with that one answer's points.
    startExamination();
    EXPECT_EQ(memoText(), QStringLiteral("Четвёртое утверждение"));
    answer(true);
    EXPECT_TRUE(Form3->isVisible());
    const auto rows = data.resultRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], row(" Иванов|Иван|Иванович ", expectedScores({{113, ""}}, {true})));
}

TEST_F(ExaminationTest, ItemWithoutNumberStaysOnScreenAndReportsEachAnswer)
{
    data.createAll({{0, "Без номера"}, {5, "С номером"}});
    startProgram();
    startExamination();
    answer(true);
    answer(false);
    EXPECT_EQ(box.errors.size(), 2);
    EXPECT_EQ(memoText(), QStringLiteral("Без номера"));
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_TRUE(data.resultRows().empty());
}

TEST_F(ExaminationTest, EmptyQuestionnaireNeverCompletes)
{
    data.createAll({});
    startProgram();
    startExamination();
    EXPECT_TRUE(memoText().isEmpty());
    answer(true);
    EXPECT_EQ(box.errors.size(), 1);
    EXPECT_TRUE(box.messages.isEmpty());
    EXPECT_TRUE(Form2->isVisible());

    // The close box still ends the program.
    Form2->close();
    EXPECT_EQ(programEnds, 1);
}

TEST_F(ExaminationTest, ClosingTheQuestionWindowEndsTheProgramWithoutARow)
{
    data.createAll(kItems);
    startProgram();
    startExamination();
    answer(true);
    Form2->close();
    EXPECT_EQ(programEnds, 1);
    EXPECT_TRUE(data.resultRows().empty());
    EXPECT_TRUE(box.messages.isEmpty());
}

TEST_F(ExaminationTest, ItemsReplacedByAnotherProgramMidRunEndTheRunWithoutARow)
{
    data.createAll(kItems);
    startProgram();
    startExamination();
    answerAll({true, false});
    ASSERT_EQ(memoText(), QStringLiteral("Третье утверждение"));

    // The operator's other program loads new items into the same data directory.
    ASSERT_NO_FATAL_FAILURE(importItems(kNewItems));

    answer(true);
    EXPECT_EQ(box.messages, QStringList{QStringLiteral("Вопросы опросника изменены другой программой во время "
                                                       "обследования. Обследование прервано, результат не сохранён.")});
    EXPECT_TRUE(box.errors.isEmpty()) << box.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(data.resultRows().empty());
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_FALSE(Form3->isVisible());
    ASSERT_TRUE(MainForm->isVisible());
    EXPECT_EQ(memoText(), QStringLiteral("Новое первое"));

    // The next examination goes through the new items from the first, on cleared scores.
    box.messages.clear();
    startExamination();
    const std::vector<bool> answers = {true, true, false, true, false};
    answerAll(answers);
    EXPECT_EQ(box.messages, QStringList{QStringLiteral("Позовите обследуемого")});
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(data.resultRows(),
              std::vector<std::string>{row(" Иванов|Иван|Иванович ", expectedScores(kNewItems, answers))});
}

TEST_F(ExaminationTest, ItemsReplacedBetweenExaminationsAreAskedFromTheFirstNewItem)
{
    data.createAll(kItems);
    startProgram();
    startExamination();
    answerAll({true, true, true, true});
    pressAltF4(Form3);   // leaves the questionnaire at its end
    ASSERT_TRUE(MainForm->isVisible());

    ASSERT_NO_FATAL_FAILURE(importItems(kNewItems));
    startExamination();
    EXPECT_EQ(memoText(), QStringLiteral("Новое первое"));
    const std::vector<bool> answers = {false, true, true, false, true};
    answerAll(answers);
    EXPECT_EQ(box.messages, QStringList(2, QStringLiteral("Позовите обследуемого")));
    const auto rows = data.resultRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], row(" Иванов|Иван|Иванович ", expectedScores(kNewItems, answers)));
}
