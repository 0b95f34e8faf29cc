#include "MouseHook.h"

#include <QApplication>
#include <QMouseEvent>
#include <QObject>
#include <QPointF>
#include <memory>

namespace {

class MouseFilter final : public QObject
{
public:
    explicit MouseFilter(std::function<void()> closePopup) : m_closePopup(std::move(closePopup)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::WindowBlocked) {
            // A press that opens a modal window (the panel's own "文本导入", a message box)
            // never sees its release: it goes to a window the modal one blocks, and Qt drops
            // it before any filter. That release would have closed the panel.
            if (m_leftHeld) {
                m_leftHeld = false;
                if (m_closePopup)
                    m_closePopup();
            }
            return false;
        }
        if (type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonPress)
            return false;
        // A widget's click reaches the filter once for its window and again for every parent that
        // the event propagates to; only widgets count, and each click once.
        if (!watched->isWidgetType())
            return false;
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            m_leftHeld = type == QEvent::MouseButtonPress;
        const bool wanted = (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) ||
                            (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton);
        if (!wanted || isRepeatOfLast(mouse))
            return false;
        if (m_closePopup)
            m_closePopup();
        return false;
    }

private:
    // Propagation to a parent hands on a copy with the same time stamp and screen position.
    bool isRepeatOfLast(const QMouseEvent* mouse)
    {
        const Key key{mouse->type(), mouse->button(), mouse->timestamp(), mouse->globalPosition()};
        const bool repeat = m_hasLast && mouse->timestamp() != 0 && key == m_last;
        m_last = key;
        m_hasLast = true;
        return repeat;
    }

    struct Key
    {
        QEvent::Type type;
        Qt::MouseButton button;
        quint64 timestamp;
        QPointF globalPos;
        bool operator==(const Key& other) const
        {
            return type == other.type && button == other.button && timestamp == other.timestamp &&
                   globalPos == other.globalPos;
        }
    };

    std::function<void()> m_closePopup;
    Key m_last{};
    bool m_hasLast = false;
    bool m_leftHeld = false; // a left press seen, its release not yet
};

std::unique_ptr<MouseFilter>& filter()
{
    static std::unique_ptr<MouseFilter> instance;
    return instance;
}

} // namespace

void MouseHook::install(std::function<void()> closePopup)
{
    remove();
    filter() = std::make_unique<MouseFilter>(std::move(closePopup));
    qApp->installEventFilter(filter().get());
}

void MouseHook::remove()
{
    if (!filter())
        return;
    if (qApp)
        qApp->removeEventFilter(filter().get());
    filter().reset();
}

bool MouseHook::isInstalled()
{
    return filter() != nullptr;
}
