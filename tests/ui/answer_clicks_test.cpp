// The answer buttons and the double-click: an item the subject has not seen is
// never answered, and clicks at a reading pace are every one counted.
#include "shell_fixture.h"

#include "toolkit/flat_button.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QStyleHints>
#include <QTest>

using namespace uitest;

namespace {

const std::vector<Item> kItems = {{1, "Первое утверждение"}, {5, "Второе утверждение"}, {12, "Третье утверждение"}};

class AnswerClicksTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        interval_ = QGuiApplication::styleHints()->mouseDoubleClickInterval();
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(400);
        data.createAll(kItems);
        startProgram();
        typeName(QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович"));
    }
    void TearDown() override
    {
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(interval_);
        ShellTest::TearDown();
    }

    QString memoText() { return Form2->findChild<QPlainTextEdit*>(QStringLiteral("DBMemo1"))->toPlainText(); }
    QWidget* yes() { return child(Form2, "SpeedButton1"); }
    QWidget* no() { return child(Form2, "SpeedButton2"); }
    int currentItem() { return MainForm->tbVopros.recNo(); }

    // The events of a double-click as the platform delivers its second click:
    // a press, a double-click and a release.
    static void secondClickOfDoubleClick(QWidget* button)
    {
        const QPoint at = button->rect().center();
        QTest::mousePress(button, Qt::LeftButton, {}, at);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, at, button->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(button, &dbl);
        QTest::mouseRelease(button, Qt::LeftButton, {}, at);
    }

private:
    int interval_ = 0;
};

}  // namespace

TEST_F(AnswerClicksTest, DoubleClickOnStartNeverAnswersTheFirstItem)
{
    clickTime = 10000;
    click("MainForm", "SpeedButton1");
    ASSERT_TRUE(Form2->isVisible());
    // The second click lands on "Да", which lies under "Старт".
    clickTime += 150;
    secondClickOfDoubleClick(yes());
    EXPECT_EQ(currentItem(), 0);
    EXPECT_EQ(memoText(), QStringLiteral("Первое утверждение"));
    EXPECT_FALSE(yes()->property("down").toBool());

    // Once read, the item is answered as usual.
    clickTime += 1000;
    QTest::mouseClick(yes(), Qt::LeftButton);
    EXPECT_EQ(currentItem(), 1);
    EXPECT_EQ(memoText(), QStringLiteral("Второе утверждение"));
}

TEST_F(AnswerClicksTest, DoubleClickOnAnAnswerAnswersExactlyOneItem)
{
    click("MainForm", "SpeedButton1");
    clickTime += 2000;
    QTest::mouseClick(no(), Qt::LeftButton);
    clickTime += 120;
    secondClickOfDoubleClick(no());
    EXPECT_EQ(currentItem(), 1);
    EXPECT_EQ(memoText(), QStringLiteral("Второе утверждение"));

    // Also when both clicks come at one instant.
    clickTime += 2000;
    QTest::mouseClick(yes(), Qt::LeftButton);
    secondClickOfDoubleClick(yes());
    EXPECT_EQ(currentItem(), 2);
    EXPECT_EQ(memoText(), QStringLiteral("Третье утверждение"));
    EXPECT_TRUE(data.resultRows().empty());
    EXPECT_TRUE(box.messages.isEmpty());
}

TEST_F(AnswerClicksTest, SingleClicksAtAReadingPaceAreEveryOneCounted)
{
    click("MainForm", "SpeedButton1");
    // Just past the double-click interval after each item appeared.
    for (int i = 0; i < 3; ++i) {
        clickTime += 401;
        QTest::mouseClick(i % 2 ? no() : yes(), Qt::LeftButton);
    }
    EXPECT_EQ(box.messages, QStringList{QStringLiteral("Позовите обследуемого")});
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(data.resultRows().size(), 1u);
}

TEST_F(AnswerClicksTest, TheIntervalIsThePlatformsDoubleClickInterval)
{
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(200);
    click("MainForm", "SpeedButton1");
    clickTime += 199;
    QTest::mouseClick(yes(), Qt::LeftButton);
    EXPECT_EQ(currentItem(), 0);
    clickTime += 1;
    QTest::mouseClick(yes(), Qt::LeftButton);
    EXPECT_EQ(currentItem(), 1);
}
