#include "SettingsPage.h"
#include "CaseName.h"
#include "Controls.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "MultiThread.h"
#include "SandboxFixture.h"
#include "ScriptedDesktop.h"
#include "SmsCtrl.h"
#include "TestProgramFolder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using Icon = Desktop::Icon;
using Buttons = Desktop::Buttons;
using Answer = Desktop::Answer;

const QString kUser = QStringLiteral("demo");
const QString kPassword = QStringLiteral("demo123");

// A signed-in user's program folder, database and settings page.
class PageHarness
{
public:
    PageHarness()
    {
        ResetGlobalState();
        g_UserName = kUser;
        g_Password = kPassword;
        g_VersionText = QStringLiteral("1.0.0");
        if (!folder.hasShippedDatabases())
            return;
        folder.makeUserDatabase(kUser);
        OpenDatabaseOrThrow(kUser + QStringLiteral(".mdb"));
        page = std::make_unique<SettingsPage>();
    }

    template <typename T> T* control(const char* name) const { return Control<T>(*page, name); }
    QLineEdit* edit(const char* name) const { return control<QLineEdit>(name); }
    void click(const char* name) const { control<QPushButton>(name)->click(); }

    static std::optional<QString> configValue(const QString& key)
    {
        const QVariant value = g_Conn->scalar(QStringLiteral("SELECT value FROM [config] WHERE [key]='%1'").arg(key));
        return value.isNull() ? std::nullopt : std::optional<QString>(value.toString());
    }
    static int configRows(const QString& key)
    {
        return g_Conn->scalar(QStringLiteral("SELECT count(*) FROM [config] WHERE [key]='%1'").arg(key)).toInt();
    }

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<SettingsPage> page;
};

class SettingsPageTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(env.page) << "the build made no shipped databases"; }
    PageHarness env;
};

// --- LoadConfig ---------------------------------------------------------------------------

TEST_F(SettingsPageTest, LoadConfigAddsTheMissingReminderRowWithSeven)
{
    ASSERT_EQ(PageHarness::configRows(QStringLiteral("BirthdayNum")), 0);
    g_Conn->execute(QStringLiteral("UPDATE [config] SET value='【海川】' WHERE [key]='EmpSign'"));

    env.page->LoadConfig();

    EXPECT_EQ(g_BirthdayDays, 7);
    EXPECT_EQ(PageHarness::configValue(QStringLiteral("BirthdayNum")), QStringLiteral("7"));
    EXPECT_EQ(env.edit("Text3")->text(), QStringLiteral("7"));
    EXPECT_EQ(g_EnterpriseSign, QStringLiteral("【海川】"));
    EXPECT_EQ(env.edit("Text9")->text(), QStringLiteral("【海川】"));
    EXPECT_EQ(env.control<QLabel>("Label22")->text(), QStringLiteral("1.0.0"));

    // A second load finds the row and adds no other.
    env.page->LoadConfig();
    EXPECT_EQ(PageHarness::configRows(QStringLiteral("BirthdayNum")), 1);
}

TEST_F(SettingsPageTest, LoadConfigReadsTheStoredReminderAndANullSignature)
{
    g_Conn->execute(QStringLiteral("INSERT INTO [config] ([key], value) VALUES ('BirthdayNum', '30')"));
    g_Conn->execute(QStringLiteral("UPDATE [config] SET value=NULL WHERE [key]='EmpSign'"));

    env.page->LoadConfig();

    EXPECT_EQ(g_BirthdayDays, 30);
    EXPECT_EQ(env.edit("Text3")->text(), QStringLiteral("30"));
    EXPECT_EQ(g_EnterpriseSign, QString());
}

// --- Reminder days --------------------------------------------------------------------------

struct ReminderCase
{
    const char* typed;
    const char* message;
    bool saved;
    int days; // stored and in effect when saved
};

class SettingsReminderDays : public SettingsPageTest, public ::testing::WithParamInterface<ReminderCase>
{
};

