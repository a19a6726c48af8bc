#include "ui/data_location.h"

#include "store/backup.h"
#include "store/data_directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ui {
namespace {

QString withoutSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

bool isTemplate(const QString& directory)
{
    for (const std::string& file : store::tableFileNames())
        if (!QFileInfo(directory + QLatin1Char('/') + QString::fromStdString(file)).isFile())
            return false;
    return true;
}

// The folder holding the data directory; made owner-only when it is new, as it
// will hold personal data.
bool makeParent(const QString& parent)
{
    if (QFileInfo(parent).isDir())
        return true;
    QDir root;
    return root.mkpath(QFileInfo(parent).absolutePath()) &&
           root.mkdir(parent, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString firstStartNotice(const QString& directory)
{
    return QStringLiteral(
               "Создан каталог данных:\n%1\n\n"
               "В нём хранятся обследуемые, вопросы и результаты.\n"
               "Вопросы пока демонстрационные; лицензионные тексты\n"
               "вопросов загружаются командой\n\n"
               "fpi-data import-items \"%1\" ФАЙЛ")
        .arg(directory);
}

}  // namespace

PreparedData prepareDataDirectory(const toolkit::DataLocation& location, const QString& templateDirectory)
{
    PreparedData prepared{location.directory.toStdString(), {}, false};
    const QString directory = withoutSlash(location.directory);
    if (location.besideExecutable || QFileInfo::exists(directory) || QFileInfo(directory).isSymLink())
        return prepared;
    const auto failure = [&](const QString& reason) {
        prepared.failed = true;
        prepared.notice = QStringLiteral("Каталог данных «%1» не создан: %2").arg(directory, reason);
        return prepared;
    };
    if (!isTemplate(templateDirectory))
        return failure(QStringLiteral("не найден образец таблиц «%1». Установите программу заново "
                                      "или создайте каталог командой\nfpi-data create \"%2\"")
                           .arg(QDir::cleanPath(templateDirectory), directory));
    const QString parent = QFileInfo(directory).absolutePath();
    if (!makeParent(parent))
        return failure(QStringLiteral("не удалось создать папку «%1».").arg(parent));
    try {
        store::backupDirectory(templateDirectory.toStdString(), directory.toStdString());
    } catch (const std::exception& error) {
        return failure(QString::fromUtf8(error.what()));
    }
    prepared.notice = firstStartNotice(directory);
    return prepared;
}

PreparedData prepareDataDirectory()
{
    const QString bin = QCoreApplication::applicationDirPath();
    return prepareDataDirectory(toolkit::locateDataDirectory(QStringLiteral("fpi"), QStringLiteral("Data")),
                                bin + QStringLiteral("/../share/fpi/Data"));
}

}  // namespace ui
