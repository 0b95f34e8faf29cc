#include "SmsCtrl.h"
#include "CaseName.h"
#include "GlobalState.h"
#include "HttpClient.h"
#include "QtPrinters.h"
#include "SandboxFixture.h"

#include <QDomDocument>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {

const QString kFail = QStringLiteral("连接平台服务器失败,请检查网络！");
const QString kKept = QStringLiteral("kept");

QByteArray sendXml(const QByteArray& code, const QByteArray& smsId = QByteArray())
{
    QByteArray xml = "<sendresult><errorcode>" + code + "</errorcode>";
    if (!smsId.isEmpty())
        xml += "<SMSID>" + smsId + "</SMSID>";
    return xml + "</sendresult>";
}

QString parserReason(const QByteArray& reply)
{
    QDomDocument document;
    QString reason;
    document.setContent(QString::fromLatin1(reply), &reason);
    return reason;
}

class SmsCtrlTest : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ResetGlobalState();
        client.username = QStringLiteral("demo");
        client.password = QStringLiteral("demo123");
        client.ErrMsg = kKept;
    }
    void TearDown() override
    {
        http::clearTimeoutOverride();
        ResetGlobalState();
        SandboxFixture::TearDown();
    }

    bool send(const QString& text, const QString& numbers, const QVariant& sendtime = QStringLiteral("0"))
    {
        QString message = text;
        QString phones = numbers;
        return client.SendMessage(message, phones, sendtime);
    }
    bool login(const QString& user, const QString& pass)
    {
        QString u = user;
        QString p = pass;
        return client.Login(u, p);
    }
    bool changePassword(const QString& oldpass, const QString& newpass)
    {
        QString o = oldpass;
        QString n = newpass;
        return client.ChangePassword(o, n);
    }

    SmsCtrl client;
};

