#include "toolkit/data_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace toolkit {
namespace {

QString withSlash(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

}  // namespace

DataLocation chooseDataDirectory(const QString& executableDirectory, const QString& userDataRoot,
                                 const QString& program, const QString& name)
{
    const QString beside = withSlash(executableDirectory) + name;
    if (QFileInfo(beside).isDir())
        return {withSlash(beside), true};
    return {withSlash(withSlash(userDataRoot) + program + QLatin1Char('/') + name), false};
}

DataLocation locateDataDirectory(const QString& program, const QString& name)
{
    // GenericDataLocation rather than AppDataLocation: the latter follows the
    // name of whichever executable asks, and both programs must agree.
    return chooseDataDirectory(QCoreApplication::applicationDirPath(),
                               QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), program,
                               name);
}

}  // namespace toolkit
