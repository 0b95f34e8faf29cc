#pragma once

#include <QObject>
#include <functional>

// The key rules of the number entry boxes: Enter runs the add action, Ctrl+V runs the paste
// action (or nothing), and of the keys that type a character only the digits and Backspace
// reach the box. Keys that type nothing (arrows, Home, Delete) pass.
class EntryKeyFilter final : public QObject
{
    Q_OBJECT
public:
    using Action = std::function<void()>;
    EntryKeyFilter(Action onEnter, Action onPaste, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Action m_onEnter;
    Action m_onPaste;
};
