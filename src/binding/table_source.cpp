#include "binding/table_source.h"

#include "base/utf8.h"
#include "binding/display_text.h"
#include "toolkit/incremental_search.h"

#include <QDate>
#include <QHash>
#include <QLocale>

#include <charconv>
#include <limits>
#include <utility>

namespace binding {

namespace {

// Digits of a number against a folded prefix, without building a string per row.
bool numberBegins(std::int64_t number, const QString& prefix)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    if (end - digits < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (prefix[i] != QLatin1Char(digits[i]))
            return false;
    }
    return true;
}

// Decodes only as many characters as the prefix has, with no string built
// per row: a whole-table scan goes through every row of the column.
bool textBegins(const std::string& utf8, const QString& prefix)
{
    std::size_t at = 0;
    for (const QChar wanted : prefix) {
        if (at >= utf8.size())
            return false;
        const char32_t code = base::nextUtf8Char(utf8, at);
        if (code > 0xFFFF || code == base::kBadChar)   // beyond the names' alphabet, or damaged: the slow way
            return toolkit::beginsWithFolded(QString::fromStdString(utf8), prefix);
        if (QChar(char16_t(code)).toUpper() != wanted)
            return false;
    }
    return true;
}

// Dates repeat from row to row, so each is formatted once per scan.
class DateMatcher {
public:
    explicit DateMatcher(const QString& prefix) : prefix_(prefix) {}
    bool operator()(const store::Date& date)
    {
        const int key = (date.year * 16 + date.month) * 32 + date.day;
        auto it = known_.constFind(key);
        if (it == known_.cend())
            it = known_.insert(key, toolkit::beginsWithFolded(displayText(date), prefix_));
        return *it;
    }

private:
    QString prefix_;
    QHash<int, bool> known_;
};

}  // namespace

TableSource::TableSource(store::Table& table, QObject* parent)
    : GridSource(parent)
    , table_(table)
{
    subscription_ = table_.subscribe([this](store::Table::Change change) {
        switch (change) {
        case store::Table::Change::Reset:
            emit reset();
            break;
        case store::Table::Change::Row:
            emit rowChanged(currentRow());
            break;
        case store::Table::Change::Cursor:
            emit cursorMoved(currentRow());
            break;
        }
    });
}

TableSource::~TableSource()
{
    table_.unsubscribe(subscription_);
}

void TableSource::refresh()
{
    if (table_.active())
        table_.refresh();
}

bool TableSource::isOpen() const
{
    return table_.active();
}

int TableSource::rowCount() const
{
    if (!isOpen())
        return 0;
    const bool inserting = table_.state() == store::Table::State::Insert;
    return int(table_.recordCount()) + (inserting ? 1 : 0);
}

int TableSource::fieldIndex(const QString& field) const
{
    if (!isOpen())
        return -1;
    const std::string name = field.toStdString();
    const auto& fields = table_.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == name)
            return int(i);
    }
    return -1;
}

QStringList TableSource::bufferTexts() const
{
    QStringList texts;
    for (const store::FieldDef& field : table_.fields())
        texts << displayText(table_.field(field.name));
    return texts;
}

QStringList TableSource::rowTexts(int row) const
{
    // The row being edited or inserted shows its changes; a new row sits at
    // its place, pushing the stored rows below it down by one.
    const std::int64_t current = table_.recNo();
    switch (table_.state()) {
    case store::Table::State::Insert:
        if (row == current)
            return bufferTexts();
        if (row > current)
            --row;
        break;
    case store::Table::State::Edit:
        if (row == current)
            return bufferTexts();
        break;
    default:
        break;
    }
    QStringList texts;
    for (const store::Value& value : table_.rowAt(row))
        texts << displayText(value);
    return texts;
}

int TableSource::currentRow() const
{
    return int(table_.recNo());
}

void TableSource::setCurrentRow(int row)
{
    table_.moveTo(row);
}

toolkit::GridSource::State TableSource::state() const
{
    switch (table_.state()) {
    case store::Table::State::Edit:
        return State::Edit;
    case store::Table::State::Insert:
        return State::Insert;
    default:
        return State::Browse;
    }
}

bool TableSource::modified() const
{
    return table_.modified();
}

void TableSource::edit()
{
    table_.edit();
}

QDate TableSource::dateFromText(const QString& text)
{
    const QLocale locale;
    const QString trimmed = text.trimmed();
    // The short format may have a two-digit year, which Qt reads as 19xx: a
    // four-digit year is tried first, then two digits taken in this century.
    QString fullYear = locale.dateFormat(QLocale::ShortFormat);
    if (!fullYear.contains(QLatin1String("yyyy")))
        fullYear.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    QString twoDigitYear = fullYear;
    twoDigitYear.replace(QLatin1String("yyyy"), QLatin1String("yy"));

    QDate date = locale.toDate(trimmed, fullYear);
    if (date.isValid())
        return date;
    date = locale.toDate(trimmed, twoDigitYear);
    if (date.isValid())
        return QDate(2000 + date.year() % 100, date.month(), date.day());
    return QDate::fromString(trimmed, Qt::ISODate);
}

