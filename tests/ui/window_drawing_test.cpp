// How two windows draw what the layout gives them: the registration window's
// group box with its caption set into the frame's top line, and the results
// summary window's title shown to its last letter.
#include "shell_fixture.h"

#include "ui/unit1.h"
#include "ui/unit3.h"

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>

using namespace uitest;

namespace {

class WindowDrawingTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        data.createAll({{2, "Утверждение"}});
        startProgram();
    }
};

// The rightmost column with ink when the label's text is drawn without a clip.
int lastInkColumn(const QLabel* label)
{
    QImage image(label->width() * 2, label->height(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(label->font());
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, 0, image.width(), image.height()), int(label->alignment()), label->text());
    }
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) != QColor(Qt::white))
                return x;
    return -1;
}

}  // namespace

TEST_F(WindowDrawingTest, GroupBoxCaptionSitsInTheFramesTopLine)
{
    auto* group = MainForm->findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->geometry(), QRect(12, 92, 477, 133));
    EXPECT_EQ(group->title(), QStringLiteral(" Данные о тестируемом "));

    const QImage image = group->grab().toImage();
    const QColor background = group->palette().color(QPalette::Window);
    // The top line: the first row from the top that is not background at the box's left part.
    int line = -1;
    for (int y = 0; y < image.height() && line < 0; ++y)
        if (image.pixelColor(3, y) != background)
            line = y;
    ASSERT_GE(line, 0);
    // The frame starts at the box's own top, its top line in the caption's middle.
    const int captionHeight = group->fontMetrics().height();
    EXPECT_NEAR(line, captionHeight / 2, 1);
    // The line is broken where the caption stands: its leading blank shows the background.
    EXPECT_EQ(image.pixelColor(9, line), background);
    EXPECT_EQ(image.pixelColor(9, line + 1), background);
    // ...and runs on to the right end.
    EXPECT_NE(image.pixelColor(group->width() - 10, line), background);

    // The labels inside stand below the line, clear of it.
    for (QLabel* label : group->findChildren<QLabel*>())
        EXPECT_GT(label->y(), line + 1) << label->text().toStdString();
}

TEST_F(WindowDrawingTest, SummaryTitleShowsItsLastLetter)
{
    auto* title = Form3->findChild<QLabel*>(QStringLiteral("Label25"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("Результаты тестирования FPI"));
    EXPECT_EQ(title->pos(), QPoint(108, 8));
    EXPECT_GE(title->width(), 594);
    EXPECT_LT(lastInkColumn(title), title->width());
    // Still on the panel.
    EXPECT_LE(title->geometry().right(), title->parentWidget()->width() - 2);
}
