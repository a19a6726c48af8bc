// The import of an earlier installation's Paradox tables.
#include "store_test_util.h"
#include "support/paradox_maker.h"
#include "support/temp_dir.h"

#include "store/paradox_import.h"
#include "store/paradox_values.h"
#include "store/result_table.h"
#include "store/table.h"

extern "C" {
#include <paradox.h>
}

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <limits>

namespace {

using paradox_test::Cell;
using paradox_test::Column;
using paradox_test::Day;
using paradox_test::OldInstallation;
using paradox_test::resultRow;
using storetest::TempDir;
using testsupport::filesIn;
namespace fs = std::filesystem;

// Every row of an SQL query, each value as text and NULL as "∅".
std::vector<std::vector<std::string>> query(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    std::vector<std::vector<std::string>> rows;
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row.push_back(text ? text : "∅");
        }
        rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

store::ImportError::Cause expectImportError(const std::function<void()>& run, const std::string& inMessage)
{
    try {
        run();
    } catch (const store::ImportError& e) {
        EXPECT_NE(std::string(e.what()).find(inMessage), std::string::npos) << e.what();
        return e.cause();
    }
    ADD_FAILURE() << "no error";
    return store::ImportError::Cause::FileAccess;
}


}  // namespace

TEST(ParadoxImport, ResultsKeepEveryFieldNumberAndBlankValue)
{
    OldInstallation old;
    old.writeAll();
    TempDir target;
    const auto imported = store::importParadoxDirectory(old.dir.path(), target.path());
    ASSERT_EQ(imported.size(), 3u);
    EXPECT_EQ(imported[2].fileName, "Result.db");
    EXPECT_EQ(imported[2].rows, 3);

    const std::string result = target.file("Result.db");
    const auto rows = query(result, "SELECT rowid, NN, F, I, O, Dat, Tip1, Tip2, Tip3, Tip4, Tip12 FROM Result");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"3", "3", "Сидоров", "Иван", "Петрович", "2003-04-17", "1", "9",
                                                  "-32767", "32767", "5"}));
    // A blank date and a blank short stay blank; -32768 has the bytes of a blank short in this format.
    EXPECT_EQ(rows[1], (std::vector<std::string>{"7", "7", "Ёжикова", "Мария", "∅", "∅", "∅", "∅", "5", "5", "5"}));
    // Text is cut by the old table to its 15 bytes; nothing more is lost.
    EXPECT_EQ(rows[2][2], "Очень-длинная-ф");
    EXPECT_EQ(rows[2][5], "1999-12-31");

    // The row number stays the row key and new numbers follow the old ones.
    EXPECT_EQ(query(result, "SELECT type FROM pragma_table_info('Result') WHERE name='NN'")[0][0], "INTEGER");
    EXPECT_EQ(query(result, "SELECT pk FROM pragma_table_info('Result') WHERE name='NN'")[0][0], "1");
    EXPECT_EQ(query(result, "SELECT seq FROM sqlite_sequence WHERE name='Result'")[0][0], "12");

    // The table engine opens it as the results table, with its sixteen fields.
    store::Table table("Result.db");
    table.setDirectoryPath(target.path());
    table.declareFields(store::resultFields());
    ASSERT_NO_THROW(table.open());
    EXPECT_EQ(table.recordCount(), 3);
    EXPECT_EQ(table.fieldInt("NN"), 3);
    table.append();
    table.setField("F", std::string("Новый"));
    table.post();
    EXPECT_EQ(table.fieldInt("NN"), 13);
}

