#include "toolkit/report_file.h"

#include "base/system_error.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cmath>

namespace toolkit {

const char* const kReportFileFilter = "Файл отчета (*.frp)";

namespace {

constexpr quint32 kMagic = 0x46504952;   // "FPIR"
constexpr quint16 kVersion = 1;
// Bounds that no real report reaches; a count above them means a damaged file.
constexpr quint32 kMaxPages = 10000;
constexpr quint32 kMaxItems = 100000;

const QString kDamaged = QStringLiteral("Файл не является файлом отчета или поврежден");

void setUp(QDataStream& s)
{
    s.setVersion(QDataStream::Qt_6_0);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

[[noreturn]] void damaged() { throw ReportFileError(kDamaged.toStdString()); }

void check(const QDataStream& s)
{
    if (s.status() != QDataStream::Ok)
        damaged();
}

double readNumber(QDataStream& s, double low, double high)
{
    double v = 0;
    s >> v;
    check(s);
    if (!std::isfinite(v) || v < low || v > high)
        damaged();
    return v;
}

// Coordinates may lie a little off the sheet, never wildly.
double readCoordinate(QDataStream& s) { return readNumber(s, -1e5, 1e5); }

QPointF readPoint(QDataStream& s)
{
    const double x = readCoordinate(s);
    return QPointF(x, readCoordinate(s));
}

quint32 readCount(QDataStream& s, quint32 max)
{
    quint32 n = 0;
    s >> n;
    check(s);
    if (n > max)
        damaged();
    return n;
}

void writeFont(QDataStream& s, const ReportFont& f)
{
    s << f.family << f.pointSize << f.bold << f.italic << f.underline;
}

ReportFont readFont(QDataStream& s)
{
    ReportFont f;
    s >> f.family;
    f.pointSize = readNumber(s, 1, 1000);
    s >> f.bold >> f.italic >> f.underline;
    check(s);
    return f;
}

// Why a file operation failed, in Russian: the system's reason when the
// operation left one in errno, otherwise the kind of failure Qt reports.
std::string reasonOf(int error, QFileDevice::FileError kind)
{
    if (error != 0)
        return base::systemErrorText(error);
    switch (kind) {
    case QFileDevice::OpenError: return "файл не удалось открыть";
    case QFileDevice::PermissionsError: return "нет прав доступа";
    case QFileDevice::ResourceError: return "не хватает места на диске или другого ресурса";
    case QFileDevice::WriteError: return "ошибка записи";
    case QFileDevice::ReadError: return "ошибка чтения";
    case QFileDevice::RenameError: return "новый файл не удалось поставить на место прежнего";
    default: return "ошибка ввода-вывода";
    }
}

[[noreturn]] void saveFailed(const QString& path, const std::string& reason)
{
    throw ReportFileError("Не удалось записать файл " + path.toStdString() + ": " + reason + ". Прежний файл не изменен.");
}

// A directory, a FIFO or a device is never opened as a report file: a FIFO
// would block, a device would be replaced by a file.
void requireRegularFile(const QString& path, const char* action)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw ReportFileError(std::string(action) + " " + path.toStdString() + ": " +
                              (info.isDir() ? "это каталог, а не файл" : "это не обычный файл (канал или устройство)"));
}

}  // namespace

void writeReport(const BuiltReport& report, QIODevice& device)
{
    QDataStream s(&device);
    setUp(s);
    s << kMagic << kVersion << report.pageSize.width() << report.pageSize.height() << quint32(report.pages.size());
    for (const BuiltPage& page : report.pages) {
        s << quint32(page.texts.size());
        for (const TextRun& run : page.texts) {
            s << run.position.x() << run.position.y() << run.text;
            writeFont(s, run.font);
        }
        s << quint32(page.lines.size());
        for (const LineRun& line : page.lines)
            s << line.from.x() << line.from.y() << line.to.x() << line.to.y() << line.thickness;
    }
    if (s.status() != QDataStream::Ok)
        throw ReportFileError("Не удалось записать файл отчета");
}

BuiltReport readReport(QIODevice& device)
{
    QDataStream s(&device);
    setUp(s);
    quint32 magic = 0;
    quint16 version = 0;
    s >> magic >> version;
    check(s);
    if (magic != kMagic)
        damaged();
    if (version != kVersion)
        throw ReportFileError("Файл отчета записан в неизвестной версии формата");
    BuiltReport report;
    const double width = readNumber(s, 1, 1e5);
    report.pageSize = QSizeF(width, readNumber(s, 1, 1e5));
    const quint32 pages = readCount(s, kMaxPages);
    for (quint32 p = 0; p < pages; ++p) {
        BuiltPage page;
        for (quint32 n = readCount(s, kMaxItems); n > 0; --n) {
            TextRun run;
            run.position = readPoint(s);
            s >> run.text;
            run.font = readFont(s);
            page.texts.push_back(run);
        }
        for (quint32 n = readCount(s, kMaxItems); n > 0; --n) {
            LineRun line;
            line.from = readPoint(s);
            line.to = readPoint(s);
            line.thickness = readNumber(s, 0, 1000);
            page.lines.push_back(line);
        }
        report.pages.push_back(std::move(page));
    }
    if (!s.atEnd())
        damaged();
    return report;
}

void saveReportFile(const BuiltReport& report, const QString& path)
{
    requireRegularFile(path, "Нельзя записать отчет в");
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw ReportFileError("Не удалось открыть для записи файл " + path.toStdString() + ": " +
                              reasonOf(errno, file.error()));
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        saveFailed(path, reasonOf(errno, file.error()));
    try {
        writeReport(report, file);
    } catch (const ReportFileError&) {
        saveFailed(path, reasonOf(errno, file.error()));
    }
    errno = 0;
    if (!file.commit())
        saveFailed(path, reasonOf(errno, file.error()));
}

BuiltReport openReportFile(const QString& path)
{
    requireRegularFile(path, "Нельзя открыть как отчет");
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw ReportFileError("Не удалось открыть файл " + path.toStdString() + ": " + reasonOf(errno, file.error()));
    try {
        return readReport(file);
    } catch (const ReportFileError& e) {
        throw ReportFileError(path.toStdString() + ": " + e.what());
    }
}

}  // namespace toolkit
