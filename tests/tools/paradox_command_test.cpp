// fpi-data import-paradox, run as the operator runs it on an earlier installation.
#include "support/fpi_data_run.h"
#include "support/paradox_maker.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using paradox_test::OldInstallation;
using testsupport::TempDir;

fpi_data_run::Run importParadox(const std::vector<std::string>& args)
{
    std::vector<std::string> all{"import-paradox"};
    all.insert(all.end(), args.begin(), args.end());
    return fpi_data_run::run(all);
}

}  // namespace

TEST(ParadoxCommand, ReportsTablesAndExitStatus)
{
    OldInstallation old;
    old.writeAll();
    TempDir target;
    const std::string src = old.dir.path();
    const std::string dest = target.path();

    EXPECT_EQ(importParadox({"--help"}).status, 0);
    EXPECT_EQ(importParadox({src}).status, 1);
    const auto ok = importParadox({src, dest});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE((ok.out + ok.err).find("Result.db: 3"), std::string::npos) << ok.out << ok.err;
    const auto again = importParadox({src, dest});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE((again.out + again.err).find("уже существует"), std::string::npos) << again.err;

    TempDir other;
    paradox_test::writeBytes(old.path("FpiBd.db"), {1, 2, 3});
    EXPECT_EQ(importParadox({src, other.path()}).status, 1);
}

// The command ends with a message and its exit status where it once aborted or waited forever.
TEST(ParadoxCommand, RefusesSpecialFilesAndUnfitTables)
{
    OldInstallation old;
    old.writeSubjects();
    old.writeItems();
    fs::create_directory(old.path("Result.db"));
    TempDir target;
    const std::string dest = target.file("Data");
    auto refused = importParadox({old.dir.path(), dest});
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("это каталог"), std::string::npos) << refused.err;

    fs::remove(old.path("Result.db"));
    ASSERT_EQ(mkfifo(old.path("Result.db").c_str(), 0600), 0);
    refused = importParadox({old.dir.path(), dest});
    EXPECT_FALSE(refused.hung);
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("именованный канал"), std::string::npos) << refused.err;

    fs::remove(old.path("Result.db"));
    fs::copy_file(old.path("TestFam.DB"), old.path("Result.db"));
    refused = importParadox({old.dir.path(), dest});
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("Result.db» не годится как таблица результатов"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("нет поля «Dat»"), std::string::npos) << refused.err;
    EXPECT_TRUE(testsupport::filesIn(target.path()).empty());
}
