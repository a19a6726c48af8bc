// Printing through the system's print service: a stored result printed from
// the preview's print button to a PDF queue, and the preferred printer "Fax"
// preselected in the print dialog. The print service is started when it is
// not running; the queues the tests add are removed again.
#include "support/report_windows_recorder.h"
#include "report/print_command.h"
#include "report/result_report.h"
#include "report_test_util.h"
#include "toolkit/report_engine.h"
#include "toolkit/report_preview.h"
#include "toolkit/report_render.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLockFile>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include <unistd.h>

using namespace reporttest;

namespace {

struct CommandRun {
    bool finished = false;
    int status = -1;
    QString output;
};

// Runs a command of the print service with its output and errors together.
CommandRun run(const QString& program, const QStringList& args, int timeoutMs = 30000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));   // answers read below are in English
    p.setProcessEnvironment(env);
    p.start(program, args);
    CommandRun r;
    if (!p.waitForStarted(timeoutMs)) {
        r.output = p.errorString();
        return r;
    }
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished)
        p.kill();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return r;
}

QString tool(const QString& name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return path;
}

// "lpstat -r" succeeds either way; only its answer tells.
bool schedulerAnswers()
{
    return run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, 10000).output == QStringLiteral("scheduler is running");
}

// Polls until `done` holds or about `seconds` have passed.
bool waitFor(const std::function<bool()>& done, int seconds)
{
    for (int i = 0; i < seconds * 5; ++i) {
        if (done())
            return true;
        QThread::msleep(200);
    }
    return done();
}

// Starts the scheduler when it is not running; empty when it answers, else why not.
QString ensureScheduler()
{
    if (tool(QStringLiteral("lpstat")).isEmpty() || tool(QStringLiteral("lpadmin")).isEmpty())
        return QStringLiteral("the print service's commands (package cups) are not installed");
    // Tests running side by side start one scheduler between them.
    QLockFile lock(QDir::temp().filePath(QStringLiteral("fpi-tests-print-service.lock")));
    lock.setStaleLockTime(120000);
    if (!lock.tryLock(60000))
        return QStringLiteral("another test holds the print service's start-up lock: ") +
               QDir::temp().filePath(QStringLiteral("fpi-tests-print-service.lock"));
    if (schedulerAnswers())
        return QString();
    const QString cupsd = tool(QStringLiteral("cupsd"));
    if (cupsd.isEmpty())
        return QStringLiteral("cupsd (package cups) is not installed");
    // cupsd leaves the foreground once it is ready; it never holds the test's output open.
    QProcess start;
    start.setStandardInputFile(QProcess::nullDevice());
    start.setStandardOutputFile(QProcess::nullDevice());
    start.setStandardErrorFile(QProcess::nullDevice());
    start.start(cupsd, {});
    if (!start.waitForStarted(10000))
        return QStringLiteral("cupsd could not be started: ") + start.errorString();
    start.waitForFinished(30000);
    if (!waitFor(schedulerAnswers, 30))
        return QStringLiteral("cupsd was started but the scheduler does not answer: ") +
               run(QStringLiteral("lpstat"), {QStringLiteral("-r")}).output;
    return QString();
}

// The PDF printer's description file as the print service names it.
QString pdfPrinterModel()
{
    const CommandRun models = run(tool(QStringLiteral("lpinfo")), {QStringLiteral("-m")});
    QString fallback;
    for (const QString& line : models.output.split(QLatin1Char('\n'))) {
        const QString model = line.section(QLatin1Char(' '), 0, 0);
        if (model.endsWith(QStringLiteral("CUPS-PDF_opt.ppd")))
            return model;
        if (model.contains(QStringLiteral("CUPS-PDF"), Qt::CaseInsensitive))
            fallback = model;
    }
    return fallback;
}

