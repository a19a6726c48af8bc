#include "recording_box.h"

namespace testsupport {

RecordingBox::RecordingBox()
{
    toolkit::setOperatorBox(this);
}

RecordingBox::~RecordingBox()
{
    toolkit::setOperatorBox(nullptr);
}

void RecordingBox::message(const QString& text)
{
    messages << text;
    said << text;
    if (onMessage)
        onMessage();
}

void RecordingBox::error(const QString& text)
{
    errors << text;
    said << QStringLiteral("error: ") + text;
}

bool RecordingBox::confirm(const QString& text)
{
    questions << text;
    said << text;
    return answer;
}

}  // namespace testsupport