TEST(ParadoxImport, RowNumbersStayUniqueAndAboveTheOldTablesLast)
{
    OldInstallation old;
    old.writeResults();
    auto bytes = paradox_test::readBytes(old.path("Result.db"));
    bytes[0x49] = 50;   // the old table had given numbers up to 50 (rows since deleted)
    paradox_test::writeBytes(old.path("Result.db"), bytes);
    TempDir target;
    store::importParadoxTable(old.path("Result.db"), target.file("Result.db"));
    EXPECT_EQ(query(target.file("Result.db"), "SELECT seq FROM sqlite_sequence")[0][0], "50");

    const auto columns = paradox_test::resultColumns();
    paradox_test::writeTable(old.path("Twice.db"), columns,
                             {resultRow("А", "Б", "В", Cell{}, {}, 4), resultRow("Г", "Д", "Е", Cell{}, {}, 4)});
    TempDir twice;
    expectImportError([&] { store::importParadoxTable(old.path("Twice.db"), twice.file("Result.db")); },
                      "номер NN повторяется");
    paradox_test::writeTable(old.path("Blank.db"), columns, {resultRow("А", "Б", "В", Cell{}, {}, 0)});
    auto blank = paradox_test::readBytes(old.path("Blank.db"));
    std::fill(blank.begin() + 0x800 + 6 + 73, blank.begin() + 0x800 + 6 + 77, 0);   // NN of the one record
    paradox_test::writeBytes(old.path("Blank.db"), blank);
    TempDir results;
    expectImportError([&] { store::importParadoxTable(old.path("Blank.db"), results.file("Result.db")); },
                      "пустой номер NN");
    EXPECT_TRUE(filesIn(results.path()).empty());
}

TEST(ParadoxImport, SubjectsIn866AndItemsIn1251KeepTheirOrderAndTypes)
{
    OldInstallation old;
    old.writeAll();
    TempDir target;
    store::importParadoxDirectory(old.dir.path(), target.path());

    const auto subjects = query(target.file("TestFam.DB"), "SELECT F, I, O, Born, Weight, Active FROM TestFam ORDER BY rowid");
    ASSERT_EQ(subjects.size(), 2u);
    EXPECT_EQ(subjects[0], (std::vector<std::string>{"Иванов", "Пётр", "Ильич", "1961-02-28", "72.5", "1"}));
    EXPECT_EQ(subjects[1], (std::vector<std::string>{"Щукина-Ёлкина Анаста", "Ая", "∅", "∅", "∅", "0"}));
    EXPECT_EQ(query(target.file("TestFam.DB"), "SELECT group_concat(type, ',') FROM pragma_table_info('TestFam')")[0][0],
              "TEXT(20),TEXT(20),TEXT(20),DATE,REAL,INTEGER");

    // 114 items span many data blocks of the old file; their order is the table's order.
    const auto items = query(target.file("FpiBd.db"), "SELECT rowid, NumVopros, Vopros FROM FpiBd ORDER BY rowid");
    ASSERT_EQ(items.size(), 114u);
    for (int k = 0; k < 114; ++k) {
        EXPECT_EQ(items[k][1], std::to_string(k + 1));
        EXPECT_EQ(items[k][2], "Демонстрационный вопрос № " + std::to_string(k + 1));
    }
    store::Table questionnaire("FpiBd.db");
    questionnaire.setDirectoryPath(target.path());
    questionnaire.open();
    EXPECT_EQ(store::itemNumber(questionnaire), 1);
}

