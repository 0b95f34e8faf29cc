#include "CaseName.h"
#include "CodePage.h"
#include "GlobalState.h"
#include "HttpClient.h"
#include "QtPrinters.h"
#include "SandboxFixture.h"
#include "ScopedEnv.h"
#include "SmsCtrl.h"

#include <QFile>
#include <QRegularExpression>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class SandboxServerTest : public SandboxFixture
{
protected:
    http::Response get(const QString& path) { return http::get(QStringLiteral("http://") + authority() + path); }
    QString authority() const { return QStringLiteral("127.0.0.1:") + QString::number(sandboxPort()); }
};

TEST_F(SandboxServerTest, UpdateQueryNamesTheLatestVersionAndAPackageHere)
{
    sandbox().setLatestVersion(QStringLiteral("2.0.1"));
    sandbox().setPackage(QStringLiteral("2.0.1.pag"), QByteArray("\x00\x01pkg", 5));

    const http::Response reply = get(QStringLiteral("/update.php?username=%D5%C5"));

    ASSERT_TRUE(reply.ok);
    const QStringList lines = codepage::decode(reply.body).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("2.0.1"));
    EXPECT_EQ(lines[1], QStringLiteral("http://") + authority() + QStringLiteral("/update/2.0.1.pag"));
    EXPECT_EQ(sandbox().lastRequest(QStringLiteral("update"))->target, "/update.php?username=%D5%C5");

    sandbox().setPackageChunked(true);
    const http::Response package = http::get(lines[1]);
    ASSERT_TRUE(package.ok);
    EXPECT_EQ(package.body, QByteArray("\x00\x01pkg", 5));
    EXPECT_EQ(get(QStringLiteral("/update/9.pag")).status, 404);
}

TEST_F(SandboxServerTest, KeywordListIsGbkLinesAndPagesAreChineseHtml)
{
    sandbox().setKeywords({QStringLiteral("发票"), QStringLiteral("赌博")});

    const http::Response words = get(QStringLiteral("/keyword/2011.txt"));
    ASSERT_TRUE(words.ok);
    EXPECT_EQ(words.body, codepage::encode(QStringLiteral("发票\r\n赌博")));

    for (const char* page : {"/parts/public.html", "/parts/newWeather.html", "/parts/service.html"}) {
        const http::Response reply = get(QString::fromLatin1(page));
        EXPECT_EQ(reply.status, 200) << page;
        EXPECT_TRUE(QString::fromUtf8(reply.body).contains(QStringLiteral("<html"))) << page;
    }
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("parts")), 3);
}

TEST_F(SandboxServerTest, AFaultLastsForTheGivenNumberOfRequests)
{
    sandbox().scriptReply(QStringLiteral("keyword"), "scripted", 2);

    EXPECT_EQ(get(QStringLiteral("/keyword/2011.txt")).body, "scripted");
    EXPECT_EQ(get(QStringLiteral("/keyword/2011.txt")).body, "scripted");
    EXPECT_NE(get(QStringLiteral("/keyword/2011.txt")).body, "scripted");
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("keyword")), 3);
}

struct PartsCase
{
    int charsPerSms;
    int length;
    int parts;
};

class SandboxChargeTest : public SandboxFixture, public ::testing::WithParamInterface<PartsCase>
{
};

TEST_P(SandboxChargeTest, ChargesNumbersTimesParts)
{
    const PartsCase& c = GetParam();
    sandbox().addAccount({QStringLiteral("u"), QStringLiteral("p"), 1000, c.charsPerSms});
    SmsCtrl client;
    client.username = QStringLiteral("u");
    client.password = QStringLiteral("p");
    QString text(c.length, QChar(0x4E2D));
    QString numbers = QStringLiteral("13800000000;13800000001;13800000002");

    ASSERT_TRUE(client.SendMessage(text, numbers, QStringLiteral("0"))) << client.ErrMsg.toStdString();

    EXPECT_EQ(sandbox().sends().last().parts, c.parts);
    EXPECT_EQ(sandbox().account(QStringLiteral("u"))->balance, 1000 - 3 * c.parts);
}

