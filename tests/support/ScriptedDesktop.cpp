#include "ScriptedDesktop.h"

#include <QProcess>
#include <sstream>
#include <utility>

namespace {

const char* kindName(ScriptedDesktop::Kind kind)
{
    switch (kind) {
    case ScriptedDesktop::Kind::Message:
        return "message";
    case ScriptedDesktop::Kind::OpenFile:
        return "openFile";
    case ScriptedDesktop::Kind::SaveFile:
        return "saveFile";
    case ScriptedDesktop::Kind::StartProgram:
        return "startProgram";
    case ScriptedDesktop::Kind::OpenUrl:
        return "openUrl";
    case ScriptedDesktop::Kind::Exit:
        return "exitNow";
    }
    return "?";
}

const char* iconName(Desktop::Icon icon)
{
    switch (icon) {
    case Desktop::Icon::None:
        return "no icon";
    case Desktop::Icon::Information:
        return "information";
    case Desktop::Icon::Exclamation:
        return "exclamation";
    case Desktop::Icon::Question:
        return "question";
    }
    return "?";
}

const char* buttonsName(Desktop::Buttons buttons)
{
    return buttons == Desktop::Buttons::YesNo ? "Yes/No" : "OK";
}

} // namespace

ScriptedDesktop::Match::Match(const char* exact) : Match(QString::fromUtf8(exact)) {}

ScriptedDesktop::Match::Match(const QString& exact)
    : m_predicate([exact](const QString& text) { return text == exact; }), m_description('"' + exact + '"')
{
}

ScriptedDesktop::Match::Match(const ::testing::Matcher<QString>& matcher)
    : m_predicate([matcher](const QString& text) { return matcher.Matches(text); })
{
    std::ostringstream out;
    matcher.DescribeTo(&out);
    m_description = QString::fromStdString(out.str());
}

ScriptedDesktop::Match::Match(std::function<bool(const QString&)> predicate, QString description)
    : m_predicate(std::move(predicate)), m_description(std::move(description))
{
}

ScriptedDesktop::Match ScriptedDesktop::anyText()
{
    return Match([](const QString&) { return true; }, QStringLiteral("any text"));
}

ScriptedDesktop::Match ScriptedDesktop::contains(const QString& part)
{
    return Match([part](const QString& text) { return text.contains(part); },
                 QStringLiteral("a text containing \"%1\"").arg(part));
}

ScriptedDesktop::Match ScriptedDesktop::startsWith(const QString& prefix)
{
    return Match([prefix](const QString& text) { return text.startsWith(prefix); },
                 QStringLiteral("a text starting with \"%1\"").arg(prefix));
}

ScriptedDesktop::ScriptedDesktop()
{
    Desktop::install(this);
}

ScriptedDesktop::~ScriptedDesktop()
{
    verifyAllConsumed();
    Desktop::install(nullptr);
}

ScriptedDesktop& ScriptedDesktop::expectMessage(const Match& text, const QString& title, Icon icon, Buttons buttons,
                                                Answer answer)
{
    m_expected.push_back({Kind::Message, text, boxTitle(title), icon, buttons, answer, {}, true});
    return *this;
}

ScriptedDesktop& ScriptedDesktop::expectOpenFile(const Match& filter, const QString& path)
{
    m_expected.push_back({Kind::OpenFile, filter, {}, Icon::None, Buttons::Ok, Answer::Ok, path, true});
    return *this;
}

ScriptedDesktop& ScriptedDesktop::expectSaveFile(const Match& filter, const QString& path)
{
    m_expected.push_back({Kind::SaveFile, filter, {}, Icon::None, Buttons::Ok, Answer::Ok, path, true});
    return *this;
}

ScriptedDesktop& ScriptedDesktop::expectStartProgram(const Match& path, bool started)
{
    m_expected.push_back({Kind::StartProgram, path, {}, Icon::None, Buttons::Ok, Answer::Ok, {}, started});
    return *this;
}

ScriptedDesktop& ScriptedDesktop::expectLaunch(const Match& path)
{
    m_expected.push_back({Kind::StartProgram, path, {}, Icon::None, Buttons::Ok, Answer::Ok, {}, true, true});
    return *this;
}

