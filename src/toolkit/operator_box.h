#pragma once
// How the program speaks to the operator: a message box and the application
// error box. Windows go through operatorBox(); tests install a recorder so no
// modal box ever blocks them.

#include <QString>

#include <exception>
#include <functional>

namespace toolkit {

class OperatorBox {
public:
    virtual ~OperatorBox() = default;
    // Modal box: the text, "OK", no icon (none on the button either), the box
    // caption as its caption.
    virtual void message(const QString& text) = 0;
    // Application error box: error icon, the error's text with a full stop
    // appended when its last character sorts above the full stop.
    virtual void error(const QString& text) = 0;
    // A question with "OK" and "Cancel"; true for "OK".
    virtual bool confirm(const QString& text) = 0;
};

// The box in force: the real one unless a test installed another.
OperatorBox& operatorBox();
// Installs a box (not owned); nullptr restores the real one.
void setOperatorBox(OperatorBox* box);

// The caption of every box, given by the program (its application title). It is
// not taken from the application's display name: on some platforms that name is
// appended to every window title.
void setBoxCaption(const QString& caption);
QString boxCaption();

// The text the error box shows for an error message.
QString errorBoxText(const QString& message);

// Runs an event handler; an escaping exception goes to the error box, so no
// exception ever crosses the event loop.
void guarded(const std::function<void()>& handler);

}  // namespace toolkit
