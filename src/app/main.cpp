#include "ui/app_shell.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ui::startUp();
    const int code = app.exec();
    ui::destroyWindows();
    return code;
}
