#pragma once
// The two texts of the scale explanation window, one entry per stored line.

#include <QStringList>

namespace ui {

// What each of the twelve scales measures, in scale order.
const QStringList& shortExplanation();
// Five topics described at length: neuroticism, psychoticism, depression,
// reactive aggressiveness, masculinity-femininity.
const QStringList& fullExplanation();

}  // namespace ui
