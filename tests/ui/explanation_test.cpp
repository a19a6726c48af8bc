// The scale explanation window: the structure of its two texts, the grouped
// toggle buttons, and the state kept between showings.
#include "ui/explanation_texts.h"
#include "ui/unit5.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include <utility>
#include <vector>

namespace {

struct Section {
    QString heading;
    int bodyLines;
};

// Checks a heading, then that many non-empty lines, from `at`; returns the
// position after the body.
int expectSection(const QStringList& lines, int at, const Section& section)
{
    EXPECT_EQ(lines.value(at), section.heading);
    for (int i = 1; i <= section.bodyLines; ++i) {
        EXPECT_FALSE(lines.value(at + i).trimmed().isEmpty()) << section.heading.toStdString() << " line " << i;
        // A dash in running text is an em dash, never a hyphen between spaces.
        EXPECT_FALSE(lines.value(at + i).contains(QStringLiteral(" - ")))
            << section.heading.toStdString() << " line " << i;
    }
    return at + 1 + section.bodyLines;
}

TEST(ExplanationTexts, ShortExplanationHasTheHeadlineIntroductionAndTwelveSections)
{
    const QStringList& lines = ui::shortExplanation();
    ASSERT_EQ(lines.size(), 76);
    EXPECT_EQ(lines[0], "Опросник FPI");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "ОПРОСНИК FPI СОДЕРЖИТ 12 ШКАЛ. ШКАЛЫ 1-9 ЯВЛЯЮТСЯ ОСНОВНЫМИ, 10-");
    EXPECT_EQ(lines[3], "12 - ПРОИЗВОДНЫМИ, ИНТЕГРИРУЮЩИМИ.");
    EXPECT_EQ(lines[4], "");

    const std::vector<Section> sections = {
        {"Шкала 1 - НЕВРОТИЧНОСТЬ.", 3},
        {"Шкала 2 - СПОНТАННАЯ АГРЕССИВНОСТЬ.", 3},
        {"Шкала 3 - ДЕПРЕССИВНОСТЬ.", 4},
        {"Шкала 4 - РАЗДРАЖИТЕЛЬНОСТЬ.", 3},
        {"Шкала 5 - ОБЩИТЕЛЬНОСТЬ.", 4},
        {"Шкала 6 - УРАВНОВЕШЕННОСТЬ.", 4},
        {"Шкала 7 - РЕАКТИВНАЯ АГРЕССИВНОСТЬ.", 4},
        {"Шкала 8 - ЗАСТЕНЧИВОСТЬ", 5},
        {"Шкала 9 - ОТКРЫТОСТЬ", 6},
        {"Шкала 10 – ЭКСТРАВЕРСИЯ - ИНТРОВЕРСИЯ.", 2},
        {"Шкала 11 - ЭМОЦИОНАЛЬНАЯ ЛАБИЛЬНОСТЬ.", 5},
        {"Шкала 12 - МАСКУЛИЗМ-ФЕМИНИЗМ.", 2},
    };
    int at = 5;
    for (const Section& section : sections) {
        at = expectSection(lines, at, section);
        EXPECT_EQ(lines.value(at), "") << "after " << section.heading.toStdString();
        ++at;
    }
    EXPECT_EQ(at, 74);
    EXPECT_EQ(lines[74], "");
    EXPECT_EQ(lines[75], "");
}

TEST(ExplanationTexts, FullExplanationHasFiveSectionsSeparatedByOneEmptyLine)
{
    const QStringList& lines = ui::fullExplanation();
    ASSERT_EQ(lines.size(), 117);
    const std::vector<Section> sections = {
        {"ШКАЛА НЕВРОТИЧНОСТИ.", 28},
        {"ШКАЛА ПСИХОТИЗМА.", 22},
        {"ШКАЛА ДЕПРЕССИИ.", 15},
        {"ШКАЛА РЕАКТИВНОЙ АГРЕССИВНОСТИ.", 23},
        {"МАСКУЛМИКОСТЬ-ФЕМИННОСТЬ.", 20},
    };
    int at = 0;
    for (const Section& section : sections) {
        if (at > 0) {
            EXPECT_EQ(lines.value(at), "") << "before " << section.heading.toStdString();
            ++at;
        }
        at = expectSection(lines, at, section);
    }
    EXPECT_EQ(at, 117);
}

class ExplanationWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Each pane shows every stored line of its text as a line of its own.
    static QStringList shownLines(const QTextEdit* pane) { return pane->toPlainText().split(QLatin1Char('\n')); }

    TFormDesc window;
};

TEST_F(ExplanationWindow, LayoutAndTexts)
{
    EXPECT_EQ(window.windowTitle(), "Опросник FPI - пояснение шкал");
    EXPECT_EQ(window.size(), QSize(552, 643));
    EXPECT_EQ(window.RichEdit1->geometry(), QRect(8, 8, 537, 537));
    EXPECT_EQ(window.RichEdit2->geometry(), QRect(8, 8, 537, 537));
    EXPECT_EQ(window.SpeedButton1->geometry(), QRect(12, 588, 249, 45));
    EXPECT_EQ(window.SpeedButton2->geometry(), QRect(280, 588, 249, 45));
    EXPECT_EQ(window.SpeedButton1->text(), "Краткое пояснение");
    EXPECT_EQ(window.SpeedButton2->text(), "Полное пояснение");
    EXPECT_EQ(shownLines(window.RichEdit1), ui::shortExplanation());
    EXPECT_EQ(shownLines(window.RichEdit2), ui::fullExplanation());
    EXPECT_EQ(window.RichEdit1->document()->blockCount(), 76);
    EXPECT_EQ(window.RichEdit2->document()->blockCount(), 117);
}

