#pragma once
// Qt's own Russian texts: the file, print and standard dialogs and the
// standard buttons speak Russian like the rest of the program.

class QCoreApplication;
class QTranslator;

namespace toolkit {

// Installs Qt's Russian translation from the system's translation directory
// into the application, which owns it. Returns the installed translator, or
// nullptr when the system has none (Qt's texts then stay as they are).
QTranslator* installQtTranslations(QCoreApplication& app);

}  // namespace toolkit