TEST(ParadoxImport, FindsTablesWhateverTheLetterCaseAndLeavesTheSourceUntouched)
{
    OldInstallation old;
    old.writeSubjects("testfam.db");
    old.writeItems("FPIBD.DB");
    old.writeResults("RESULT.DB");
    auto keyed = paradox_test::readBytes(old.path("RESULT.DB"));
    keyed[0x04] = 0;   // a keyed table, as results tables usually were
    paradox_test::writeBytes(old.path("RESULT.DB"), keyed);
    const auto before = paradox_test::readBytes(old.path("RESULT.DB"));
    chmod(old.path("RESULT.DB").c_str(), 0400);
    chmod(old.dir.path().c_str(), 0500);

    TempDir target;
    const std::string dest = target.file("Data");   // created by the import
    store::importParadoxDirectory(old.dir.path(), dest);
    chmod(old.dir.path().c_str(), 0700);

    EXPECT_EQ(filesIn(dest), (std::vector<std::string>{"FpiBd.db", "Result.db", "TestFam.DB"}));
    EXPECT_EQ(query(dest + "/Result.db", "SELECT count(*) FROM Result")[0][0], "3");
    EXPECT_EQ(paradox_test::readBytes(old.path("RESULT.DB")), before);
    struct stat st;
    ASSERT_EQ(stat((dest + "/Result.db").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Two files whose names differ only in case are ambiguous.
    old.writeResults("Result.db");
    TempDir other;
    EXPECT_EQ(expectImportError([&] { store::importParadoxDirectory(old.dir.path(), other.path()); }, "несколько"),
              store::ImportError::Cause::FileAccess);
}

TEST(ParadoxImport, NeverOverwritesAndLeavesNothingHalfDone)
{
    OldInstallation old;
    old.writeAll();
    TempDir target;
    storetest::writeBytes(target.file("Result.db"), "results of this installation");
    EXPECT_EQ(expectImportError([&] { store::importParadoxDirectory(old.dir.path(), target.path()); }, "уже существует"),
              store::ImportError::Cause::FileAccess);
    EXPECT_EQ(filesIn(target.path()), std::vector<std::string>{"Result.db"});
    EXPECT_EQ(paradox_test::readBytes(target.file("Result.db")).size(), 28u);

    // A damaged third table: the two good ones are not left behind either.
    TempDir fresh;
    auto bytes = paradox_test::readBytes(old.path("Result.db"));
    bytes.resize(bytes.size() - 100);
    paradox_test::writeBytes(old.path("Result.db"), bytes);
    EXPECT_EQ(expectImportError([&] { store::importParadoxDirectory(old.dir.path(), fresh.path()); }, "Result.db"),
              store::ImportError::Cause::DamagedTable);
    EXPECT_TRUE(filesIn(fresh.path()).empty());
    // A directory the import made for the tables goes again.
    expectImportError([&] { store::importParadoxDirectory(old.dir.path(), fresh.file("Data")); }, "Result.db");
    EXPECT_FALSE(fs::exists(fresh.file("Data")));

    // A missing table.
    fs::remove(old.path("FpiBd.db"));
    EXPECT_EQ(expectImportError([&] { store::importParadoxDirectory(old.dir.path(), fresh.path()); }, "FpiBd.db"),
              store::ImportError::Cause::FileAccess);
    EXPECT_TRUE(filesIn(fresh.path()).empty());
}

TEST(ParadoxImport, MemosTimesAndDecimalsKeepTheirValues)
{
    TempDir dir;
    std::string longMemo;
    for (int k = 0; k < 300; ++k)
        longMemo += "Заметка ";
    const std::string midMemo = "Средняя заметка о пациенте, длиннее места в записи";
    const double stamp = (PX_GregorianToSdn(2001, 2, 3) - 1721425) * 86400000.0 + 4 * 3600000 + 5 * 60000 + 6000;
    paradox_test::writeTable(dir.file("Other.DB"),
                             {{"Num", pxfLong, 4}, {"Note", pxfMemoBLOb, 20}, {"At", pxfTime, 4},
                              {"Stamp", pxfTimestamp, 8}, {"Amount", pxfBCD, 17, 2}, {"Price", pxfCurrency, 8}},
                             {{-5L, std::string("Коротко"), 45296789L, stamp, std::string("-12.50"), 19.99},
                              {7L, midMemo, 0L, Cell{}, std::string("0.05"), Cell{}},
                              {Cell{}, longMemo, Cell{}, Cell{}, Cell{}, -1.5},
                              {2147483647L, Cell{}, Cell{}, Cell{}, std::string("123456.00"), Cell{}}},
                             1251, dir.file("other.mb"));

    EXPECT_EQ(store::importParadoxTable(dir.file("Other.DB"), dir.file("Other.db")), 4);
    const auto rows = query(dir.file("Other.db"), "SELECT Num, Note, At, Stamp, Amount, Price FROM Other ORDER BY rowid");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"-5", "Коротко", "12:34:56.789", "2001-02-03 04:05:06", "-12.5", "19.99"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"7", midMemo, "00:00:00", "∅", "0.05", "∅"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"∅", longMemo, "∅", "∅", "∅", "-1.5"}));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"2147483647", "∅", "∅", "∅", "123456", "∅"}));

    // Without its memo file the long values cannot be read: refused, not cut.
    fs::remove(dir.file("other.mb"));
    fs::remove(dir.file("Other.db"));
    expectImportError([&] { store::importParadoxTable(dir.file("Other.DB"), dir.file("Other.db")); }, "Other.MB");
    EXPECT_FALSE(fs::exists(dir.file("Other.db")));
}

