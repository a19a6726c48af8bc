#include "toolkit/report_find.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace toolkit {

ReportMatch findInReport(const BuiltReport& report, const QString& text, Qt::CaseSensitivity cs, int fromPage,
                         int afterRun)
{
    if (text.isEmpty())
        return {};
    for (int page = std::max(fromPage, 0); page < int(report.pages.size()); ++page) {
        const std::vector<TextRun>& runs = report.pages[page].texts;
        const int firstRun = page == fromPage ? afterRun + 1 : 0;
        for (int run = std::max(firstRun, 0); run < int(runs.size()); ++run) {
            const int at = runs[run].text.indexOf(text, 0, cs);
            if (at >= 0)
                return {page, run, at, int(text.size())};
        }
    }
    return {};
}

ReportFindDialog::ReportFindDialog(QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit), matchCase_(new QCheckBox(QStringLiteral("С учетом регистра"))),
      fromFirst_(new QRadioButton(QStringLiteral("С первой страницы"))),
      fromCurrent_(new QRadioButton(QStringLiteral("С текущей страницы")))
{
    setWindowTitle(QStringLiteral("Поиск"));
    auto* label = new QLabel(QStringLiteral("Искать текст:"));
    label->setBuddy(edit_);
    auto* origin = new QGroupBox(QStringLiteral("Начало поиска"));
    auto* originLayout = new QVBoxLayout(origin);
    originLayout->addWidget(fromFirst_);
    originLayout->addWidget(fromCurrent_);
    fromFirst_->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Найти"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addWidget(matchCase_);
    layout->addWidget(origin);
    layout->addWidget(buttons);
}

QString ReportFindDialog::text() const { return edit_->text(); }

Qt::CaseSensitivity ReportFindDialog::caseSensitivity() const
{
    return matchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

bool ReportFindDialog::fromCurrentPage() const { return fromCurrent_->isChecked(); }

}  // namespace toolkit
