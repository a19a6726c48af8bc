// Which data directory the program opens, and its making from the template on
// the first start of an installed program.
#include "shell_fixture.h"

#include "toolkit/data_location.h"
#include "ui/data_location.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

const QFileDevice::Permissions kOwnerOnlyDirectory =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser |
    QFileDevice::WriteUser | QFileDevice::ExeUser;
const QFileDevice::Permissions kOwnerOnlyFile =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;

int rowCount(const QString& file, const char* table)
{
    sqlite3* db = nullptr;
    int rows = -1;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        const std::string sql = std::string("SELECT COUNT(*) FROM \"") + table + "\"";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            rows = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

// An installed layout: a bin folder without Data, a template of three tables,
// and a user's data root that is still empty.
class DataLocationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(bin()));
        templateData.createSubjects({{"Иванов", "Иван", "Иванович"}, {"Петров", "Пётр", "Петрович"}});
        templateData.createQuestionnaire({{1, "Демонстрационный вопрос"}, {2, "Ещё один"}});
        templateData.createResults();
    }
    QString bin() const { return root.filePath(QStringLiteral("usr/bin")); }
    QString userRoot() const { return root.filePath(QStringLiteral("home/.local/share")); }
    QString templateDirectory() const { return QString::fromStdString(templateData.path()); }
    toolkit::DataLocation location() const
    {
        return toolkit::chooseDataDirectory(bin(), userRoot(), QStringLiteral("fpi"), QStringLiteral("Data"));
    }

    QTemporaryDir root;
    uitest::DataDirectory templateData;
};

}  // namespace

TEST_F(DataLocationTest, DataBesideTheExecutableWinsAndNothingIsMade)
{
    ASSERT_TRUE(QDir().mkpath(bin() + QStringLiteral("/Data")));
    const toolkit::DataLocation found = location();
    EXPECT_TRUE(found.besideExecutable);
    EXPECT_EQ(found.directory, bin() + QStringLiteral("/Data/"));

    const ui::PreparedData prepared = ui::prepareDataDirectory(found, templateDirectory());
    EXPECT_EQ(prepared.directory, (bin() + QStringLiteral("/Data/")).toStdString());
    EXPECT_TRUE(prepared.notice.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(userRoot()));
    // The portable directory is used as it is, even when empty.
    EXPECT_TRUE(QDir(bin() + QStringLiteral("/Data")).isEmpty());
}

