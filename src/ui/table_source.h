#pragma once
// A table of the store as the data grids see it: display texts (dates in the
// short date format, integers as digits), a new row shown at its place while
// it is being inserted, and typed texts turned back into field values.

#include "store/table.h"
#include "toolkit/grid_source.h"

namespace ui {

class TableSource : public toolkit::GridSource {
    Q_OBJECT
public:
    explicit TableSource(store::Table& table, QObject* parent = nullptr);
    ~TableSource() override;

    store::Table& table() const { return table_; }

    // The text a grid shows for a value of the table.
    static QString displayText(const store::Value& value);

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
    void post() override;
    void cancel() override;
    void insertRow() override;
    void appendRow() override;
    void deleteCurrentRow() override;
    int findRow(int field, int from, int step, const QString& prefix) const override;

private:
    QStringList bufferTexts() const;
    store::Value valueFromText(const store::FieldDef& field, const QString& text) const;

    store::Table& table_;
    int subscription_;
};

}  // namespace ui