ScriptedDesktop& ScriptedDesktop::expectOpenUrl(const Match& url, bool opened)
{
    m_expected.push_back({Kind::OpenUrl, url, {}, Icon::None, Buttons::Ok, Answer::Ok, {}, opened});
    return *this;
}

void ScriptedDesktop::verifyAllConsumed()
{
    for (const Expectation& e : m_expected)
        ADD_FAILURE() << "expected call never made: " << describe(e).toStdString();
    m_expected.clear();
}

std::vector<ScriptedDesktop::Call> ScriptedDesktop::calls(Kind kind) const
{
    std::vector<Call> found;
    for (const Call& call : m_calls)
        if (call.kind == kind)
            found.push_back(call);
    return found;
}

std::optional<ScriptedDesktop::Expectation> ScriptedDesktop::take(const Call& call)
{
    m_calls.push_back(call);
    if (m_expected.empty()) {
        ADD_FAILURE() << "unexpected call: " << describe(call).toStdString();
        return std::nullopt;
    }
    const Expectation& next = m_expected.front();
    bool fits = next.kind == call.kind && next.text.matches(call.text);
    if (fits && call.kind == Kind::Message)
        fits = next.title == call.title && next.icon == call.icon && next.buttons == call.buttons;
    if (!fits) {
        ADD_FAILURE() << "unexpected call: " << describe(call).toStdString()
                      << "\n  the next expected call is: " << describe(next).toStdString();
        return std::nullopt;
    }
    Expectation taken = next;
    m_expected.pop_front();
    return taken;
}

QString ScriptedDesktop::describe(const Call& call)
{
    QString text = QString::fromLatin1(kindName(call.kind)) + QStringLiteral("(\"") + call.text + '"';
    if (call.kind == Kind::Message)
        text += QStringLiteral(", title \"%1\", %2, %3")
                    .arg(call.title, QString::fromLatin1(iconName(call.icon)),
                         QString::fromLatin1(buttonsName(call.buttons)));
    if (call.kind == Kind::Exit)
        text = QStringLiteral("exitNow(%1").arg(call.exitCode);
    return text + ')';
}

QString ScriptedDesktop::describe(const Expectation& e)
{
    QString text = QString::fromLatin1(kindName(e.kind)) + '(' + e.text.description();
    if (e.kind == Kind::Message)
        text += QStringLiteral(", title \"%1\", %2, %3")
                    .arg(e.title, QString::fromLatin1(iconName(e.icon)), QString::fromLatin1(buttonsName(e.buttons)));
    return text + ')';
}

Desktop::Answer ScriptedDesktop::message(const QString& text, const QString& title, Icon icon, Buttons buttons,
                                         QWidget*)
{
    const auto e = take({Kind::Message, text, boxTitle(title), icon, buttons, 0});
    if (e)
        return e->answer;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

QString ScriptedDesktop::openFile(const QString& filter, QWidget*)
{
    const auto e = take({Kind::OpenFile, filter, {}, Icon::None, Buttons::Ok, 0});
    return e ? e->path : QString();
}

QString ScriptedDesktop::saveFile(const QString& filter, QWidget*)
{
    const auto e = take({Kind::SaveFile, filter, {}, Icon::None, Buttons::Ok, 0});
    return e ? e->path : QString();
}

bool ScriptedDesktop::startProgram(const QString& path)
{
    const auto e = take({Kind::StartProgram, path, {}, Icon::None, Buttons::Ok, 0});
    return e && e->ok;
}

bool ScriptedDesktop::startProgramIn(const QString& path, const QString& workingFolder)
{
    Call call{Kind::StartProgram, path, {}, Icon::None, Buttons::Ok, 0};
    call.workingFolder = workingFolder;
    const auto e = take(call);
    if (e && e->launch)
        return QProcess::startDetached(path, QStringList(), workingFolder);
    return e && e->ok;
}

bool ScriptedDesktop::openUrl(const QString& url)
{
    const auto e = take({Kind::OpenUrl, url, {}, Icon::None, Buttons::Ok, 0});
    return e && e->ok;
}

void ScriptedDesktop::exitNow(int code)
{
    // Not scripted: the test asserts on the exception (and may look at calls()).
    m_calls.push_back({Kind::Exit, {}, {}, Icon::None, Buttons::Ok, code});
    throw Exited{code};
}
