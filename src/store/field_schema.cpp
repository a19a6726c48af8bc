#include "store/field_schema.h"

#include "base/utf8.h"
#include "store/statement_cache.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace store::detail {

namespace {

bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

bool compatible(FieldKind declared, FieldKind inFile)
{
    switch (declared) {
    case FieldKind::Date:
    case FieldKind::DateTime:
        return inFile == FieldKind::Date || inFile == FieldKind::DateTime;
    case FieldKind::Real:
        return inFile == FieldKind::Real || inFile == FieldKind::Integer;
    case FieldKind::Other:
        return true;
    default:
        return declared == inFile;
    }
}

const char* kindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text:
        return "текстом";
    case FieldKind::Integer:
        return "целым числом";
    case FieldKind::Real:
        return "числом";
    case FieldKind::Date:
    case FieldKind::DateTime:
        return "датой";
    default:
        return "значением";
    }
}

[[noreturn]] void reject(const std::string& label, const std::string& problem)
{
    throw StoreError(label + ": " + problem);
}


std::int64_t fittedInteger(const FieldDef& field, const Value& v, const std::string& label)
{
    std::int64_t n = 0;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        n = *i;
    else if (const auto* r = std::get_if<double>(&v); r && std::trunc(*r) == *r && std::fabs(*r) < 9e18)
        n = static_cast<std::int64_t>(*r);
    else if (std::holds_alternative<std::string>(v))
        n = toInt32(v, label);
    else
        reject(label, "ожидается целое число");
    if (!fitsBits(n, field.bits))
        reject(label, "число " + std::to_string(n) + " не помещается в " + std::to_string(field.bits) + " бит");
    return n;
}

double fittedReal(const Value& v, const std::string& label)
{
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    if (const auto* r = std::get_if<double>(&v))
        return *r;
    if (const auto* text = std::get_if<std::string>(&v)) {
        char* end = nullptr;
        const double r = std::strtod(text->c_str(), &end);
        if (end != text->c_str() && *end == '\0')
            return r;
    }
    reject(label, "ожидается число");
}

Date fittedDate(const Value& v, const std::string& label)
{
    if (const auto* d = std::get_if<Date>(&v); d && d->valid())
        return *d;
    if (const auto* text = std::get_if<std::string>(&v))
        if (const auto d = Date::fromIso(*text))
            return *d;
    reject(label, "ожидается дата");
}

}  // namespace

// A field as the file declares it: the kind from the declared type, the size
// of a text from "(n)".
FieldDef fieldFromColumn(const std::string& name, std::string type)
{
    for (char& c : type)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    FieldDef f;
    f.name = name;
    if (contains(type, "INT")) {
        f.kind = FieldKind::Integer;
        f.bits = contains(type, "SMALLINT") || contains(type, "INT2") ? 16 : 0;
    } else if (contains(type, "CHAR") || contains(type, "TEXT") || contains(type, "CLOB")) {
        f.kind = FieldKind::Text;
        const auto open = type.find('(');
        if (open != std::string::npos)
            f.size = std::atoi(type.c_str() + open + 1);
    } else if (contains(type, "DATETIME") || contains(type, "TIMESTAMP") || contains(type, "TIME")) {
        f.kind = FieldKind::DateTime;
    } else if (contains(type, "DATE")) {
        f.kind = FieldKind::Date;
    } else if (contains(type, "REAL") || contains(type, "FLOA") || contains(type, "DOUB") ||
               contains(type, "NUMERIC") || contains(type, "DECIMAL")) {
        f.kind = FieldKind::Real;
    }
    return f;
}

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool fitsBits(std::int64_t n, int bits)
{
    const std::int64_t limit = bits > 0 && bits < 64 ? std::int64_t{1} << (bits - 1) : 0;
    return limit == 0 || (n >= -limit && n < limit);
}

Value fitted(const FieldDef& field, const Value& v, const std::string& label)
{
    const auto* text = std::get_if<std::string>(&v);
    if (isNull(v) || (text && text->empty()))
        return Value();
    switch (field.kind) {
    case FieldKind::Text:
        if (!text)
            reject(label, "ожидается текст");
        if (field.size > 0 && static_cast<int>(base::utf8Length(*text)) > field.size)
            reject(label, "текст длиннее " + std::to_string(field.size) + " символов");
        return v;
    case FieldKind::Integer:
        return fittedInteger(field, v, label);
    case FieldKind::Real:
        return fittedReal(v, label);
    case FieldKind::Date:
    case FieldKind::DateTime:
        return fittedDate(v, label);
    default:
        return v;
    }
}

Value columnValue(sqlite3_stmt* stmt, int column, const FieldDef& field)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return sqlite3_column_int64(stmt, column);
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, column);
    case SQLITE_NULL:
        return {};
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        std::string s(text, static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
        if (s.empty())
            return {};
        if (field.kind == FieldKind::Date || field.kind == FieldKind::DateTime)
            if (const auto date = Date::fromIso(s))
                return *date;
        return s;
    }
    }
}

Schema matchFields(const std::vector<FieldDef>& stored, int storedAuto, const std::vector<FieldDef>& declared,
                   const std::string& label)
{
    Schema schema;
    if (declared.empty()) {
        schema.fields = stored;
        schema.autoField = storedAuto;
    }
    for (const FieldDef& want : declared) {
        const auto it = std::find_if(stored.begin(), stored.end(),
                                     [&](const FieldDef& f) { return sameName(f.name, want.name); });
        if (it == stored.end())
            reject(label, "нет поля «" + want.name + "»");
        if (!compatible(want.kind, it->kind))
            reject(label, "поле «" + want.name + "» должно быть " + kindName(want.kind));
        if (it - stored.begin() == storedAuto)
            schema.autoField = static_cast<int>(schema.fields.size());
        schema.fields.push_back(want);
    }
    return schema;
}

Schema readSchema(const StatementCache& statements, const std::string& stem, const std::vector<FieldDef>& declared)
{
    Query q(statements, "SELECT name, type, pk FROM pragma_table_info(:t)");
    q.bind(":t", stem);
    std::vector<FieldDef> inFile;
    std::vector<bool> primary;   // the column is the row number (a sole INTEGER primary key)
    while (q.step()) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 0));
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 1));
        inFile.push_back(fieldFromColumn(name ? name : "", type ? type : ""));
        primary.push_back(sqlite3_column_int(q.get(), 2) == 1 && type && sameName(type, "INTEGER"));
    }
    int autoField = -1;
    if (std::count(primary.begin(), primary.end(), true) == 1)
        autoField = static_cast<int>(std::find(primary.begin(), primary.end(), true) - primary.begin());
    return matchFields(inFile, autoField, declared, tableLabel(statements.path()));
}

}  // namespace store::detail