TEST_P(SettingsReminderDays, ChecksThenStoresTheLeadingNumber)
{
    const ReminderCase& c = GetParam();
    env.page->LoadConfig(); // 7
    env.edit("Text3")->setText(QString::fromUtf8(c.typed));
    env.desktop.expectMessage(c.message, c.saved ? "Quorvel2011" : "提示", c.saved ? Icon::None : Icon::Information);

    env.click("AeroButton13");

    const int expected = c.saved ? c.days : 7;
    EXPECT_EQ(g_BirthdayDays, expected);
    EXPECT_EQ(PageHarness::configValue(QStringLiteral("BirthdayNum")), QString::number(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SettingsReminderDays,
    ::testing::Values(ReminderCase{"365", "修改成功！", true, 365},
                      ReminderCase{"366", "提醒天数不能超过1年！", false, 0}, ReminderCase{"0", "修改成功！", true, 0},
                      ReminderCase{"", "提醒天数不能为空！", false, 0},
                      ReminderCase{"   ", "提醒天数不能为空！", false, 0}, ReminderCase{"030", "修改成功！", true, 30},
                      ReminderCase{"15天左右", "修改成功！", true, 15}, ReminderCase{"一周", "修改成功！", true, 0},
                      ReminderCase{"400天", "提醒天数不能超过1年！", false, 0},
                      ReminderCase{"99999999999999999999", "提醒天数不能超过1年！", false, 0}),
    NameFrom(&ReminderCase::typed));

struct KeyCase
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* expected; // Text3 after the key, starting from "12" with the cursor at the end
};

class SettingsReminderKeys : public SettingsPageTest, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(SettingsReminderKeys, OnlyDigitsBackspaceAndPastePass)
{
    const KeyCase& c = GetParam();
    QGuiApplication::clipboard()->setText(QStringLiteral("34"));
    QLineEdit* box = env.edit("Text3");
    box->setText(QStringLiteral("12"));

    QTest::keyClick(box, c.key, c.modifiers);

    EXPECT_EQ(box->text(), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SettingsReminderKeys,
    ::testing::Values(KeyCase{Qt::Key_5, Qt::NoModifier, "125"}, KeyCase{Qt::Key_0, Qt::NoModifier, "120"},
                      KeyCase{Qt::Key_A, Qt::NoModifier, "12"}, KeyCase{Qt::Key_Minus, Qt::NoModifier, "12"},
                      KeyCase{Qt::Key_Space, Qt::NoModifier, "12"}, KeyCase{Qt::Key_Period, Qt::NoModifier, "12"},
                      KeyCase{Qt::Key_Backspace, Qt::NoModifier, "1"}, KeyCase{Qt::Key_V, Qt::ControlModifier, "1234"},
                      KeyCase{Qt::Key_X, Qt::ControlModifier, "12"}),
    NameFrom(&KeyCase::key));

// --- Password checks before the platform ------------------------------------------------------

struct PasswordCase
{
    const char* oldPassword;
    const char* newPassword;
    const char* repeated;
    const char* message;
};

class SettingsPasswordChecks : public SettingsPageTest, public ::testing::WithParamInterface<PasswordCase>
{
};

TEST_P(SettingsPasswordChecks, RefusesWithTheFirstFailingCheck)
{
    const PasswordCase& c = GetParam();
    SmsCtrl client; // never reached: every case is refused before the request
    client.username = kUser;
    client.password = kPassword;
    env.page->setClient(&client);
    env.edit("Text6")->setText(QString::fromUtf8(c.oldPassword));
    env.edit("Text7")->setText(QString::fromUtf8(c.newPassword));
    env.edit("Text8")->setText(QString::fromUtf8(c.repeated));
    env.desktop.expectMessage(c.message, "提示", Icon::Information);

    env.click("AeroButton28");

    EXPECT_EQ(g_Password, kPassword);
    EXPECT_EQ(client.password, kPassword);
    EXPECT_EQ(env.edit("Text7")->text(), QString::fromUtf8(c.newPassword));
}

INSTANTIATE_TEST_SUITE_P(Fields, SettingsPasswordChecks,
                         ::testing::Values(PasswordCase{"", "", "", "请输入旧密码！"},
                                           PasswordCase{"  ", "new1", "new1", "请输入旧密码！"},
                                           PasswordCase{"demo123", " ", "new1", "请输入新密码！"},
                                           PasswordCase{"demo123", "new1", "", "请重复输入新密码！"},
                                           PasswordCase{"demo123", "new1", "new1 ", "两次输入的新密码不一致，请查证！"},
                                           PasswordCase{"demo123", "New1", "new1", "两次输入的新密码不一致，请查证！"},
                                           PasswordCase{"demo12", "new1", "new1", "旧密码错误！"},
                                           PasswordCase{"demo123 ", "new1", "new1", "旧密码错误！"},
                                           PasswordCase{"wrong", "", "", "请输入新密码！"}),
                         NameFrom(&PasswordCase::newPassword));

// --- Signature ------------------------------------------------------------------------------

class SettingsSignature : public SettingsPageTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(SettingsSignature, SavedExactlyAsTyped)
{
    const QString signature = QString::fromUtf8(GetParam());
    env.page->LoadConfig();
    env.edit("Text9")->setText(signature);
    env.desktop.expectMessage("修改企业签名成功！", "Quorvel2011");

    env.click("AeroButton29");

    EXPECT_EQ(g_EnterpriseSign, signature);
    EXPECT_EQ(PageHarness::configValue(QStringLiteral("EmpSign")).value_or(QStringLiteral("<none>")), signature);
    env.page->LoadConfig();
    EXPECT_EQ(env.edit("Text9")->text(), signature);
}

INSTANTIATE_TEST_SUITE_P(Texts, SettingsSignature, ::testing::Values(" 【海川科技】 ", "", "O'Brien & Co"), ByValue());

TEST_F(SettingsPageTest, SignatureIsSavedEvenWhenTheDatabaseLacksItsRow)
{
    g_Conn->execute(QStringLiteral("DELETE FROM [config] WHERE [key]='EmpSign'"));
    env.page->LoadConfig();
    EXPECT_EQ(g_EnterpriseSign, QString());
    env.edit("Text9")->setText(QStringLiteral("签名"));
    env.desktop.expectMessage("修改企业签名成功！", "Quorvel2011");

    env.click("AeroButton29");

    EXPECT_EQ(PageHarness::configValue(QStringLiteral("EmpSign")), QStringLiteral("签名"));
}

// --- Update check ---------------------------------------------------------------------------

struct VersionCase
{
    const char* remote;
    const char* installed;
    bool offered;
};

class SettingsUpdateCheck : public SettingsPageTest, public ::testing::WithParamInterface<VersionCase>
{
};

TEST_P(SettingsUpdateCheck, ComparesVersionsAsText)
{
    const VersionCase& c = GetParam();
    g_RemoteVersion.set(QString::fromLatin1(c.remote));
    g_VersionText = QString::fromLatin1(c.installed);
    if (c.offered)
        env.desktop.expectMessage("系统检测到升级，现在立刻升级吗？", "升级确认", Icon::Question, Buttons::YesNo,
                                  Answer::No);
    else
        env.desktop.expectMessage("当前已经是最新版本！", "升级提示", Icon::Information);

    env.click("AeroButton30"); // No: the program goes on

    EXPECT_FALSE(env.desktop.pending());
}

INSTANTIATE_TEST_SUITE_P(Versions, SettingsUpdateCheck,
                         ::testing::Values(VersionCase{"1.0.10", "1.0.9", false}, VersionCase{"1.0.9", "1.0.10", true},
                                           VersionCase{"2", "10", true}, VersionCase{"10", "2", false},
                                           VersionCase{"1.0.0", "1.0.0", false}, VersionCase{"1.0.0.1", "1.0.0", true},
                                           VersionCase{"0", "1.0", false}, VersionCase{"a", "B", true}),
                         NameFrom(&VersionCase::remote));

TEST_F(SettingsPageTest, UpdateYesStartsTheUpdaterAndEndsTheProgram)
{
    g_RemoteVersion.set(QStringLiteral("2.0"));
    // A white-list upload still running when the updater is started.
    ASSERT_TRUE(g_Threads(2).Add([](const MultiThread::StopToken& stop) { stop.waitFor(60000); }));
    ASSERT_TRUE(g_Threads(2).Start());
    env.desktop
        .expectMessage("系统检测到升级，现在立刻升级吗？", "升级确认", Icon::Question, Buttons::YesNo, Answer::Yes)
        .expectStartProgram(ProgramFile(QStringLiteral("update")));

    EXPECT_THROW(env.page->AeroButton30_Click(), ScriptedDesktop::Exited);
    // The program ends with its shutdown steps: worker joined, connection closed.
    EXPECT_FALSE(g_Threads(2).isRunning());
    EXPECT_EQ(g_Conn, nullptr);
}

TEST_F(SettingsPageTest, UpdaterThatCannotStartKeepsTheProgramRunning)
{
    g_RemoteVersion.set(QStringLiteral("2.0"));
    env.desktop
        .expectMessage("系统检测到升级，现在立刻升级吗？", "升级确认", Icon::Question, Buttons::YesNo, Answer::Yes)
        .expectStartProgram(ProgramFile(QStringLiteral("update")), false)
        .expectMessage("启动升级程序失败！", "升级提示", Icon::Exclamation);

    EXPECT_NO_THROW(env.page->AeroButton30_Click());
}

// --- Against the platform sandbox -------------------------------------------------------------

class SettingsPageOnlineTest : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        env = std::make_unique<PageHarness>();
        ASSERT_TRUE(env->page) << "the build made no shipped databases";
        client.username = kUser;
        client.password = kPassword;
        env->page->setClient(&client);
    }
    void TearDown() override
    {
        env.reset();
        SandboxFixture::TearDown();
    }

    void typePasswords(const QString& oldPassword, const QString& newPassword)
    {
        env->edit("Text6")->setText(oldPassword);
        env->edit("Text7")->setText(newPassword);
        env->edit("Text8")->setText(newPassword);
    }

    SmsCtrl client;
    std::unique_ptr<PageHarness> env;
};

