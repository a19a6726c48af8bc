// The report component's build and preview operations, and the preview window.
#include "support/modal_dialog.h"
#include "support/recording_box.h"
#include "support/report_windows_recorder.h"
#include "toolkit/operator_box.h"
#include "toolkit/report_engine.h"
#include "toolkit/report_preview.h"
#include "toolkit/report_render.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPrinterInfo>
#include <QScrollArea>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <stdexcept>

using namespace toolkit;

namespace {

using Recorder = testsupport::RecordingBox;

const ReportFont kFont{QStringLiteral("Arial"), 10, false, false, false};

ReportLayout layoutWith(const QString& text)
{
    ReportLayout layout;
    layout.texts.push_back({QStringLiteral("Memo1"), QRectF(28, 32, 300, 20), kFont, {text}, true});
    layout.lines.push_back({QStringLiteral("Line1"), QPointF(16, 280), QPointF(736, 280), 2});
    return layout;
}

BuiltReport twoPages()
{
    BuiltReport r;
    r.pageSize = QSizeF(758, 1072);
    r.pages.resize(2);
    r.pages[0].texts = {{QPointF(30, 33), QStringLiteral("Тестируемый: Иванов"), kFont},
                        {QPointF(30, 60), QStringLiteral("Иванова"), kFont}};
    r.pages[1].texts = {{QPointF(30, 33), QStringLiteral("ещё Иванов"), kFont}};
    return r;
}

class ReportEngine : public ::testing::Test {
protected:
    ReportWindowsRecorder windows;
};

}  // namespace

TEST_F(ReportEngine, FailedOrCancelledBuildLeavesTheStoreEmpty)
{
    QString surname = QStringLiteral("Иванов");
    Report report(layoutWith(QStringLiteral("[t.\"F\"]")));
    report.setResolver([&surname](const QString&, const QString& field) {
        if (surname.isEmpty())
            throw std::runtime_error("нет поля " + field.toStdString());
        return surname;
    });
    ASSERT_TRUE(report.prepare());
    report.showPreview();
    ASSERT_EQ(windows.previews.size(), 1u);
    EXPECT_EQ(windows.previews[0].pages.at(0).texts.at(0).text, QStringLiteral("Иванов"));

    surname.clear();
    EXPECT_FALSE(report.prepare());
    EXPECT_EQ(windows.errors, QStringList{QStringLiteral("Memo1: нет поля F")});
    EXPECT_TRUE(report.built().empty());
    report.showPreview();
    EXPECT_EQ(windows.previews.size(), 1u);

    surname = QStringLiteral("Петров");
    ASSERT_TRUE(report.prepare());
    windows.cancel = true;
    EXPECT_FALSE(report.prepare());
    EXPECT_TRUE(report.built().empty());
    EXPECT_EQ(windows.errors.size(), 1);
    EXPECT_GT(windows.steps, 0);
}

TEST(ReportRender, DrawsTextAndTheRuleWhereBuilt)
{
    Report report(layoutWith(QStringLiteral("ЖЖЖЖЖЖЖЖ")));
    report.setResolver({});
    {
        ReportWindowsRecorder windows;
        ASSERT_TRUE(report.prepare());
    }
    QImage image(800, 1100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderPage(report.built(), 0, painter, 1.0);
    painter.end();
    EXPECT_EQ(image.pixelColor(400, 280), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(400, 284), QColor(Qt::white));
    int dark = 0;
    for (int x = 30; x < 120; ++x)
        for (int y = 33; y < 50; ++y)
            dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 50);
    EXPECT_EQ(qGray(image.pixel(200, 40)), 255);
}

TEST(ReportPreviewWindow, ButtonsInOrderWithTheirHints)
{
    ReportPreview preview(twoPages(), QString());
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Предварительный просмотр"));
    QStringList hints;
    for (QToolButton* b : preview.buttons())
        hints << b->toolTip();
    EXPECT_EQ(hints, (QStringList{QStringLiteral("Масштаб"), QStringLiteral("Открыть отчет"),
                                  QStringLiteral("Сохранить отчет в файле"), QStringLiteral("Печать отчета"),
                                  QStringLiteral("Поиск"), QStringLiteral("Показать справку"),
                                  QStringLiteral("Выход")}));
    QStringList zooms;
    for (QAction* a : preview.buttons().at(0)->menu()->actions())
        zooms << a->text();
    EXPECT_EQ(zooms, (QStringList{QStringLiteral("200%"), QStringLiteral("150%"), QStringLiteral("100%"),
                                  QStringLiteral("75%"), QStringLiteral("50%"), QStringLiteral("25%"),
                                  QStringLiteral("10%"), QStringLiteral("По ширине страницы"),
                                  QStringLiteral("Страница целиком"), QStringLiteral("Две страницы")}));
    EXPECT_EQ(preview.printButton()->isEnabled(), !QPrinterInfo::availablePrinters().isEmpty());
}

TEST(ReportPreviewWindow, ZoomChosenLastOpensTheNextPreview)
{
    {
        ReportPreview first(twoPages(), QString());
        EXPECT_EQ(first.zoom(), ReportPreview::runZoom());
        first.buttons().at(0)->menu()->actions().at(3)->trigger();   // 75%
        EXPECT_EQ(first.zoom(), (ReportZoom{ReportZoom::Percent, 75}));
        const double at75 = first.scale();
        first.setZoom({ReportZoom::Percent, 150});
        EXPECT_DOUBLE_EQ(first.scale(), at75 * 2);
        first.buttons().at(0)->menu()->actions().at(8)->trigger();   // whole page
    }
    ReportPreview second(twoPages(), QString());
    EXPECT_EQ(second.zoom().mode, ReportZoom::WholePage);
    second.setZoom({ReportZoom::Percent, 100});
}

