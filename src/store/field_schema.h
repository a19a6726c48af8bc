#pragma once
// The fields of a table file: what the file declares, how a declared field
// is checked against it, and whether a value fits a field.

#include "store/sqlite_util.h"
#include "store/table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace store::detail {

class StatementCache;

// Field names compare without regard to ASCII case, as SQLite compares them.
bool sameName(const std::string& a, const std::string& b);

// True when n fits a signed integer of `bits` bits (0 or 64: any).
bool fitsBits(std::int64_t n, int bits);

// The value as the field stores it (an empty text is a blank field), or a
// StoreError that starts with `label` (which names the file and field) and
// says why: wrong kind, an integer outside the field's bits, a text too long.
Value fitted(const FieldDef& field, const Value& v, const std::string& label);

// The value of a result column as the field holds it: an empty text is
// null, a date field's ISO text a date.
Value columnValue(sqlite3_stmt* stmt, int column, const FieldDef& field);

// The fields a table holds: the declared ones checked against the file, or
// those of the file when nothing is declared.
struct Schema {
    std::vector<FieldDef> fields;
    int autoField = -1;   // the field that is the row number (a sole INTEGER PRIMARY KEY)
};

// A field from a stored column: the kind from the declared type, the size
// of a text from "(n)".
FieldDef fieldFromColumn(const std::string& name, std::string type);

// The declared fields checked against the stored ones (storedAuto: the index
// of the one the store fills, -1 when none), or the stored ones when nothing
// is declared; fails starting with `label` when a declared field is missing
// or of an incompatible kind.
Schema matchFields(const std::vector<FieldDef>& stored, int storedAuto, const std::vector<FieldDef>& declared,
                   const std::string& label);

// Reads the fields of the table `stem`; fails naming the file when a declared
// field is missing or of an incompatible kind.
Schema readSchema(const StatementCache& statements, const std::string& stem, const std::vector<FieldDef>& declared);

}  // namespace store::detail
