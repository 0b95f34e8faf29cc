#include "FormLogin.h"
#include "Backup.h"
#include "CaseName.h"
#include "CodePage.h"
#include "Controls.h"
#include "DataStore.h"
#include "Form1.h"
#include "GlobalState.h"
#include "HistoryPage.h"
#include "ListView.h"
#include "ListViewModel.h"
#include "MultiThread.h"
#include "MyTrayIcon.h"
#include "NumberListModel.h"
#include "PublicFunction.h"
#include "SandboxFixture.h"
#include "ScriptedDesktop.h"
#include "SendMsg.h"
#include "SendPage.h"
#include "UpdateCheckStatus.h"
#include "TestProgramFolder.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using Icon = Desktop::Icon;
using Buttons = Desktop::Buttons;
using Answer = Desktop::Answer;

class FormLoginTest : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
    }

    void TearDown() override
    {
        closeMainWindow();
        login.reset();
        TerminateAllThreads();
        SandboxFixture::TearDown();
    }

    void writeUpdateIni()
    {
        QFile file(folder.path(QStringLiteral("update.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("http://") + qgetenv("QUORVEL_SUPPORT_HOST") + "/update.php?username=demo\r\n");
    }

    void execute(const QString& file, const QString& sql)
    {
        auto conn = db::Connection::open(folder.path(file), QByteArray(kDatabasePassword));
        conn->execute(sql);
        conn->checkpoint();
    }

    QVariant scalar(const QString& file, const QString& sql)
    {
        auto conn = db::Connection::open(folder.path(file), QByteArray(kDatabasePassword));
        return conn->scalar(sql);
    }

    void addUser(const QString& name, const QString& password, bool remember = false, bool last = false)
    {
        execute(
            QStringLiteral("user.mdb"),
            QStringLiteral("insert into [User] (username, password, remember, LastLogin) values ('%1', '%2', %3, %4)")
                .arg(SqlQuote(name), SqlQuote(password), remember ? QStringLiteral("true") : QStringLiteral("false"),
                     last ? QStringLiteral("true") : QStringLiteral("false")));
    }

    // Builds the dialog (its load runs) and waits until the update check has ended. Timer2 is
    // stopped so that the offer runs only when a test calls it.
    FormLogin& start()
    {
        login = std::make_unique<FormLogin>();
        offerTimer()->stop();
        EXPECT_TRUE(QTest::qWaitFor([this] { return login->allowLogin(); }, 5000));
        QCoreApplication::processEvents();
        return *login;
    }

    template <typename T> T* control(const char* name) const { return Control<T>(*login, name); }
    // The timer that makes the update offer once the check has ended.
    QTimer* offerTimer() const { return control<QTimer>("Timer2"); }
    QLineEdit* userBox() const { return control<QLineEdit>("AeroTextBox1"); }
    QLineEdit* passwordBox() const { return control<QLineEdit>("AeroTextBox2"); }
    QCheckBox* rememberBox() const { return control<QCheckBox>("AeroCheckBox1"); }
    QCheckBox* offlineBox() const { return control<QCheckBox>("AeroCheckBox2"); }
    QString status() const { return control<QLabel>("Label3")->text(); }

    void signIn(const QString& user, const QString& password, bool offline, bool remember = false)
    {
        userBox()->setText(user);
        passwordBox()->setText(password);
        offlineBox()->setChecked(offline);
        rememberBox()->setChecked(remember);
        login->AeroButton1_Click();
    }

    void closeMainWindow()
    {
        delete MainForm();
        CloseDatabase();
    }

    // Runs the offer; the exit code when the program was ended, nullopt when it goes on.
    std::optional<int> runOffer()
    {
        try {
            login->Timer2_Timer();
        } catch (const ScriptedDesktop::Exited& exited) {
            return exited.code;
        }
        return std::nullopt;
    }

    QByteArray fileBytes(const QString& name) const
    {
        QFile file(folder.path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    TrayRecorder tray;
    std::unique_ptr<FormLogin> login;
};

// ---- Update offer -----------------------------------------------------------------------

struct OfferCase
{
    const char* name;
    const char* remote;
    const char* installed;
    std::optional<Answer> answer; // nullopt: no offer expected
};

class UpdateOfferTest : public FormLoginTest, public ::testing::WithParamInterface<OfferCase>
{
};

TEST_P(UpdateOfferTest, ComparesVersionsAsText)
{
    const OfferCase& c = GetParam();
    writeUpdateIni();
    sandbox().setLatestVersion(QString::fromUtf8(c.remote));
    execute(
        QStringLiteral("data.mdb"),
        QStringLiteral("update [config] set [value]='%1' where [key]='Verson'").arg(QString::fromUtf8(c.installed)));
    start();
    ASSERT_TRUE(g_UpdateChecked.load());

    if (c.answer) {
        // What the dialog shows under the question, read when the question comes up.
        QString statusUnderQuestion = QStringLiteral("<not asked>");
        const QString question = QStringLiteral("系统检测到升级，现在立刻升级吗？");
        desktop.expectMessage(ScriptedDesktop::Match(
                                  [&](const QString& text) {
                                      statusUnderQuestion = status();
                                      return text == question;
                                  },
                                  question),
                              "升级确认", Icon::Question, Buttons::YesNo, *c.answer);
        if (*c.answer == Answer::Yes)
            desktop.expectStartProgram(folder.path(QStringLiteral("update")));
        EXPECT_EQ(runOffer(), std::optional<int>(0));
        // The check is over: its "正在检查更新...." does not stand under the question.
        EXPECT_EQ(statusUnderQuestion, QString());
        // Ended through the shutdown steps, whatever the answer: the connection is closed.
        EXPECT_EQ(g_Conn, nullptr);
    } else {
        EXPECT_EQ(runOffer(), std::nullopt);
        EXPECT_TRUE(status().isEmpty());
    }
    EXPECT_FALSE(offerTimer()->isActive());
    desktop.verifyAllConsumed();
}

INSTANTIATE_TEST_SUITE_P(Versions, UpdateOfferTest,
                         ::testing::Values(OfferCase{"TenIsNotAfterNine", "1.0.10", "1.0.9", std::nullopt},
                                           OfferCase{"TwoIsAfterTen", "2", "10", Answer::No},
                                           OfferCase{"EqualMakesNoOffer", "1.0.0", "1.0.0", std::nullopt},
                                           OfferCase{"YesStartsTheUpdater", "1.0.1", "1.0.0", Answer::Yes},
                                           OfferCase{"NoJustEnds", "1.1", "1.0.0", Answer::No}),
                         [](const ::testing::TestParamInfo<OfferCase>& info) { return std::string(info.param.name); });

TEST_F(FormLoginTest, AFailedCheckAllowsSignInAndNeverOffers)
{
    sandbox().setLatestVersion(QStringLiteral("9.9")); // never asked: no update.ini
    start();
    EXPECT_FALSE(g_UpdateChecked.load());
    EXPECT_EQ(status(), QStringLiteral("检查更新失败！"));
    offerTimer()->start();
    QTest::qWait(700);
    EXPECT_TRUE(offerTimer()->isActive()); // keeps watching, never acts
    EXPECT_EQ(status(), QStringLiteral("检查更新失败！"));

    desktop.expectMessage("本地验证用户名错误！", "验证失败", Icon::Exclamation);
    signIn(QStringLiteral("nobody"), QStringLiteral("pw"), true);
    desktop.verifyAllConsumed();
}

TEST_F(FormLoginTest, TheTimerMakesTheOfferOnItsOwn)
{
    writeUpdateIni();
    sandbox().setLatestVersion(QStringLiteral("1.0.0")); // same as installed
    start();
    offerTimer()->start();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !offerTimer()->isActive(); }, 3000));
    EXPECT_TRUE(status().isEmpty());
}

// ---- Sign-in refusals -------------------------------------------------------------------

constexpr char kBadName[] = "用户名不能包含“/”、“\\”、“..”或空字符！";
constexpr char kReservedName[] = "用户名不能是“data”或“user”！";

struct RefusalCase
{
    const char* name;
    const char* user;
    const char* password;
    bool offline;
    const char* message;
    const char* title;
    Icon icon;
    bool writesUpdateIni;
};

class SignInRefusalTest : public FormLoginTest, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(SignInRefusalTest, ShowsItsMessageAndStaysOpen)
{
    const RefusalCase& c = GetParam();
    addUser(QStringLiteral("alice"), QStringLiteral("secret"));
    start();
    desktop.expectMessage(c.message, QString::fromUtf8(c.title), c.icon);
    signIn(QString::fromUtf8(c.user), QString::fromUtf8(c.password), c.offline);
    desktop.verifyAllConsumed();
    EXPECT_EQ(MainForm(), nullptr);
    EXPECT_TRUE(g_UserName.isEmpty());
    EXPECT_EQ(QFile::exists(folder.path(QStringLiteral("update.ini"))), c.writesUpdateIni);
    EXPECT_EQ(
        scalar(QStringLiteral("user.mdb"), QStringLiteral("select count(*) from [User] where LastLogin=true")).toInt(),
        0);
}

TEST_F(FormLoginTest, ANameHoldingNulIsRefused)
{
    addUser(QStringLiteral("alice"), QStringLiteral("secret"));
    start();
    desktop.expectMessage(kBadName, QStringLiteral("提示"), Icon::Exclamation);
    signIn(QStringLiteral("alice") + QChar(0) + QStringLiteral("x"), QStringLiteral("secret"), true);
    desktop.verifyAllConsumed();
    EXPECT_EQ(MainForm(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SignInRefusalTest,
    ::testing::Values(
        RefusalCase{"BlankUser", "   ", "pw", false, "请输入用户名！", "提示", Icon::Exclamation, false},
        RefusalCase{"BlankPassword", "alice", " ", false, "请输入密码！", "提示", Icon::Exclamation, false},
        RefusalCase{"OfflineUnknownUser", "bob", "secret", true, "本地验证用户名错误！", "验证失败", Icon::Exclamation,
                    true},
        RefusalCase{"OfflineWrongPassword", "alice", "Secret", true, "本地密码验证错误！", "验证失败",
                    Icon::Exclamation, true},
        RefusalCase{"OfflinePasswordWithBlanks", "alice", " secret ", true, "本地密码验证错误！", "验证失败",
                    Icon::Exclamation, true},
        RefusalCase{"OnlineWrongPassword", "demo", "wrong", false, "帐号或者密码错误！", "登陆失败", Icon::Exclamation,
                    true},
        // the name is a file name in the program folder: none that leaves it
        RefusalCase{"ParentFolder", "../alice", "secret", true, kBadName, "提示", Icon::Exclamation, false},
        RefusalCase{"Slash", "a/b", "secret", false, kBadName, "提示", Icon::Exclamation, false},
        RefusalCase{"Backslash", "a\\b", "secret", true, kBadName, "提示", Icon::Exclamation, false},
        RefusalCase{"TwoDots", "demo..", "secret", false, kBadName, "提示", Icon::Exclamation, false},
        // "<name>.mdb" would be the template or the user list
        RefusalCase{"Data", "data", "secret", true, kReservedName, "提示", Icon::Exclamation, false},
        RefusalCase{"DataUpperOnline", "DATA", "demo123", false, kReservedName, "提示", Icon::Exclamation, false},
        RefusalCase{"UserWithBlanks", " User ", "secret", true, kReservedName, "提示", Icon::Exclamation, false}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(FormLoginTest, SignInWaitsForTheUpdateCheck)
{
    start();
    UpdateCheckStatus::instance().setAllowLogin(false); // as while the check still runs
    desktop.expectMessage("请先等待程序检查更新完再登录！", "正在检查更新", Icon::Information);
    signIn(QStringLiteral("demo"), QStringLiteral("demo123"), false);
    desktop.verifyAllConsumed();
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("update.ini"))));
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("login")), 0);
}

