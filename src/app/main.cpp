#include "toolkit/operator_box.h"
#include "toolkit/qt_translations.h"
#include "ui/app_shell.h"
#include "ui/unit1.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// Start-up measurement: messages go to the standard error instead of boxes,
// and the program ends as soon as its event loop is idle after the main window
// has been shown.
class StderrBox : public toolkit::OperatorBox {
public:
    void message(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void error(const QString& text) override { message(text); }
    bool confirm(const QString& text) override
    {
        message(text);
        return false;
    }
};

bool measuringStartup()
{
    return std::getenv("FPI_EXIT_WHEN_IDLE") != nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    toolkit::installQtTranslations(app);
    StderrBox stderrBox;
    if (measuringStartup())
        toolkit::setOperatorBox(&stderrBox);

    ui::createWindows();
    MainForm->show();
    if (measuringStartup())
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int code = app.exec();
    ui::destroyWindows();
    return code;
}
