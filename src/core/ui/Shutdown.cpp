#include "Shutdown.h"

#include "DataStore.h"
#include "Desktop.h"
#include "MouseHook.h"
#include "MultiThread.h"
#include "MyTrayIcon.h"

#include <QMenu>
#include <cstdlib>

void ShutDownProgram()
{
    RemoveTrayIcon();
    g_TrayMenu.reset();
    g_TrayForm = nullptr;
    for (int worker = 1; worker <= 3; ++worker)
        g_Threads(worker).Terminal();
    CloseDatabase();
    MouseHook::remove();
}

void ShutDownAndExit(int code)
{
    ShutDownProgram();
    Desktop::instance().exitNow(code);
    // Every desktop's exitNow ends the process, but a call through the base class does not
    // tell the compiler so.
    std::_Exit(code);
}
