#include "toolkit/report_engine.h"

#include "toolkit/report_preview.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QProgressDialog>

#include <memory>

namespace toolkit {
namespace {

ReportWindowHooks& hooks()
{
    static ReportWindowHooks h;
    return h;
}

// The progress window, created on the first step and closed with the build.
class ProgressWindow {
public:
    explicit ProgressWindow(QWidget* parent) : parent_(parent) {}

    bool step(int done, int total)
    {
        if (hooks().progress)
            return hooks().progress(done, total);
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

void showError(const QString& text, QWidget* parent)
{
    if (hooks().errorBox) {
        hooks().errorBox(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

void setReportWindowHooks(ReportWindowHooks h) { hooks() = std::move(h); }

Report::Report(ReportLayout layout) : layout_(std::move(layout)) {}

void Report::setPreferredPrinter(const QString& name)
{
    preferredPrinter_ = name;
    selectPreferredPrinter();
}

void Report::selectPreferredPrinter()
{
    if (!preferredPrinter_.isEmpty() && !QPrinterInfo::printerInfo(preferredPrinter_).isNull())
        printerName_ = preferredPrinter_;
}

bool Report::prepare(QWidget* parent)
{
    built_ = {};
    selectPreferredPrinter();
    ProgressWindow progress(parent);
    try {
        std::optional<BuiltReport> report = buildReport(
            layout_, resolver_, [&progress](int done, int total) { return progress.step(done, total); });
        if (!report)
            return false;
        built_ = std::move(*report);
        return true;
    } catch (const ReportError& e) {
        showError(e.text(), parent);
        return false;
    }
}

void Report::showPreview(QWidget* parent)
{
    if (built_.empty())
        return;
    if (hooks().preview) {
        hooks().preview(built_, printerName_);
        return;
    }
    ReportPreview preview(built_, printerName_, parent);
    preview.exec();
}

}  // namespace toolkit
