#include "MyTrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

QWidget* g_TrayForm = nullptr;
std::unique_ptr<QMenu> g_TrayMenu;
int g_MenuIdOpen = 100001;
int g_MenuIdExit = 100002;

namespace {

struct TrayState
{
    std::unique_ptr<QSystemTrayIcon> icon;
    std::function<void()> onShown;
    QPointer<QWidget> form;
    bool quitOnLastWindowClosed = true;
    TrayRecorder* recorder = nullptr;
};

TrayState& state()
{
    static TrayState s;
    return s;
}

QSystemTrayIcon::MessageIcon balloonIcon(int flags)
{
    switch (flags) {
    case 1:
        return QSystemTrayIcon::Information;
    case 2:
        return QSystemTrayIcon::Warning;
    case 3:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}

void showForm()
{
    QWidget* form = state().form.data();
    if (!form)
        return;
    form->showNormal();
    form->raise();
    form->activateWindow();
    if (state().onShown)
        state().onShown();
}

} // namespace

void AddTrayIcon(QWidget* form, std::function<void()> onShown)
{
    TrayState& s = state();
    if (!s.icon)
        s.quitOnLastWindowClosed = QApplication::quitOnLastWindowClosed();
    s.form = form;
    s.onShown = std::move(onShown);
    s.icon = std::make_unique<QSystemTrayIcon>(form->windowIcon());
    QObject::connect(s.icon.get(), &QSystemTrayIcon::activated, s.icon.get(), &TrayActivated);
    // Without a picture the icon would be an empty slot in the tray.
    if (!s.icon->icon().isNull())
        s.icon->show();
    // A box closed while the window sits in the tray must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    if (s.recorder)
        ++s.recorder->adds;
}

void RemoveTrayIcon()
{
    TrayState& s = state();
    if (!s.icon)
        return;
    s.icon->hide();
    s.icon.reset();
    s.onShown = nullptr;
    s.form.clear();
    QApplication::setQuitOnLastWindowClosed(s.quitOnLastWindowClosed);
    if (s.recorder)
        ++s.recorder->removes;
}

void SetTrayTip(const QString& text)
{
    TrayState& s = state();
    const QString tip = text.left(kTrayTipLength);
    if (s.icon)
        s.icon->setToolTip(tip);
    if (s.recorder)
        s.recorder->tip = tip;
}

void ShowBalloon(const QString& title, const QString& text, int iconFlags)
{
    TrayState& s = state();
    const QString shownTitle = title.left(kBalloonTitleLength);
    const QString shownText = text.left(kBalloonTextLength);
    if (s.icon)
        s.icon->showMessage(shownTitle, shownText, balloonIcon(iconFlags));
    if (s.recorder)
        s.recorder->balloons.push_back({shownTitle, shownText, iconFlags});
}

bool TrayIconShown()
{
    return state().icon != nullptr;
}

bool TrayAvailable()
{
    if (const TrayRecorder* recorder = state().recorder)
        return recorder->trayAvailable;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
        TrayDoubleClick();
    else if (reason == QSystemTrayIcon::Context)
        TrayRightClick();
}

void TrayDoubleClick()
{
    showForm();
}

void TrayMenuCommand(int menuId)
{
    if (menuId == g_MenuIdOpen) {
        showForm();
    } else if (menuId == g_MenuIdExit) {
        // The close box cannot reach a window under a modal dialog; the menu must not either.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
            return;
        }
        // The form asks before it goes; on No everything stays as it was.
        if (QWidget* form = state().form.data())
            form->close();
    }
}

void TrayRightClick()
{
    if (!g_TrayMenu)
        return;
    const QAction* chosen = g_TrayMenu->exec(QCursor::pos());
    if (!chosen)
        return;
    // This runs inside the icon's own mouse event; the exit removes the icon, which must not be
    // deleted under that event. The item is carried out from the event loop instead.
    const int menuId = chosen->data().toInt();
    QMetaObject::invokeMethod(qApp, [menuId] { TrayMenuCommand(menuId); }, Qt::QueuedConnection);
}

TrayRecorder::TrayRecorder()
{
    state().recorder = this;
}

TrayRecorder::~TrayRecorder()
{
    if (state().recorder == this)
        state().recorder = nullptr;
}

TrayRecorder* TrayRecorder::current()
{
    return state().recorder;
}
