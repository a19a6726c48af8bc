// fpi-data where: the data directory the program would open.
#include "fpi_data_run.h"

#include <gtest/gtest.h>

#include <string>

TEST(WhereCommand, PrintsTheDirectoryBesideTheProgramWhenThereIsOne)
{
    // The build puts the sample data directory beside both programs.
    const fpi_data_run::Run run = fpi_data_run::run({"where"});
    ASSERT_FALSE(run.hung);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::string(FPI_BINARY_DIR) + "/bin/Data\n");
    EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST(WhereCommand, HelpAndWrongArgumentsInRussian)
{
    const fpi_data_run::Run help = fpi_data_run::run({"where", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Использование: fpi-data where\n", 0), 0u) << help.out;

    const fpi_data_run::Run extra = fpi_data_run::run({"where", "/tmp"});
    EXPECT_EQ(extra.status, 1);
    EXPECT_TRUE(extra.out.empty());
    EXPECT_EQ(extra.err.rfind("Неверные параметры.\n", 0), 0u) << extra.err;
}

TEST(WhereCommand, AFailedOutputIsReportedAndNotASuccess)
{
    fpi_data_run::Options full;
    full.output = fpi_data_run::Output::DevFull;
    const fpi_data_run::Run run = fpi_data_run::run({"where"}, full);
    ASSERT_FALSE(run.hung);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "Каталог данных не удалось вывести: на диске нет места.\n");
}
