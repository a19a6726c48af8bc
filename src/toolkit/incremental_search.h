#pragma once
// Incremental search in one column of a grid source: the operator types the
// first letters of a cell and the cursor goes to the first row that begins
// with them. Knows no window, so it can be driven and tested on its own.

#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>

namespace toolkit {

class GridSource;

// Search texts are compared in upper case, one character at a time, so a
// text and its folded form have the same length (Cyrillic included).
QString searchFold(QStringView text);
// Whether `text` begins with `foldedPrefix` (already folded) in either case.
bool beginsWithFolded(QStringView text, QStringView foldedPrefix);

class IncrementalSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 1500;

    explicit IncrementalSearch(GridSource* source, QObject* parent = nullptr);

    void setSource(GridSource* source);
    // How long a typed search lasts after its last keystroke.
    void setTimeout(int milliseconds);

    bool active() const { return active_; }
    const QString& text() const { return text_; }
    int field() const { return field_; }
    // True while the search itself moves the cursor, so that move does not end it.
    bool moving() const { return moving_; }

    // A typed character in the given field: starts a search or extends it.
    // False when no row matches, in which case the character is dropped.
    bool type(int field, const QString& character);
    // Starts a search with an empty text and no time limit.
    void startEmpty(int field);
    // Removes the last character; the cursor stays.
    void backspace();
    // The next matching row below (step 1) or above (step -1) the current one.
    bool findNext(int step);
    void end();

signals:
    // The search started, ended or its text changed.
    void changed();

private:
    bool matchesCurrent(int field, const QString& folded) const;
    void moveTo(int row);
    void restartTimer();

    GridSource* source_;
    QTimer timer_;
    QString text_;
    int field_ = -1;
    bool active_ = false;
    bool timed_ = false;
    bool moving_ = false;
};

}  // namespace toolkit