TEST_F(FormLoginTest, EnterMovesOnFromTheNameAndSignsInFromThePassword)
{
    start();
    login->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(login.get()));
    userBox()->setFocus();
    QTest::keyClicks(userBox(), QStringLiteral("nobody"));
    QTest::keyClick(userBox(), Qt::Key_Return);
    EXPECT_EQ(userBox()->text(), QStringLiteral("nobody"));
    EXPECT_TRUE(passwordBox()->hasFocus());
    QTest::keyClicks(passwordBox(), QStringLiteral("pw"));
    offlineBox()->setChecked(true);
    desktop.expectMessage("本地验证用户名错误！", "验证失败", Icon::Exclamation);
    QTest::keyClick(passwordBox(), Qt::Key_Enter);
    desktop.verifyAllConsumed();
    EXPECT_EQ(passwordBox()->text(), QStringLiteral("pw"));
}

TEST_F(FormLoginTest, EverySignInAttemptRewritesUpdateIni)
{
    start();
    desktop.expectMessage("本地验证用户名错误！", "验证失败", Icon::Exclamation);
    signIn(QStringLiteral(" 张三 "), QStringLiteral("pw"), true);
    EXPECT_EQ(fileBytes(QStringLiteral("update.ini")),
              QByteArray("http://") + qgetenv("QUORVEL_SUPPORT_HOST") + "/update.php?username=%D5%C5%C8%FD\r\n");
    desktop.expectMessage("本地验证用户名错误！", "验证失败", Icon::Exclamation);
    signIn(QStringLiteral("b&c"), QStringLiteral("pw"), true);
    EXPECT_EQ(fileBytes(QStringLiteral("update.ini")),
              QByteArray("http://") + qgetenv("QUORVEL_SUPPORT_HOST") + "/update.php?username=b%26c\r\n");
}

