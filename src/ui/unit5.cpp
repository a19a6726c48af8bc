#include "ui/unit5.h"

#include "toolkit/operator_box.h"
#include "toolkit/window_util.h"
#include "ui/app_shell.h"
#include "ui/explanation_texts.h"

#include <QButtonGroup>
#include <QFrame>
#include <QPushButton>
#include <QTextEdit>

TFormDesc* FormDesc = nullptr;

TFormDesc::TFormDesc(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormDesc"));
    setWindowTitle(QStringLiteral("Опросник FPI - пояснение шкал"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(552, 643);
    setFont(ui::sansFont(11));

    RichEdit1 = createPane("RichEdit1", ui::shortExplanation());
    RichEdit2 = createPane("RichEdit2", ui::fullExplanation());
    RichEdit2->hide();

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 576, 533, 2);

    SpeedButton1 = createToggle("SpeedButton1", QStringLiteral("Краткое пояснение"), 12);
    SpeedButton2 = createToggle("SpeedButton2", QStringLiteral("Полное пояснение"), 280);
    SpeedButton1->setChecked(true);

    // An exclusive group: a pressed button cannot be released by clicking it,
    // and the click still reaches the handler.
    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    group_->addButton(SpeedButton1, 1);
    group_->addButton(SpeedButton2, 2);
    connect(group_, &QButtonGroup::buttonClicked, this, [this] { toolkit::guarded([this] { SpeedButton1Click(); }); });
}

QTextEdit* TFormDesc::createPane(const char* name, const QStringList& lines)
{
    auto* pane = new QTextEdit(this);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setGeometry(8, 8, 537, 537);
    pane->setFont(ui::sansFont(13));
    pane->setAcceptRichText(false);
    pane->setPlainText(lines.join(QLatin1Char('\n')));
    // Read-only, yet the operator can still move about, select and copy.
    pane->setReadOnly(true);
    pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    pane->setLineWrapMode(QTextEdit::WidgetWidth);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return pane;
}

QPushButton* TFormDesc::createToggle(const char* name, const QString& caption, int left)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, 588, 249, 45);
    button->setFont(toolkit::pixelFont({QStringLiteral("Arial")}, 21, QFont::Bold));
    button->setCheckable(true);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    // A raised bevel, and a sunken one on a darker face while pressed, so the
    // operator sees at a glance which text is shown.
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: palette(button); border: 2px solid;"
        " border-color: palette(light) palette(dark) palette(dark) palette(light); }"
        "QPushButton:checked, QPushButton:pressed { background-color: palette(midlight);"
        " border-color: palette(dark) palette(light) palette(light) palette(dark);"
        " padding-top: 2px; padding-left: 2px; }"));
    return button;
}

void TFormDesc::SpeedButton1Click()
{
    RichEdit1->setVisible(SpeedButton1->isChecked());
    RichEdit2->setVisible(SpeedButton2->isChecked());
}
