#pragma once
// Small helpers shared by the program's windows: fonts given by pixel size
// with fall-back families, centring on the screen, and pointer movement over
// a window's bare background.

#include <QFont>
#include <QStringList>

#include <functional>

class QWidget;

namespace toolkit {

// A font of the first installed family of the list, at a size in pixels.
QFont pixelFont(const QStringList& families, int pixelSize, QFont::Weight weight = QFont::Normal);

// Moves the window so that it sits in the middle of its screen's available area.
void centreOnScreen(QWidget* window);
// Centres the window again every time it is shown.
void keepCentred(QWidget* window);

// Calls `handler` whenever the pointer moves over the surface itself, not over
// one of its child controls. Turns on mouse tracking for the surface.
void onBareMouseMove(QWidget* surface, std::function<void()> handler);

// Calls `handler` when the widget is clicked with the left button (for labels
// that act as links).
void onClick(QWidget* widget, std::function<void()> handler);

}  // namespace toolkit