// ---- Write failures ---------------------------------------------------------------------

struct WriteFailureCase
{
    const char* name;
    const char* sabotage; // run on the dialog's own connection to user.mdb
    const char* message;  // part of the box text
    const char* title;
};

class SignInWriteFailureTest : public FormLoginTest, public ::testing::WithParamInterface<WriteFailureCase>
{
};

TEST_P(SignInWriteFailureTest, IsShownAndNoMainWindowOpens)
{
    const WriteFailureCase& c = GetParam();
    addUser(QStringLiteral("alice"), QStringLiteral("secret"));
    start();
    g_Conn->execute(QString::fromUtf8(c.sabotage));
    desktop.expectMessage(ScriptedDesktop::contains(QString::fromUtf8(c.message)), QString::fromUtf8(c.title),
                          Icon::Exclamation);
    signIn(QStringLiteral("alice"), QStringLiteral("secret"), true);
    desktop.verifyAllConsumed();
    EXPECT_EQ(MainForm(), nullptr);
    EXPECT_EQ(g_UserName, QStringLiteral("alice")); // set by the attempt, and it stays
    EXPECT_FALSE(g_Online);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SignInWriteFailureTest,
    ::testing::Values(WriteFailureCase{"ReadOnly", "PRAGMA query_only=1",
                                       "无法写入数据，请检查是否有权限写入当前程序路径！", "写入失败"},
                      WriteFailureCase{"OtherFailure",
                                       "CREATE TEMP TRIGGER refuse BEFORE UPDATE ON [User] BEGIN "
                                       "SELECT RAISE(ABORT, 'refused by trigger'); END",
                                       "refused by trigger", "程序运行错误"}),
    [](const ::testing::TestParamInfo<WriteFailureCase>& info) { return std::string(info.param.name); });

