#pragma once

#include <functional>

// The application-wide mouse filter of the main window: every left-button release and every
// right-button press anywhere in the program calls the given function (the main window closes
// the number list's pop-up panel with it). The event itself goes on to its widget unchanged.
// A left press that opens a modal window counts as released when that window opens: Qt never
// hands its release to anyone.
class MouseHook final
{
public:
    // Replaces a filter installed before.
    static void install(std::function<void()> closePopup);
    static void remove();
    static bool isInstalled();

    MouseHook() = delete;
};