TEST_F(DataLocationTest, WithoutADirectoryBesideTheUsersDataDirectoryIsChosen)
{
    const QString expected = userRoot() + QStringLiteral("/fpi/Data/");
    EXPECT_EQ(location().directory, expected);
    EXPECT_FALSE(location().besideExecutable);
    // A file called Data beside the program is not a data directory.
    QFile file(bin() + QStringLiteral("/Data"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(location().directory, expected);
    EXPECT_FALSE(location().besideExecutable);
}

TEST_F(DataLocationTest, RunningProgramLooksBesideItsOwnExecutable)
{
    // The test programs are built beside the sample data directory.
    const toolkit::DataLocation found = toolkit::locateDataDirectory(QStringLiteral("fpi"), QStringLiteral("Data"));
    EXPECT_TRUE(found.besideExecutable);
    EXPECT_EQ(found.directory, QCoreApplication::applicationDirPath() + QStringLiteral("/Data/"));
}

TEST_F(DataLocationTest, FirstStartMakesAnOwnerOnlyCopyOfTheTemplateAndSaysWhere)
{
    const ui::PreparedData prepared = ui::prepareDataDirectory(location(), templateDirectory());
    const QString directory = userRoot() + QStringLiteral("/fpi/Data");
    EXPECT_EQ(prepared.directory, (directory + QLatin1Char('/')).toStdString());
    EXPECT_FALSE(prepared.failed);
    EXPECT_TRUE(prepared.notice.contains(directory)) << prepared.notice.toStdString();
    EXPECT_TRUE(prepared.notice.contains(QStringLiteral("fpi-data import-items"))) << prepared.notice.toStdString();

    EXPECT_EQ(QFileInfo(directory).permissions(), kOwnerOnlyDirectory);
    EXPECT_EQ(QFileInfo(userRoot() + QStringLiteral("/fpi")).permissions(), kOwnerOnlyDirectory);
    EXPECT_EQ(QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({QStringLiteral("FpiBd.db"), QStringLiteral("Result.db"), QStringLiteral("TestFam.DB")}));
    for (const char* file : {"TestFam.DB", "FpiBd.db", "Result.db"})
        EXPECT_EQ(QFileInfo(directory + QLatin1Char('/') + QLatin1String(file)).permissions(), kOwnerOnlyFile) << file;
    EXPECT_EQ(rowCount(directory + QStringLiteral("/TestFam.DB"), "TestFam"), 2);
    EXPECT_EQ(rowCount(directory + QStringLiteral("/FpiBd.db"), "FpiBd"), 2);
    EXPECT_EQ(rowCount(directory + QStringLiteral("/Result.db"), "Result"), 0);
}

TEST_F(DataLocationTest, LaterStartsUseTheDirectoryAsItIsWithoutANotice)
{
    ASSERT_FALSE(ui::prepareDataDirectory(location(), templateDirectory()).notice.isEmpty());
    const QString subjects = userRoot() + QStringLiteral("/fpi/Data/TestFam.DB");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(subjects.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "INSERT INTO TestFam VALUES ('Сидоров', 'Сидор', 'Сидорович')", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    const ui::PreparedData again = ui::prepareDataDirectory(location(), templateDirectory());
    EXPECT_TRUE(again.notice.isEmpty()) << again.notice.toStdString();
    EXPECT_FALSE(again.failed);
    EXPECT_EQ(rowCount(subjects, "TestFam"), 3);

    // Even without the template (a package removed meanwhile) the user's tables stay.
    QDir(templateDirectory()).removeRecursively();
    EXPECT_TRUE(ui::prepareDataDirectory(location(), templateDirectory()).notice.isEmpty());
    EXPECT_EQ(rowCount(subjects, "TestFam"), 3);
}

TEST_F(DataLocationTest, MissingOrIncompleteTemplateIsToldAndNothingIsMade)
{
    const QString directory = userRoot() + QStringLiteral("/fpi/Data");
    for (const bool whole : {false, true}) {
        if (whole)
            QDir(templateDirectory()).removeRecursively();
        else
            QFile::remove(templateDirectory() + QStringLiteral("FpiBd.db"));
        const ui::PreparedData prepared = ui::prepareDataDirectory(location(), templateDirectory());
        EXPECT_TRUE(prepared.failed);
        EXPECT_TRUE(prepared.notice.startsWith(QStringLiteral("Каталог данных «%1» не создан: не найден образец таблиц")
                                                   .arg(directory)))
            << prepared.notice.toStdString();
        EXPECT_TRUE(prepared.notice.contains(QDir::cleanPath(templateDirectory()))) << prepared.notice.toStdString();
        EXPECT_TRUE(prepared.notice.contains(QStringLiteral("fpi-data create"))) << prepared.notice.toStdString();
        EXPECT_FALSE(QFileInfo::exists(directory));
    }
}

TEST_F(DataLocationTest, UnwritableUserDirectoryIsToldInRussianAndLeavesNothing)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into a read-only folder";
    ASSERT_TRUE(QDir().mkpath(userRoot()));
    ASSERT_TRUE(QFile::setPermissions(userRoot(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const ui::PreparedData prepared = ui::prepareDataDirectory(location(), templateDirectory());
    QFile::setPermissions(userRoot(), kOwnerOnlyDirectory);
    EXPECT_TRUE(prepared.failed);
    EXPECT_TRUE(prepared.notice.contains(userRoot() + QStringLiteral("/fpi"))) << prepared.notice.toStdString();
    EXPECT_FALSE(QFileInfo::exists(userRoot() + QStringLiteral("/fpi/Data")));
}

TEST_F(DataLocationTest, BuildTreeHasTheTemplateWhereAnInstalledProgramLooks)
{
    // bin/../share/fpi/Data, as in the package: the sample tables, no results.
    const QString sample = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/fpi/Data");
    const ui::PreparedData prepared = ui::prepareDataDirectory(location(), sample);
    ASSERT_FALSE(prepared.failed) << prepared.notice.toStdString();
    const QString directory = QString::fromStdString(prepared.directory);
    EXPECT_EQ(rowCount(directory + QStringLiteral("FpiBd.db"), "FpiBd"), 114);
    EXPECT_GT(rowCount(directory + QStringLiteral("TestFam.DB"), "TestFam"), 0);
    EXPECT_EQ(rowCount(directory + QStringLiteral("Result.db"), "Result"), 0);
}
