#include "toolkit/report_windows.h"

#include "toolkit/report_preview.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProgressDialog>

#include <memory>

namespace toolkit {
namespace {

// The progress window, created on the first step and closed with the build.
class ProgressWindow {
public:
    explicit ProgressWindow(QWidget* parent) : parent_(parent) {}

    bool step(int done, int total)
    {
        if (!dialog_) {
            dialog_ = std::make_unique<QProgressDialog>(QStringLiteral("Страница 1"), QStringLiteral("Отмена"), 0,
                                                        total, parent_);
            dialog_->setWindowTitle(QStringLiteral("Подготовка отчета"));
            dialog_->setWindowModality(Qt::ApplicationModal);
            dialog_->setMinimumDuration(0);
            dialog_->setAutoClose(false);
            dialog_->setAutoReset(false);
        }
        dialog_->setValue(done);
        QCoreApplication::processEvents();
        return !dialog_->wasCanceled();
    }

private:
    QWidget* parent_;
    std::unique_ptr<QProgressDialog> dialog_;
};

class RealReportWindows : public ReportWindows {
public:
    BuildProgress progress(QWidget* parent) override
    {
        auto window = std::make_shared<ProgressWindow>(parent);
        return [window](int done, int total) { return window->step(done, total); };
    }
    void preview(const BuiltReport& report, const QString& printerName, QWidget* parent) override
    {
        ReportPreview preview(report, printerName, parent);
        preview.exec();
    }
    void error(const QString& text, QWidget* parent) override
    {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), text, QMessageBox::Ok, parent);
        box.exec();
    }
};

ReportWindows* installed = nullptr;

}  // namespace

ReportWindows& reportWindows()
{
    static RealReportWindows real;
    return installed ? *installed : real;
}

void setReportWindows(ReportWindows* windows) { installed = windows; }

}  // namespace toolkit
