#include "ui/unit1.h"

#include "store/data_directory.h"
#include "store/result_table.h"
#include "toolkit/date_edit.h"
#include "toolkit/flat_button.h"
#include "toolkit/group_box.h"
#include "toolkit/operator_box.h"
#include "toolkit/window_util.h"
#include "ui/app_shell.h"
#include "ui/pictures.h"
#include "ui/unit2.h"
#include "ui/unit3.h"
#include "ui/unit6.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

TMainForm* MainForm = nullptr;

namespace {

const QString kMissingEngine = QStringLiteral("У Вас не установлен BDE. Работе программы не возможна.") + QChar('\r')
    + QStringLiteral("Данную программу можно скачать по адресу ") + ui::kAuthorWebPage;
const QString kConnectionFailed = QStringLiteral("Ошибка при соеденение с БД ");
const QString kIncompleteName = QStringLiteral("Не все данные о тестируемом");
const QString kPickFailed = QStringLiteral("Ошибка присвоения");

// Said once at start-up when the table files lie on a network file system.
QString networkDirectoryText(std::string directory, const std::string& fileSystem)
{
    if (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    return QStringLiteral("Каталог данных «%1» находится на сетевом диске (%2). Если с ним работают несколько "
                          "рабочих мест одновременно, результаты могут быть повреждены. Таблицы открыты без "
                          "журнала упреждающей записи. Чтобы работать с нескольких рабочих мест, храните таблицы "
                          "на сервере PostgreSQL: положите в каталог данных файл pg_service.conf со службой fpi "
                          "(см. раздел «Несколько рабочих мест» в README).")
        .arg(QString::fromStdString(directory), QString::fromStdString(fileSystem));
}

const char* const kInstruction[] = {
    "ИНСТРУКЦИЯ: перед Вами ряд ",
    "утверждений, каждое из  которых ",
    "подразумевает  относящийся к ",
    "Вам вопрос о  том, соответствует ",
    "или не  соответствует данное  ",
    "утверждение каким-то  ",
    "особенностям Вашего  поведения, ",
    "отношению к  людям, взглядам на ",
    "жизнь и  т.п. Если Вы считаете, ",
    "что  такое соответствие имеет  ",
    "место, то дайте ответ «да»  ",
    "наведя мыщью на ответ \"Да\"  и ",
    "нажав левую кнопку, в противном ",
    "случае - ответ «нет» ",
    "аналогичным  образом. Ответы ",
    "нужно давать на все вопросы.  ",
    "Помните, что нет  правильных или ",
    " неправильных ответов.  ",
    "Отвечайте предельно  честно и ",
    "не задумываясь.     ",
};

// Blank after trimming spaces and control characters at both ends.
bool blank(const QString& text)
{
    for (const QChar c : text)
        if (c > QLatin1Char(' '))
            return false;
    return true;
}

QLabel* label(const QString& text, const QFont& font, QWidget* parent, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    l->adjustSize();
    l->move(x, y);
    return l;
}

QLineEdit* nameEdit(const char* name, QWidget* parent, int y)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(128, y, 121, 21);
    return edit;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    tbResult.declareFields(store::resultFields());
    buildLayout();
}

TMainForm::~TMainForm() = default;

// Controls are created in their tab order: the name fields and the date, then the memo.
void TMainForm::buildLayout()
{
    setWindowTitle(QStringLiteral("Психологический опросник FPI (версия 1.1.2)"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(750, 288);
    setFont(ui::sansFont(11));

    Label1 = new QLabel(QStringLiteral("Тест FPI"), this);
    Label1->setFont(ui::monoFont(64, QFont::Bold));
    Label1->setGeometry(112, 8, 304, 73);

    buildGroupBox();
    buildInstruction();
    buildButtons();
    buildLinks();

    toolkit::onBareMouseMove(this, [this] { FormMouseMove(); });
}

void TMainForm::buildGroupBox()
{
    GroupBox1 = new toolkit::ClassicGroupBox(QStringLiteral(" Данные о тестируемом "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(12, 92, 477, 133);
    const QFont bold = ui::sansFont(16, QFont::Bold);
    Label2 = label(QStringLiteral("Фамилия"), bold, GroupBox1, 24, 28);
    Label3 = label(QStringLiteral("Имя"), bold, GroupBox1, 24, 60);
    Label4 = label(QStringLiteral("Отчество"), bold, GroupBox1, 24, 92);
    Label6 = label(QStringLiteral("Дата тестирования"), bold, GroupBox1, 300, 20);

    Edit1 = nameEdit("Edit1", GroupBox1, 32);
    Edit2 = nameEdit("Edit2", GroupBox1, 64);
    Edit3 = nameEdit("Edit3", GroupBox1, 96);

    deDateReg = new toolkit::DateEdit(GroupBox1);
    deDateReg->setObjectName(QStringLiteral("deDateReg"));
    deDateReg->setGeometry(300, 44, 121, 21);
    deDateReg->clear();

    SpeedButton3 = new QPushButton(QIcon(ui::pictures::documentSheet()), QStringLiteral("Пациент"), GroupBox1);
    SpeedButton3->setObjectName(QStringLiteral("SpeedButton3"));
    SpeedButton3->setGeometry(324, 92, 97, 29);
    SpeedButton3->setToolTip(QStringLiteral("Выбор пациента оформленного ранее"));
    SpeedButton3->setFocusPolicy(Qt::NoFocus);
    connect(SpeedButton3, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { SpeedButton3Click(); }); });
}

void TMainForm::buildInstruction()
{
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(504, 0, 246, 288);
    Memo1->setFont(ui::sansFont(13));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QStringList lines;
    for (const char* line : kInstruction)
        lines << QString::fromUtf8(line);
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TMainForm::buildButtons()
{
    const QFont bold = ui::sansFont(16, QFont::Bold);
    auto flat = [this, &bold](const char* name, const QString& caption, int x) {
        auto* button = new toolkit::FlatButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(x, 232, 141, 45);
        button->setFont(bold);
        button->setCursor(Qt::PointingHandCursor);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &toolkit::FlatButton::mouseMoved, this, [this, button] { SpeedButton1MouseMove(button); });
        return button;
    };
    SpeedButton4 = flat("SpeedButton4", QStringLiteral("Результаты"), 196);
    SpeedButton1 = flat("SpeedButton1", QStringLiteral("Старт"), 348);
    connect(SpeedButton4, &QAbstractButton::clicked, this, [this] { toolkit::guarded([this] { SpeedButton4Click(); }); });
    connect(SpeedButton1, &QAbstractButton::clicked, this, [this] { toolkit::guarded([this] { SpeedButton1Click(); }); });
}

void TMainForm::buildLinks()
{
    const QFont bold = ui::sansFont(11, QFont::Bold);
    auto link = [this, &bold](const char* name, const QString& text, int y) {
        QLabel* l = label(text, bold, this, 8, y);
        l->setObjectName(QLatin1String(name));
        l->setStyleSheet(QStringLiteral("color: blue"));
        l->setCursor(Qt::PointingHandCursor);
        return l;
    };
    Label5 = link("Label5", QStringLiteral("e-mail: ") + ui::kAuthorEmail, 252);
    Label7 = link("Label7", ui::kAuthorWebPage, 272);
    toolkit::onClick(Label5, [this] { toolkit::guarded([this] { Label5Click(); }); });
    toolkit::onClick(Label7, [this] { toolkit::guarded([this] { Label7Click(); }); });
}

void TMainForm::FormCreate()
{
    const store::StartupOutcome outcome =
        store::connectAtStartup(DBase, tbFamil, tbVopros, tbResult, ui::dataDirectoryPath());
    switch (outcome.kind) {
    case store::StartupOutcome::MissingEngine:
        toolkit::operatorBox().message(kMissingEngine);
        break;
    case store::StartupOutcome::ConnectionFailed:
        toolkit::operatorBox().message(kConnectionFailed + QString::fromStdString(outcome.engineMessage));
        break;
    case store::StartupOutcome::Connected:
        deDateReg->setDate(QDate::currentDate());
        if (!outcome.networkFileSystem.empty())
            toolkit::operatorBox().message(networkDirectoryText(ui::dataDirectoryPath(), outcome.networkFileSystem));
        break;
    }
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        toolkit::guarded([this] { FormShow(); });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    event->accept();
    ui::endProgram();
}

void TMainForm::FormShow()
{
    Edit1->clear();
    Edit2->clear();
    Edit3->clear();
}

void TMainForm::SpeedButton1Click()
{
    if (blank(Edit1->text()) || blank(Edit2->text()) || blank(Edit3->text())) {
        toolkit::operatorBox().message(kIncompleteName);
        return;
    }
    hide();
    Form2->show();
}

void TMainForm::SpeedButton3Click()
{
    Form6->exec();
    try {
        Edit1->setText(QString::fromStdString(tbFamil.fieldText("F")));
        Edit2->setText(QString::fromStdString(tbFamil.fieldText("I")));
        Edit3->setText(QString::fromStdString(tbFamil.fieldText("O")));
    } catch (const std::exception&) {
        toolkit::operatorBox().message(kPickFailed);
        return;
    }
    for (QLineEdit* edit : {Edit1, Edit2, Edit3})
        edit->setReadOnly(true);
}

void TMainForm::SpeedButton4Click()
{
    hide();
    Form3->show();
}

void TMainForm::Label5Click()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + ui::kAuthorEmail));
}

void TMainForm::Label7Click()
{
    QDesktopServices::openUrl(QUrl(ui::kAuthorWebPage));
}

void TMainForm::SpeedButton1MouseMove(toolkit::FlatButton* button)
{
    button->setCaptionColor(Qt::red);
}

void TMainForm::FormMouseMove()
{
    SpeedButton1->setCaptionColor(Qt::black);
    SpeedButton4->setCaptionColor(Qt::black);
}
