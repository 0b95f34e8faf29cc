#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// While it lives, the user's input (mouse, keys, wheel, touch, a window's close box) reaches
// only the given window, and nothing at all once that window is hidden. The send dialog holds
// it for as long as its run is on the stack: a run stopped by "取 消" still waits for the reply
// of its last request, and a click or key meant for the main window in that time would act on
// lists the run has not finished with. Input meanwhile is dropped, not delivered later.
class InputHold final : public QObject
{
public:
    explicit InputHold(QWidget* window);
    ~InputHold() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
};
