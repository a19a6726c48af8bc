#include "ui/unit6.h"

#include "binding/table_source.h"
#include "store/table.h"
#include "toolkit/grid_source.h"
#include "toolkit/grid_view.h"
#include "toolkit/grid_widget.h"
#include "toolkit/operator_box.h"
#include "ui/app_shell.h"
#include "ui/unit1.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

TForm6* Form6 = nullptr;

namespace {

// A name field's display width in characters when the table does not give one.
constexpr int kDefaultNameWidth = 15;

toolkit::GridColumn nameColumn(const store::Table* table, const char* field, const QString& title)
{
    toolkit::GridColumn column;
    column.field = QString::fromLatin1(field);
    column.title = title;
    column.widthDigits = kDefaultNameWidth;
    if (table && table->active()) {
        for (const store::FieldDef& def : table->fields())
            if (def.name == field && def.size > 0)
                column.widthDigits = def.size;
    }
    return column;
}

}  // namespace

TForm6::TForm6(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Сведения о ранее зарегестрированых пациентах"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(433, 452);
    setFont(ui::sansFont(11));

    DBGrid1 = new toolkit::DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setFooterVisible(false);
    DBGrid1->setSearchEnabled(false);
    DBGrid1->setTitleLines(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGrid1);

    setTable(MainForm ? &MainForm->tbFamil : nullptr);
}

TForm6::~TForm6()
{
    // The grid lets go of the source before the source goes.
    DBGrid1->setSource(nullptr);
}

void TForm6::setTable(store::Table* table)
{
    DBGrid1->setSource(nullptr);
    DBGrid1->setColumns({
        nameColumn(table, "F", QStringLiteral("Фамилия")),
        nameColumn(table, "I", QStringLiteral("Имя")),
        nameColumn(table, "O", QStringLiteral("Отчество")),
    });
    dsFamil.reset(table ? new binding::TableSource(*table) : nullptr);
    // A refused value is reported under the column's title, not the field's name.
    if (dsFamil) {
        for (const toolkit::GridColumn& column : DBGrid1->model()->columns())
            dsFamil->setFieldLabel(column.field, column.title);
    }
    DBGrid1->setSource(dsFamil.get());
}

void TForm6::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Key presses anywhere in the window pass the window first.
    qApp->installEventFilter(this);
    // What other workstations have registered meanwhile is shown too.
    toolkit::guarded([this] {
        if (dsFamil)
            dsFamil->refresh();
    });
    DBGrid1->view()->syncFromSource();
    DBGrid1->setFocus();
}

void TForm6::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

bool TForm6::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && static_cast<QWidget*>(watched)->window() == this)
        FormKeyPress(static_cast<QKeyEvent*>(event));
    return false;
}

void TForm6::FormKeyPress(const QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape || escPending_)
        return;
    // The grid handles this same key press first (an open cell editor drops
    // its text); the window closes once it has.
    escPending_ = true;
    QMetaObject::invokeMethod(this, [this] { closeAfterEsc(); }, Qt::QueuedConnection);
}

void TForm6::closeAfterEsc()
{
    escPending_ = false;
    if (!isVisible())
        return;
    // Esc abandons the row being edited or inserted as a whole.
    if (dsFamil && dsFamil->isOpen() && dsFamil->state() != toolkit::GridSource::State::Browse)
        toolkit::guarded([this] { dsFamil->cancel(); });
    reject();
}

void TForm6::keyPressEvent(QKeyEvent* event)
{
    // Esc is the window's own (FormKeyPress); the dialog's default must not close it a second way.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void TForm6::done(int result)
{
    // A correction made in the grid is stored before the window goes (an
    // empty new row is dropped). If it cannot be stored the operator has been
    // told, and the window stays open to put it right or abandon it with Esc.
    DBGrid1->finishRow();
    if (dsFamil && dsFamil->isOpen() && dsFamil->state() != toolkit::GridSource::State::Browse)
        return;
    QDialog::done(result);
}
