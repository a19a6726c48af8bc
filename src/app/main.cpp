#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Опросник FPI"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Опросник FPI"));
    window.show();
    return app.exec();
}