// Each case damages a valid table in one way and expects a clean error naming the problem.
TEST(ParadoxImport, DamagedHeadersAreRefusedBeforeTheLibraryReadsThem)
{
    OldInstallation old;
    old.writeResults();
    const auto valid = paradox_test::readBytes(old.path("Result.db"));
    struct Damage {
        const char* what;
        std::function<void(std::vector<unsigned char>&)> apply;
        const char* message;
    };
    const std::vector<Damage> damages = {
        {"truncated inside the header", [](auto& b) { b.resize(0x40); }, "слишком короткий"},
        {"truncated inside the data", [](auto& b) { b.resize(b.size() - 1); }, "короче"},
        {"short field claims four bytes", [](auto& b) { b[0x78 + 2 * 4 + 1] = 4; }, "поле № 5"},
        {"field lengths disagree with the record", [](auto& b) { b[0x78 + 1] = 16; }, "сумма длин"},
        {"unknown field type", [](auto& b) { b[0x78 + 2 * 3] = 0x42; }, "поле № 4"},
        {"huge record count", [](auto& b) { b[0x06] = 0xFF; b[0x07] = 0xFF; b[0x08] = 0xFF; b[0x09] = 0x7F; }, "число записей"},
        {"record count differs from the blocks", [](auto& b) { b[0x06] = 2; }, "в блоках"},
        {"block chain loops", [](auto& b) { b[0x800] = 1; }, "цепочка"},
        {"index file instead of data", [](auto& b) { b[0x04] = 1; }, "тип файла"},
        {"header size beyond the file", [](auto& b) { b[0x03] = 0x70; }, "размер заголовка"},
        {"field name runs on", [](auto& b) { std::fill(b.begin() + 0x150, b.begin() + 0x800, 'x'); }, "имя"},
        {"password protected", [](auto& b) { b[0x25] = 0x12; }, "паролем"},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        auto bytes = valid;
        d.apply(bytes);
        paradox_test::writeBytes(old.path("Result.db"), bytes);
        TempDir target;
        expectImportError([&] { store::importParadoxTable(old.path("Result.db"), target.file("Result.db")); },
                          d.message);
        EXPECT_TRUE(filesIn(target.path()).empty());
    }
}

// A directory, a named pipe or a device where a table or memo file should be:
// refused with a message, without opening a pipe (which would wait for a writer).
TEST(ParadoxImport, ReadsOnlyRegularFiles)
{
    OldInstallation old;
    old.writeSubjects();
    old.writeItems();
    fs::create_directory(old.path("Result.db"));
    TempDir target;
    EXPECT_EQ(expectImportError([&] { store::importParadoxDirectory(old.dir.path(), target.path()); },
                                "это каталог, а не обычный файл"),
              store::ImportError::Cause::FileAccess);
    EXPECT_TRUE(filesIn(target.path()).empty());

    fs::remove(old.path("Result.db"));
    old.writeResults();
    fs::remove(old.path("FpiBd.db"));
    ASSERT_EQ(mkfifo(old.path("FpiBd.db").c_str(), 0600), 0);
    EXPECT_EQ(expectImportError([&] { store::importParadoxDirectory(old.dir.path(), target.path()); },
                                "именованный канал"),
              store::ImportError::Cause::FileAccess);
    fs::remove(old.path("FpiBd.db"));
    ASSERT_EQ(symlink("/dev/null", old.path("FpiBd.db").c_str()), 0);
    EXPECT_EQ(expectImportError([&] { store::importParadoxDirectory(old.dir.path(), target.path()); }, "устройство"),
              store::ImportError::Cause::FileAccess);
    EXPECT_TRUE(filesIn(target.path()).empty());

    // A memo file is read only once a long value needs it; a pipe there is refused too.
    TempDir memo;
    std::string longMemo(400, 'x');
    paradox_test::writeTable(memo.file("Notes.DB"), {{"Note", pxfMemoBLOb, 20}}, {{longMemo}}, 1251,
                             memo.file("Notes.MB"));
    fs::remove(memo.file("Notes.MB"));
    ASSERT_EQ(mkfifo(memo.file("Notes.MB").c_str(), 0600), 0);
    EXPECT_EQ(expectImportError([&] { store::importParadoxTable(memo.file("Notes.DB"), memo.file("Notes.db")); },
                                "Notes.MB"),
              store::ImportError::Cause::FileAccess);
    EXPECT_FALSE(fs::exists(memo.file("Notes.db")));
}

