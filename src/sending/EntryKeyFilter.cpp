#include "EntryKeyFilter.h"

#include <QKeyEvent>

EntryKeyFilter::EntryKeyFilter(Action onEnter, Action onPaste, QObject* parent)
    : QObject(parent), m_onEnter(std::move(onEnter)), m_onPaste(std::move(onPaste))
{
}

bool EntryKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (m_onEnter)
            m_onEnter();
        return true;
    }
    if (key->matches(QKeySequence::Paste)) {
        if (m_onPaste)
            m_onPaste();
        return true;
    }
    if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete)
        return false;
    const QString typed = key->text();
    if (typed.isEmpty())
        // A Ctrl combination types a control character: it is swallowed like any other.
        return key->modifiers().testFlag(Qt::ControlModifier);
    return !(typed.size() == 1 && typed.at(0) >= QLatin1Char('0') && typed.at(0) <= QLatin1Char('9'));
}