void TableSource::setFieldLabel(const QString& field, const QString& label)
{
    labels_.insert(field, label);
}

QString TableSource::labelOf(const store::FieldDef& field) const
{
    const QString name = QString::fromStdString(field.name);
    const auto it = labels_.constFind(name);
    if (it != labels_.cend())
        return *it;
    return field.displayLabel.empty() ? name : QString::fromStdString(field.displayLabel);
}

namespace {

[[noreturn]] void refuse(const QString& label, const QString& allowed, const QString& typed)
{
    throw store::StoreError(
        QStringLiteral("«%1»: %2; введено «%3»").arg(label, allowed, typed).toStdString());
}

// The integers a person may enter in the field: its own range, or what its
// size holds.
std::pair<qlonglong, qlonglong> integerRange(const store::FieldDef& field)
{
    if (field.hasRange())
        return {field.minValue, field.maxValue};
    if (field.bits > 0 && field.bits < 64) {
        const qlonglong limit = qlonglong(1) << (field.bits - 1);
        return {-limit, limit - 1};
    }
    return {std::numeric_limits<qlonglong>::min(), std::numeric_limits<qlonglong>::max()};
}

}  // namespace

store::Value TableSource::valueFromText(const store::FieldDef& field, const QString& text) const
{
    const QString trimmed = text.trimmed();
    switch (field.kind) {
    case store::FieldKind::Integer: {
        if (trimmed.isEmpty())
            return {};
        const auto [lowest, highest] = integerRange(field);
        bool ok = false;
        const qlonglong number = trimmed.toLongLong(&ok);
        if (!ok || number < lowest || number > highest) {
            const bool unbounded = lowest == std::numeric_limits<qlonglong>::min();
            refuse(labelOf(field),
                   unbounded ? QStringLiteral("допустимы только целые числа")
                             : QStringLiteral("допустимы целые числа от %1 до %2").arg(lowest).arg(highest),
                   text);
        }
        return std::int64_t(number);
    }
    case store::FieldKind::Date:
    case store::FieldKind::DateTime: {
        if (trimmed.isEmpty())
            return {};
        const QDate date = dateFromText(trimmed);
        const store::Date value{date.year(), date.month(), date.day()};
        if (!date.isValid() || !value.valid()) {
            const QString example = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
            refuse(labelOf(field), QStringLiteral("допустима дата, например %1").arg(example), text);
        }
        return value;
    }
    case store::FieldKind::Text:
        if (field.size > 0 && text.toUcs4().size() > field.size)
            refuse(labelOf(field), QStringLiteral("допустим текст не длиннее %1 символов").arg(field.size), text);
        return text.toStdString();
    default:
        // The table converts what it can and refuses the rest.
        return text.toStdString();
    }
}

void TableSource::setText(int field, const QString& text)
{
    const store::FieldDef& def = table_.fields().at(std::size_t(field));
    table_.setField(def.name, valueFromText(def, text));
}

int TableSource::maxLength(int field) const
{
    if (!isOpen() || field < 0 || std::size_t(field) >= table_.fields().size())
        return 0;
    const store::FieldDef& def = table_.fields()[std::size_t(field)];
    return def.kind == store::FieldKind::Text ? def.size : 0;
}

void TableSource::post()
{
    table_.post();
}

void TableSource::cancel()
{
    table_.cancel();
}

void TableSource::insertRow()
{
    table_.insert();
}

void TableSource::appendRow()
{
    table_.append();
}

void TableSource::deleteCurrentRow()
{
    table_.deleteCurrent();
}

int TableSource::findRow(int field, int from, int step, const QString& prefix) const
{
    if (!isOpen() || field < 0)
        return -1;
    DateMatcher dateBegins(prefix);
    const auto matches = [&](const store::Value& value) {
        if (const auto* number = std::get_if<std::int64_t>(&value))
            return numberBegins(*number, prefix);
        if (const auto* text = std::get_if<std::string>(&value))
            return textBegins(*text, prefix);
        if (const auto* date = std::get_if<store::Date>(&value))
            return dateBegins(*date);
        return toolkit::beginsWithFolded(displayText(value), prefix);
    };
    const std::string& name = table_.fields().at(std::size_t(field)).name;
    return int(table_.findRow(name, from, step, matches));
}

}  // namespace binding