TEST_F(SettingsPageOnlineTest, PasswordChangeSwitchesClientAndSessionAndEmptiesTheFields)
{
    typePasswords(kPassword, QStringLiteral("fresh42"));
    env->desktop.expectMessage("修改密码成功！", "Quorvel", Icon::Information);

    env->click("AeroButton28");

    EXPECT_EQ(sandbox().account(kUser)->password, QStringLiteral("fresh42"));
    EXPECT_EQ(g_Password, QStringLiteral("fresh42"));
    EXPECT_EQ(client.password, QStringLiteral("fresh42"));
    for (const char* field : {"Text6", "Text7", "Text8"})
        EXPECT_TRUE(env->edit(field)->text().isEmpty()) << field;

    // The next change must give the new password as the old one.
    typePasswords(kPassword, QStringLiteral("again"));
    env->desktop.expectMessage("旧密码错误！", "提示", Icon::Information);
    env->click("AeroButton28");
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("changepassword")), 1);
}

TEST_F(SettingsPageOnlineTest, PasswordRefusedByThePlatformChangesNothing)
{
    // The platform's password moved on (changed elsewhere); the local session still has the old one.
    auto account = *sandbox().account(kUser);
    account.password = QStringLiteral("elsewhere");
    sandbox().addAccount(account);
    typePasswords(kPassword, QStringLiteral("fresh42"));
    env->desktop.expectMessage(ScriptedDesktop::anyText(), "修改密码失败", Icon::Information);

    env->click("AeroButton28");

    const auto calls = env->desktop.calls(ScriptedDesktop::Kind::Message);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.front().text, client.ErrMsg);
    EXPECT_FALSE(calls.front().text.isEmpty());
    EXPECT_EQ(g_Password, kPassword);
    EXPECT_EQ(client.password, kPassword);
    EXPECT_EQ(env->edit("Text7")->text(), QStringLiteral("fresh42"));
}

