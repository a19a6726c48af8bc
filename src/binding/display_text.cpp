#include "binding/display_text.h"

#include <QDate>
#include <QLocale>

namespace binding {

QString displayText(const store::Value& value)
{
    struct Visitor {
        QString operator()(std::monostate) const { return QString(); }
        QString operator()(std::int64_t number) const { return QString::number(number); }
        QString operator()(double real) const
        {
            QLocale locale;
            locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
            return locale.toString(real, 'g', QLocale::FloatingPointShortest);
        }
        QString operator()(const std::string& text) const { return QString::fromStdString(text); }
        QString operator()(const store::Date& date) const
        {
            return QLocale().toString(QDate(date.year, date.month, date.day), QLocale::ShortFormat);
        }
    };
    return std::visit(Visitor{}, value);
}

}  // namespace binding
