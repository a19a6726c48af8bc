#include "ui/unit4.h"

TfmResult* fmResult = nullptr;

TfmResult::TfmResult(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Результаты тестирования"));
}
