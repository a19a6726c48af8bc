// The grid model over a source: what it shows, the footer, and that it reads
// only the rows it is asked for.
#include "grid_memory_source.h"
#include "toolkit/grid_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

using toolkit::GridColumn;
using toolkit::GridModel;

namespace {

GridColumn column(const QString& field, const QString& title, int digits, Qt::Alignment alignment = Qt::AlignLeft)
{
    GridColumn c;
    c.field = field;
    c.title = title;
    c.widthDigits = digits;
    c.alignment = alignment;
    return c;
}

QVector<GridColumn> columns()
{
    GridColumn surname = column(QStringLiteral("F"), QStringLiteral("Фамилия"), 15);
    surname.footer = GridColumn::Footer::Text;
    surname.footerText = QStringLiteral("ВСЕГО:");
    GridColumn name = column(QStringLiteral("I"), QStringLiteral("Имя"), 15);
    name.footer = GridColumn::Footer::Count;
    return {surname, name, column(QStringLiteral("Tip1"), QStringLiteral("Неврот- ичность"), 10, Qt::AlignRight),
            column(QStringLiteral("Nope"), QStringLiteral("Нет"), 5)};
}

// Counts the rows read from it.
class CountingSource : public MemorySource {
public:
    using MemorySource::MemorySource;
    mutable int reads = 0;
    QStringList rowTexts(int row) const override
    {
        ++reads;
        return MemorySource::rowTexts(row);
    }
};

QVector<QStringList> manyRows(int count)
{
    QVector<QStringList> rows;
    for (int i = 0; i < count; ++i)
        rows.append({QStringLiteral("Ф%1").arg(i), QStringLiteral("И"), QString::number(i % 10)});
    return rows;
}

}  // namespace

TEST(GridModel, ShowsTheSourceColumnsWithTheirTitlesAlignmentAndFooter)
{
    MemorySource source({"F", "I", "Tip1"}, {{"Петров", "Пётр", "5"}, {"Иванов", "Иван", "9"}});
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    model.setColumns(columns());
    model.setSource(&source);

    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(), QStringLiteral("Иванов"));
    EXPECT_EQ(model.data(model.index(1, 2), Qt::DisplayRole).toString(), QStringLiteral("9"));
    EXPECT_TRUE(model.data(model.index(1, 3), Qt::DisplayRole).toString().isEmpty());
    EXPECT_FALSE(model.flags(model.index(0, 3)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.data(model.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Неврот- ичность"));
    EXPECT_EQ(model.footerText(0), QStringLiteral("ВСЕГО:"));
    EXPECT_EQ(model.footerText(1), QStringLiteral("2"));
    EXPECT_TRUE(model.footerText(2).isEmpty());
}

TEST(GridModel, CountsOnlyStoredRowsAndFollowsInsertStoreAndDelete)
{
    MemorySource source({"F", "I", "Tip1"}, {{"Петров", "Пётр", "5"}}, {"Tip1"});
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    model.setColumns(columns());
    model.setSource(&source);

    source.appendRow();
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.footerText(1), QStringLiteral("1"));   // the new row is not stored yet
    model.setCellText(1, 0, QStringLiteral("Сидоров"));
    EXPECT_EQ(model.cellText(1, 0), QStringLiteral("Сидоров"));
    source.post();
    EXPECT_EQ(model.footerText(1), QStringLiteral("2"));
    source.deleteCurrentRow();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.footerText(1), QStringLiteral("1"));
}

TEST(GridModel, AChangedRowIsReadAgain)
{
    MemorySource source({"F", "I", "Tip1"}, {{"Петров", "Пётр", "5"}}, {"Tip1"});
    GridModel model;
    model.setColumns(columns());
    model.setSource(&source);
    EXPECT_EQ(model.cellText(0, 2), QStringLiteral("5"));
    model.setCellText(0, 2, QStringLiteral("8"));
    EXPECT_EQ(model.cellText(0, 2), QStringLiteral("8"));
    EXPECT_EQ(source.state(), toolkit::GridSource::State::Edit);
    EXPECT_THROW(model.setCellText(0, 2, QStringLiteral("восемь")), std::exception);
    EXPECT_FALSE(model.setData(model.index(0, 2), QStringLiteral("x"), Qt::EditRole));
    source.cancel();
    EXPECT_EQ(model.cellText(0, 2), QStringLiteral("5"));
}

