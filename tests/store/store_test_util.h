#pragma once
// Scratch data directories for the store's tests. The helpers that make and
// fill tables work on both engines: in a directory kept on a server
// (engine_test_util.h) the three tables exist already and are only filled.

#include "store/result_table.h"
#include "store/server.h"
#include "store/table.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace storetest {

using TempDir = testsupport::TempDir;

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline void makeResults(const TempDir& dir)
{
    if (store::keptOnServer(dir.path()))
        return;
    store::createTableFile(dir.file("Result.db"), store::resultColumnsSql());
}

// A questionnaire with the given item numbers, in that order.
inline void makeQuestionnaire(const TempDir& dir, const std::vector<store::Value>& numbers)
{
    if (!store::keptOnServer(dir.path()))
        store::createTableFile(dir.file("FpiBd.db"), "\"NumVopros\", \"Vopros\" TEXT");
    store::Table t("FpiBd.db");
    t.setDirectoryPath(dir.path());
    t.open();
    for (const store::Value& n : numbers) {
        t.append();
        t.setField("NumVopros", n);
        t.setField("Vopros", std::string("Вопрос"));
        t.post();
    }
}

inline void makeSubjects(const TempDir& dir)
{
    if (store::keptOnServer(dir.path()))
        return;
    store::createTableFile(dir.file("TestFam.DB"), "\"F\" VARCHAR(15), \"I\" VARCHAR(15), \"O\" VARCHAR(15)");
}

inline std::array<std::int32_t, 12> scores(std::int32_t first)
{
    std::array<std::int32_t, 12> s{};
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = first + static_cast<std::int32_t>(i);
    return s;
}

// An open results table with the given surnames appended in order.
inline void openResults(store::Table& t, const TempDir& dir, const std::vector<std::string>& surnames = {})
{
    t.setDirectoryPath(dir.path());
    t.declareFields(store::resultFields());
    t.open();
    for (const std::string& name : surnames)
        store::appendResultRow(t, name, "Имя", "Отчество", scores(1), store::Date{2024, 3, 15});
}

// Runs the statement and expects a StoreError whose text holds `part`.
#define EXPECT_STORE_ERROR(statement, part)                                                  \
    do {                                                                                     \
        try {                                                                                \
            statement;                                                                       \
            ADD_FAILURE() << "no error raised by " #statement;                               \
        } catch (const store::StoreError& e) {                                               \
            EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();      \
        }                                                                                    \
    } while (0)

}  // namespace storetest
