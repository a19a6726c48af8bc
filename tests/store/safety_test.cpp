// Data safety of the table engine: what opening checks before it changes
// anything, read-only use, the row number's range, the journal's size.
#include "safety_util.h"

using namespace safetytest;


TEST(OpeningChecks, FieldsNamedLikeTheRowNumberAreRefusedAndTheFileIsLeftAlone)
{
    for (const std::string name : {"rowid", "OID", "_RowID_"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string path = dir.file("TestFam.DB");
        runSql(path, "CREATE TABLE TestFam (\"F\" TEXT, \"" + name + "\" INTEGER);"
                     "INSERT INTO TestFam VALUES ('Андреев', 1), ('Борисов', 1)");
        const std::string before = fileBytes(path);
        for (bool readOnly : {false, true}) {
            Table t("TestFam.DB");
            t.setDirectoryPath(dir.path());
            t.setReadOnly(readOnly);
            const std::string error = errorOf([&] { t.open(); });
            EXPECT_EQ(error, "Таблица «" + path + "»: поле «" + name +
                                 "» называется так же, как скрытый номер строки SQLite, и строки такой таблицы "
                                 "нельзя различить; переименуйте поле");
            EXPECT_FALSE(t.active());
        }
        EXPECT_EQ(fileBytes(path), before) << "the refused file keeps its journal mode and content";
        EXPECT_FALSE(hasSideFiles(path));
    }
}

TEST(OpeningChecks, TablesWithoutRowNumbersOfTheirOwnAreRefused)
{
    for (const char* sql : {"CREATE TABLE TestFam (\"F\" TEXT PRIMARY KEY) WITHOUT ROWID",
                            "CREATE TABLE People (\"F\" TEXT); CREATE VIEW TestFam AS SELECT \"F\" FROM People"}) {
        SCOPED_TRACE(sql);
        TempDir dir;
        runSql(dir.file("TestFam.DB"), sql);
        const std::string before = fileBytes(dir.file("TestFam.DB"));
        Table t("TestFam.DB");
        t.setDirectoryPath(dir.path());
        EXPECT_STORE_ERROR(t.open(), "«TestFam» в файле не обычная таблица");
        EXPECT_EQ(fileBytes(dir.file("TestFam.DB")), before);
    }
}

TEST(OpeningChecks, AResultsTableLackingAFieldIsRefusedBeforeTheJournalSwitch)
{
    TempDir dir;
    const std::string path = dir.file("Result.db");
    runSql(path, "CREATE TABLE Result (\"NN\" INTEGER PRIMARY KEY AUTOINCREMENT, \"F\" VARCHAR(15));"
                 "INSERT INTO Result (\"F\") VALUES ('Иванов')");
    const std::string before = fileBytes(path);
    ASSERT_EQ(journalByte(path), 1);
    Table t("Result.db");
    EXPECT_STORE_ERROR(openResults(t, dir), "нет поля «I»");
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_FALSE(hasSideFiles(path));
}

TEST(OpeningChecks, AFieldNamedRowidAddedWhileOpenStopsChangesToRows)
{
    TempDir dir;
    makeResults(dir);
    const std::string path = dir.file("Result.db");
    Table t("Result.db");
    openResults(t, dir, {"Андреев", "Борисов", "Воронов"});
    t.first();
    runSql(path, "ALTER TABLE Result ADD COLUMN \"rowid\" INTEGER DEFAULT 1");
    const std::string changed = "поля таблицы изменила другая программа; закройте таблицу и откройте её снова";
    EXPECT_STORE_ERROR(t.deleteCurrent(), changed);
    t.edit();
    t.setField("F", std::string("Яковлев"));
    EXPECT_STORE_ERROR(t.post(), changed);
    t.cancel();
    EXPECT_EQ(queryNumber(path, "SELECT count(*) FROM Result"), 3) << "no row was deleted";
    EXPECT_EQ(queryNumber(path, "SELECT count(*) FROM Result WHERE \"F\"='Яковлев'"), 0) << "no row was changed";
    t.close();
    EXPECT_STORE_ERROR(t.open(), "поле «rowid» называется так же");
}

TEST(RowNumber, ANewRowBeyondTheFieldsRangeIsRefusedAndNothingIsStored)
{
    TempDir dir;
    makeResults(dir);
    const std::string path = dir.file("Result.db");
    runSql(path, "INSERT INTO Result (\"NN\", \"F\") VALUES (2147483646, 'Предпоследний')");
    Table t("Result.db");
    openResults(t, dir);
    appendResultRow(t, "Последний", "", "", scores(1), Date{2024, 1, 1});
    EXPECT_EQ(t.fieldInt("NN"), 2147483647) << "the largest 32-bit number is taken";

    EXPECT_STORE_ERROR(appendResultRow(t, "Лишний", "", "", scores(2), Date{2024, 1, 2}),
                       "«" + path + "», поле «NN»: номер новой строки 2147483648 не помещается в 32 бита; "
                                    "строка не сохранена");
    EXPECT_TRUE(t.hasPending()) << "the refused row is kept for the caller to decide";
    t.cancel();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(queryNumber(path, "SELECT count(*) FROM Result"), 2) << "nothing was stored";
    EXPECT_EQ(queryNumber(path, "SELECT seq FROM sqlite_sequence WHERE name='Result'"), 2147483647)
        << "the row number counter is not advanced either";
    t.first();
    t.edit();
    t.setField("F", std::string("Первый"));
    t.post();
    EXPECT_EQ(t.fieldText("F"), "Первый") << "the table stays usable";
}

TEST(ReadOnly, ReadsWithoutChangingTheFileAndRefusesEdits)
{
    TempDir dir;
    const std::string path = dir.file("Result.db");
    runSql(path, "CREATE TABLE Result (" + resultColumnsSql() + "); INSERT INTO Result (\"F\") VALUES ('А'), ('Б')");
    const std::string before = fileBytes(path);
    Table t("Result.db");
    openResultsReadOnly(t, dir.path());
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(t.fieldText("F"), "А");
    t.next();
    EXPECT_EQ(toText(t.rowAt(0)[0], "F"), "А");
    for (const auto& edit : std::vector<std::function<void()>>{[&] { t.append(); }, [&] { t.insert(); },
                                                               [&] { t.edit(); }, [&] { t.deleteCurrent(); }})
        EXPECT_EQ(errorOf(edit), "Таблица «" + path + "»: таблица открыта только для чтения, изменять её нельзя");
    EXPECT_EQ(t.state(), Table::State::Browse);
    EXPECT_STORE_ERROR(t.setReadOnly(false), "нельзя сменить режим открытой таблицы");
    t.close();
    EXPECT_EQ(fileBytes(path), before) << "the journal mode is not switched";

    t.setReadOnly(false);
    t.open();
    EXPECT_EQ(journalByte(path), 2) << "opening for writing switches to the write-ahead journal";
    t.close();
    EXPECT_FALSE(hasSideFiles(path));

    Table reader("Result.db");
    openResultsReadOnly(reader, dir.path());
    EXPECT_EQ(reader.recordCount(), 2);
    reader.close();
    EXPECT_FALSE(hasSideFiles(path)) << "a reader leaves no journal files behind";
}

TEST(ReadOnly, ReadsATableInADirectoryItCannotWriteTo)
{
    TempDir dir;
    const std::string report = inChild(dir.path(), true, [&] {
        Report r;
        const std::string data = dir.file("Data");
        const std::string path = data + "/Result.db";
        mkdir(data.c_str(), 0700);
        createTableFile(path, resultColumnsSql());
        {
            Table writer("Result.db");
            writer.setDirectoryPath(data);
            writer.declareFields(resultFields());
            writer.open();
            appendResultRow(writer, "Андреев", "", "", scores(1), Date{2024, 1, 1});
            appendResultRow(writer, "Борисов", "", "", scores(2), Date{2024, 1, 2});
        }
        r.check(!hasSideFiles(path), "the last connection leaves no journal files");
        chmod(data.c_str(), 0500);

        Table reader("Result.db");
        const std::string opening = errorOf([&] { openResultsReadOnly(reader, data); });
        r.check(opening.empty(), "read-only opening fails: «" + opening + "»");
        if (reader.active()) {
            r.check(reader.recordCount() == 2, "both rows are read");
            r.check(reader.fieldText("F") == "Андреев", "the first row is current");
            r.check(toText(reader.rowAt(1)[0], "F") == "Борисов", "the second row is read by position");
            reader.close();
        }

        // Writing needs a journal beside the file: the directory is named as the cause.
        Table writer("Result.db");
        writer.setDirectoryPath(data);
        writer.declareFields(resultFields());
        const std::string error = errorOf([&] { writer.open(); });
        r.check(error == "Каталог «" + data + "»: нет права записи в каталог; файлы журнала таблицы «Result.db» "
                                              "создать в нём нельзя",
                "the directory is named: «" + error + "»");
        r.check(russianOnly(error, {data, "Result.db"}), "English words in «" + error + "»");
        r.check(!hasSideFiles(path), "nothing is left beside the table");
        chmod(data.c_str(), 0700);
        return r.text;
    });
    EXPECT_EQ(report, "");
}

TEST(ReadOnly, AWriteProtectedTableLeavesNothingThatBlocksLaterWrites)
{
    for (bool firstStaysOpen : {false, true}) {
        SCOPED_TRACE(firstStaysOpen ? "the first table stays open" : "the first table is closed");
        TempDir dir;
        const std::string report = inChild(dir.path(), true, [&] {
            Report r;
            const std::string path = dir.file("Result.db");
            makeResults(dir);
            {
                Table t("Result.db");
                openResults(t, dir, {"Андреев"});
            }
            chmod(path.c_str(), 0400);
            auto first = std::make_unique<Table>("Result.db");
            openResults(*first, dir);
            r.check(first->recordCount() == 1, "a write-protected table is read");
            const std::string refused =
                errorOf([&] { appendResultRow(*first, "Борисов", "", "", scores(1), Date{2024, 1, 1}); });
            r.check(refused == "Таблица «" + path + "»: файл доступен только для чтения, записать в него нельзя",
                    "a write-protected file says so: «" + refused + "»");
            r.check(russianOnly(refused, {path}), "English words in «" + refused + "»");
            first->cancel();
            if (!firstStaysOpen)
                first.reset();

            chmod(path.c_str(), 0600);
            Table second("Result.db");
            openResults(second, dir);
            const std::string error =
                errorOf([&] { appendResultRow(second, "Воронов", "", "", scores(2), Date{2024, 1, 2}); });
            r.check(error.empty(), "the writable file takes a row again: «" + error + "»");
            r.check(second.recordCount() == 2, "the row is stored");
            if (first) {
                first->close();
                first->open();
                r.check(first->recordCount() == 2, "the first table sees it after reopening");
            }
            return r.text;
        });
        EXPECT_EQ(report, "");
    }
}

TEST(Journal, StaysBoundedWhileGridsReadAndResultsAreStored)
{
    // Each post is synchronous: on a memory file system that costs nothing.
    TempDir dir(fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
    makeResults(dir);
    Table grid("Result.db");
    openResults(grid, dir, {"Андреев", "Борисов", "Воронов"});
    Table other("Result.db");
    openResults(other, dir);
    const auto startsWithA = [](const Value& v) { return toText(v, "F").rfind("А", 0) == 0; };
    const std::string wal = dir.file("Result.db-wal");
    std::uintmax_t largest = 0;
    for (std::int64_t i = 0; i < 10000; ++i) {
        // The grid and a second window read rows all over the table, as scrolling does.
        const std::int64_t count = grid.recordCount();
        grid.rowAt(i * 7919 % count);
        grid.rowAt(count - 1);
        other.rowAt(i * 104729 % other.recordCount());
        if (i % 100 == 0) {
            EXPECT_EQ(grid.findRow("F", count - 1, -1, startsWithA), 0);
            other.close();
            other.open();
            other.moveTo(i);
            largest = std::max(largest, fs::file_size(wal));
        }
        appendResultRow(grid, "Результат", std::to_string(i), "", scores(static_cast<std::int32_t>(i % 9)),
                        Date{2024, 1, 1});
    }
    largest = std::max(largest, fs::file_size(wal));
    EXPECT_LT(largest, 8u << 20) << "checkpoints keep the journal small";
    EXPECT_EQ(grid.recordCount(), 10003);
    EXPECT_EQ(other.recordCount(), 9903) << "the second table counted when it last opened";
}

TEST(NewTables, AJournalLeftByAnEarlierFileIsKept)
{
    TempDir dir;
    const std::string path = dir.file("Result.db");
    makeResults(dir);
    Table t("Result.db");
    openResults(t, dir, {"Андреев"});
    const std::string wal = fileBytes(path + "-wal");
    t.close();
    std::filesystem::remove(path);
    writeBytes(path + "-wal", wal);   // as if the table file alone had been deleted while open
    EXPECT_STORE_ERROR(makeResults(dir), "рядом остался журнал прежней таблицы «" + path + "-wal»");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(fileBytes(path + "-wal"), wal) << "the journal is left for whoever looks into it";
}
