// Start-up over a data directory on a network file system: the operator is
// told once, and the program runs on. Tests cannot mount one, so the store is
// told through its probe that every path lies on it.
#include "shell_fixture.h"

#include "store/file_system.h"
#include "toolkit/date_edit.h"
#include "ui/unit1.h"
#include "ui/unit3.h"

#include <QFile>

using namespace uitest;

namespace {

class NetworkDirectoryTest : public ShellTest {
protected:
    // The data directory as the message names it: without the trailing separator.
    QString directory() const
    {
        QString path = QString::fromStdString(data.path());
        path.chop(1);
        return path;
    }
};

store::detail::FileSystemProbe everywhere(const char* fileSystem)
{
    return [fileSystem](const std::string&) { return std::string(fileSystem); };
}

}  // namespace

TEST_F(NetworkDirectoryTest, TheOperatorIsToldOnceWhichFileSystemAndDirectory)
{
    data.createAll({{2, "Утверждение"}});
    store::detail::FileSystemProbeOverride nfs(everywhere("NFS"));
    startProgram();
    ASSERT_EQ(box.messages.size(), 1) << box.said.join(QLatin1Char('\n')).toStdString();
    const QString& text = box.messages[0];
    EXPECT_TRUE(text.startsWith(QStringLiteral("Каталог данных «") + directory() + QStringLiteral("» находится на "
                                                                                                  "сетевом диске (NFS)")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("результаты могут быть повреждены"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("pg_service.conf"))) << text.toStdString();
    EXPECT_TRUE(box.errors.isEmpty());
    // The program runs on as over a local directory.
    EXPECT_TRUE(MainForm->tbFamil.active());
    EXPECT_TRUE(MainForm->tbVopros.active());
    EXPECT_TRUE(MainForm->tbResult.active());
    EXPECT_FALSE(MainForm->deDateReg->text().trimmed().isEmpty());

    // Neither showing the window again nor reopening the results table says it again.
    click("MainForm", "SpeedButton4");
    EXPECT_TRUE(Form3->isVisible());
    click("Form3", "SpeedButton3");
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_EQ(box.said.size(), 1) << box.said.join(QLatin1Char('\n')).toStdString();
}

TEST_F(NetworkDirectoryTest, NothingIsSaidForALocalDirectoryOrOneNamingAServer)
{
    data.createAll({{2, "Утверждение"}});
    {
        store::detail::FileSystemProbeOverride local(everywhere(""));
        startProgram();
        EXPECT_TRUE(box.said.isEmpty()) << box.said.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(MainForm->tbResult.active());
    }
    // The tables of a directory holding pg_service.conf are on a server, whatever disk the file lies on.
    QFile service(data.file("pg_service.conf"));
    ASSERT_TRUE(service.open(QIODevice::WriteOnly));
    service.write("[fpi]\n");
    service.close();
    store::detail::FileSystemProbeOverride smb(everywhere("SMB/CIFS"));
    MainForm->FormCreate();
    EXPECT_TRUE(box.said.isEmpty()) << box.said.join(QLatin1Char('\n')).toStdString();
}

TEST_F(NetworkDirectoryTest, AFailedConnectionSaysOnlyWhatFailed)
{
    data.createQuestionnaire({{2, "Утверждение"}});
    data.createResults();
    store::detail::FileSystemProbeOverride nfs(everywhere("NFS"));
    startProgram();
    ASSERT_EQ(box.messages.size(), 1);
    EXPECT_TRUE(box.messages[0].contains(QLatin1String("TestFam"))) << box.messages[0].toStdString();
    EXPECT_FALSE(box.messages[0].contains(QStringLiteral("сетевом диске"))) << box.messages[0].toStdString();
}
