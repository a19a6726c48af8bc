// Qt's Russian texts for the standard dialogs, and the program's own fixed
// button texts that stay as they are once those texts are in force.
#include "toolkit/operator_box.h"
#include "toolkit/qt_translations.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>

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

// The button texts of the next message box, which is then closed with its
// escape button; a watchdog gives up after a few seconds.
class BoxReader : public QObject {
public:
    BoxReader()
    {
        connect(&poll_, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                for (QAbstractButton* b : box->buttons())
                    texts << b->text();
                poll_.stop();
                box->reject();
            } else if (++tries_ > 200) {
                poll_.stop();
            }
        });
        poll_.start(20);
    }
    QStringList texts;

private:
    QTimer poll_;
    int tries_ = 0;
};

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
    {
        BoxReader reader;
        EXPECT_FALSE(toolkit::operatorBox().confirm(QStringLiteral("Delete record?")));
        EXPECT_EQ(reader.texts, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    }
    {
        BoxReader reader;
        toolkit::operatorBox().message(QStringLiteral("Сообщение"));
        EXPECT_EQ(reader.texts, QStringList{QStringLiteral("OK")});
    }
    {
        BoxReader reader;
        toolkit::operatorBox().error(QStringLiteral("Ошибка"));
        EXPECT_EQ(reader.texts, QStringList{QStringLiteral("OK")});
    }
}
