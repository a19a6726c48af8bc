// Qt's Russian texts for the standard dialogs, and the program's own fixed
// button texts that stay as they are once those texts are in force.
#include "support/modal_dialog.h"
#include "toolkit/operator_box.h"
#include "toolkit/qt_translations.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTranslator>

#include <functional>

namespace {

// Installs the translation for one test and removes it afterwards.
class QtTranslations : public ::testing::Test {
protected:
    void SetUp() override
    {
        translator = toolkit::installQtTranslations(*qApp);
        ASSERT_NE(translator, nullptr) << "Qt's Russian translation is not installed (qt6-translations-l10n)";
    }
    void TearDown() override
    {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
    QTranslator* translator = nullptr;
};

// The button texts of the message box `open` shows, which is then closed
// with its escape button; another modal window is closed by the watchdog.
QStringList buttonTexts(const std::function<void()>& open)
{
    QStringList texts;
    testsupport::closeExpectedModal(open, [&texts](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            for (QAbstractButton* b : box->buttons())
                texts << b->text();
            box->reject();
        }
    });
    return texts;
}

}  // namespace

TEST_F(QtTranslations, StandardDialogTextsAreRussian)
{
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), QStringLiteral("Открыть"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Save"), QStringLiteral("&Сохранить"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("Печать"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "All Files (*)"), QStringLiteral("All Files (*)"));
}

TEST_F(QtTranslations, TheProgramsOwnBoxesKeepTheirButtonTexts)
{
    toolkit::setOperatorBox(nullptr);
    bool confirmed = true;
    EXPECT_EQ(buttonTexts([&] { confirmed = toolkit::operatorBox().confirm(QStringLiteral("Delete record?")); }),
              (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(buttonTexts([] { toolkit::operatorBox().message(QStringLiteral("Сообщение")); }),
              QStringList{QStringLiteral("OK")});
    EXPECT_EQ(buttonTexts([] { toolkit::operatorBox().error(QStringLiteral("Ошибка")); }),
              QStringList{QStringLiteral("OK")});
}
