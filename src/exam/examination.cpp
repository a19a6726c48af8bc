#include "exam/examination.h"

#include "engine/conversion.h"
#include "engine/scoring_key.h"
#include "engine/test_scores.h"
#include "store/result_table.h"

#include <array>

namespace exam {

Examination::Examination(store::Table& questionnaire, store::Table& results)
    : questionnaire_(questionnaire)
    , results_(results)
{
}

void Examination::itemsRead()
{
    itemsVersion_ = questionnaire_.dataVersion();
}

void Examination::start()
{
    engine::TestScores.clear();
    awaitsStoring_ = false;
    if (questionnaire_.dataVersion() != itemsVersion_) {
        questionnaire_.close();
        questionnaire_.open();
    }
    itemsRead();
}

Answered Examination::answer(bool yes)
{
    engine::AnswerYes = yes;
    // Answers given to one set of items must not be scored or stored with another's.
    if (questionnaire_.dataVersion() != itemsVersion_) {
        engine::TestScores.clear();
        awaitsStoring_ = false;
        return Answered::ItemsReplaced;
    }
    engine::scoreItem(engine::TestScores, store::itemNumber(questionnaire_), engine::AnswerYes);
    questionnaire_.next();
    if (!questionnaire_.eof())
        return Answered::NextItem;
    engine::convertScores(engine::TestScores, [](int, std::int32_t) {});
    awaitsStoring_ = true;
    return Answered::Completed;
}

void Examination::readItemsAfresh()
{
    questionnaire_.close();
    questionnaire_.open();
    itemsRead();
}

void Examination::rewind()
{
    if (questionnaire_.active())
        questionnaire_.first();
}

bool Examination::storeResult(const Subject& subject, const store::Date& date)
{
    if (!awaitsStoring_)
        return false;
    // Cleared first: a failed row is kept pending by the table, never stored twice.
    awaitsStoring_ = false;
    std::array<std::int32_t, 12> scores{};
    for (int scale = 1; scale <= 12; ++scale)
        scores[static_cast<size_t>(scale - 1)] = engine::TestScores.stanine(scale);
    store::appendResultRow(results_, subject.surname, subject.firstName, subject.patronymic, scores, date);
    return true;
}

}  // namespace exam