// A PDF queue of the print service that writes its jobs into `out`; removed
// with its settings when the object goes. A queue of that name that was there
// before is left alone and used as it is.
class PdfQueue {
public:
    PdfQueue(const QString& name, const QString& instance, const QString& out)
        : name_(name), config_(QStringLiteral("/etc/cups/cups-pdf-%1.conf").arg(instance))
    {
        if (!QPrinterInfo::printerInfo(name).isNull()) {
            error_ = QStringLiteral("a queue named %1 is installed already").arg(name);
            return;
        }
        const QString model = pdfPrinterModel();
        if (model.isEmpty()) {
            error_ = QStringLiteral("no PDF printer model (package printer-driver-cups-pdf)");
            return;
        }
        QFile config(config_);
        if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            config.write(QStringLiteral("Out %1\nLog %1\nAnonDirName %1\n").arg(out).toUtf8()) < 0 ||
            !config.flush()) {
            error_ = QStringLiteral("cannot write ") + config_ + QStringLiteral(": ") + config.errorString();
            return;
        }
        config.close();
        const CommandRun added = run(tool(QStringLiteral("lpadmin")),
                              {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                               QStringLiteral("cups-pdf:/") + instance, QStringLiteral("-m"), model});
        if (added.status != 0) {
            error_ = QStringLiteral("lpadmin could not add the queue: ") + added.output;
            return;
        }
        added_ = true;
        if (!waitFor([name] { return !QPrinterInfo::printerInfo(name).isNull(); }, 10))
            error_ = QStringLiteral("the queue %1 does not show among the printers").arg(name);
    }
    ~PdfQueue()
    {
        if (added_)
            run(tool(QStringLiteral("lpadmin")), {QStringLiteral("-x"), name_});
        if (added_ || !error_.startsWith(QStringLiteral("a queue")))
            QFile::remove(config_);
    }
    const QString& error() const { return error_; }
    bool jobsPending() const
    {
        return !run(QStringLiteral("lpstat"), {QStringLiteral("-o"), name_}).output.isEmpty();
    }
    QString state() const { return run(QStringLiteral("lpstat"), {QStringLiteral("-l"), QStringLiteral("-p"), name_}).output; }

private:
    QString name_;
    QString config_;
    QString error_;
    bool added_ = false;
};

// The real preview, without the progress window of the build.
class RealPreview : public ReportWindowsRecorder {
public:
    void preview(const toolkit::BuiltReport& report, const QString& printerName, QWidget* parent) override
    {
        toolkit::ReportPreview window(report, printerName, parent);
        window.exec();
    }
};

// Drives the modal windows of one "Печать": presses the preview's print
// button, lets `onDialog` handle the print dialog (and accept or reject it),
// then closes the preview. A watchdog closes whatever is left open.
class PrintDriver : public QObject {
public:
    explicit PrintDriver(std::function<void(QPrintDialog&)> onDialog) : onDialog_(std::move(onDialog))
    {
        connect(&poll_, &QTimer::timeout, this, [this] { step(); });
        poll_.start(50);
    }
    bool dialogSeen = false;
    bool previewClosed = false;
    bool gaveUp = false;

private:
    void step()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (++ticks_ > 1200) {   // a minute of polling
            gaveUp = true;
            if (modal)
                modal->close();
            else
                poll_.stop();
            return;
        }
        if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
            if (!dialogSeen) {
                dialogSeen = true;
                onDialog_(*dialog);
            }
        } else if (auto* preview = qobject_cast<toolkit::ReportPreview*>(modal)) {
            if (!pressed_) {
                pressed_ = true;
                // Pressed from outside this timer: the print dialog runs its own loop.
                QTimer::singleShot(0, preview->printButton(), &QToolButton::click);
            } else if (dialogSeen) {
                poll_.stop();
                previewClosed = true;
                preview->reject();
            }
        }
    }

    std::function<void(QPrintDialog&)> onDialog_;
    QTimer poll_;
    int ticks_ = 0;
    bool pressed_ = false;
};

// The print dialog's list of printers.
QComboBox* printerList(QPrintDialog& dialog, const QString& containing)
{
    for (QComboBox* box : dialog.findChildren<QComboBox*>())
        if (box->findText(containing) >= 0)
            return box;
    return nullptr;
}

class PrintQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = ensureScheduler();
        if (!why.isEmpty())
            GTEST_SKIP() << "no print service: " << why.toStdString();
        ASSERT_TRUE(out.isValid());
        QFile::setPermissions(out.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                              QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                              QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                              QFileDevice::WriteOther | QFileDevice::ExeOther);
    }

    QStringList printedFiles() const
    {
        QStringList files;
        for (const QString& f : QDir(out.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files))
            files << QDir(out.path()).filePath(f);
        return files;
    }

    // The page of the results table's current row as the program builds it, as PDF.
    QString builtPagePdf(const QString& fileName)
    {
        const QString path = scratch.filePath(fileName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        toolkit::writePdf(report::buildResultPage(dir.table()), file);
        return file.flush() ? path : QString();
    }

    // The first page of a PDF in shades of grey, at 100 dots per inch.
    QImage rasterise(const QString& pdf)
    {
        const QString prefix = scratch.filePath(QStringLiteral("page%1").arg(++pictures));
        run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-gray"),
                                         QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"),
                                         pdf, prefix});
        return QImage(prefix + QStringLiteral(".pgm")).convertToFormat(QImage::Format_Grayscale8);
    }

    // Ink of one picture with no ink of the other within two pixels of it, both
    // ways: glyphs drawn alike in both count nothing, other glyphs count fully.
    static int unmatchedInk(const QImage& a, const QImage& b)
    {
        auto ink = [](const QImage& image, int x, int y) {
            return x >= 0 && y >= 0 && x < image.width() && y < image.height() && qGray(image.pixel(x, y)) < 128;
        };
        auto inkNear = [&ink](const QImage& image, int x, int y) {
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    if (ink(image, x + dx, y + dy))
                        return true;
            return false;
        };
        int count = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                count += (ink(a, x, y) && !inkNear(b, x, y)) + (ink(b, x, y) && !inkNear(a, x, y));
        return count;
    }

    const QString unique = QString::number(::getpid());
    QTemporaryDir scratch;
    int pictures = 0;
    QTemporaryDir out;
    ResultsDir dir{{{"Первый", "Иван", "Иванович", {2019, 4, 11}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
                    {"Второй", "Пётр", "Петрович", {2021, 6, 17}, {2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4}},
                    {"Третий", "Олег", "Олегович", {2023, 8, 29}, {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}}}};
    Recorder recorder;
    RealPreview windows;
};

}  // namespace