// Each case puts a table that the program could not use in place of one of
// the three; the import refuses it, naming the file and the field, and writes nothing.
TEST(ParadoxImport, TablesWithoutTheFieldsTheProgramReadsAreRefused)
{
    std::vector<Column> textDate = paradox_test::resultColumns();
    textDate[3] = {"Dat", pxfAlpha, 10};
    std::vector<Column> realNumber = paradox_test::resultColumns();
    realNumber[16] = {"NN", pxfNumber, 8};
    std::vector<Column> logicalTip = paradox_test::resultColumns();
    logicalTip[10] = {"Tip7", pxfLogical, 1};
    struct Case {
        const char* what;
        std::string file;
        std::vector<Column> columns;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"subjects copied in as the results", "Result.db",
         {{"F", pxfAlpha, 20}, {"I", pxfAlpha, 20}, {"O", pxfAlpha, 20}}, "нет поля «Dat»"},
        {"date held as text", "Result.db", textDate, "поле «Dat» должно быть датой"},
        {"row number held as a real number", "Result.db", realNumber, "поле «NN» должно быть целым числом"},
        {"scale score held as a yes/no value", "Result.db", logicalTip, "поле «Tip7» должно быть целым числом"},
        {"questionnaire without its texts", "FpiBd.db", {{"NumVopros", pxfShort, 2}, {"Text", pxfAlpha, 50}},
         "нет поля «Vopros»"},
        {"subjects without patronymics", "TestFam.DB", {{"F", pxfAlpha, 20}, {"I", pxfAlpha, 20}}, "нет поля «O»"},
        {"a field named as the row number", "TestFam.DB",
         {{"F", pxfAlpha, 20}, {"I", pxfAlpha, 20}, {"O", pxfAlpha, 20}, {"RowId", pxfLong, 4}}, "«RowId»"},
        {"a field named oid", "FpiBd.db",
         {{"NumVopros", pxfShort, 2}, {"Vopros", pxfAlpha, 50}, {"OID", pxfLong, 4}}, "«OID»"},
        {"a field named _rowid_", "Result.db", [] {
             auto c = paradox_test::resultColumns();
             c.push_back({"_rowid_", pxfLong, 4});
             return c;
         }(), "«_rowid_»"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OldInstallation old;
        old.writeAll();
        std::vector<Cell> blankRow(c.columns.size());
        paradox_test::writeTable(old.path(c.file), c.columns, {blankRow});
        TempDir target;
        const std::string dest = target.file("Data");
        const auto cause = expectImportError([&] { store::importParadoxDirectory(old.dir.path(), dest); }, c.message);
        EXPECT_EQ(cause, store::ImportError::Cause::DamagedTable);
        expectImportError([&] { store::importParadoxDirectory(old.dir.path(), dest); }, old.path(c.file));
        EXPECT_TRUE(filesIn(target.path()).empty()) << "nothing is written";
    }

    // Other integer, date and text types of the same kinds are the program's fields still.
    std::vector<Column> kin = paradox_test::resultColumns();
    kin[0] = {"f", pxfMemoBLOb, 20};
    kin[3] = {"DAT", pxfTimestamp, 8};
    kin[4] = {"Tip1", pxfLong, 4};
    kin[16] = {"NN", pxfLong, 4};
    OldInstallation old;
    old.writeSubjects();
    old.writeItems();
    const double stamp = (PX_GregorianToSdn(2020, 5, 6) - 1721425) * 86400000.0;
    std::vector<Cell> row = resultRow("Петров", "Пётр", "Петрович", stamp, {}, 41);
    paradox_test::writeTable(old.path("Result.db"), kin, {row}, 1251, old.path("Result.MB"));
    TempDir target;
    ASSERT_NO_THROW(store::importParadoxDirectory(old.dir.path(), target.path()));
    store::Table results("Result.db");
    results.setDirectoryPath(target.path());
    results.declareFields(store::resultFields());
    ASSERT_NO_THROW(results.open());
    EXPECT_EQ(results.fieldInt("NN"), 41);
    EXPECT_EQ(results.fieldText("F"), "Петров");
}

