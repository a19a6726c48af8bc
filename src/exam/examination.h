#pragma once
// The examination run, without a window: answering the questionnaire item by
// item on the process-wide score sheet, and storing the completed result once
// for the subject and the test date. The windows only show what it did.
//
// The tables belong to the caller and outlive the run; failures of the store
// are raised as StoreError and leave the run where it was.

#include "store/table.h"

#include <cstdint>
#include <string>

namespace exam {

// The subject's name as the operator typed it: stored untrimmed, each part cut
// to the results table's 15 characters.
struct Subject {
    std::string surname;
    std::string firstName;
    std::string patronymic;
};

enum class Answered {
    NextItem,        // the next item is current
    Completed,       // that was the last item: the scale scores are in the sheet
    ItemsReplaced,   // another program replaced the items: the run ended, cleared
};

class Examination {
public:
    // `questionnaire` holds the items (NumVopros, Vopros) in the order they are
    // asked; `results` gets one row per completed examination.
    Examination(store::Table& questionnaire, store::Table& results);
    Examination(const Examination&) = delete;
    Examination& operator=(const Examination&) = delete;

    // The items on screen were read now: answers are scored against these
    // until another program replaces them.
    void itemsRead();

    // A new examination on cleared scores. Items replaced since they were last
    // read are read afresh, from the first: the row on screen and the position
    // in the table belong to the items that are gone.
    void start();

    // Sets the answer flag, scores the current item against the key (an item
    // number outside the key scores nothing) and moves on. After the last item
    // the raw scores are converted and the result awaits storing. Items
    // replaced by another program since they were read score nothing: the
    // scores are cleared and the run ends without a result. An item without a
    // number, or no item at all, raises StoreError and nothing moves.
    Answered answer(bool yes);

    // After ItemsReplaced: the table is opened afresh on the new items, the
    // first one current. Raises StoreError when the file cannot be opened.
    void readItemsAfresh();

    // "Новое обследование": the first item becomes current again. After a
    // failed start-up the questionnaire is closed and there is nothing to rewind.
    void rewind();

    // True from the last answer until the result has been stored (or storing failed).
    bool resultAwaitsStoring() const { return awaitsStoring_; }

    // Stores the completed result once, as a new current row of the results
    // table: the name, the twelve scale scores, the date. Returns false, storing
    // nothing, when no completed examination awaits it. The result counts as
    // stored even when the store fails: the row it could not post stays pending
    // in the results table (tried again by its next change or at the end of the
    // program) and the StoreError is raised for the operator.
    bool storeResult(const Subject& subject, const store::Date& date);

private:
    store::Table& questionnaire_;
    store::Table& results_;
    // The questionnaire table's data version when its items were last read.
    std::int64_t itemsVersion_ = 0;
    bool awaitsStoring_ = false;
};

}  // namespace exam
