#pragma once

#include <QString>
#include <memory>

class QWidget;

// Everything that would block on the user or leave the process goes through here, so that
// every window can be driven end to end in tests. Production forwards to Qt.
class Desktop
{
public:
    enum class Icon
    {
        None,
        Information,
        Exclamation,
        Question
    };
    enum class Buttons
    {
        Ok,
        YesNo
    };
    enum class Answer
    {
        Ok,
        Yes,
        No
    };

    virtual ~Desktop() = default;

    // The box is at least as wide as its title needs in a window manager's title bar.
    virtual Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons, QWidget* parent) = 0;
    // filter is in the old "描述(*.ext)|*.ext" form: the dialog shows each description as it is
    // and lists the files of its patterns. An empty result means cancelled. The first dialog of a
    // run opens in the home folder, each later one in the folder of the file chosen last.
    virtual QString openFile(const QString& filter, QWidget* parent) = 0;
    virtual QString saveFile(const QString& filter, QWidget* parent) = 0;
    // Starts a program without arguments; false when it could not be started.
    virtual bool startProgram(const QString& path) = 0;
    // The same, with the given folder as the program's working folder (an installer finds the
    // files unpacked beside it). By default the folder is not passed on.
    virtual bool startProgramIn(const QString& path, const QString& workingFolder);
    // Opens an address in the system browser; false when that failed, also when the desktop's
    // opener started but found nothing to show the page with.
    virtual bool openUrl(const QString& url) = 0;
    // Ends the program at once, without further windows or unload steps.
    [[noreturn]] virtual void exitNow(int code) = 0;

    static Desktop& instance();
    // Installs another implementation (tests); nullptr returns to the production one.
    static void install(Desktop* desktop);

    // "描述(*.a;*.b)|*.a;*.b|..." to Qt's "描述(*.a;*.b) (*.a *.b);;..."
    static QString toQtFilter(const QString& filter);
    // The title a box shows: the given one, or the program's title "Quorvel2011" when empty.
    static QString boxTitle(const QString& title);
};

// Shortcuts for the common calls.
Desktop::Answer MsgBox(const QString& text, const QString& title, Desktop::Icon icon = Desktop::Icon::None,
                       Desktop::Buttons buttons = Desktop::Buttons::Ok, QWidget* parent = nullptr);
