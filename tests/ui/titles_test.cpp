// Window titles exactly as the windows give them, and the real message boxes:
// the application title as caption and no pictures on their buttons.
#include "shell_fixture.h"
#include "support/modal_dialog.h"

#include "toolkit/operator_box.h"
#include "ui/app_shell.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"
#include "ui/unit4.h"
#include "ui/unit5.h"
#include "ui/unit6.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>

#include <optional>

using namespace uitest;

namespace {

// A style that puts pictures on dialog buttons, as several desktop styles do.
class ButtonPicturesStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// Puts the picture style in force for the test's duration.
class ButtonPictures {
public:
    ButtonPictures()
        : previous_(QApplication::style()->name())
    {
        QApplication::setStyle(new ButtonPicturesStyle(QStyleFactory::create(previous_)));
    }
    ~ButtonPictures() { QApplication::setStyle(previous_); }

private:
    QString previous_;
};

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    bool buttonPictures = false;
};

// Runs `open`, which shows a modal box, reads the box from inside its loop and
// answers "OK". A box that never comes leaves the result empty; whatever other
// modal window comes instead is closed by the watchdog, so the test never hangs.
std::optional<SeenBox> seeBox(const std::function<void()>& open)
{
    std::optional<SeenBox> seen;
    testsupport::closeExpectedModal(open, [&seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        SeenBox s;
        s.caption = box->windowTitle();
        s.text = box->text();
        s.icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            s.buttons << button->text();
            s.buttonPictures = s.buttonPictures || !button->icon().isNull();
        }
        seen = s;
        box->button(QMessageBox::Ok)->click();
    });
    return seen;
}

class TitlesTest : public ShellTest {};

}  // namespace

TEST_F(TitlesTest, EveryWindowTitleIsItsOwnCaptionAndNothingIsAppended)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Психологический опросник FPI (версия 1.1.2)"));
    EXPECT_EQ(Form2->windowTitle(), QStringLiteral("FPI"));
    EXPECT_EQ(Form3->windowTitle(), QStringLiteral("Результаты выполненого теста"));
    EXPECT_EQ(fmResult->windowTitle(), QStringLiteral("Результаты тестирования"));
    EXPECT_EQ(FormDesc->windowTitle(), QStringLiteral("Опросник FPI - пояснение шкал"));
    EXPECT_EQ(Form6->windowTitle(), QStringLiteral("Сведения о ранее зарегестрированых пациентах"));
    // A display name of the application's own is appended to every title on
    // some platforms; without one it is just the application's name.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    EXPECT_EQ(toolkit::boxCaption(), QStringLiteral("Опросник FPI"));
}

TEST_F(TitlesTest, MessageErrorAndQuestionBoxesCarryTheTitleAndNoPicturesOnTheirButtons)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    const ButtonPictures pictures;
    {
        // The style in force does give standard buttons pictures.
        QDialogButtonBox probe(QDialogButtonBox::Ok);
        ASSERT_FALSE(probe.button(QDialogButtonBox::Ok)->icon().isNull());
    }
    toolkit::setOperatorBox(nullptr);

    const auto message = seeBox([] { toolkit::operatorBox().message(QStringLiteral("Позовите обследуемого")); });
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->caption, QStringLiteral("Опросник FPI"));
    EXPECT_EQ(message->text, QStringLiteral("Позовите обследуемого"));
    EXPECT_EQ(message->icon, QMessageBox::NoIcon);
    EXPECT_EQ(message->buttons.size(), 1);
    EXPECT_FALSE(message->buttonPictures);

    const auto error = seeBox([] { toolkit::operatorBox().error(QStringLiteral("Сбой")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->caption, QStringLiteral("Опросник FPI"));
    EXPECT_EQ(error->icon, QMessageBox::Critical);
    EXPECT_FALSE(error->buttonPictures);

    bool answer = false;
    const auto question = seeBox([&answer] { answer = toolkit::operatorBox().confirm(QStringLiteral("Delete record?")); });
    ASSERT_TRUE(question.has_value());
    EXPECT_TRUE(answer);
    EXPECT_EQ(question->caption, QStringLiteral("Опросник FPI"));
    EXPECT_EQ(question->buttons.size(), 2);
    EXPECT_FALSE(question->buttonPictures);
}
