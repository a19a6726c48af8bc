#include "toolkit/operator_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace toolkit {
namespace {

QString caption_;

// The buttons carry their captions only, whatever pictures the style would give them.
int run(QMessageBox& box)
{
    for (QAbstractButton* button : box.buttons())
        button->setIcon(QIcon());
    return box.exec();
}

class RealOperatorBox : public OperatorBox {
public:
    void message(const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, boxCaption(), text, QMessageBox::Ok);
        run(box);
    }
    void error(const QString& text) override
    {
        QMessageBox box(QMessageBox::Critical, boxCaption(), errorBoxText(text), QMessageBox::Ok);
        run(box);
    }
    bool confirm(const QString& text) override
    {
        QMessageBox box(QMessageBox::Question, boxCaption(), text, QMessageBox::Ok | QMessageBox::Cancel);
        // The question's own buttons, not the translated standard ones.
        box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
        return run(box) == QMessageBox::Ok;
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

void setBoxCaption(const QString& caption) { caption_ = caption; }

QString boxCaption()
{
    return caption_.isNull() ? QApplication::applicationName() : caption_;
}

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
