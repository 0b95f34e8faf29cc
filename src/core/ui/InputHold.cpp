#include "InputHold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

bool isUserInput(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Drop:
        return true;
    case QEvent::Close:
        // A close box clicked, not a window closed by the program.
        return event.spontaneous();
    default:
        return false;
    }
}

} // namespace

InputHold::InputHold(QWidget* window) : m_window(window)
{
    QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputHold::eventFilter(QObject* watched, QEvent* event)
{
    if (!isUserInput(*event))
        return false;
    bool drop = true;
    if (m_window && m_window->isVisible()) {
        if (watched->isWidgetType())
            drop = static_cast<QWidget*>(watched)->window() != m_window;
        else if (watched->isWindowType())
            drop = static_cast<QWindow*>(watched) != m_window->windowHandle();
    }
    // A close event left accepted would close the window all the same.
    if (drop)
        event->ignore();
    return drop;
}
