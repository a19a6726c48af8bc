#pragma once
// The one text every window, grid and report shows for a value of the store.

#include "store/value.h"

#include <QString>

namespace binding {

// Null as an empty text; integers as plain digits; reals in the locale's
// decimal form with as many digits as tell the value apart, no digit
// grouping; texts as stored; dates in the locale's short date format (an
// impossible date as an empty text).
QString displayText(const store::Value& value);

}  // namespace binding