TEST_F(SettingsPageOnlineTest, BalanceRefreshShowsTheBalanceOrKeepsItOnFailure)
{
    QSignalSpy shown(env->page.get(), &SettingsPage::balanceShown);
    sandbox().setBalance(kUser, 4321);
    QLabel* label = env->control<QLabel>("Label14");

    env->click("AeroButton27");
    EXPECT_EQ(label->text(), QStringLiteral("4321条"));
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(shown.at(0).at(0).toString(), QStringLiteral("4321条"));

    sandbox().setBalance(kUser, 5);
    sandbox().dropConnection(QStringLiteral("getbalance"));
    env->desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("查询错误：")), "Quorvel2011");
    env->click("AeroButton27");
    EXPECT_EQ(label->text(), QStringLiteral("4321条"));
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(env->desktop.calls(ScriptedDesktop::Kind::Message).front().text,
              QStringLiteral("查询错误：") + client.ErrMsg);
}

TEST_F(SettingsPageOnlineTest, ShowBalanceUsesTheClientsLastBalanceAndZeroWithoutClient)
{
    QLabel* label = env->control<QLabel>("Label14");
    client.Balance = 88;
    env->page->showBalance();
    EXPECT_EQ(label->text(), QStringLiteral("88条"));

    env->page->setClient(nullptr);
    env->page->showBalance();
    EXPECT_EQ(label->text(), QStringLiteral("0条"));
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("getbalance")), 0);
}

} // namespace
