#pragma once

#include <QString>
#include <QSystemTrayIcon>
#include <QVector>
#include <functional>
#include <memory>

class QMenu;
class QWidget;

// The program's icon in the notification area: tool tip, balloons and the pop-up menu through
// which the hidden main window comes back or the program ends.

// The window that owns the icon; set by the main window at its load.
extern QWidget* g_TrayForm;
// The tray's pop-up menu, built by the main window; each item carries its id as data().
extern std::unique_ptr<QMenu> g_TrayMenu;
extern int g_MenuIdOpen; // 100001 "打开主界面(&O)"
extern int g_MenuIdExit; // 100002 "退出(&E)"

inline constexpr int kTrayTipLength = 128;
inline constexpr int kBalloonTextLength = 128;
inline constexpr int kBalloonTitleLength = 63; // the 64-character field keeps its closing NUL

// Adds the icon with the form's window icon. onShown runs after the icon has shown the form
// again (double click, "打开主界面(&O)"), so that the form can mark itself shown.
// While the icon exists, closing the last visible box does not end the program: the main window
// may be hidden in the tray.
void AddTrayIcon(QWidget* form, std::function<void()> onShown = {});
void RemoveTrayIcon();
// Tip cut to kTrayTipLength characters.
void SetTrayTip(const QString& text);
// Text cut to kBalloonTextLength characters; iconFlags 0 none, 1 information, 2 warning, 3 error.
void ShowBalloon(const QString& title, const QString& text, int iconFlags);
bool TrayIconShown();
// A notification area exists to hold the icon (a recorder may say otherwise). Without one, a
// window hidden there could never come back.
bool TrayAvailable();

// What the icon does when used; the icon's own signals land here, and tests call them directly.
// A single click (the only one some trays send) and a double click show the form; the context
// request opens the menu.
void TrayActivated(QSystemTrayIcon::ActivationReason reason);
void TrayDoubleClick();
// A menu item chosen (by its id): show the form, or close it (which asks before it ends).
// While a modal dialog is open the exit is refused and that dialog comes to the front: the
// dialog still works on the window, its connection and its workers.
void TrayMenuCommand(int menuId);
// Opens g_TrayMenu at the cursor; the chosen item is carried out once the icon's own event has
// been delivered, since the exit deletes the icon.
void TrayRightClick();

// Records what the icon was asked to show, for tests; installed while it lives.
class TrayRecorder final
{
public:
    struct Balloon
    {
        QString title;
        QString text;
        int iconFlags = 0;
    };

    TrayRecorder();
    ~TrayRecorder();
    TrayRecorder(const TrayRecorder&) = delete;
    TrayRecorder& operator=(const TrayRecorder&) = delete;

    // The recorder (nullptr when none is installed).
    static TrayRecorder* current();

    // What TrayAvailable() answers while the recorder is installed.
    bool trayAvailable = true;
    int adds = 0;
    int removes = 0;
    QString tip;
    QVector<Balloon> balloons;
};