TEST(GridModel, ReadsOnlyTheRowsAroundTheOnesAskedFor)
{
    CountingSource source({"F", "I", "Tip1"}, manyRows(100000));
    GridModel model;
    model.setColumns(columns());
    model.setSource(&source);
    source.reads = 0;
    for (int row = 50000; row < 50030; ++row)
        model.data(model.index(row, 0), Qt::DisplayRole);
    EXPECT_LE(source.reads, 128);
    const int afterFirstScreen = source.reads;
    for (int row = 50000; row < 50030; ++row)
        model.data(model.index(row, 1), Qt::DisplayRole);
    EXPECT_EQ(source.reads, afterFirstScreen);   // a repaint reads nothing again
}

TEST(GridModel, ANotOpenSourceIsAnEmptyGridWithACountOfNought)
{
    MemorySource source({"F", "I", "Tip1"}, {{"Петров", "Пётр", "5"}});
    source.open = false;
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    model.setColumns(columns());
    model.setSource(&source);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.footerText(1), QStringLiteral("0"));
    model.setSource(nullptr);
    EXPECT_EQ(model.footerText(1), QStringLiteral("0"));
}

// The delegate and the row indicator know the cursor, the search mark and the
// field sizes only through these roles.
TEST(GridModel, RolesCarryTheCursorTheSearchMarkAndTheRowState)
{
    MemorySource source({"F", "I", "Tip1"}, {{"Петров", "Пётр", "5"}, {"Иванов", "Иван", "9"}});
    source.maxLengths.insert(0, 15);
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    model.setColumns(columns());
    model.setSource(&source);
    const auto role = [&model](int row, int column, int r) { return model.data(model.index(row, column), r); };

    source.setCurrentRow(1);
    model.setCurrentColumn(0);
    EXPECT_TRUE(role(1, 2, GridModel::CurrentRowRole).toBool());
    EXPECT_FALSE(role(0, 2, GridModel::CurrentRowRole).toBool());
    EXPECT_TRUE(role(1, 0, GridModel::CurrentCellRole).toBool());
    EXPECT_FALSE(role(1, 1, GridModel::CurrentCellRole).toBool());
    EXPECT_FALSE(role(0, 0, GridModel::CurrentCellRole).toBool());

    // The mark sits on the cursor's cell only while that column shows the searched field.
    QVector<int> changedRows;
    QObject::connect(&model, &GridModel::dataChanged, [&changedRows](const QModelIndex& from, const QModelIndex&) {
        changedRows << from.row();
    });
    model.setSearchMark(0, 2);
    EXPECT_EQ(changedRows, QVector<int>{1}) << "the marked row is repainted";
    EXPECT_EQ(role(1, 0, GridModel::SearchMarkRole).toInt(), 2);
    EXPECT_EQ(role(0, 0, GridModel::SearchMarkRole).toInt(), 0);
    EXPECT_EQ(role(1, 1, GridModel::SearchMarkRole).toInt(), 0);
    model.setCurrentColumn(1);
    EXPECT_EQ(role(1, 0, GridModel::SearchMarkRole).toInt(), 0);
    EXPECT_EQ(role(1, 1, GridModel::SearchMarkRole).toInt(), 0);
    model.setCurrentColumn(0);
    source.setCurrentRow(0);
    EXPECT_EQ(role(0, 0, GridModel::SearchMarkRole).toInt(), 2) << "the mark follows the cursor";
    model.setSearchMark(-1, 2);
    EXPECT_EQ(role(0, 0, GridModel::SearchMarkRole).toInt(), 0);

    EXPECT_EQ(role(0, 0, GridModel::MaxLengthRole).toInt(), 15);
    EXPECT_EQ(role(0, 1, GridModel::MaxLengthRole).toInt(), 0);
    EXPECT_EQ(role(0, 3, GridModel::MaxLengthRole).toInt(), 0) << "a column without a field";

    const auto rowState = [&model](int row) { return model.headerData(row, Qt::Vertical, GridModel::RowStateRole); };
    EXPECT_EQ(rowState(0).toInt(), int(toolkit::GridSource::State::Browse));
    EXPECT_FALSE(rowState(1).isValid());
    source.edit();
    EXPECT_EQ(rowState(0).toInt(), int(toolkit::GridSource::State::Edit));
    source.cancel();
    source.appendRow();
    EXPECT_EQ(rowState(2).toInt(), int(toolkit::GridSource::State::Insert));
    EXPECT_FALSE(rowState(0).isValid());

    source.open = false;
    emit source.reset();
    EXPECT_FALSE(rowState(0).isValid());
}
