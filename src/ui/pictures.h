#pragma once
// The 16 × 16 pictures of the windows' buttons, drawn in code.

#include <QPixmap>

namespace ui::pictures {

QPixmap stackOfPages();   // results journal
QPixmap openBook();       // scale explanation
QPixmap pointingHand();   // new examination
QPixmap printer();        // print
QPixmap door();           // exit
QPixmap documentSheet();  // patient list

}  // namespace ui::pictures
