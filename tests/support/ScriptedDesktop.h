#pragma once

#include "Desktop.h"

#include <QString>
#include <deque>
#include <functional>
#include <gmock/gmock.h>
#include <optional>
#include <vector>

// A Desktop for tests: every box, file dialog, program start and address that the code under
// test asks for must have been announced with expect...(), in order; its answer is scripted.
// Anything else fails the test (ADD_FAILURE) and gets a harmless default answer: Ok or No, a
// cancelled dialog, a start that failed. exitNow() throws Exited instead of ending the tests.
// Installs itself while it lives; the destructor also reports expectations never met.
class ScriptedDesktop final : public Desktop
{
public:
    // Thrown by exitNow().
    struct Exited
    {
        int code;
    };

    enum class Kind
    {
        Message,
        OpenFile,
        SaveFile,
        StartProgram,
        OpenUrl,
        Exit
    };

    // What a text argument must look like: exactly a text, or a predicate with a description.
    class Match
    {
    public:
        Match(const char* exact);
        Match(const QString& exact);
        Match(const ::testing::Matcher<QString>& matcher);
        Match(std::function<bool(const QString&)> predicate, QString description);

        bool matches(const QString& text) const { return m_predicate(text); }
        QString description() const { return m_description; }

    private:
        std::function<bool(const QString&)> m_predicate;
        QString m_description;
    };
    static Match anyText();
    static Match contains(const QString& part);
    static Match startsWith(const QString& prefix);

    // One call as it was made. text is the box text, the filter, the program path or the address.
    struct Call
    {
        Kind kind;
        QString text;
        QString title; // as the box would show it (an empty title becomes the program's)
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        int exitCode = 0;
        QString workingFolder{}; // of a program start that named one
    };

    ScriptedDesktop();
    ~ScriptedDesktop() override;
    ScriptedDesktop(const ScriptedDesktop&) = delete;
    ScriptedDesktop& operator=(const ScriptedDesktop&) = delete;

    ScriptedDesktop& expectMessage(const Match& text, const QString& title, Icon icon = Icon::None,
                                   Buttons buttons = Buttons::Ok, Answer answer = Answer::Ok);
    // An empty path answers as a cancelled dialog.
    ScriptedDesktop& expectOpenFile(const Match& filter, const QString& path);
    ScriptedDesktop& expectSaveFile(const Match& filter, const QString& path);
    ScriptedDesktop& expectStartProgram(const Match& path, bool started = true);
    // A program start that really happens (detached, in the working folder the caller named);
    // the answer is whether it started.
    ScriptedDesktop& expectLaunch(const Match& path);
    ScriptedDesktop& expectOpenUrl(const Match& url, bool opened = true);

    // Fails the test for every expectation not met yet, and forgets them.
    void verifyAllConsumed();
    const std::vector<Call>& calls() const { return m_calls; }
    // The calls of one kind, in order.
    std::vector<Call> calls(Kind kind) const;
    bool pending() const { return !m_expected.empty(); }

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons, QWidget* parent) override;
    QString openFile(const QString& filter, QWidget* parent) override;
    QString saveFile(const QString& filter, QWidget* parent) override;
    bool startProgram(const QString& path) override;
    bool startProgramIn(const QString& path, const QString& workingFolder) override;
    bool openUrl(const QString& url) override;
    [[noreturn]] void exitNow(int code) override;

private:
    struct Expectation
    {
        Kind kind;
        Match text;
        QString title;
        Icon icon;
        Buttons buttons;
        Answer answer;
        QString path;
        bool ok;
        bool launch = false;
    };

    // Records the call and hands out the next expectation when it fits; otherwise adds a failure.
    std::optional<Expectation> take(const Call& call);
    static QString describe(const Call& call);
    static QString describe(const Expectation& expectation);

    std::deque<Expectation> m_expected;
    std::vector<Call> m_calls;
};
