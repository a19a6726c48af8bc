// The registration window: "Старт" and its check of the name, the pick from the
// patient list, the read-only name fields, hover colouring and the links.
#include "shell_fixture.h"

#include "toolkit/date_edit.h"
#include "toolkit/flat_button.h"
#include "ui/app_shell.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit6.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QUrl>

using namespace uitest;

namespace {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class RegistrationTest : public ShellTest {
protected:
    // "Пациент", with the patient list closed as soon as it is up.
    void pickPatient()
    {
        withPatientList([] { Form6->reject(); });
    }
    bool nameReadOnly()
    {
        return MainForm->Edit1->isReadOnly() && MainForm->Edit2->isReadOnly() && MainForm->Edit3->isReadOnly();
    }
};

}  // namespace

TEST_F(RegistrationTest, StartNeedsAllThreeNamePartsAfterTrimming)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    typeName(QStringLiteral("Иванов"), QStringLiteral("   "), QStringLiteral("Иванович"));
    click("MainForm", "SpeedButton1");
    EXPECT_EQ(box.messages, QStringList{QStringLiteral("Не все данные о тестируемом")});
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_FALSE(Form2->isVisible());

    MainForm->Edit2->setText(QStringLiteral("\tИван "));
    click("MainForm", "SpeedButton1");
    EXPECT_EQ(box.messages.size(), 1);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_TRUE(Form2->isVisible());
}

TEST_F(RegistrationTest, StartUpSetsTodayAndEveryShowingClearsTheName)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    EXPECT_TRUE(box.messages.isEmpty());
    EXPECT_TRUE(box.errors.isEmpty());
    EXPECT_FALSE(MainForm->deDateReg->text().trimmed().isEmpty());
    EXPECT_EQ(MainForm->deDateReg->date(), QDate::currentDate());

    typeName(QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович"));
    MainForm->hide();
    MainForm->show();
    EXPECT_TRUE(MainForm->Edit1->text().isEmpty());
    EXPECT_TRUE(MainForm->Edit2->text().isEmpty());
    EXPECT_TRUE(MainForm->Edit3->text().isEmpty());
}

TEST_F(RegistrationTest, PickFillsTheNameAndMakesItReadOnlyForGood)
{
    data.createSubjects({{"Петров", "Пётр", "Петрович"}, {"Сидоров", "Сидор", "Сидорович"}});
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults();
    startProgram();
    pickPatient();
    EXPECT_TRUE(box.messages.isEmpty());
    EXPECT_EQ(MainForm->Edit1->text(), QStringLiteral("Петров"));
    EXPECT_EQ(MainForm->Edit2->text(), QStringLiteral("Пётр"));
    EXPECT_EQ(MainForm->Edit3->text(), QStringLiteral("Петрович"));
    EXPECT_TRUE(nameReadOnly());

    MainForm->Edit1->setFocus();
    typeText(MainForm->Edit1, QStringLiteral("ов"));
    EXPECT_EQ(MainForm->Edit1->text(), QStringLiteral("Петров"));

    // Showing the window again empties the fields but leaves them read-only.
    MainForm->hide();
    MainForm->show();
    EXPECT_TRUE(MainForm->Edit1->text().isEmpty());
    EXPECT_TRUE(nameReadOnly());
}

TEST_F(RegistrationTest, PickOfASubjectWithoutPatronymicFailsHalfWay)
{
    data.createSubjects({{"Сидоров", "Сидор", nullptr}});
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults();
    startProgram();
    MainForm->Edit3->setText(QStringLiteral("прежнее"));
    pickPatient();
    EXPECT_EQ(box.messages, QStringList{QStringLiteral("Ошибка присвоения")});
    EXPECT_EQ(MainForm->Edit1->text(), QStringLiteral("Сидоров"));
    EXPECT_EQ(MainForm->Edit2->text(), QStringLiteral("Сидор"));
    EXPECT_EQ(MainForm->Edit3->text(), QStringLiteral("прежнее"));
    EXPECT_FALSE(MainForm->Edit1->isReadOnly());
}

TEST_F(RegistrationTest, StartAndResultsTurnRedUnderThePointerUntilTheBackground)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    auto* start = static_cast<toolkit::FlatButton*>(child(MainForm, "SpeedButton1"));
    auto* results = static_cast<toolkit::FlatButton*>(child(MainForm, "SpeedButton4"));
    EXPECT_EQ(start->captionColor(), QColor(Qt::black));

    QTest::mouseMove(start);
    QTest::mouseMove(results);
    EXPECT_EQ(start->captionColor(), QColor(Qt::red));
    EXPECT_EQ(results->captionColor(), QColor(Qt::red));

    // A label is a control: the pointer over it resets nothing.
    QTest::mouseMove(child(MainForm, "Label5"));
    EXPECT_EQ(start->captionColor(), QColor(Qt::red));

    QTest::mouseMove(MainForm, QPoint(450, 40));
    EXPECT_EQ(start->captionColor(), QColor(Qt::black));
    EXPECT_EQ(results->captionColor(), QColor(Qt::black));
}

TEST_F(RegistrationTest, LinkLabelsOpenMailAndTheWebPage)
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    data.createAll({{2, "Утверждение"}});
    startProgram();
    QTest::mouseClick(child(MainForm, "Label5"), Qt::LeftButton);
    QTest::mouseClick(child(MainForm, "Label7"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    // The contact is shown and opened alike.
    EXPECT_EQ(qobject_cast<QLabel*>(child(MainForm, "Label5"))->text(), "e-mail: " + ui::kAuthorEmail);
    EXPECT_EQ(qobject_cast<QLabel*>(child(MainForm, "Label7"))->text(), ui::kAuthorWebPage);
    ASSERT_EQ(recorder.opened.size(), 2);
    EXPECT_EQ(recorder.opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(recorder.opened[0].path(), ui::kAuthorEmail);
    EXPECT_EQ(recorder.opened[1].toString(), ui::kAuthorWebPage);
}

TEST_F(RegistrationTest, ClosingTheMainWindowEndsTheProgram)
{
    data.createAll({{2, "Утверждение"}});
    startProgram();
    MainForm->close();
    EXPECT_EQ(programEnds, 1);
}

#include "registration_test.moc"
