#include "toolkit/operator_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace toolkit {
namespace {

class RealOperatorBox : public OperatorBox {
public:
    void message(const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
        box.exec();
    }
    void error(const QString& text) override
    {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), errorBoxText(text),
                        QMessageBox::Ok);
        box.exec();
    }
    bool confirm(const QString& text) override
    {
        QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                        QMessageBox::Ok | QMessageBox::Cancel);
        // The question's own buttons, not the translated standard ones.
        box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
        return box.exec() == QMessageBox::Ok;
    }
};

OperatorBox* installed = nullptr;

}  // namespace

OperatorBox& operatorBox()
{
    static RealOperatorBox real;
    return installed ? *installed : real;
}

void setOperatorBox(OperatorBox* box) { installed = box; }

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        operatorBox().error(QString::fromUtf8(e.what()));
    } catch (...) {
        operatorBox().error(QStringLiteral("Неизвестная ошибка"));
    }
}

}  // namespace toolkit
