#pragma once
// Where a program keeps its data directory: beside its executable when there
// is one (a portable copy, a build tree), otherwise in the user's own data
// location, because an installed program's directory is shared by every user
// and not writable. Qt Core only, so that a command-line companion finds the
// same directory as the windowed program.

#include <QString>

namespace toolkit {

struct DataLocation {
    QString directory;          // the data directory, with a trailing '/'
    bool besideExecutable = false;
};

// The directory named `name` inside `executableDirectory` when it exists (as
// a directory or a link to one), otherwise `name` inside
// `userDataRoot`/`program`. Nothing is created.
DataLocation chooseDataDirectory(const QString& executableDirectory, const QString& userDataRoot,
                                 const QString& program, const QString& name);

// The same for the running executable (QCoreApplication::applicationDirPath)
// and the user's data location from Qt's standard paths ($XDG_DATA_HOME, by
// default ~/.local/share). Needs a QCoreApplication.
DataLocation locateDataDirectory(const QString& program, const QString& name);

}  // namespace toolkit