INSTANTIATE_TEST_SUITE_P(Lengths, SandboxChargeTest,
                         ::testing::Values(PartsCase{70, 1, 1}, PartsCase{70, 70, 1}, PartsCase{70, 71, 2},
                                           PartsCase{70, 130, 2}, PartsCase{70, 131, 3}, PartsCase{60, 60, 1},
                                           PartsCase{60, 61, 2}),
                         NameFrom(&PartsCase::length));

TEST(SandboxProgramTest, ServesAnAccountsFileAndStopsOnSigterm)
{
    const QString program = QStringLiteral(QUORVEL_PROGRAM_DIR "/quorvel-sandbox");
    if (!QFile::exists(program))
        GTEST_SKIP() << "quorvel-sandbox is not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile accounts(dir.filePath(QStringLiteral("accounts.txt")));
    ASSERT_TRUE(accounts.open(QIODevice::WriteOnly));
    accounts.write("# name password balance chars\n\n李四 secret 250 60\n");
    accounts.close();
    SandboxServer probe;
    const int port = probe.start();
    probe.stop();

    QProcess process;
    process.start(program, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                            QStringLiteral("--accounts"), accounts.fileName()});
    ASSERT_TRUE(process.waitForReadyRead(5000));
    EXPECT_EQ(process.readLine(), QByteArray("listening on 127.0.0.1:") + QByteArray::number(port) + "\n");

    ScopedEnv host("QUORVEL_SMS_HOST", QByteArray("127.0.0.1:") + QByteArray::number(port));
    ResetGlobalState();
    SmsCtrl client;
    QString user = QStringLiteral("李四");
    QString pass = QStringLiteral("secret");
    EXPECT_TRUE(client.Login(user, pass)) << client.ErrMsg.toStdString();
    EXPECT_EQ(client.Balance, 250);
    EXPECT_EQ(g_CharsPerSms.load(), 60);
    ResetGlobalState();

    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST(SandboxProgramTest, RefusesANonLoopbackAddress)
{
    const QString program = QStringLiteral(QUORVEL_PROGRAM_DIR "/quorvel-sandbox");
    if (!QFile::exists(program))
        GTEST_SKIP() << "quorvel-sandbox is not built";
    QProcess process;
    process.start(program, {QStringLiteral("--listen"), QStringLiteral("0.0.0.0:18099")});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_NE(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
}

} // namespace

namespace {

// A tester reads what arrived from the sandbox's own output: one line per request.
TEST_F(SandboxServerTest, LogsOneLinePerRequestWithItsCode)
{
    QList<QByteArray> lines;
    std::mutex linesMutex;
    sandbox().setTrafficLog([&](const QByteArray& line) {
        std::lock_guard<std::mutex> lock(linesMutex);
        lines.append(line);
    });
    SmsCtrl client;
    client.username = QStringLiteral("demo");
    client.password = QStringLiteral("demo123");
    QString text = QStringLiteral("会员日通知");
    QString numbers = QStringLiteral("13800000001;13800000002;13800000003");
    ASSERT_TRUE(client.SendMessage(text, numbers, QStringLiteral("0")));
    client.password = QStringLiteral("wrong");
    ASSERT_FALSE(client.GetBalance());
    sandbox().setHttpStatus(QStringLiteral("getbalance"), 500, 1);
    ASSERT_FALSE(client.GetBalance());
    sandbox().setTrafficLog(nullptr);

    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "));
    for (const QByteArray& line : lines)
        EXPECT_TRUE(stamp.match(QString::fromUtf8(line)).hasMatch()) << line.constData();
    EXPECT_TRUE(lines[0].endsWith(" op=sendmess user=demo numbers=3 length=5 code=1")) << lines[0].constData();
    EXPECT_TRUE(lines[1].endsWith(" op=getbalance user=demo numbers=0 length=0 code=-2")) << lines[1].constData();
    EXPECT_TRUE(lines[2].endsWith(" op=getbalance user=demo numbers=0 length=0 code=HTTP500")) << lines[2].constData();
}

// The web panels ask for the site's icon beside each page; that is a page request like theirs,
// not an error in the log.
TEST_F(SandboxServerTest, ServesAFaviconAndLogsItAsAPage)
{
    QList<QByteArray> lines;
    std::mutex linesMutex;
    sandbox().setTrafficLog([&](const QByteArray& line) {
        std::lock_guard<std::mutex> lock(linesMutex);
        lines.append(line);
    });

    const http::Response reply = get(QStringLiteral("/favicon.ico"));
    sandbox().setTrafficLog(nullptr);

    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.body.startsWith("\x89PNG")) << reply.body.left(16).toHex().constData();
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("parts")), 1);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(" op=parts user=- numbers=0 length=0 code=-")) << lines[0].constData();
}

