#include "store/result_table.h"

#include "base/utf8.h"
#include "engine/scales.h"

namespace store {
namespace {

// A scale score as the conversion gives it.
constexpr std::int64_t kLowestScore = 1;
constexpr std::int64_t kHighestScore = 9;

std::string tipField(int scale)
{
    return "Tip" + std::to_string(scale);
}

void switchFilterOff(Table& results)
{
    try {
        results.setFiltered(false);
    } catch (const StoreError&) {
        // A row that cannot be stored must not keep the filter on.
        results.cancel();
        results.setFiltered(false);
    }
}

}  // namespace

std::vector<FieldDef> resultFields()
{
    std::vector<FieldDef> fields = {
        {"F", FieldKind::Text, kNameLength, "Фамилия"},
        {"I", FieldKind::Text, kNameLength, "Имя"},
        {"O", FieldKind::Text, kNameLength, "Отчество"},
        {"Dat", FieldKind::Date, 0, "Дата обсл."},
    };
    for (int scale = 1; scale <= 12; ++scale)
        fields.push_back(
            {tipField(scale), FieldKind::Integer, 0, engine::scale(scale).displayLabel, 16, kLowestScore, kHighestScore});
    fields.push_back({"NN", FieldKind::Integer, 0, "", 32});
    return fields;
}

std::string firstChars(const std::string& utf8, int n)
{
    return std::string(base::utf8Prefix(utf8, n > 0 ? std::size_t(n) : 0));
}

void appendResultRow(Table& results, const std::string& surname, const std::string& firstName,
                     const std::string& patronymic, const std::array<std::int32_t, 12>& scores, const Date& date)
{
    results.append();
    results.setField("F", firstChars(surname, kNameLength));
    results.setField("I", firstChars(firstName, kNameLength));
    results.setField("O", firstChars(patronymic, kNameLength));
    for (int scale = 1; scale <= 12; ++scale)
        results.setField(tipField(scale), std::int64_t{scores[static_cast<size_t>(scale - 1)]});
    results.setField("Dat", date);
    results.post();
}

void withOneRowFilter(Table& results, const std::function<void()>& body)
{
    const std::int32_t nn = results.fieldInt("NN");
    results.setFilter("NN=" + std::to_string(nn));
    try {
        results.setFiltered(true);
        body();
    } catch (...) {
        try {
            switchFilterOff(results);
            results.locate("NN", std::int64_t{nn});
        } catch (const StoreError&) {
            // The first failure is the one to report.
        }
        throw;
    }
    switchFilterOff(results);
    results.locate("NN", std::int64_t{nn});
}

std::int32_t itemNumber(const Table& questionnaire)
{
    return questionnaire.fieldInt("NumVopros");
}

std::string resultColumnsSql()
{
    std::string sql = "\"NN\" INTEGER PRIMARY KEY AUTOINCREMENT, \"F\" VARCHAR(15), \"I\" VARCHAR(15), "
                      "\"O\" VARCHAR(15), \"Dat\" DATE";
    for (int scale = 1; scale <= 12; ++scale)
        sql += ", \"" + tipField(scale) + "\" SMALLINT";
    return sql;
}

}  // namespace store