TEST(ReportPreviewWindow, MaximisedTheFirstTimeThenWhereItWasLeft)
{
    QSettings().remove(QStringLiteral("ReportPreview/geometry"));
    {
        ReportPreview first(twoPages(), QString());
        EXPECT_TRUE(first.windowState() & Qt::WindowMaximized);
        first.show();
        first.setWindowState(Qt::WindowNoState);
        first.setGeometry(40, 50, 700, 500);
        QTest::keyClick(&first, Qt::Key_Escape);   // Esc closes the preview
        EXPECT_FALSE(first.isVisible());
        EXPECT_EQ(first.result(), QDialog::Rejected);
    }
    ReportPreview second(twoPages(), QString());
    EXPECT_FALSE(second.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(second.size(), QSize(700, 500));
}

TEST(ReportPreviewWindow, FindMatchesCaseAndStartsWhereAsked)
{
    Recorder recorder;
    ReportPreview preview(twoPages(), QString());
    ReportMatch m = preview.find(QStringLiteral("иванов"), Qt::CaseInsensitive, false);
    EXPECT_EQ(m.page, 0);
    EXPECT_EQ(m.run, 0);
    EXPECT_EQ(m.position, 13);
    EXPECT_EQ(preview.shownMatch().run, 0);
    // From the current page the search goes on after the match shown.
    m = preview.find(QStringLiteral("Иванов"), Qt::CaseSensitive, true);
    EXPECT_EQ(m.run, 1);
    m = preview.find(QStringLiteral("Иванов"), Qt::CaseSensitive, true);
    EXPECT_EQ(m.page, 1);
    EXPECT_TRUE(recorder.said.isEmpty());

    m = preview.find(QStringLiteral("иванов"), Qt::CaseSensitive, false);
    EXPECT_FALSE(m.found());
    EXPECT_EQ(recorder.said, QStringList{QStringLiteral("Текст «иванов» не найден")});
}

TEST(ReportPreviewWindow, DarkBackgroundFillsTheWholeViewAroundThePages)
{
    ReportPreview preview(twoPages(), QString());
    preview.setWindowState(Qt::WindowNoState);
    preview.resize(1000, 700);
    preview.setZoom({ReportZoom::Percent, 25});
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    auto* area = preview.findChild<QScrollArea*>();
    ASSERT_NE(area, nullptr);
    const QImage view = area->viewport()->grab().toImage();
    const QRgb dark = preview.palette().color(QPalette::Dark).rgb();
    const int w = view.width();
    const int h = view.height();
    // Beside the pages on both sides and below them, as well as between them.
    for (const QPoint p : {QPoint(3, h / 3), QPoint(w - 3, h / 3), QPoint(w / 2, h - 3), QPoint(w - 3, h - 3)})
        EXPECT_EQ(view.pixel(p), dark) << p.x() << "," << p.y();
    EXPECT_EQ(view.pixel(w / 2, 20), QColor(Qt::white).rgb());
    preview.setZoom({ReportZoom::Percent, 100});
}

TEST(ReportPreviewWindow, SavedReportOpensAgainAndDamagedFileIsRefused)
{
    Recorder recorder;
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("r.frp"));
    BuiltReport other = twoPages();
    other.pages.pop_back();
    ASSERT_TRUE(ReportPreview(other, QString()).saveTo(saved));

    ReportPreview preview(twoPages(), QString());
    const QString damaged = dir.filePath(QStringLiteral("d.frp"));
    QFile f(damaged);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(40, '\x7f'));
    f.close();
    EXPECT_FALSE(preview.openFrom(damaged));
    EXPECT_EQ(preview.report(), twoPages());
    ASSERT_EQ(recorder.said.size(), 1);
    EXPECT_TRUE(recorder.said[0].contains(QStringLiteral("поврежден")));

    EXPECT_TRUE(preview.openFrom(saved));
    EXPECT_EQ(preview.report(), other);
}

TEST(ReportWindows, RealProgressAndPreviewRunAndClose)
{
    Report report(layoutWith(QStringLiteral("x")));
    ASSERT_TRUE(report.prepare());
    bool closed = false;
    testsupport::closeExpectedModal([&report] { report.showPreview(); },
                                    [&closed](QWidget* modal) {
                                        closed = modal->windowTitle() == QStringLiteral("Предварительный просмотр");
                                        modal->close();
                                    });
    EXPECT_TRUE(closed);
}

TEST(ReportWindows, RealErrorBoxIsCaptionedErrorWithAnErrorIcon)
{
    Report report(layoutWith(QStringLiteral("[t.\"F\"]")));
    report.setResolver([](const QString&, const QString&) -> QString { throw std::runtime_error("нет поля F"); });
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // Closes the box once it is up; when none comes, the build returns and nothing waits.
    bool built = true;
    testsupport::closeExpectedModal([&] { built = report.prepare(); },
                                    [&](QWidget* modal) {
                                        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                                            caption = box->windowTitle();
                                            text = box->text();
                                            icon = box->icon();
                                            box->accept();
                                        }
                                    });
    EXPECT_FALSE(built);
    EXPECT_EQ(caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(text, QStringLiteral("Memo1: нет поля F"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_TRUE(report.built().empty());
}