// Connections whose own end is the loopback port and that wait in TIME-WAIT.
int timeWaitCount(int port)
{
    int count = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            // sl local_address rem_address st ...; TIME-WAIT is state 06
            if (fields.size() > 3 &&
                fields[1].endsWith(':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0')) &&
                fields[3] == "06")
                ++count;
        }
    }
    return count;
}

// A client that keeps its connection after one request, as the web panels' engine does.
int keptConnection(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<quint16>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    const char request[] = "GET /keyword/2011.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    char reply[256];
    if (::send(fd, request, sizeof(request) - 1, 0) <= 0 || ::recv(fd, reply, sizeof(reply), 0) <= 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST(SandboxListenTest, RestartsOnAPortWhoseConnectionsWaitInTimeWait)
{
    SandboxServer server;
    const int port = server.start();
    ASSERT_GT(port, 0) << server.listenError().toStdString();
    const int client = keptConnection(port);
    ASSERT_GE(client, 0);
    // The stop ends the kept connection from the server's side, so that side waits in
    // TIME-WAIT once the client has closed too.
    server.stop();
    char rest[256];
    while (::recv(client, rest, sizeof(rest), 0) > 0) {
    }
    ::close(client);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeWaitCount(port) > 0; }, 2000));

    EXPECT_EQ(server.start(port), port) << server.listenError().toStdString();
    EXPECT_TRUE(http::get(QStringLiteral("http://127.0.0.1:%1/keyword/2011.txt").arg(port)).ok);
}

TEST(SandboxListenTest, ABusyPortIsRefusedWithTheSystemsReason)
{
    SandboxServer first;
    const int port = first.start();
    ASSERT_GT(port, 0);

    SandboxServer second;
    EXPECT_EQ(second.start(port), 0);
    EXPECT_EQ(second.listenError(), QString::fromLocal8Bit(std::strerror(EADDRINUSE)));
    // and the first one still has the port to itself
    EXPECT_TRUE(http::get(QStringLiteral("http://127.0.0.1:%1/keyword/2011.txt").arg(port)).ok);
    EXPECT_EQ(first.requestCount(QStringLiteral("keyword")), 1);
}

TEST(SandboxProgramTest, NamesTheRealReasonWhenItCannotListen)
{
    const QString program = QStringLiteral(QUORVEL_PROGRAM_DIR "/quorvel-sandbox");
    if (!QFile::exists(program))
        GTEST_SKIP() << "quorvel-sandbox is not built";
    SandboxServer busy;
    const int port = busy.start();
    ASSERT_GT(port, 0);

    QProcess process;
    process.start(program, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(process.readAllStandardError()),
              QStringLiteral("quorvel-sandbox: cannot listen on 127.0.0.1:%1: %2\n")
                  .arg(port)
                  .arg(QString::fromLocal8Bit(std::strerror(EADDRINUSE))));
}

} // namespace