// Field decoding at the edges that a round trip through the library does not reach.
TEST(ParadoxValues, DatesDecimalsMemosAndText)
{
    using namespace store::paradox;
    EXPECT_EQ(isoDate(1), "0001-01-01");
    EXPECT_EQ(isoDate(PX_GregorianToSdn(2000, 2, 29) - 1721425), "2000-02-29");
    EXPECT_EQ(isoDate(PX_GregorianToSdn(9999, 12, 31) - 1721425), "9999-12-31");
    EXPECT_FALSE(isoDate(0));
    EXPECT_FALSE(isoDate(-1));   // a long holding INT_MIN + 1 and the like
    EXPECT_FALSE(isoDate(PX_GregorianToSdn(9999, 12, 31) - 1721425 + 1));
    EXPECT_FALSE(isoTime(86400000));
    EXPECT_FALSE(isoTimestamp(-1.0));
    EXPECT_FALSE(isoTimestamp(std::numeric_limits<double>::infinity()));

    const unsigned char shortMinusOne[] = {0x7F, 0xFF};
    const unsigned char longZero[] = {0x80, 0, 0, 0};
    EXPECT_EQ(storedInteger(shortMinusOne, 2), -1);
    EXPECT_EQ(storedInteger(longZero, 4), 0);

    unsigned char bcd[17] = {0xC2};   // positive, two decimals, digits 0
    bcd[16] = 0x05;
    EXPECT_EQ(decimalText(bcd, 2), "0.05");
    EXPECT_FALSE(decimalText(bcd, 3));   // decimals disagree with the header
    bcd[9] = 0xAB;                        // not a digit
    EXPECT_FALSE(decimalText(bcd, 2));

    // A locator pointing outside the memo file, at a free block, or with a wrong size.
    std::vector<unsigned char> memo(8192, 0);
    const unsigned char outside[10] = {0xFF, 0, 0x10, 0, 20, 0, 0, 0, 1, 0};
    const unsigned char freeBlock[10] = {0xFF, 0x10, 0, 0, 20, 0, 0, 0, 1, 0};
    EXPECT_FALSE(memoValue(memo, outside));
    memo[4096] = 4;
    EXPECT_FALSE(memoValue(memo, freeBlock));
    memo[4096] = 2;
    memo[4096 + 3] = 21;
    EXPECT_FALSE(memoValue(memo, freeBlock));
    memo[4096 + 3] = 20;
    EXPECT_EQ(memoValue(memo, freeBlock)->size(), 20u);

    // 0x98 is not a character of code page 1251; the text around it survives.
    const TextDecoder cp1251(1251);
    EXPECT_EQ(cp1251.decode("\xC0\x98\xDF", 3), "А\xEF\xBF\xBDЯ");
    EXPECT_EQ(TextDecoder(0).decode("\x80\xF0", 2), "АЁ");   // no code page named: DOS 866
    EXPECT_FALSE(TextDecoder(4242).valid());
}
