#include "ui/app_shell.h"

#include "binding/display_text.h"
#include "store/data_directory.h"
#include "toolkit/operator_box.h"
#include "toolkit/qt_translations.h"
#include "toolkit/window_util.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"
#include "ui/unit4.h"
#include "ui/unit5.h"
#include "ui/unit6.h"

#include <QApplication>

namespace ui {
namespace {

std::string dataDirectory_;
std::function<void()> endHook_;

template <typename Window>
void created(Window*& reference)
{
    reference = new Window();
    toolkit::keepCentred(reference);
}

template <typename Window>
void destroyed(Window*& reference)
{
    delete reference;
    reference = nullptr;
}

// One line per field of the row that could not be stored, under its display label.
QString describePending(const store::Table& results)
{
    QStringList lines;
    for (const auto& [name, value] : results.pendingValues()) {
        QString label = QString::fromStdString(name);
        for (const store::FieldDef& field : results.fields())
            if (field.name == name && !field.displayLabel.empty())
                label = QString::fromStdString(field.displayLabel);
        lines << label + QStringLiteral(": ") + binding::displayText(value);
    }
    return lines.join(QLatin1Char('\n'));
}

// A result row whose storing failed is tried once more; if it still fails the
// operator sees it, so it can be written down before it is gone.
void keepPendingResult()
{
    store::Table& results = MainForm->tbResult;
    if (!results.hasPending())
        return;
    try {
        results.storePending();
    } catch (const std::exception& e) {
        toolkit::operatorBox().message(QStringLiteral("Результат обследования не удалось сохранить (%1).\n"
                                                      "Перепишите его, программа завершает работу:\n\n%2")
                                           .arg(QString::fromUtf8(e.what()), describePending(results)));
    }
}

}  // namespace

// Where "MS Sans Serif" is missing, a face of Arial's widths keeps the captions
// within the room the pixel layout gives them; DejaVu Sans is the last resort.
QFont sansFont(int pixelSize, QFont::Weight weight)
{
    return toolkit::pixelFont(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}, pixelSize,
        weight);
}

QFont monoFont(int pixelSize, QFont::Weight weight)
{
    return toolkit::pixelFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}, pixelSize, weight);
}

const std::string& dataDirectoryPath()
{
    return dataDirectory_;
}

void createWindows()
{
    createWindows(store::dataDirectory());
}

void createWindows(const std::string& dataDirectory)
{
    dataDirectory_ = dataDirectory;
    // The title goes to the boxes only: as the application's display name it
    // would be appended to every window title.
    toolkit::setBoxCaption(kApplicationTitle);
    // The program ends only by closing the main window, never because no window
    // happens to be visible (as while "Позовите обследуемого" is up).
    QApplication::setQuitOnLastWindowClosed(false);

    created(MainForm);
    toolkit::guarded([] { MainForm->FormCreate(); });
    created(Form2);
    created(Form3);
    toolkit::guarded([] { Form3->FormCreate(); });
    created(fmResult);
    created(FormDesc);
    created(Form6);
}

void startUp()
{
    toolkit::installQtTranslations(*qApp);
    createWindows();
    MainForm->show();
}

void destroyWindows()
{
    destroyed(Form6);
    destroyed(FormDesc);
    destroyed(fmResult);
    destroyed(Form3);
    destroyed(Form2);
    destroyed(MainForm);
}

void endProgram()
{
    toolkit::guarded(keepPendingResult);
    if (endHook_)
        endHook_();
    else
        QCoreApplication::quit();
}

void setProgramEndHook(std::function<void()> hook)
{
    endHook_ = std::move(hook);
}

}  // namespace ui
