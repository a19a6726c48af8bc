#include "ui/unit3.h"

#include "engine/scales.h"
#include "report/print_command.h"
#include "store/data_directory.h"
#include "toolkit/date_edit.h"
#include "toolkit/flat_button.h"
#include "toolkit/operator_box.h"
#include "toolkit/window_util.h"
#include "ui/app_shell.h"
#include "ui/pictures.h"
#include "ui/unit1.h"
#include "ui/unit4.h"
#include "ui/unit5.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

#include <algorithm>

TForm3* Form3 = nullptr;

namespace {

struct RowPlace {
    QPoint caption;
    QPoint value;
};

// Scales 1 to 6 on the left, 7 to 12 on the right; scale 8's value sits 4 pixels lower.
const std::array<RowPlace, 12> kRowPlaces = {{
    {{40, 56}, {252, 56}},
    {{40, 96}, {316, 96}},
    {{40, 144}, {268, 144}},
    {{40, 196}, {300, 196}},
    {{40, 244}, {260, 244}},
    {{40, 292}, {288, 292}},
    {{392, 56}, {668, 56}},
    {{392, 96}, {596, 100}},
    {{392, 144}, {556, 144}},
    {{392, 196}, {748, 196}},
    {{392, 244}, {764, 244}},
    {{392, 292}, {692, 292}},
}};

QLabel* scoreLabel(const QString& text, const QColor& color, QWidget* parent, QPoint at)
{
    auto* label = new QLabel(text, parent);
    label->setFont(ui::sansFont(24));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->adjustSize();
    label->move(at);
    return label;
}

std::string utf8(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

}  // namespace

TForm3::TForm3(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Результаты выполненого теста"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(804, 453);
    setFont(ui::sansFont(11));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(rect());
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    toolkit::onBareMouseMove(Panel1, [this] { Panel1MouseMove(); });

    Label25 = new QLabel(QStringLiteral("Результаты тестирования FPI"), Panel1);
    QFont titleFont = ui::monoFont(37);
    titleFont.setItalic(true);
    titleFont.setUnderline(true);
    Label25->setFont(titleFont);
    Label25->setObjectName(QStringLiteral("Label25"));
    // Where the face's advances are not whole pixels the text runs past its
    // 594 pixels, and the italic's last letter leans further: the label is as
    // wide as the text's ink needs.
    const QFontMetrics titleMetrics(titleFont);
    const int inkWidth = titleMetrics.boundingRect(Label25->text()).right() + 2;
    Label25->setGeometry(108, 8, std::max(594, inkWidth), 40);

    buildScoreRows();
    buildButtons();

    // The window has no frame and no close box: Alt+F4 is its system close command.
    auto* closeCommand = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this);
    connect(closeCommand, &QShortcut::activated, this, &QWidget::close);
}

void TForm3::buildScoreRows()
{
    for (int scale = 1; scale <= engine::kScaleCount; ++scale) {
        const RowPlace& place = kRowPlaces[scale - 1];
        QLabel* caption =
            scoreLabel(QString::fromUtf8(engine::scale(scale).captionText), Qt::red, Panel1, place.caption);
        caption->setObjectName(QStringLiteral("Label%1").arg(scale + 12));
        captionLabels[scale - 1] = caption;
        QLabel* value = scoreLabel(QStringLiteral("()"), Qt::blue, Panel1, place.value);
        value->setObjectName(QStringLiteral("Label%1").arg(scale));
        valueLabels[scale - 1] = value;
    }
    Label1 = valueLabels[0], Label2 = valueLabels[1], Label3 = valueLabels[2], Label4 = valueLabels[3];
    Label5 = valueLabels[4], Label6 = valueLabels[5], Label7 = valueLabels[6], Label8 = valueLabels[7];
    Label9 = valueLabels[8], Label10 = valueLabels[9], Label11 = valueLabels[10], Label12 = valueLabels[11];
}

toolkit::FlatButton* TForm3::addButton(const char* name, const QString& caption, const QPixmap& picture, int x)
{
    auto* button = new toolkit::FlatButton(caption, Panel1);
    button->setObjectName(QLatin1String(name));
    button->setPicture(picture);
    button->setGeometry(x, 376, 145, 53);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void TForm3::buildButtons()
{
    SpeedButton1 = addButton("SpeedButton1", QStringLiteral("Просмтотр результатов"), ui::pictures::stackOfPages(), 16);
    SpeedButton2 = addButton("SpeedButton2", QStringLiteral("Пояснение результатов"), ui::pictures::openBook(), 176);
    SpeedButton3 = addButton("SpeedButton3", QStringLiteral("Новое обследование"), ui::pictures::pointingHand(), 336);
    SpeedButton5 = addButton("SpeedButton5", QStringLiteral("Печать"), ui::pictures::printer(), 496);
    SpeedButton4 = addButton("SpeedButton4", QStringLiteral("Выход"), ui::pictures::door(), 652);

    const std::pair<toolkit::FlatButton*, void (TForm3::*)()> handlers[] = {
        {SpeedButton1, &TForm3::SpeedButton1Click}, {SpeedButton2, &TForm3::SpeedButton2Click},
        {SpeedButton3, &TForm3::SpeedButton3Click}, {SpeedButton4, &TForm3::SpeedButton4Click},
        {SpeedButton5, &TForm3::SpeedButton5Click},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QAbstractButton::clicked, this, [this, handler = handler] {
            toolkit::guarded([this, handler] { (this->*handler)(); });
        });
    for (toolkit::FlatButton* button : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4})
        connect(button, &toolkit::FlatButton::mouseMoved, this, [this, button] { SpeedButtonMouseMove(button); });
}

void TForm3::FormCreate()
{
    store::reopenByPath(MainForm->tbResult, ui::dataDirectoryPath());
}

void TForm3::showScore(int scale, std::int32_t score)
{
    QLabel* label = valueLabels.at(scale - 1);
    label->setText(QString::number(score));
    label->adjustSize();
}

void TForm3::showCompletedExamination()
{
    show();
}

void TForm3::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        toolkit::guarded([this] { FormShow(); });
}

void TForm3::closeEvent(QCloseEvent* event)
{
    event->accept();
    toolkit::guarded([this] { FormClose(); });
}

// Only the showing that follows a completed examination stores, and only once:
// "Результаты" and later showings would store the same scores again, or under
// another subject's name. The examination run keeps that rule.
void TForm3::FormShow()
{
    const QDate date = MainForm->deDateReg->date();
    MainForm->examination.storeResult({utf8(MainForm->Edit1), utf8(MainForm->Edit2), utf8(MainForm->Edit3)},
                                      store::Date{date.year(), date.month(), date.day()});
}

void TForm3::FormClose()
{
    MainForm->show();
}

void TForm3::SpeedButton1Click()
{
    fmResult->exec();
}

void TForm3::SpeedButton2Click()
{
    FormDesc->exec();
}

void TForm3::SpeedButton3Click()
{
    // The operator gets back to the registration window even after a failed start-up.
    MainForm->examination.rewind();
    hide();
    MainForm->show();
}

void TForm3::SpeedButton4Click()
{
    MainForm->close();
}

void TForm3::SpeedButton5Click()
{
    report::printCurrentResult(MainForm->tbResult);
}

void TForm3::SpeedButtonMouseMove(toolkit::FlatButton* button)
{
    button->setCaptionColor(Qt::red);
}

void TForm3::Panel1MouseMove()
{
    for (toolkit::FlatButton* button : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4})
        button->setCaptionColor(Qt::black);
}
