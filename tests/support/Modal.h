#pragma once

#include <QWidget>
#include <functional>

// Runs trigger, which is to open a modal dialog; drive gets the dialog while it is shown and
// answers whether it was the one expected. Another dialog is closed instead, so a failing test
// cannot hang; so is the expected one when drive leaves it open (rejected). False when the
// expected dialog was not shown.
bool driveModalWidget(const std::function<void()>& trigger, const std::function<bool(QWidget&)>& drive);

// The same for a dialog of type T.
template <typename T> bool driveModal(const std::function<void()>& trigger, const std::function<void(T&)>& drive)
{
    return driveModalWidget(trigger, [&drive](QWidget& widget) {
        auto* dialog = qobject_cast<T*>(&widget);
        if (!dialog)
            return false;
        drive(*dialog);
        return true;
    });
}
