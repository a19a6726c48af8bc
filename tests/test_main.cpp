// Test main: a Qt application on the offscreen platform, a fixed Russian locale,
// and HOME and the settings store in a temporary folder, so no test touches a
// real user's files or needs a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    // ctest sets the platform; a run without it (listing the tests, a run by
    // hand without a display) must not try to reach an X server either.
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QTemporaryDir home;
    if (!home.isValid())
        return 3;
    const QByteArray homePath = home.path().toUtf8();
    setenv("HOME", homePath.constData(), 1);
    setenv("XDG_CONFIG_HOME", (homePath + "/.config").constData(), 1);
    setenv("XDG_DATA_HOME", (homePath + "/.local/share").constData(), 1);
    setenv("XDG_CACHE_HOME", (homePath + "/.cache").constData(), 1);
    const QByteArray runtimeDir = homePath + "/.runtime";
    mkdir(runtimeDir.constData(), 0700);
    setenv("XDG_RUNTIME_DIR", runtimeDir.constData(), 1);
    setenv("TZ", "UTC", 1);

    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QStandardPaths::setTestModeEnabled(true);

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("fpi-tests"));
    QApplication::setApplicationName(QStringLiteral("fpi-tests"));

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