// ---- Successful sign-in -----------------------------------------------------------------

TEST_F(FormLoginTest, OnlineSignInSetsTheSessionAndOpensTheMainWindow)
{
    SandboxServer::Account shop;
    shop.name = QStringLiteral("shop");
    shop.password = QStringLiteral("pw1");
    shop.balance = 42;
    shop.charsPerSms = 67;
    sandbox().addAccount(shop);
    writeUpdateIni();
    start();
    signIn(QStringLiteral("shop"), QStringLiteral("pw1"), false, true);

    ASSERT_NE(MainForm(), nullptr);
    EXPECT_TRUE(MainForm()->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(g_Online);
    EXPECT_EQ(g_UserName, QStringLiteral("shop"));
    EXPECT_EQ(g_Password, QStringLiteral("pw1"));
    EXPECT_EQ(g_CharsPerSms.load(), 67);
    EXPECT_FALSE(login->isVisible());
    EXPECT_FALSE(offerTimer()->isActive());
    EXPECT_TRUE(QFile::exists(folder.path(QStringLiteral("shop.mdb"))));
    EXPECT_EQ(scalar(QStringLiteral("user.mdb"),
                     QStringLiteral("select count(*) from [User] where username='shop' and password='pw1' and "
                                    "remember=true and LastLogin=true"))
                  .toInt(),
              1);
}

// The whole main road: sign in, write, send, and find the run in the history.
TEST_F(FormLoginTest, ASignedInUserSendsAndFindsTheRunInTheHistory)
{
    writeUpdateIni();
    start();
    signIn(QStringLiteral("demo"), QStringLiteral("demo123"), false);
    Form1* form = MainForm();
    ASSERT_NE(form, nullptr);
    form->Timer3->setInterval(0);
    ASSERT_TRUE(QTest::qWaitFor([form] { return !form->Timer3->isActive(); }, 5000));

    SendPage* page = Control<SendPage>(*form, "SendPage");
    page->AddNumberLines(QStringLiteral("13800138000\r\n13900139000\r\n13800138000"));
    EXPECT_EQ(page->DelRepeat(), 1);
    Control<QPlainTextEdit>(*page, "Text1")->setPlainText(QStringLiteral("主路测试：周五下午三点开会"));

    // The send dialog is modal: start the run from inside it, then close it.
    bool sawDialog = false;
    QTimer::singleShot(0, [&sawDialog] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<SendMsg*>(w); dialog && dialog->isVisible()) {
                sawDialog = true;
                Control<QPushButton>(*dialog, "AeroButton2")->click();
                Control<QPushButton>(*dialog, "AeroButton1")->click();
            }
        }
    });
    Control<QPushButton>(*page, "AeroButton8")->click();

    EXPECT_TRUE(sawDialog);
    ASSERT_EQ(sandbox().sends().size(), 1);
    EXPECT_EQ(sandbox().sends()[0].numbers, (QStringList{QStringLiteral("13800138000"), QStringLiteral("13900139000")}));
    EXPECT_EQ(page->numberList()->count(), 0) << "a completed list run empties the list";

    form->toobarImg_Click(2);
    Control<HistoryPage>(*form, "HistoryPage")->AeroButton15_Click();
    ListViewModel* history = Control<ListView>(*form, "ListView3")->listModel();
    ASSERT_EQ(history->rowCount(), 1);
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select Amount from [Messages]")).toInt(), 2);
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Finish] where State='已发送'")).toInt(), 2);
}

