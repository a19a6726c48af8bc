#pragma once
// What a data grid needs from the table it shows: rows by position as the
// grid displays them, one current row shared with everyone bound to the same
// table, and the editing of that row. Failures raise std::exception whose
// text is a message for the operator; the grid shows it in the error box.

#include <QObject>
#include <QString>
#include <QStringList>

namespace toolkit {

class GridSource : public QObject {
    Q_OBJECT
public:
    enum class State { Browse, Edit, Insert };

    using QObject::QObject;

    // A source that is not open has no fields and no rows.
    virtual bool isOpen() const = 0;
    // Visible rows, a new row not yet stored included.
    virtual int rowCount() const = 0;
    // Position of a field among the row texts; -1 when there is no such field.
    virtual int fieldIndex(const QString& field) const = 0;
    // The displayed texts of one row, one per field; empty for a blank field.
    virtual QStringList rowTexts(int row) const = 0;

    // -1 when there is no row.
    virtual int currentRow() const = 0;
    virtual void setCurrentRow(int row) = 0;

    virtual State state() const = 0;
    // The row being edited or inserted has changes.
    virtual bool modified() const = 0;
    // Starts editing the current row (a no-op while editing or inserting).
    virtual void edit() = 0;
    // Sets a field of the row being edited or inserted from displayed text;
    // raises when the text does not fit the field, with a message that names
    // the field as the operator knows it and says what it accepts.
    virtual void setText(int field, const QString& text) = 0;
    // The most characters the field holds, so that the cell editor takes no
    // more; 0 when the field sets no limit.
    virtual int maxLength(int field) const
    {
        Q_UNUSED(field);
        return 0;
    }
    virtual void post() = 0;
    virtual void cancel() = 0;
    // A new row at the current position, or after the last row.
    virtual void insertRow() = 0;
    virtual void appendRow() = 0;
    virtual void deleteCurrentRow() = 0;

    // The first row, from `from` downwards (step 1) or upwards (step -1),
    // whose displayed text of the field begins with `prefix` as
    // toolkit::beginsWithFolded compares them; -1 when none. `prefix` is
    // already folded with toolkit::searchFold.
    virtual int findRow(int field, int from, int step, const QString& prefix) const = 0;

signals:
    // Opened, closed, rows added or removed: everything is to be read again.
    void reset();
    // The values of one row changed.
    void rowChanged(int row);
    // Another row became current (or the state of the current row changed).
    void cursorMoved(int row);
};

}  // namespace toolkit
