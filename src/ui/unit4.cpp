#include "ui/unit4.h"

#include "binding/table_source.h"
#include "engine/scales.h"
#include "store/result_table.h"
#include "toolkit/grid_view.h"
#include "toolkit/grid_widget.h"
#include "toolkit/operator_box.h"
#include "ui/app_shell.h"
#include "ui/unit1.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

TfmResult* fmResult = nullptr;

namespace {

// Client size of a 600 × 400 window with a sizeable frame (4 pixels a side) and a caption.
constexpr int kClientWidth = 592;
constexpr int kClientHeight = 373;
constexpr int kPanelHeight = 29;

QString displayLabel(const char* field)
{
    for (const store::FieldDef& def : store::resultFields()) {
        if (def.name == field)
            return QString::fromStdString(def.displayLabel);
    }
    return QString::fromLatin1(field);
}

toolkit::GridColumn nameColumn(const char* field)
{
    toolkit::GridColumn column;
    column.field = QString::fromLatin1(field);
    column.title = displayLabel(field);
    column.widthDigits = 15;
    return column;
}

QVector<toolkit::GridColumn> journalColumns()
{
    toolkit::GridColumn surname = nameColumn("F");
    surname.footer = toolkit::GridColumn::Footer::Text;
    surname.footerText = QStringLiteral("ВСЕГО:");
    surname.footerAlignment = Qt::AlignRight;
    toolkit::GridColumn firstName = nameColumn("I");
    firstName.footer = toolkit::GridColumn::Footer::Count;
    toolkit::GridColumn date = nameColumn("Dat");
    date.widthDigits = 10;

    QVector<toolkit::GridColumn> columns{surname, firstName, nameColumn("O"), date};
    for (const engine::Scale& scale : engine::kScales) {
        toolkit::GridColumn column;
        column.field = QString::fromLatin1(scale.field);
        column.title = QString::fromUtf8(scale.journalTitle);
        column.widthDigits = 10;
        column.alignment = Qt::AlignRight;
        columns << column;
    }
    return columns;
}

}  // namespace

TfmResult::TfmResult(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Результаты тестирования"));
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    setFont(ui::sansFont(11));
    resize(kClientWidth, kClientHeight);

    grResult = new toolkit::DataGrid(this);
    grResult->setObjectName(QStringLiteral("grResult"));
    grResult->setColumns(journalColumns());
    QFont titleFont = ui::sansFont(11);
    titleFont.setUnderline(true);
    grResult->setTitleFont(titleFont, Qt::blue);

    Panel1 = new QLabel(QStringLiteral("Для выполнения поиска перместитесь на нужный столбец и набирите первые буквы"), this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFont(ui::sansFont(11, QFont::Bold));
    Panel1->setFixedHeight(kPanelHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(grResult);
    layout->addWidget(Panel1);

    if (MainForm)
        setTable(&MainForm->tbResult);
}

TfmResult::~TfmResult()
{
    // The grid lets go of the source before the source goes.
    grResult->setSource(nullptr);
}

void TfmResult::setTable(store::Table* table)
{
    grResult->setSource(nullptr);
    dsResult.reset(table ? new binding::TableSource(*table) : nullptr);
    grResult->setSource(dsResult.get());
}

void TfmResult::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Each showing shows what other workstations have stored meanwhile, and
    // opens on the table's current row.
    toolkit::guarded([this] {
        if (dsResult)
            dsResult->refresh();
    });
    grResult->view()->syncFromSource();
    grResult->setFocus();
}

void TfmResult::keyPressEvent(QKeyEvent* event)
{
    // Esc leaves the journal open; only the close box closes it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        return;
    QDialog::keyPressEvent(event);
}

void TfmResult::done(int result)
{
    // A correction still open is stored (or an empty new row dropped) before
    // the window hides, so the row left current is the one printed next.
    grResult->finishRow();
    QDialog::done(result);
}
