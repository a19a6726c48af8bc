#pragma once
// Finding a text in built pages (the text, not pixels) and the find dialog.

#include "toolkit/report_model.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace toolkit {

struct ReportMatch {
    int page = -1;
    int run = -1;
    int position = -1;
    int length = 0;

    bool found() const { return page >= 0; }
};

// The first occurrence on page `fromPage` or later, skipping the runs of
// that page up to and including `afterRun`.
ReportMatch findInReport(const BuiltReport& report, const QString& text, Qt::CaseSensitivity cs, int fromPage,
                         int afterRun = -1);

// Asks for the text, case matching and where to start.
class ReportFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReportFindDialog(QWidget* parent = nullptr);

    QString text() const;
    Qt::CaseSensitivity caseSensitivity() const;
    bool fromCurrentPage() const;

private:
    QLineEdit* edit_;
    QCheckBox* matchCase_;
    QRadioButton* fromFirst_;
    QRadioButton* fromCurrent_;
};

}  // namespace toolkit
