#include "ui/table_source.h"

#include "toolkit/incremental_search.h"

#include <QDate>
#include <QHash>
#include <QLocale>

#include <charconv>

namespace ui {

namespace {

QString dateText(const store::Date& date)
{
    return QLocale().toString(QDate(date.year, date.month, date.day), QLocale::ShortFormat);
}

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
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (length == 4 || at + std::size_t(length) > utf8.size())   // beyond the names' alphabet: the slow way
            return toolkit::beginsWithFolded(QString::fromStdString(utf8), prefix);
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & 0x0F;
        for (int i = 1; i < length; ++i)
            code = (code << 6) | (static_cast<unsigned char>(utf8[at + std::size_t(i)]) & 0x3F);
        at += std::size_t(length);
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
            it = known_.insert(key, toolkit::beginsWithFolded(dateText(date), prefix_));
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

QString TableSource::displayText(const store::Value& value)
{
    if (const auto* number = std::get_if<std::int64_t>(&value))
        return QString::number(*number);
    if (const auto* text = std::get_if<std::string>(&value))
        return QString::fromStdString(*text);
    if (const auto* date = std::get_if<store::Date>(&value))
        return dateText(*date);
    if (const auto* real = std::get_if<double>(&value))
        return QLocale().toString(*real);
    return QString();
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

store::Value TableSource::valueFromText(const store::FieldDef& field, const QString& text) const
{
    const QString label = QString::fromStdString(field.displayLabel.empty() ? field.name : field.displayLabel);
    const QString trimmed = text.trimmed();
    switch (field.kind) {
    case store::FieldKind::Integer: {
        if (trimmed.isEmpty())
            return {};
        bool ok = false;
        const qlonglong number = trimmed.toLongLong(&ok);
        if (!ok)
            throw store::StoreError(
                QStringLiteral("Поле «%1»: «%2» не является целым числом").arg(label, text).toStdString());
        return std::int64_t(number);
    }
    case store::FieldKind::Date:
    case store::FieldKind::DateTime: {
        if (trimmed.isEmpty())
            return {};
        QDate date = QLocale().toDate(trimmed, QLocale::ShortFormat);
        if (!date.isValid())
            date = QDate::fromString(trimmed, Qt::ISODate);
        if (!date.isValid())
            throw store::StoreError(
                QStringLiteral("Поле «%1»: «%2» не является датой").arg(label, text).toStdString());
        return store::Date{date.year(), date.month(), date.day()};
    }
    default:
        // Text goes as typed; the table refuses what is longer than its field.
        return text.toStdString();
    }
}

void TableSource::setText(int field, const QString& text)
{
    const store::FieldDef& def = table_.fields().at(std::size_t(field));
    table_.setField(def.name, valueFromText(def, text));
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

}  // namespace ui
