#pragma once
// A table of the store as the data grids see it: every value as
// binding::displayText shows it, a new row shown at its place while it is
// being inserted, and typed texts turned back into field values. A text that
// does not fit is refused with a message in plain words: the field's title
// and what it accepts, never a file path or an internal field name.

#include "store/table.h"
#include "toolkit/grid_source.h"

#include <QDate>
#include <QHash>

namespace binding {

class TableSource : public toolkit::GridSource {
    Q_OBJECT
public:
    explicit TableSource(store::Table& table, QObject* parent = nullptr);
    ~TableSource() override;

    store::Table& table() const { return table_; }

    // A date typed in the short date format (or as YYYY-MM-DD). A four-digit
    // year is taken as typed; a two-digit year is one of this century (23 is
    // 2023), whatever the format would make of it. Invalid when it is no date.
    static QDate dateFromText(const QString& text);

    // The title a refusal names the field by; without one the field's
    // display label, or its name when it has none.
    void setFieldLabel(const QString& field, const QString& label);

    // Shows the rows other programs have stored or changed since the table
    // read them (see store::Table::refresh); a failure is raised as StoreError.
    void refresh();

    bool isOpen() const override;
    int rowCount() const override;
    int fieldIndex(const QString& field) const override;
    QStringList rowTexts(int row) const override;
    int currentRow() const override;
    void setCurrentRow(int row) override;
    State state() const override;
    bool modified() const override;
    void edit() override;
    void setText(int field, const QString& text) override;
    int maxLength(int field) const override;
    void post() override;
    void cancel() override;
    void insertRow() override;
    void appendRow() override;
    void deleteCurrentRow() override;
    int findRow(int field, int from, int step, const QString& prefix) const override;

private:
    QStringList bufferTexts() const;
    QString labelOf(const store::FieldDef& field) const;
    store::Value valueFromText(const store::FieldDef& field, const QString& text) const;

    store::Table& table_;
    QHash<QString, QString> labels_;
    int subscription_;
};

}  // namespace binding
