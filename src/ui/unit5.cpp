#include "ui/unit5.h"

TFormDesc* FormDesc = nullptr;

TFormDesc::TFormDesc(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Опросник FPI - пояснение шкал"));
}
