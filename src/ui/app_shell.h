#pragma once
// The application shell: the title, the six windows created once in their
// order, and the end of the program.

#include <QFont>
#include <QString>

#include <functional>
#include <string>

namespace ui {

// The program's contact constants: the author's e-mail and web page.
// Build options (FPI_CONTACT_EMAIL, FPI_CONTACT_URL).
inline const QString kAuthorEmail = QStringLiteral(FPI_CONTACT_EMAIL);
inline const QString kAuthorWebPage = QStringLiteral(FPI_CONTACT_URL);

// The application title: the taskbar entry and the caption of every message box.
inline const QString kApplicationTitle = QStringLiteral("Опросник FPI");

// The windows' face: "MS Sans Serif" first, falling back to a sans face of
// similar widths where it is not installed, at a size in pixels.
QFont sansFont(int pixelSize, QFont::Weight weight = QFont::Normal);
// "Courier New", or the face of its widths where it is not installed.
QFont monoFont(int pixelSize, QFont::Weight weight = QFont::Normal);

// Where the windows find their tables: the directory createWindows was given.
const std::string& dataDirectoryPath();

// Makes the application title the boxes' caption and creates the windows in
// this order: MainForm, Form2, Form3, fmResult, FormDesc, Form6. The first
// becomes the main window.
void createWindows(const std::string& dataDirectory);
// Everything the program does before its event loop runs: Qt's Russian texts,
// the data directory found (and made on the first start, see data_location.h),
// the windows over it, the main window shown, and the operator told once what
// the first start made. The program and its start-up benchmark both start this way.
void startUp();
// Destroys the windows in reverse order and clears their references.
void destroyWindows();

// The end of the program, reached by closing the main window. A result row that
// could not be stored is tried once more; if it still cannot be stored the
// operator is shown it before the program ends.
void endProgram();
// What ending the program finally does; by default it ends the event loop.
// Tests observe it instead. nullptr restores the default.
void setProgramEndHook(std::function<void()> hook);

}  // namespace ui