TEST_F(FormLoginTest, SignInStoresTrimmedTextsInOneRowButKeepsTheTypedOnes)
{
    addUser(QStringLiteral("alice"), QStringLiteral("secret"));
    start();
    signIn(QStringLiteral("alice"), QStringLiteral("secret"), true, true);
    ASSERT_NE(MainForm(), nullptr);
    closeMainWindow();

    // Online with blanks around both texts: the platform trims them, the row is found again.
    SandboxServer::Account alice;
    alice.name = QStringLiteral("alice");
    alice.password = QStringLiteral("secret");
    sandbox().addAccount(alice);
    start();
    signIn(QStringLiteral(" alice"), QStringLiteral("secret "), false, true);
    ASSERT_NE(MainForm(), nullptr);
    EXPECT_EQ(g_UserName, QStringLiteral(" alice"));
    EXPECT_EQ(g_Password, QStringLiteral("secret "));
    EXPECT_EQ(scalar(QStringLiteral("user.mdb"), QStringLiteral("select count(*) from [User]")).toInt(), 1);
    EXPECT_EQ(scalar(QStringLiteral("user.mdb"),
                     QStringLiteral("select count(*) from [User] where username='alice' and password='secret' and "
                                    "LastLogin=true and remember=true"))
                  .toInt(),
              1);
}

