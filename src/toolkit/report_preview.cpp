#include "toolkit/report_preview.h"

#include "toolkit/operator_box.h"
#include "toolkit/report_file.h"
#include "toolkit/report_render.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <algorithm>
#include <cmath>

namespace toolkit {
namespace {

constexpr int kMargin = 10;   // pixels around and between pages
const char* const kGeometryKey = "ReportPreview/geometry";

ReportZoom& lastZoom()
{
    static ReportZoom zoom;
    return zoom;
}

}  // namespace

// Draws the pages one under another (two side by side in the two-page zoom)
// and marks the match shown.
class ReportPreview::PageView : public QWidget {
public:
    explicit PageView(ReportPreview* preview) : preview_(preview) {}

    int perRow() const { return preview_->zoom_.mode == ReportZoom::TwoPages ? 2 : 1; }
    QSizeF pagePixels() const { return preview_->report_.pageSize * preview_->scale(); }

    QPointF pageOrigin(int page) const
    {
        const QSizeF p = pagePixels();
        return QPointF(kMargin + (page % perRow()) * (p.width() + kMargin),
                       kMargin + (page / perRow()) * (p.height() + kMargin));
    }

    void relayout()
    {
        const QSizeF p = pagePixels();
        const int pages = std::max<int>(1, int(preview_->report_.pages.size()));
        const int columns = std::min(perRow(), pages);
        const int rows = (pages + perRow() - 1) / perRow();
        resize(int(std::ceil(columns * (p.width() + kMargin) + kMargin)),
               int(std::ceil(rows * (p.height() + kMargin) + kMargin)));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        const double scale = preview_->scale();
        const QSizeF size = pagePixels();
        for (int page = 0; page < int(preview_->report_.pages.size()); ++page) {
            const QPointF origin = pageOrigin(page);
            painter.fillRect(QRectF(origin, size), Qt::white);
            const ReportMatch& m = preview_->match_;
            if (m.page == page) {
                const QRectF r = runRect(preview_->report_.pages[page].texts[m.run], m.position, m.length);
                painter.fillRect(QRectF(origin + r.topLeft() * scale, r.size() * scale), QColor(255, 230, 0));
            }
            renderPage(preview_->report_, page, painter, scale, origin);
        }
    }

private:
    ReportPreview* preview_;
};

ReportPreview::ReportPreview(BuiltReport report, QString printerName, QWidget* parent)
    : QDialog(parent), report_(std::move(report)), printerName_(std::move(printerName)), zoom_(lastZoom()),
      scroll_(new QScrollArea), view_(new PageView(this))
{
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setModal(true);

    auto* zoomButton = addButton(QStringLiteral("Масштаб"), QStringLiteral("Масштаб"));
    buildZoomMenu(zoomButton);
    connect(addButton(QStringLiteral("Открыть"), QStringLiteral("Открыть отчет")), &QToolButton::clicked, this,
            [this] { guarded([this] { askOpen(); }); });
    connect(addButton(QStringLiteral("Сохранить"), QStringLiteral("Сохранить отчет в файле")), &QToolButton::clicked,
            this, [this] { guarded([this] { askSave(); }); });
    QToolButton* print = addButton(QStringLiteral("Печать"), QStringLiteral("Печать отчета"));
    print->setEnabled(!QPrinterInfo::availablePrinters().isEmpty());
    connect(print, &QToolButton::clicked, this, [this] { guarded([this] { askPrint(); }); });
    connect(addButton(QStringLiteral("Поиск"), QStringLiteral("Поиск")), &QToolButton::clicked, this,
            [this] { guarded([this] { askFind(); }); });
    connect(addButton(QStringLiteral("Справка"), QStringLiteral("Показать справку")), &QToolButton::clicked, this,
            [] { QWhatsThis::enterWhatsThisMode(); });
    connect(addButton(QStringLiteral("Выход"), QStringLiteral("Выход")), &QToolButton::clicked, this,
            &QDialog::reject);

    auto* bar = new QHBoxLayout;
    for (QToolButton* b : buttons_)
        bar->addWidget(b);
    bar->addStretch();
    scroll_->setWidget(view_);
    scroll_->setAlignment(Qt::AlignHCenter);
    // The whole view is dark around the pages, not only the band the pages take.
    scroll_->setBackgroundRole(QPalette::Dark);
    view_->setWhatsThis(QStringLiteral("Страницы отчета в том виде, в каком они будут напечатаны."));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(scroll_, 1);

    const QByteArray geometry = QSettings().value(kGeometryKey).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        setWindowState(windowState() | Qt::WindowMaximized);
    updateView();
}

ReportPreview::~ReportPreview() = default;

ReportZoom ReportPreview::runZoom() { return lastZoom(); }

QList<QToolButton*> ReportPreview::buttons() const { return buttons_; }

QToolButton* ReportPreview::printButton() const { return buttons_.at(3); }

QToolButton* ReportPreview::addButton(const QString& text, const QString& hint)
{
    auto* button = new QToolButton;
    button->setText(text);
    button->setToolTip(hint);
    button->setWhatsThis(hint);
    button->setAutoRaise(true);
    buttons_.append(button);
    return button;
}

void ReportPreview::buildZoomMenu(QToolButton* button)
{
    auto* menu = new QMenu(button);
    for (int percent : {200, 150, 100, 75, 50, 25, 10})
        menu->addAction(QStringLiteral("%1%").arg(percent), this,
                        [this, percent] { setZoom({ReportZoom::Percent, percent}); });
    menu->addAction(QStringLiteral("По ширине страницы"), this, [this] { setZoom({ReportZoom::PageWidth, 100}); });
    menu->addAction(QStringLiteral("Страница целиком"), this, [this] { setZoom({ReportZoom::WholePage, 100}); });
    menu->addAction(QStringLiteral("Две страницы"), this, [this] { setZoom({ReportZoom::TwoPages, 100}); });
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
}

void ReportPreview::setZoom(const ReportZoom& zoom)
{
    zoom_ = zoom;
    lastZoom() = zoom;
    updateView();
}

double ReportPreview::scale() const
{
    const QSizeF page = report_.pageSize.isEmpty() ? QSizeF(1, 1) : report_.pageSize;
    // Fitting zooms measure the area without scroll bars; page width leaves room for the vertical one.
    const QSize area = scroll_->maximumViewportSize();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const double across = (area.width() - scrollBar - 2.0 * kMargin) / page.width();
    const double down = (area.height() - 2.0 * kMargin) / page.height();
    double s = 0;
    switch (zoom_.mode) {
    case ReportZoom::Percent:
        s = logicalDpiX() / kUnitsPerInch * zoom_.percent / 100.0;
        break;
    case ReportZoom::PageWidth:
        s = across;
        break;
    case ReportZoom::WholePage:
        s = std::min((area.width() - 2.0 * kMargin) / page.width(), down);
        break;
    case ReportZoom::TwoPages:
        s = std::min((area.width() - 3.0 * kMargin) / (2 * page.width()), down);
        break;
    }
    return std::max(s, 0.01);
}

void ReportPreview::updateView() { view_->relayout(); }

void ReportPreview::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    updateView();
}

