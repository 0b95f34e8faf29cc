#include "Modal.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

bool driveModalWidget(const std::function<void()>& trigger, const std::function<bool(QWidget&)>& drive)
{
    bool seen = false;
    // A timer of this call only: when no dialog runs, it dies here instead of firing later.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        seen = drive(*modal);
        if (!seen) {
            modal->close();
            return;
        }
        if (modal->isVisible()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        }
    });
    timer.start(0);
    trigger();
    return seen;
}
