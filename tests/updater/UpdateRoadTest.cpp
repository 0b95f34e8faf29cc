#include "Controls.h"
#include "updater/Form1.h"

#include "DataStore.h"
#include "FormLogin.h"
#include "GlobalState.h"
#include "MultiThread.h"
#include "SandboxFixture.h"
#include "ScopedEnv.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using Icon = Desktop::Icon;
using Buttons = Desktop::Buttons;
using Answer = Desktop::Answer;

// From the main program's update offer to the installer of the package running.
TEST(UpdateRoadTest, FromTheOfferToTheInstaller)
{
    ScopedSandbox sandbox;
    TestProgramFolder folder;
    QTemporaryDir home;
    ScopedEnv dataHome("XDG_DATA_HOME", home.path().toUtf8());
    ASSERT_TRUE(folder.hasShippedDatabases());
    ResetGlobalState();
    // The program folder holds both programs, as the build's does.
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUORVEL_PROGRAM_DIR "/update"), folder.path(QStringLiteral("update"))));

    // The installer of the package proves that it ran, and where.
    const QString package = home.filePath(QStringLiteral("1.0.1.pag"));
    {
        auto conn = db::Connection::create(package, QByteArray());
        conn->execute(QStringLiteral("create table Files (FileName text, FileStream blob)"));
        auto insert = conn->prepare(QStringLiteral("insert into Files values (?, ?)"));
        insert->bindAll({QStringLiteral("setup"), QByteArray("#!/bin/sh\necho installed > marker\n")});
        insert->execute();
    }
    QFile packageFile(package);
    ASSERT_TRUE(packageFile.open(QIODevice::ReadOnly));
    sandbox.server().setLatestVersion(QStringLiteral("1.0.1"));
    sandbox.server().setPackage(QStringLiteral("1.0.1.pag"), packageFile.readAll());

    ScriptedDesktop desktop;
    {
        // The sign-in writes update.ini for both programs; the shipped version is older.
        auto login = std::make_unique<FormLogin>();
        Control<QTimer>(*login, "Timer2")->stop();
        login->writeUpdateConfig(QStringLiteral("demo"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return login->allowLogin(); }, 5000));
        // The check at load ran before update.ini existed; the next start of Quorvel asks again.
        login.reset();
        TerminateAllThreads();
        login = std::make_unique<FormLogin>();
        Control<QTimer>(*login, "Timer2")->stop();
        ASSERT_TRUE(QTest::qWaitFor([&] { return login->allowLogin(); }, 5000));
        ASSERT_TRUE(g_UpdateChecked.load());
        desktop
            .expectMessage("系统检测到升级，现在立刻升级吗？", "升级确认", Icon::Question, Buttons::YesNo, Answer::Yes)
            .expectStartProgram(folder.path(QStringLiteral("update")));
        EXPECT_THROW(login->Timer2_Timer(), ScriptedDesktop::Exited);
        login.reset();
        TerminateAllThreads();
    }
    EXPECT_TRUE(QFileInfo(desktop.calls(ScriptedDesktop::Kind::StartProgram).front().text).isExecutable());

    // What the started program does: its window, the query, then "下一步(&N)".
    updater::Form1 form;
    form.Form_Load();
    form.show();
    form.Timer1_Timer();
    ASSERT_TRUE(Control<QWidget>(form, "AeroButton2")->isEnabled());
    const QString marker = folder.path(QStringLiteral("updates/marker"));
    desktop.expectLaunch(folder.path(QStringLiteral("updates/setup")));
    form.AeroButton2_Click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(marker).size() > 0; }, 10000));
    QFile written(marker);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("installed\n"));
}

} // namespace