void ReportPreview::done(int result)
{
    if (isVisible())
        QSettings().setValue(kGeometryKey, saveGeometry());
    QDialog::done(result);
}

bool ReportPreview::openFrom(const QString& path)
{
    try {
        report_ = openReportFile(path);
    } catch (const ReportFileError& e) {
        operatorBox().message(QString::fromUtf8(e.what()));
        return false;
    }
    match_ = {};
    updateView();
    return true;
}

bool ReportPreview::saveTo(const QString& path)
{
    try {
        saveReportFile(report_, path);
    } catch (const ReportFileError& e) {
        operatorBox().message(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

int ReportPreview::currentPage() const
{
    if (report_.pages.empty())
        return 0;
    const double rowHeight = report_.pageSize.height() * scale() + kMargin;
    const int row = int((scroll_->verticalScrollBar()->value() + rowHeight / 2) / rowHeight);
    return std::clamp(row * view_->perRow(), 0, int(report_.pages.size()) - 1);
}

ReportMatch ReportPreview::find(const QString& text, Qt::CaseSensitivity cs, bool fromCurrentPage)
{
    ReportMatch found;
    if (!fromCurrentPage) {
        found = findInReport(report_, text, cs, 0);
    } else {
        const int page = currentPage();
        found = findInReport(report_, text, cs, page, match_.page == page ? match_.run : -1);
    }
    if (!found.found())
        operatorBox().message(QStringLiteral("Текст «%1» не найден").arg(text));
    showMatch(found);
    return found;
}

void ReportPreview::showMatch(const ReportMatch& match)
{
    match_ = match;
    if (match.found()) {
        const TextRun& run = report_.pages[match.page].texts[match.run];
        const QRectF r = runRect(run, match.position, match.length);
        const QPointF at = view_->pageOrigin(match.page) + r.center() * scale();
        scroll_->ensureVisible(int(at.x()), int(at.y()), 100, 100);
    }
    view_->update();
}

void ReportPreview::askOpen()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Открыть отчет"), QString(),
                                                      QString::fromUtf8(kReportFileFilter));
    if (!path.isEmpty())
        openFrom(path);
}

void ReportPreview::askSave()
{
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчет в файле"), QString(),
                                                QString::fromUtf8(kReportFileFilter));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".frp"), Qt::CaseInsensitive))
        path += QStringLiteral(".frp");
    saveTo(path);
}

void ReportPreview::askPrint()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!printerName_.isEmpty())
        printer.setPrinterName(printerName_);
    printer.setCopyCount(1);
    printer.setCollateCopies(true);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, std::max<int>(1, int(report_.pages.size())));
    if (dialog.exec() != QDialog::Accepted)
        return;
    printReport(report_, printer);
}

void ReportPreview::askFind()
{
    ReportFindDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted && !dialog.text().isEmpty())
        find(dialog.text(), dialog.caseSensitivity(), dialog.fromCurrentPage());
}

}  // namespace toolkit
