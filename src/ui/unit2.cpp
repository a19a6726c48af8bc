#include "ui/unit2.h"

#include "binding/display_text.h"
#include "engine/scales.h"
#include "engine/test_scores.h"
#include "toolkit/early_click.h"
#include "toolkit/flat_button.h"
#include "toolkit/operator_box.h"
#include "ui/app_shell.h"
#include "ui/unit1.h"
#include "ui/unit3.h"

#include <QCloseEvent>
#include <QPlainTextEdit>

TForm2* Form2 = nullptr;

namespace {

const QString kItemsChanged = QStringLiteral(
    "Вопросы опросника изменены другой программой во время обследования. Обследование прервано, результат не сохранён.");

// The memo's background: the colour of an active window's border.
const QColor kActiveBorder(180, 180, 180);

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("FPI"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(636, 220);
    setFont(ui::sansFont(11));

    DBMemo1 = new QPlainTextEdit(this);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setGeometry(12, 8, 605, 153);
    DBMemo1->setReadOnly(true);
    DBMemo1->setFrameShape(QFrame::NoFrame);
    DBMemo1->setFont(ui::sansFont(19));
    DBMemo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DBMemo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette memoPalette = DBMemo1->palette();
    memoPalette.setColor(QPalette::Base, kActiveBorder);
    memoPalette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
    DBMemo1->setPalette(memoPalette);
    setFocusProxy(DBMemo1);

    // The subject answers with the mouse only: no focus, no shortcut keys.
    auto answer = [this](const char* name, const QString& caption, int x) {
        auto* button = new toolkit::FlatButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(x, 176, 125, 33);
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    SpeedButton1 = answer("SpeedButton1", QStringLiteral("Да"), 292);
    SpeedButton2 = answer("SpeedButton2", QStringLiteral("Нет"), 452);
    connect(SpeedButton1, &QAbstractButton::clicked, this, [this] { toolkit::guarded([this] { SpeedButton1Click(); }); });
    connect(SpeedButton2, &QAbstractButton::clicked, this, [this] { toolkit::guarded([this] { SpeedButton2Click(); }); });
    answerGuard_ = new toolkit::EarlyClickGuard(this);
    answerGuard_->watch(SpeedButton1);
    answerGuard_->watch(SpeedButton2);

    bindMemo();
}

TForm2::~TForm2()
{
    if (MainForm)
        MainForm->tbVopros.unsubscribe(vopros_subscription_);
}

// The memo follows the questionnaire table's current row, whatever moves it.
// A questionnaire without item texts is reported once, when the window is made;
// the table's notifications themselves must not be interrupted.
void TForm2::bindMemo()
{
    vopros_subscription_ = MainForm->tbVopros.subscribe([this](store::Table::Change) {
        try {
            showCurrentItem();
        } catch (const std::exception&) {
            DBMemo1->clear();
        }
    });
    toolkit::guarded([this] { showCurrentItem(); });
    MainForm->examination.itemsRead();
}

void TForm2::showCurrentItem()
{
    const store::Table& table = MainForm->tbVopros;
    answerGuard_->contentShown();
    DBMemo1->setPlainText(table.active() ? binding::displayText(table.field("Vopros")) : QString());
}

void TForm2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    answerGuard_->contentShown();
    if (!event->spontaneous())
        toolkit::guarded([this] { FormShow(); });
}

void TForm2::closeEvent(QCloseEvent* event)
{
    event->accept();
    toolkit::guarded([this] { FormClose(); });
}

void TForm2::FormShow()
{
    MainForm->examination.start();
}

void TForm2::FormClose()
{
    MainForm->close();
}

void TForm2::SpeedButton1Click()
{
    ScoreAnswer(true);
}

void TForm2::SpeedButton2Click()
{
    ScoreAnswer(false);
}

void TForm2::ScoreAnswer(bool yes)
{
    switch (MainForm->examination.answer(yes)) {
    case exam::Answered::NextItem:
        break;
    case exam::Answered::Completed:
        ShowScores();
        break;
    case exam::Answered::ItemsReplaced:
        AbandonChangedQuestionnaire();
        break;
    }
}

void TForm2::ShowScores()
{
    for (int scale = 1; scale <= engine::kScaleCount; ++scale)
        Form3->showScore(scale, engine::TestScores.stanine(scale));
    hide();
    toolkit::operatorBox().message(QStringLiteral("Позовите обследуемого"));
    Form3->showCompletedExamination();
}

// Nothing of the examination is kept. The registration window comes back even
// when the new items cannot be read; they are read from the first one, as
// "Новое обследование" leaves the questionnaire.
void TForm2::AbandonChangedQuestionnaire()
{
    hide();
    toolkit::operatorBox().message(kItemsChanged);
    MainForm->show();
    MainForm->examination.readItemsAfresh();
}
