#include "ui/unit6.h"

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Сведения о ранее зарегестрированых пациентах"));
}