TEST_F(FormLoginTest, TheLastUserIsFilledInAndSwitchesWithTheNextSignIn)
{
    addUser(QStringLiteral("alice"), QStringLiteral("pw-a"));
    addUser(QStringLiteral("bob"), QStringLiteral("pw-b"));

    start();
    // No last user yet: nothing is filled in; the connection has moved on to user.mdb.
    EXPECT_TRUE(userBox()->text().isEmpty());
    EXPECT_FALSE(rememberBox()->isChecked());
    EXPECT_EQ(g_Conn->path(), folder.path(QStringLiteral("user.mdb")));
    EXPECT_EQ(g_CharsPerSms.load(), 70);
    signIn(QStringLiteral("alice"), QStringLiteral("pw-a"), true, true);
    ASSERT_NE(MainForm(), nullptr);
    closeMainWindow();

    start();
    EXPECT_EQ(userBox()->text(), QStringLiteral("alice"));
    EXPECT_EQ(passwordBox()->text(), QStringLiteral("pw-a"));
    EXPECT_TRUE(rememberBox()->isChecked());
    signIn(QStringLiteral("bob"), QStringLiteral("pw-b"), true, false);
    ASSERT_NE(MainForm(), nullptr);
    closeMainWindow();

    start();
    EXPECT_EQ(userBox()->text(), QStringLiteral("bob"));
    EXPECT_TRUE(passwordBox()->text().isEmpty());
    EXPECT_FALSE(rememberBox()->isChecked());
    EXPECT_EQ(scalar(QStringLiteral("user.mdb"),
                     QStringLiteral("select count(*) from [User] where remember=true or LastLogin=true"))
                  .toInt(),
              1);
    EXPECT_EQ(
        scalar(QStringLiteral("user.mdb"), QStringLiteral("select LastLogin from [User] where username='bob'")).toInt(),
        1);
}

// A name with quotes, or typed in another case than stored, finds its own row: the sign-in
// keeps one row for it, marks it alone as the last and remembered one, and fills it in next time.
struct UserRowCase
{
    const char* name;
    const char* stored;
    const char* typed;
    const char* password;
};

class UserRowTest : public FormLoginTest, public ::testing::WithParamInterface<UserRowCase>
{
};

TEST_P(UserRowTest, TheSignedInRowAloneKeepsTheMarks)
{
    const UserRowCase& c = GetParam();
    addUser(QStringLiteral("bob"), QStringLiteral("pw-b"), true, true);
    addUser(QString::fromUtf8(c.stored), QString::fromUtf8(c.password));

    start();
    signIn(QString::fromUtf8(c.typed), QString::fromUtf8(c.password), true, true);
    ASSERT_NE(MainForm(), nullptr);
    closeMainWindow();

    start();
    EXPECT_EQ(userBox()->text(), QString::fromUtf8(c.typed));
    EXPECT_EQ(passwordBox()->text(), QString::fromUtf8(c.password));
    EXPECT_TRUE(rememberBox()->isChecked());
    EXPECT_EQ(scalar(QStringLiteral("user.mdb"), QStringLiteral("select count(*) from [User]")).toInt(), 2);
    EXPECT_EQ(scalar(QStringLiteral("user.mdb"),
                     QStringLiteral("select count(*) from [User] where remember=true or LastLogin=true"))
                  .toInt(),
              1);
}

INSTANTIATE_TEST_SUITE_P(Names, UserRowTest,
                         ::testing::Values(UserRowCase{"Quotes", "o'neil", "o'neil", "pw'2"},
                                           UserRowCase{"OtherCase", "Alice", "ALICE", "pw-a"}),
                         NameFrom(&UserRowCase::name));