TEST_F(PrintQueue, PreviewPrintsTheCurrentRowOnOneA4PageOfAPdfQueue)
{
    const QString name = QStringLiteral("fpi-test-") + unique;
    PdfQueue queue(name, QStringLiteral("fpitest") + unique, out.path());
    ASSERT_TRUE(queue.error().isEmpty()) << queue.error().toStdString();

    dir.table().first();
    dir.table().next();   // "Второй" is current
    PrintDriver driver([&name](QPrintDialog& dialog) {
        // The operator picks the queue in the print dialog and prints.
        if (QComboBox* printers = printerList(dialog, name))
            printers->setCurrentIndex(printers->findText(name));
        dialog.accept();
    });
    report::printCurrentResult(dir.table());
    ASSERT_FALSE(driver.gaveUp);
    ASSERT_TRUE(driver.dialogSeen);
    ASSERT_TRUE(driver.previewClosed);
    EXPECT_TRUE(recorder.said.isEmpty()) << recorder.said.join(QLatin1Char('|')).toStdString();

    ASSERT_TRUE(waitFor([&] { return !queue.jobsPending() && !printedFiles().isEmpty(); }, 60))
        << "nothing printed; queue: " << queue.state().toStdString();
    const QStringList files = printedFiles();
    ASSERT_EQ(files.size(), 1) << files.join(QLatin1Char(' ')).toStdString();

    const CommandRun info = run(QStringLiteral("pdfinfo"), {files[0]});
    ASSERT_EQ(info.status, 0) << info.output.toStdString();
    EXPECT_TRUE(info.output.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.output.toStdString();
    EXPECT_TRUE(info.output.contains(QRegularExpression(QStringLiteral("Page size:.*\\(A4\\)"))))
        << info.output.toStdString();

    // The print path re-embeds the fonts without their text map, so the page is
    // compared as a picture: it looks like the current row's page as built,
    // and unlike the page of another row.
    const QImage printed = rasterise(files[0]);
    ASSERT_FALSE(printed.isNull());
    dir.table().moveTo(1);   // positions count from 0
    ASSERT_EQ(dir.table().fieldText("F"), "Второй");
    const QImage current = rasterise(builtPagePdf(QStringLiteral("current.pdf")));
    dir.table().first();
    const QImage other = rasterise(builtPagePdf(QStringLiteral("other.pdf")));
    ASSERT_EQ(printed.size(), current.size());
    const int toCurrent = unmatchedInk(printed, current);
    const int toOther = unmatchedInk(printed, other);
    EXPECT_LT(toCurrent * 4, toOther) << "to the current row " << toCurrent << ", to another " << toOther;
}

TEST_F(PrintQueue, PrintDialogOffersThePreferredPrinterFaxFirst)
{
    PdfQueue other(QStringLiteral("fpi-test-other-") + unique, QStringLiteral("fpitestother") + unique, out.path());
    ASSERT_TRUE(other.error().isEmpty()) << other.error().toStdString();
    PdfQueue fax(QStringLiteral("Fax"), QStringLiteral("fpitestfax") + unique, out.path());
    if (fax.error().startsWith(QStringLiteral("a queue")))
        GTEST_SKIP() << "a real queue named Fax is installed; it is left alone";
    ASSERT_TRUE(fax.error().isEmpty()) << fax.error().toStdString();

    QString offered;
    PrintDriver driver([&offered](QPrintDialog& dialog) {
        if (QComboBox* printers = printerList(dialog, QStringLiteral("Fax")))
            offered = printers->currentText();
        offered += QLatin1Char('|') + dialog.printer()->printerName();
        dialog.reject();
    });
    report::printCurrentResult(dir.table());
    ASSERT_FALSE(driver.gaveUp);
    ASSERT_TRUE(driver.dialogSeen);
    EXPECT_EQ(offered, QStringLiteral("Fax|Fax"));
    EXPECT_EQ(report::resultReport().printerName(), QStringLiteral("Fax"));
    EXPECT_TRUE(printedFiles().isEmpty());
}

// An uninstalled preferred printer is never chosen; once a queue of that name
// is installed, the next build chooses it.
TEST_F(PrintQueue, PreferredPrinterChosenOnlyOnceInstalled)
{
    PdfQueue other(QStringLiteral("fpi-test-other-") + unique, QStringLiteral("fpitestother") + unique, out.path());
    ASSERT_TRUE(other.error().isEmpty()) << other.error().toStdString();
    if (!QPrinterInfo::printerInfo(QStringLiteral("Fax")).isNull())
        GTEST_SKIP() << "a real queue named Fax is installed; it is left alone";

    toolkit::Report report(report::resultLayout());
    report.setResolver(report::resultResolver(dir.table()));
    report.setPreferredPrinter(QStringLiteral("Fax"));
    EXPECT_TRUE(report.printerName().isEmpty()) << report.printerName().toStdString();
    ASSERT_TRUE(report.prepare());
    EXPECT_TRUE(report.printerName().isEmpty()) << report.printerName().toStdString();

    PdfQueue fax(QStringLiteral("Fax"), QStringLiteral("fpitestfax") + unique, out.path());
    ASSERT_TRUE(fax.error().isEmpty()) << fax.error().toStdString();
    ASSERT_TRUE(report.prepare());
    EXPECT_EQ(report.printerName(), QStringLiteral("Fax"));
}