TEST_F(SmsCtrlTest, LoginSendsTrimmedCredentialsAndTakesBalanceAndCharsPerMessage)
{
    sandbox().addAccount({QStringLiteral("张三"), QStringLiteral("p w"), 321, 60});
    QString user = QStringLiteral(" 张三 ");
    QString pass = QStringLiteral(" p w ");

    ASSERT_TRUE(client.Login(user, pass));

    EXPECT_EQ(user, QStringLiteral("张三"));
    EXPECT_EQ(pass, QStringLiteral("p w"));
    EXPECT_EQ(client.Balance, 321);
    EXPECT_EQ(g_CharsPerSms.load(), 60);
    EXPECT_EQ(client.ErrMsg, kKept);
    const auto request = sandbox().lastRequest(QStringLiteral("login"));
    ASSERT_TRUE(request);
    const QByteArray body = "action=interface&op=login&username=%E5%BC%A0%E4%B8%89&userpwd=p%20w";
    EXPECT_EQ(request->method, "POST");
    EXPECT_EQ(request->target, "/index.php?" + body);
    EXPECT_EQ(request->body, body);
    EXPECT_EQ(request->contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(request->contentLength, QByteArray::number(body.size()));
}

struct LoginFailure
{
    const char* name;
    QByteArray reply; // empty: the sandbox answers for a wrong password
    QString errMsgPrefix;
    bool balanceSet;
};

class SmsCtrlLoginFailureTest : public SmsCtrlTest, public ::testing::WithParamInterface<LoginFailure>
{
};

TEST_P(SmsCtrlLoginFailureTest, ReportsTheFailure)
{
    const LoginFailure& c = GetParam();
    if (!c.reply.isEmpty())
        sandbox().scriptReply(QStringLiteral("login"), c.reply);
    client.Balance = 7;

    EXPECT_FALSE(
        login(QStringLiteral("demo"), c.reply.isEmpty() ? QStringLiteral("wrong") : QStringLiteral("demo123")));

    EXPECT_TRUE(client.ErrMsg.startsWith(c.errMsgPrefix)) << client.ErrMsg.toStdString();
    EXPECT_EQ(client.Balance, c.balanceSet ? 55 : 7);
    EXPECT_EQ(g_CharsPerSms.load(), 70);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SmsCtrlLoginFailureTest,
    ::testing::Values(
        LoginFailure{"WrongPassword", {}, QStringLiteral("帐号或者密码错误！"), false},
        LoginFailure{"OtherCode", "<result><errorcode>0</errorcode></result>", QStringLiteral("帐号或者密码错误！"),
                     false},
        LoginFailure{"MissingBalance", "<result><errorcode>1</errorcode></result>", kFail + QStringLiteral("\r\n"),
                     false},
        LoginFailure{"BalanceNoNumber", "<result><errorcode>1</errorcode><balance>x</balance></result>",
                     kFail + QStringLiteral("\r\n"), false},
        LoginFailure{"MissingSmsNum", "<result><errorcode>1</errorcode><balance>55</balance></result>",
                     kFail + QStringLiteral("\r\n"), true},
        // Zero characters per message would divide by zero in every later part count.
        LoginFailure{"ZeroSmsNum", "<result><errorcode>1</errorcode><balance>55</balance><smsNum>0</smsNum></result>",
                     kFail + QStringLiteral("\r\n"), true},
        LoginFailure{"NoRoot", "<other><errorcode>1</errorcode></other>", kFail + QStringLiteral("\r\n"), false},
        LoginFailure{"TruncatedDoubleByte", "<result>\xC4", kFail + QStringLiteral("\r\n"), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SmsCtrlTest, LoginReplyThatIsNoXmlGivesTheParsersReason)
{
    const QByteArray reply = "<html><body>busy";
    sandbox().scriptReply(QStringLiteral("login"), reply);

    EXPECT_FALSE(login(QStringLiteral("demo"), QStringLiteral("demo123")));

    ASSERT_FALSE(parserReason(reply).isEmpty());
    EXPECT_EQ(client.ErrMsg, QStringLiteral("服务器错误: ") + parserReason(reply));
}

TEST_F(SmsCtrlTest, SendMessageSendsTheExactFormAndRecordsTheBatch)
{
    client.SmsID = QString();
    client.MobileCount = 2;
    QString message = QStringLiteral(" 你好 ");
    QString numbers = QStringLiteral("13800000000;13900000000 ");

    ASSERT_TRUE(client.SendMessage(message, numbers, QVariant(qint64(1700000000))));

    EXPECT_EQ(message, QStringLiteral("你好"));
    EXPECT_EQ(numbers, QStringLiteral("13800000000;13900000000"));
    const auto request = sandbox().lastRequest(QStringLiteral("sendmess"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->target, "/index.php?action=interface&op=sendmess");
    EXPECT_EQ(request->body, "username=demo&userpwd=demo123&mobiles=13800000000%3B13900000000"
                             "&content=%E4%BD%A0%E5%A5%BD&logid=&mobilecount=2&sendtime=1700000000");
    const auto sends = sandbox().sends();
    ASSERT_EQ(sends.size(), 1);
    EXPECT_EQ(client.ReturnSmsID, sends[0].smsId);
    EXPECT_EQ(sends[0].content, QStringLiteral("你好"));
    EXPECT_EQ(sends[0].numbers, QStringList({QStringLiteral("13800000000"), QStringLiteral("13900000000")}));
    EXPECT_EQ(sandbox().account(QStringLiteral("demo"))->balance, 100000 - 2);
    EXPECT_EQ(client.ErrMsg, kKept);

    // The next batch names the previous one.
    client.SmsID = client.ReturnSmsID;
    ASSERT_TRUE(send(QStringLiteral("x"), QStringLiteral("13800000001"), QVariant()));
    EXPECT_EQ(sandbox().sends().last().logid, sends[0].smsId);
    EXPECT_TRUE(sandbox().lastRequest(QStringLiteral("sendmess"))->body.endsWith("&sendtime="));
}

struct SendCase
{
    const char* name;
    std::function<void(SandboxServer&, SmsCtrl&)> arrange;
    QString text;
    QString numbers;
    QString errMsg;
};

class SmsCtrlSendRefusedTest : public SmsCtrlTest, public ::testing::WithParamInterface<SendCase>
{
};

TEST_P(SmsCtrlSendRefusedTest, LeavesThePlatformsTextAndNoSend)
{
    const SendCase& c = GetParam();
    client.ReturnSmsID = QStringLiteral("old");
    c.arrange(sandbox(), client);

    EXPECT_FALSE(send(c.text, c.numbers));

    EXPECT_EQ(client.ErrMsg, c.errMsg);
    EXPECT_EQ(client.ReturnSmsID, QStringLiteral("old"));
    EXPECT_TRUE(sandbox().sends().isEmpty());
}

QString manyNumbers(int count)
{
    QStringList numbers;
    for (int i = 0; i < count; ++i)
        numbers << QString::number(13000000000LL + i);
    return numbers.join(QLatin1Char(';'));
}

INSTANTIATE_TEST_SUITE_P(
    Platform, SmsCtrlSendRefusedTest,
    ::testing::Values(
        SendCase{"EmptyUser", [](SandboxServer&, SmsCtrl& c) { c.username = QString(); }, QStringLiteral("hi"),
                 QStringLiteral("13800000000"), QStringLiteral("用户名或密码为空")},
        SendCase{"WrongPassword", [](SandboxServer&, SmsCtrl& c) { c.password = QStringLiteral("x"); },
                 QStringLiteral("hi"), QStringLiteral("13800000000"), QStringLiteral("用户名或者密码错误")},
        SendCase{"Locked",
                 [](SandboxServer& s, SmsCtrl&) {
                     s.addAccount({QStringLiteral("demo"), QStringLiteral("demo123"), 10, 70, true});
                 },
                 QStringLiteral("hi"), QStringLiteral("13800000000"), QStringLiteral("用户名已经被锁定")},
        SendCase{"EmptyContent", [](SandboxServer&, SmsCtrl&) {}, QStringLiteral("   "), QStringLiteral("13800000000"),
                 QStringLiteral("发送内容为空")},
        // 71 characters are two parts of 65 at 70 per message: 2 numbers cost 4.
        SendCase{"BalanceTooLow", [](SandboxServer& s, SmsCtrl&) { s.setBalance(QStringLiteral("demo"), 3); },
                 QString(71, QLatin1Char('a')), QStringLiteral("13800000000;13800000001"), QStringLiteral("余额不足")},
        SendCase{"NoValidNumber", [](SandboxServer&, SmsCtrl&) {}, QStringLiteral("hi"),
                 QStringLiteral("123;abc;0800000000"), QStringLiteral("没有正确的号码")},
        SendCase{"UnknownLogId", [](SandboxServer&, SmsCtrl& c) { c.SmsID = QStringLiteral("999"); },
                 QStringLiteral("hi"), QStringLiteral("13800000000"), QStringLiteral("LogId错误！")},
        SendCase{"Keyword", [](SandboxServer& s, SmsCtrl&) { s.setKeywords({QStringLiteral("发票")}); },
                 QStringLiteral("代开发票"), QStringLiteral("13800000000"), QStringLiteral("内容里有关键字")},
        SendCase{"TooManyNumbers", [](SandboxServer&, SmsCtrl&) {}, QStringLiteral("hi"), manyNumbers(1001),
                 QStringLiteral("一次提交的手机号码过多！")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SmsCtrlTest, SendOfAThousandNumbersIsOneRequestChargedPerPart)
{
    sandbox().addAccount({QStringLiteral("demo"), QStringLiteral("demo123"), 5000, 60});

    ASSERT_TRUE(send(QString(61, QLatin1Char('z')), manyNumbers(1000))) << client.ErrMsg.toStdString();

    EXPECT_EQ(sandbox().requestCount(QStringLiteral("sendmess")), 1);
    EXPECT_EQ(sandbox().sends().last().parts, 2);
    EXPECT_EQ(sandbox().account(QStringLiteral("demo"))->balance, 5000 - 2000);
}

struct ScriptedSend
{
    const char* name;
    QByteArray reply;
    QString errMsg; // empty: the parser's reason
};

class SmsCtrlSendReplyTest : public SmsCtrlTest, public ::testing::WithParamInterface<ScriptedSend>
{
};

TEST_P(SmsCtrlSendReplyTest, ReadsTheReply)
{
    const ScriptedSend& c = GetParam();
    sandbox().scriptReply(QStringLiteral("sendmess"), c.reply);
    client.ReturnSmsID = QStringLiteral("old");

    EXPECT_FALSE(send(QStringLiteral("hi"), QStringLiteral("13800000000")));

    EXPECT_EQ(client.ErrMsg, c.errMsg.isEmpty() ? parserReason(c.reply) : c.errMsg);
    EXPECT_FALSE(client.ErrMsg.isEmpty());
    EXPECT_EQ(client.ReturnSmsID, QStringLiteral("old"));
}

INSTANTIATE_TEST_SUITE_P(Scripted, SmsCtrlSendReplyTest,
                         ::testing::Values(ScriptedSend{"NoXml", "-8", QString()}, ScriptedSend{"Empty", "", QString()},
                                           ScriptedSend{"BalanceCode", sendXml("-8"), QStringLiteral("余额不足")},
                                           ScriptedSend{"SystemError", sendXml("-100"), QStringLiteral("系统错误")},
                                           ScriptedSend{"UnknownCode", sendXml("-4"), QStringLiteral("未知错误")},
                                           ScriptedSend{"TextCode", sendXml("ok"), QStringLiteral("操作成功")},
                                           ScriptedSend{"NoErrorCode", "<sendresult/>", kFail},
                                           ScriptedSend{"AcceptedWithoutSmsId", sendXml("1"), kFail}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BalanceCase
{
    const char* name;
    QByteArray reply;
    bool result;
    qint32 balance;
    QString errMsg;
};

class SmsCtrlBalanceTest : public SmsCtrlTest, public ::testing::WithParamInterface<BalanceCase>
{
};

TEST_P(SmsCtrlBalanceTest, ReadsTheNumber)
{
    const BalanceCase& c = GetParam();
    sandbox().scriptReply(QStringLiteral("getbalance"), c.reply);
    client.Balance = 42;

    EXPECT_EQ(client.GetBalance(), c.result);

    EXPECT_EQ(client.Balance, c.balance);
    EXPECT_EQ(client.ErrMsg, c.errMsg);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SmsCtrlBalanceTest,
    ::testing::Values(BalanceCase{"Number", "120", true, 120, kKept}, BalanceCase{"Zero", "0", true, 0, kKept},
                      BalanceCase{"Blanks", " 7\r\n", true, 7, kKept}, BalanceCase{"HalfDown", "2.5", true, 2, kKept},
                      BalanceCase{"HalfUp", "3.5", true, 4, kKept}, BalanceCase{"Fraction", "3.6", true, 4, kKept},
                      BalanceCase{"WrongPassword", "-2", false, 0, QStringLiteral("用户名或者密码错误")},
                      // the code is read without the blanks and line breaks around it
                      BalanceCase{"WrongPasswordLineBreak", "-2\r\n", false, 0, QStringLiteral("用户名或者密码错误")},
                      BalanceCase{"NoBalanceBlanks", " -8 \n", false, 0, QStringLiteral("余额不足")},
                      BalanceCase{"UnknownNegative", "-4", false, 0, QStringLiteral("未知错误")},
                      BalanceCase{"NoNumber", "abc", false, 42, kFail}, BalanceCase{"Empty", "", false, 42, kFail},
                      BalanceCase{"TooLarge", "99999999999", false, 42, kFail}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SmsCtrlTest, GetBalanceAsksWithTheFormInQueryAndBody)
{
    ASSERT_TRUE(client.GetBalance());

    EXPECT_EQ(client.Balance, 100000);
    const QByteArray body = "action=interface&op=getbalance&username=demo&userpwd=demo123";
    EXPECT_EQ(sandbox().lastRequest(QStringLiteral("getbalance"))->target, "/index.php?" + body);
    EXPECT_EQ(sandbox().lastRequest(QStringLiteral("getbalance"))->body, body);
}

TEST_F(SmsCtrlTest, ChangePasswordChangesTheAccountButNotTheProperty)
{
    QString oldpass = QStringLiteral(" demo123 ");
    QString newpass = QStringLiteral(" 新 ");

    ASSERT_TRUE(client.ChangePassword(oldpass, newpass));

    EXPECT_EQ(oldpass, QStringLiteral("demo123"));
    EXPECT_EQ(newpass, QStringLiteral("新"));
    EXPECT_EQ(client.password, QStringLiteral("demo123"));
    EXPECT_EQ(sandbox().account(QStringLiteral("demo"))->password, QStringLiteral("新"));
    const QByteArray body = "username=demo&userpwd=demo123&newpwd=%E6%96%B0";
    EXPECT_EQ(sandbox().lastRequest(QStringLiteral("changepassword"))->target,
              "/index.php?action=interface&op=changepassword&" + body);
    EXPECT_EQ(sandbox().lastRequest(QStringLiteral("changepassword"))->body, body);
}

struct NumberReplyCase
{
    QByteArray reply;
    bool result;
    QString errMsg;
};

class SmsCtrlChangePasswordTest : public SmsCtrlTest, public ::testing::WithParamInterface<NumberReplyCase>
{
};

TEST_P(SmsCtrlChangePasswordTest, SucceedsOnlyOnOne)
{
    sandbox().scriptReply(QStringLiteral("changepassword"), GetParam().reply);

    EXPECT_EQ(changePassword(QStringLiteral("demo123"), QStringLiteral("n")), GetParam().result);

    EXPECT_EQ(client.ErrMsg, GetParam().errMsg);
}

INSTANTIATE_TEST_SUITE_P(Replies, SmsCtrlChangePasswordTest,
                         ::testing::Values(NumberReplyCase{"1", true, kKept},
                                           NumberReplyCase{"0", false, QStringLiteral("操作成功")},
                                           NumberReplyCase{"2", false, QStringLiteral("操作成功")},
                                           NumberReplyCase{"-2", false, QStringLiteral("用户名或者密码错误")},
                                           NumberReplyCase{"-2\r\n", false, QStringLiteral("用户名或者密码错误")},
                                           NumberReplyCase{"abc", false, kFail},
                                           NumberReplyCase{"40000", false, kFail}),
                         NameFrom(&NumberReplyCase::reply));

class SmsCtrlAddWhiteTest : public SmsCtrlTest, public ::testing::WithParamInterface<NumberReplyCase>
{
};

TEST_P(SmsCtrlAddWhiteTest, TrueOnlyForTheNumberOneAndNeverTouchesErrMsg)
{
    sandbox().scriptReply(QStringLiteral("putwhitelist"), GetParam().reply);

    EXPECT_EQ(client.addWhite(QStringLiteral("13800000000")), GetParam().result);

    EXPECT_EQ(client.ErrMsg, kKept);
}

INSTANTIATE_TEST_SUITE_P(Replies, SmsCtrlAddWhiteTest,
                         ::testing::Values(NumberReplyCase{"1", true, kKept}, NumberReplyCase{"ok", false, kKept},
                                           NumberReplyCase{"0", false, kKept}, NumberReplyCase{"-2", false, kKept},
                                           NumberReplyCase{"", false, kKept}, NumberReplyCase{"1.5", false, kKept}),
                         NameFrom(&NumberReplyCase::reply));

TEST_F(SmsCtrlTest, AddWhiteUploadsTheNumberUnencoded)
{
    ASSERT_TRUE(client.addWhite(QVariant(qlonglong(13800000000LL))));

    EXPECT_EQ(sandbox().whiteList(), QStringList{QStringLiteral("13800000000")});
    EXPECT_EQ(sandbox().lastRequest(QStringLiteral("putwhitelist"))->body,
              "action=interface&op=putwhitelist&username=demo&userpwd=demo123&mobile=13800000000");
}

// Every operation against a platform that fails at the transport level.
enum class Operation
{
    Send,
    Balance,
    ChangePassword,
    Login,
    AddWhite
};
enum class Transport
{
    Status500,
    Dropped,
    TimedOut,
    Unreachable,
    UnknownHost
};

// What a failed sign-in says after the connection text.
QString loginDescription(Transport transport)
{
    switch (transport) {
    case Transport::Status500:
        return QStringLiteral("服务器返回错误状态 500");
    case Transport::Dropped:
        return QStringLiteral("与服务器的连接中断");
    case Transport::TimedOut:
        return QStringLiteral("连接超时");
    case Transport::Unreachable:
        return QStringLiteral("无法连接到服务器");
    case Transport::UnknownHost:
        return QStringLiteral("找不到服务器地址");
    }
    return QString();
}

class SmsCtrlTransportTest : public SmsCtrlTest, public ::testing::WithParamInterface<std::tuple<Operation, Transport>>
{
protected:
    bool run(Operation op)
    {
        switch (op) {
        case Operation::Send:
            return send(QStringLiteral("hi"), QStringLiteral("13800000000"));
        case Operation::Balance:
            return client.GetBalance();
        case Operation::ChangePassword:
            return changePassword(QStringLiteral("demo123"), QStringLiteral("n"));
        case Operation::Login:
            return login(QStringLiteral("demo"), QStringLiteral("demo123"));
        case Operation::AddWhite:
            return client.addWhite(QStringLiteral("13800000000"));
        }
        return true;
    }
};

TEST_P(SmsCtrlTransportTest, FailsWithTheConnectionText)
{
    const auto [op, transport] = GetParam();
    switch (transport) {
    case Transport::Status500:
        sandbox().setHttpStatus(QStringLiteral("*"), 500);
        break;
    case Transport::Dropped:
        sandbox().dropConnection(QStringLiteral("*"));
        break;
    case Transport::TimedOut:
        http::setTimeoutOverride(300, 300);
        sandbox().setDelay(QStringLiteral("*"), 2000);
        break;
    case Transport::Unreachable: {
        SandboxServer closed;
        const int port = closed.start();
        closed.stop();
        qputenv("QUORVEL_SMS_HOST", QByteArray("127.0.0.1:") + QByteArray::number(port));
        break;
    }
    case Transport::UnknownHost:
        qputenv("QUORVEL_SMS_HOST", QByteArray("quorvel-test.invalid"));
        break;
    }
    client.Balance = 9;
    client.ReturnSmsID = QStringLiteral("old");

    EXPECT_FALSE(run(op));

    // A sign-in adds a description the user can read; the other operations keep the text alone.
    if (op == Operation::AddWhite) {
        EXPECT_EQ(client.ErrMsg, kKept);
    } else if (op == Operation::Login) {
        EXPECT_EQ(client.ErrMsg, kFail + QStringLiteral("\r\n") + loginDescription(transport));
    } else {
        EXPECT_EQ(client.ErrMsg, kFail);
    }
    EXPECT_EQ(client.Balance, 9);
    EXPECT_EQ(client.ReturnSmsID, QStringLiteral("old"));
    EXPECT_EQ(g_CharsPerSms.load(), 70);
}

INSTANTIATE_TEST_SUITE_P(All, SmsCtrlTransportTest,
                         ::testing::Combine(::testing::Values(Operation::Send, Operation::Balance,
                                                              Operation::ChangePassword, Operation::Login,
                                                              Operation::AddWhite),
                                            ::testing::Values(Transport::Status500, Transport::Dropped,
                                                              Transport::TimedOut, Transport::Unreachable,
                                                              Transport::UnknownHost)),
                         [](const auto& info) {
                             return CaseName(casename::text(std::get<0>(info.param)) + QLatin1Char('_') +
                                                 casename::text(std::get<1>(info.param)),
                                             info.index);
                         });

// A failed send says whether it may have been charged: only a request that left and got no
// answer about it may have been; a refusal or a request that never left was not.
struct SendFateCase
{
    const char* name;
    std::function<void(SandboxServer&)> arrange;
    bool unconfirmed;
};

class SmsCtrlSendFateTest : public SmsCtrlTest, public ::testing::WithParamInterface<SendFateCase>
{
};

TEST_P(SmsCtrlSendFateTest, SaysWhetherTheSendMayHaveBeenCharged)
{
    const SendFateCase& c = GetParam();
    ASSERT_TRUE(send(QStringLiteral("hi"), QStringLiteral("13800000000")));
    http::setTimeoutOverride(1000, 300);
    SandboxServer closed;
    if (c.arrange) {
        c.arrange(sandbox());
    } else {
        qputenv("QUORVEL_SMS_HOST", QByteArray("127.0.0.1:") + QByteArray::number(closed.start()));
        closed.stop();
    }

    EXPECT_FALSE(send(QStringLiteral("hi"), QStringLiteral("13800000001")));
    EXPECT_EQ(client.sendUnconfirmed(), c.unconfirmed);
    EXPECT_EQ(client.ErrMsg, c.name == std::string("Refused") ? QStringLiteral("余额不足") : kFail);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SmsCtrlSendFateTest,
    ::testing::Values(
        SendFateCase{"Refused", [](SandboxServer& s) { s.scriptReply(QStringLiteral("sendmess"), sendXml("-8")); },
                     false},
        SendFateCase{"Unreachable", {}, false},
        SendFateCase{"NotFound", [](SandboxServer& s) { s.setHttpStatus(QStringLiteral("sendmess"), 404); }, false},
        SendFateCase{"ServerError", [](SandboxServer& s) { s.setHttpStatus(QStringLiteral("sendmess"), 500); }, true},
        SendFateCase{"TimedOut", [](SandboxServer& s) { s.setDelay(QStringLiteral("sendmess"), 2000); }, true},
        SendFateCase{"Dropped", [](SandboxServer& s) { s.dropConnection(QStringLiteral("sendmess")); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

QStringList g_logged;

void keepMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_logged.append(message);
}

// The user reads the connection text and a description in Chinese; libcurl's English reason
// goes to the log only.
TEST_F(SmsCtrlTest, UnreachableHostLoginShowsADescriptionAndLogsTheCause)
{
    SandboxServer closed;
    const int port = closed.start();
    closed.stop();
    qputenv("QUORVEL_SMS_HOST", QByteArray("127.0.0.1:") + QByteArray::number(port));
    g_logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepMessage);

    const bool ok = login(QStringLiteral("demo"), QStringLiteral("demo123"));
    const QString loginText = client.ErrMsg;
    QString sendNumbers = QStringLiteral("13800000000");
    QString sendText = QStringLiteral("hi");
    const bool sent = client.SendMessage(sendText, sendNumbers, QStringLiteral("0"));
    qInstallMessageHandler(previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(loginText, kFail + QStringLiteral("\r\n无法连接到服务器"));
    EXPECT_FALSE(sent);
    EXPECT_EQ(client.ErrMsg, kFail);
    ASSERT_EQ(g_logged.size(), 2);
    EXPECT_TRUE(g_logged.first().contains(QStringLiteral("onnect"))) << g_logged.first().toStdString();
    EXPECT_FALSE(g_logged.first().contains(QStringLiteral("demo123"))) << "the log never shows a password";
}

// All requests of one client share a connection, so a merge run of many rows pays for one.
TEST_F(SmsCtrlTest, OneClientKeepsOneConnection)
{
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(send(QStringLiteral("hi"), QString::number(13800000000LL + i)));
        ASSERT_TRUE(client.GetBalance());
    }
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("sendmess")), 5);
    EXPECT_EQ(sandbox().connectionCount(), 1);
}

TEST_F(SmsCtrlTest, TwoThreadsShareOneClient)
{
    constexpr int kRounds = 40;
    int balances = 0;
    int uploads = 0;
    std::thread window([&] {
        for (int i = 0; i < kRounds; ++i)
            balances += client.GetBalance() ? 1 : 0;
    });
    std::thread worker([&] {
        for (int i = 0; i < kRounds; ++i)
            uploads += client.addWhite(QString::number(13800000000LL + i)) ? 1 : 0;
    });
    window.join();
    worker.join();

    EXPECT_EQ(balances, kRounds);
    EXPECT_EQ(uploads, kRounds);
    EXPECT_EQ(sandbox().whiteList().size(), kRounds);
    EXPECT_EQ(client.Balance, 100000);
}

} // namespace