// ---- Pending restore --------------------------------------------------------------------

TEST_F(FormLoginTest, TwoPendingRestoresArePutInPlaceOverTwoStarts)
{
    // Backups of a and b, each holding a marker row.
    for (const QString& user : {QStringLiteral("a"), QStringLiteral("b")}) {
        const QString made = folder.makeUserDatabase(QStringLiteral("backup-") + user);
        execute(QFileInfo(made).fileName(),
                QStringLiteral("insert into [ContactCategory] (CategoryName) values ('from-%1')").arg(user));
        ASSERT_TRUE(QFile::rename(made, folder.path(user + QStringLiteral(".recover"))));
    }
    // a.mdb exists, with a log of writes left behind beside it.
    folder.makeUserDatabase(QStringLiteral("a"));
    const QString other = folder.makeUserDatabase(QStringLiteral("other"));
    {
        auto conn = db::Connection::open(other, QByteArray(kDatabasePassword));
        conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName) values ('stale')"));
        ASSERT_TRUE(QFile::copy(other + QStringLiteral("-wal"), folder.path(QStringLiteral("a.mdb-wal"))));
    }

    start();
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("a.recover"))));
    EXPECT_TRUE(QFile::exists(folder.path(QStringLiteral("b.recover"))));
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("b.mdb"))));
    const QString markers = QStringLiteral("select group_concat(CategoryName) from [ContactCategory]");
    EXPECT_EQ(scalar(QStringLiteral("a.mdb"), markers).toString(), QStringLiteral("from-a"));
    login.reset();
    CloseDatabase();

    start();
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("b.recover"))));
    EXPECT_EQ(scalar(QStringLiteral("b.mdb"), markers).toString(), QStringLiteral("from-b"));
    EXPECT_EQ(scalar(QStringLiteral("a.mdb"), markers).toString(), QStringLiteral("from-a"));
}

TEST_F(FormLoginTest, ARestoreThatCannotBeCopiedKeepsTheOldDatabaseAndStaysPending)
{
    folder.makeUserDatabase(QStringLiteral("c"));
    execute(QStringLiteral("c.mdb"), QStringLiteral("insert into [ContactCategory] (CategoryName) values ('kept')"));
    QFile restore(folder.path(QStringLiteral("c.recover")));
    ASSERT_TRUE(restore.open(QIODevice::WriteOnly));
    restore.write("not a database");
    restore.close();
    // A folder in the way of the copy makes it fail, whatever rights the tests run with.
    ASSERT_TRUE(QDir(folder.folder()).mkpath(QStringLiteral("c.mdb.part")));
    start();
    EXPECT_TRUE(QFile::exists(folder.path(QStringLiteral("c.recover"))));
    EXPECT_EQ(scalar(QStringLiteral("c.mdb"), QStringLiteral("select CategoryName from [ContactCategory]")).toString(),
              QStringLiteral("kept"));
}

// ---- One user whatever the letter case ---------------------------------------------------

struct SpellingCase
{
    const char* stored; // the user's row and database, from an earlier sign-in
    const char* typed;  // this sign-in, and the name of a restore an older version left
};

class LetterCaseTest : public FormLoginTest, public ::testing::WithParamInterface<SpellingCase>
{
};

