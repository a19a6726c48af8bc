#pragma once
// The modal preview window over built pages: zoom, open, save, print, find,
// help and close. The zoom chosen last is kept for the rest of the run; the
// window's placement is kept per user between runs.

#include "toolkit/report_find.h"
#include "toolkit/report_model.h"

#include <QDialog>
#include <QList>

class QScrollArea;
class QToolButton;

namespace toolkit {

struct ReportZoom {
    enum Mode { Percent, PageWidth, WholePage, TwoPages };
    Mode mode = Percent;
    int percent = 100;

    bool operator==(const ReportZoom& o) const { return mode == o.mode && percent == o.percent; }
};

class ReportPreview : public QDialog {
    Q_OBJECT
public:
    // `printerName`: the printer preselected in the print dialog; empty for the current one.
    ReportPreview(BuiltReport report, QString printerName, QWidget* parent = nullptr);
    ~ReportPreview() override;

    // The zoom of the next preview: the one chosen last in this run, 100% at first.
    static ReportZoom runZoom();

    const BuiltReport& report() const { return report_; }
    // Zoom, open, save, print, find, help, close: left to right.
    QList<QToolButton*> buttons() const;
    QToolButton* printButton() const;

    ReportZoom zoom() const { return zoom_; }
    void setZoom(const ReportZoom& zoom);
    double scale() const;   // screen pixels per layout unit

    // The file operations without their file dialogs; failures are told to
    // the operator and leave the pages shown unchanged.
    bool openFrom(const QString& path);
    bool saveTo(const QString& path);

    // Finds from the first page, or from the current page (after the match
    // shown last when that is on it), and shows the match.
    ReportMatch find(const QString& text, Qt::CaseSensitivity cs, bool fromCurrentPage);
    const ReportMatch& shownMatch() const { return match_; }
    int currentPage() const;

protected:
    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class PageView;

    QToolButton* addButton(const QString& text, const QString& hint);
    void buildZoomMenu(QToolButton* button);
    void updateView();
    void askOpen();
    void askSave();
    void askPrint();
    void askFind();
    void showMatch(const ReportMatch& match);

    BuiltReport report_;
    QString printerName_;
    ReportZoom zoom_;
    ReportMatch match_;
    QList<QToolButton*> buttons_;
    QScrollArea* scroll_;
    PageView* view_;
};

}  // namespace toolkit
