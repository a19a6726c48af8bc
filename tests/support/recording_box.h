#pragma once
// A recorder in place of the operator's boxes, so no test ever blocks on a
// modal box: every message, error and question is recorded, in order.

#include "toolkit/operator_box.h"

#include <QStringList>

#include <functional>

namespace testsupport {

// Installs itself as the operator box while it exists; the real box is back
// afterwards.
class RecordingBox : public toolkit::OperatorBox {
public:
    RecordingBox();
    ~RecordingBox() override;
    RecordingBox(const RecordingBox&) = delete;
    RecordingBox& operator=(const RecordingBox&) = delete;

    void message(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& text) override;   // records the question, answers `answer`

    QStringList messages;
    QStringList errors;
    QStringList questions;
    QStringList said;              // everything in order; errors as "error: " + text
    bool answer = true;            // the operator's reply to every question
    std::function<void()> onMessage;   // runs while a message "is shown"
};

}  // namespace testsupport
