#include "toolkit/window_util.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace toolkit {
namespace {

class CentreOnShow : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !event->spontaneous())
            centreOnScreen(static_cast<QWidget*>(watched));
        return false;
    }
};

class BareMouseMove : public QObject {
public:
    BareMouseMove(QWidget* surface, std::function<void()> handler)
        : QObject(surface)
        , handler_(std::move(handler))
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove) {
            auto* surface = static_cast<QWidget*>(watched);
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (!surface->childAt(at))
                handler_();
        }
        return false;
    }

private:
    std::function<void()> handler_;
};

class ClickFilter : public QObject {
public:
    ClickFilter(QWidget* widget, std::function<void()> handler)
        : QObject(widget)
        , handler_(std::move(handler))
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonRelease)
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint()))
            handler_();
        return false;
    }

private:
    std::function<void()> handler_;
};

}  // namespace

namespace {

// The first installed family of the list, or an empty text when none is.
// Looked up in the plain list of installed families and remembered per list:
// asking the font database about a missing family makes it search the
// system's substitutes every time.
QString installedFamily(const QStringList& families)
{
    static QHash<QStringList, QString> chosen;
    const auto known = chosen.constFind(families);
    if (known != chosen.constEnd())
        return *known;
    const QStringList installed = QFontDatabase::families();
    const auto first = std::find_if(families.begin(), families.end(), [&installed](const QString& family) {
        return installed.contains(family, Qt::CaseInsensitive);
    });
    return chosen[families] = first != families.end() ? *first : QString();
}

}  // namespace

QFont pixelFont(const QStringList& families, int pixelSize, QFont::Weight weight)
{
    // Naming the installed family directly spares the font matcher its own search.
    QFont font;
    const QString family = installedFamily(families);
    if (family.isEmpty())
        font.setFamilies(families);
    else
        font.setFamily(family);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

void centreOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void keepCentred(QWidget* window)
{
    window->installEventFilter(new CentreOnShow(window));
}

void onBareMouseMove(QWidget* surface, std::function<void()> handler)
{
    surface->setMouseTracking(true);
    surface->installEventFilter(new BareMouseMove(surface, std::move(handler)));
}

void onClick(QWidget* widget, std::function<void()> handler)
{
    widget->installEventFilter(new ClickFilter(widget, std::move(handler)));
}

}  // namespace toolkit