TEST_P(LetterCaseTest, TheDatabaseItsRestoreAndItsBackupNameAreTheExistingOnes)
{
    const QString stored = QString::fromUtf8(GetParam().stored);
    const QString typed = QString::fromUtf8(GetParam().typed);
    addUser(stored, QStringLiteral("pw"));
    folder.makeUserDatabase(stored);
    const QString backup = folder.makeUserDatabase(QStringLiteral("backup"));
    execute(QStringLiteral("backup.mdb"), QStringLiteral("insert into [ContactCategory] (CategoryName) values ('restored')"));
    ASSERT_TRUE(QFile::rename(backup, folder.path(typed + QStringLiteral(".recover"))));

    start();
    signIn(typed, QStringLiteral("pw"), true);

    ASSERT_NE(MainForm(), nullptr);
    const QString database = folder.path(stored + QStringLiteral(".mdb"));
    EXPECT_EQ(g_Conn->path(), database);
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select CategoryName from [ContactCategory]")).toString(),
              QStringLiteral("restored"));
    EXPECT_FALSE(QFile::exists(folder.path(typed + QStringLiteral(".mdb"))));
    EXPECT_FALSE(QFile::exists(folder.path(typed + QStringLiteral(".recover"))));
    EXPECT_EQ(UserDatabasePath(), database);
    EXPECT_EQ(PendingRestorePath(), folder.path(stored + QStringLiteral(".recover")));
}

INSTANTIATE_TEST_SUITE_P(Spellings, LetterCaseTest,
                         ::testing::Values(SpellingCase{"demo", "DEMO"}, SpellingCase{"Alice", "aLICE"},
                                           SpellingCase{"张Wei", "张wEI"}),
                         NameFrom(&SpellingCase::typed));

class ReservedRestoreTest : public FormLoginTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(ReservedRestoreTest, IsNeverPutInPlace)
{
    const QString restore = QString::fromUtf8(GetParam());
    const QString target = restore.toLower().replace(QStringLiteral(".recover"), QStringLiteral(".mdb"));
    const QByteArray before = fileBytes(target);
    ASSERT_TRUE(QFile::rename(folder.makeUserDatabase(QStringLiteral("someone")), folder.path(restore)));

    start();

    EXPECT_EQ(fileBytes(target), before);
    EXPECT_TRUE(QFile::exists(folder.path(restore)));
}

INSTANTIATE_TEST_SUITE_P(Files, ReservedRestoreTest,
                         ::testing::Values("data.recover", "Data.recover", "USER.recover"), ByValue());

// ---- Load failures ----------------------------------------------------------------------

struct LoadFailureCase
{
    const char* name;
    const char* removeFile;    // removed before the start, or empty
    const char* dataMdbScript; // run on data.mdb before the start, or empty
    const char* messageStart;
    const char* title;
    Icon icon;
};

class LoadFailureTest : public FormLoginTest, public ::testing::WithParamInterface<LoadFailureCase>
{
};

TEST_P(LoadFailureTest, IsShownAndEndsTheProgram)
{
    const LoadFailureCase& c = GetParam();
    if (*c.removeFile) {
        ASSERT_TRUE(QFile::remove(folder.path(QString::fromUtf8(c.removeFile))));
    }
    if (*c.dataMdbScript)
        execute(QStringLiteral("data.mdb"), QString::fromUtf8(c.dataMdbScript));
    desktop.expectMessage(ScriptedDesktop::startsWith(QString::fromUtf8(c.messageStart)), QString::fromUtf8(c.title),
                          c.icon);
    try {
        login = std::make_unique<FormLogin>();
        ADD_FAILURE() << "the load went on";
    } catch (const ScriptedDesktop::Exited& exited) {
        EXPECT_EQ(exited.code, 1);
    }
    desktop.verifyAllConsumed();
}

INSTANTIATE_TEST_SUITE_P(
    Loads, LoadFailureTest,
    ::testing::Values(LoadFailureCase{"NoDataMdb", "data.mdb", "", "错误号：", "打开本地数据库出错", Icon::Information},
                      LoadFailureCase{"NoUserMdb", "user.mdb", "", "错误号：", "打开本地数据库出错", Icon::Information},
                      LoadFailureCase{"NoVersionRow", "", "delete from [config] where [key]='Verson'", "BOF 或 EOF",
                                      "程序运行错误", Icon::Exclamation},
                      LoadFailureCase{"NullVersion", "", "update [config] set [value]=NULL where [key]='Verson'",
                                      "无效使用 Null", "程序运行错误", Icon::Exclamation}),
    [](const ::testing::TestParamInfo<LoadFailureCase>& info) { return std::string(info.param.name); });

} // namespace