TEST_F(ExplanationWindow, FirstShowingHasTheShortExplanation)
{
    EXPECT_TRUE(window.SpeedButton1->isChecked());
    EXPECT_FALSE(window.SpeedButton2->isChecked());
    EXPECT_TRUE(window.RichEdit1->isVisible());
    EXPECT_FALSE(window.RichEdit2->isVisible());
}

TEST_F(ExplanationWindow, TogglesAreExclusiveAndNeverReleased)
{
    click(window.SpeedButton2);
    EXPECT_FALSE(window.SpeedButton1->isChecked());
    EXPECT_TRUE(window.SpeedButton2->isChecked());
    EXPECT_FALSE(window.RichEdit1->isVisible());
    EXPECT_TRUE(window.RichEdit2->isVisible());

    click(window.SpeedButton2);
    EXPECT_TRUE(window.SpeedButton2->isChecked());
    EXPECT_TRUE(window.RichEdit2->isVisible());
    EXPECT_FALSE(window.RichEdit1->isVisible());

    click(window.SpeedButton1);
    EXPECT_TRUE(window.SpeedButton1->isChecked());
    EXPECT_FALSE(window.SpeedButton2->isChecked());
    EXPECT_TRUE(window.RichEdit1->isVisible());
    EXPECT_FALSE(window.RichEdit2->isVisible());
}

// Brightness of a button's edge: the mean lightness of its outermost rows or columns.
int edgeLightness(QPushButton* button, Qt::Edge edge)
{
    const QImage image = button->grab().toImage();
    const int w = image.width();
    const int h = image.height();
    int sum = 0;
    int count = 0;
    for (int d = 0; d < 2; ++d) {
        for (int i = 4; i < (edge == Qt::TopEdge || edge == Qt::BottomEdge ? w : h) - 4; ++i) {
            const QPoint p = edge == Qt::TopEdge      ? QPoint(i, d)
                             : edge == Qt::BottomEdge ? QPoint(i, h - 1 - d)
                             : edge == Qt::LeftEdge   ? QPoint(d, i)
                                                      : QPoint(w - 1 - d, i);
            sum += QColor(image.pixel(p)).lightness();
            ++count;
        }
    }
    return sum / count;
}

TEST_F(ExplanationWindow, ThePressedButtonLooksSunkenAndTheOtherRaised)
{
    auto sunken = [](QPushButton* b) {
        return edgeLightness(b, Qt::TopEdge) < edgeLightness(b, Qt::BottomEdge) &&
               edgeLightness(b, Qt::LeftEdge) < edgeLightness(b, Qt::RightEdge);
    };
    auto raised = [](QPushButton* b) {
        return edgeLightness(b, Qt::TopEdge) > edgeLightness(b, Qt::BottomEdge) &&
               edgeLightness(b, Qt::LeftEdge) > edgeLightness(b, Qt::RightEdge);
    };
    EXPECT_TRUE(sunken(window.SpeedButton1));
    EXPECT_TRUE(raised(window.SpeedButton2));
    click(window.SpeedButton2);
    EXPECT_TRUE(raised(window.SpeedButton1));
    EXPECT_TRUE(sunken(window.SpeedButton2));
}

TEST_F(ExplanationWindow, AClickOnThePressedButtonStillRunsTheHandler)
{
    window.RichEdit1->hide();
    click(window.SpeedButton1);
    EXPECT_TRUE(window.SpeedButton1->isChecked());
    EXPECT_TRUE(window.RichEdit1->isVisible());
}

TEST_F(ExplanationWindow, PanesAreReadOnlyButSelectable)
{
    QTextEdit* pane = window.RichEdit1;
    pane->setFocus();
    QTest::keyClicks(pane, "abc");
    QTest::keyClick(pane, Qt::Key_Delete);
    EXPECT_EQ(shownLines(pane), ui::shortExplanation());
    QTest::keyClick(pane, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(pane->textCursor().selectedText(), "Опросник FPI");
}

TEST_F(ExplanationWindow, ChosenPaneScrollAndSelectionSurviveClosing)
{
    click(window.SpeedButton2);
    QTextCursor cursor = window.RichEdit2->textCursor();
    cursor.setPosition(40);
    cursor.setPosition(60, QTextCursor::KeepAnchor);
    window.RichEdit2->setTextCursor(cursor);
    QScrollBar* bar = window.RichEdit2->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 100);
    bar->setValue(100);

    window.close();
    EXPECT_FALSE(window.isVisible());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_TRUE(window.SpeedButton2->isChecked());
    EXPECT_TRUE(window.RichEdit2->isVisible());
    EXPECT_FALSE(window.RichEdit1->isVisible());
    EXPECT_EQ(bar->value(), 100);
    EXPECT_EQ(window.RichEdit2->textCursor().selectionStart(), 40);
    EXPECT_EQ(window.RichEdit2->textCursor().selectionEnd(), 60);
}

}  // namespace
