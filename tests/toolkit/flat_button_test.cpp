// The flat button and the window helpers: pointer movement reported to the
// window, clicks, bare-background movement and centring at each showing.
#include "toolkit/flat_button.h"
#include "toolkit/window_util.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

TEST(FlatButton, ReportsMovesAndClicksAndKeepsTheCaptionColourItIsGiven)
{
    QWidget window;
    window.resize(300, 200);
    auto* button = new toolkit::FlatButton(QStringLiteral("Старт"), &window);
    button->setGeometry(10, 10, 100, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QSignalSpy moved(button, &toolkit::FlatButton::mouseMoved);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseMove(button, QPoint(50, 20));
    EXPECT_GE(moved.count(), 1);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    button->setCaptionColor(Qt::red);
    EXPECT_EQ(button->captionColor(), QColor(Qt::red));
}

TEST(WindowUtil, BareMovesAreThoseOverNoChildControl)
{
    QWidget window;
    window.resize(300, 200);
    auto* label = new QLabel(QStringLiteral("Надпись"), &window);
    label->setGeometry(10, 10, 100, 30);
    auto* button = new toolkit::FlatButton(QStringLiteral("Кнопка"), &window);
    button->setGeometry(10, 100, 100, 40);
    int bareMoves = 0;
    toolkit::onBareMouseMove(&window, [&] { ++bareMoves; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::mouseMove(label, QPoint(5, 5));
    QTest::mouseMove(button, QPoint(5, 5));
    EXPECT_EQ(bareMoves, 0);
    QTest::mouseMove(&window, QPoint(250, 150));
    EXPECT_EQ(bareMoves, 1);
}

TEST(WindowUtil, KeptCentredAtEveryShowing)
{
    QWidget window;
    window.resize(200, 100);
    toolkit::keepCentred(&window);
    window.show();
    const QPoint centre = window.screen()->availableGeometry().center();
    EXPECT_LE((window.frameGeometry().center() - centre).manhattanLength(), 2);

    window.hide();
    window.move(0, 0);
    window.show();
    EXPECT_LE((window.frameGeometry().center() - centre).manhattanLength(), 2);
}

TEST(WindowUtil, ClickHandlerRunsOnALeftClickInside)
{
    QLabel label(QStringLiteral("ссылка"));
    int clicks = 0;
    toolkit::onClick(&label, [&] { ++clicks; });
    label.show();
    QTest::mouseClick(&label, Qt::RightButton);
    EXPECT_EQ(clicks, 0);
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}
