// The Russian reasons given when the directory, the permissions or the disk are
// the cause of a failure, and what becomes of the row then.
#include "safety_util.h"

using namespace safetytest;

TEST(SystemFailures, AMissingDirectoryOrAFileInItsPlaceIsNamed)
{
    TempDir dir;
    const std::string missing = dir.file("Нет/Data");
    const std::string file = dir.file("Файл");
    writeBytes(file, "не каталог");
    struct Case {
        std::string directory;
        std::string problem;
    };
    for (const Case& c : {Case{missing, "такого каталога нет"}, Case{file, "это не каталог, а файл"}}) {
        SCOPED_TRACE(c.directory);
        Table t("Result.db");
        t.setDirectoryPath(c.directory);
        const std::string opening = errorOf([&] { t.open(); });
        EXPECT_EQ(opening, "Каталог «" + c.directory + "»: " + c.problem);
        EXPECT_RUSSIAN(opening, c.directory);
        const std::string creating = errorOf([&] { createTableFile(c.directory + "/Result.db", resultColumnsSql()); });
        EXPECT_EQ(creating, "Каталог «" + c.directory + "»: " + c.problem +
                                "; файл таблицы «Result.db» создать в нём нельзя");
        EXPECT_RUSSIAN(creating, c.directory, "Result.db");
    }
    Database database;
    EXPECT_STORE_ERROR(database.connect(file), "Каталог данных «" + file + "»: это не каталог, а файл");
    EXPECT_FALSE(database.connected());
}

TEST(SystemFailures, AFullDiskSaysSoAndTheRowWaitsForSpace)
{
    TempDir dir;
    const std::string path = dir.file("Result.db");
    const std::string report = inChild(dir.path(), false, [&] {
        if (!mountSmallDisk(dir.path(), "256k"))
            return std::string("skip");
        Report r;
        makeResults(dir);
        {
            Table t("Result.db");
            openResults(t, dir, {"Андреев"});
        }
        const std::string filler = dir.file("filler");
        fillDisk(filler);
        Table t("Result.db");
        const std::string opening = errorOf([&] { openResults(t, dir); });
        r.check(opening == "Таблица «" + path + "»: ошибка записи файла: на диске нет места",
                "opening on a full disk says so: «" + opening + "»");

        std::remove(filler.c_str());
        openResults(t, dir);
        fillDisk(filler);
        std::string storing;
        for (int i = 0; i < 100 && storing.empty(); ++i)
            storing = errorOf([&] { appendResultRow(t, "Борисов", "", "", scores(1), Date{2024, 1, 1}); });
        r.check(storing == "Таблица «" + path + "»: на диске нет места", "storing says why: «" + storing + "»");
        r.check(t.hasPending(), "the row that could not be stored is kept");
        std::remove(filler.c_str());
        const std::string retry = errorOf([&] { t.storePending(); });
        r.check(retry.empty() && !t.hasPending() && t.fieldText("F") == "Борисов",
                "once there is space the row is stored: «" + retry + "»");
        return r.text;
    });
    if (report == "skip")
        GTEST_SKIP() << "this system does not let a test mount a small file system of its own";
    EXPECT_EQ(report, "");
}

TEST(SystemFailures, AFileSizeLimitStopsWritesWithTheReasonAndKeepsTheRow)
{
    // A full disk cannot be made here; a file size limit fails writes the same way
    // (with "file too large" instead of "no space left").
    TempDir dir;
    makeResults(dir);
    {
        Table t("Result.db");
        openResults(t, dir, {"Андреев"});
    }
    const std::string path = dir.file("Result.db");
    const std::string report = inChild(dir.path(), false, [&] {
        Report r;
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        // Opening makes the table's 32 KiB shared-memory file beside it, over this limit.
        limit.rlim_cur = 16 * 1024;
        setrlimit(RLIMIT_FSIZE, &limit);
        Table t("Result.db");
        const std::string opening = errorOf([&] { openResults(t, dir); });
        r.check(opening == "Таблица «" + path + "»: ошибка записи файла: файл слишком велик",
                "opening says why: «" + opening + "»");
        std::remove((path + "-shm").c_str());

        limit.rlim_cur = 96 * 1024;
        setrlimit(RLIMIT_FSIZE, &limit);
        Table results("Result.db");
        openResults(results, dir);
        std::string storing;
        for (int i = 0; i < 100 && storing.empty(); ++i)
            storing = errorOf([&] { appendResultRow(results, "Борисов", "", "", scores(1), Date{2024, 1, 1}); });
        r.check(storing == "Таблица «" + path + "»: ошибка записи файла: файл слишком велик",
                "storing says why: «" + storing + "»");
        r.check(results.hasPending(), "the row that could not be stored is kept");
        return r.text;
    });
    EXPECT_EQ(report, "");
    Table t("Result.db");
    openResults(t, dir);
    EXPECT_EQ(t.fieldText("F"), "Андреев") << "the table is whole after the failures";
}
