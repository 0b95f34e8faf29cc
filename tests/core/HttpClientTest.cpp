#include "HttpClient.h"
#include "CaseName.h"
#include "QtPrinters.h"
#include "SandboxFixture.h"
#include "ScopedEnv.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <optional>

namespace {

struct HostCase
{
    std::optional<QByteArray> env;
    QString authority;
};

class SmsPlatformAuthorityTest : public ::testing::TestWithParam<HostCase>
{
};

TEST_P(SmsPlatformAuthorityTest, DefaultsThePort)
{
    ScopedEnv env("QUORVEL_SMS_HOST", GetParam().env);
    EXPECT_EQ(http::smsPlatformAuthority(), GetParam().authority);
}

INSTANTIATE_TEST_SUITE_P(Environment, SmsPlatformAuthorityTest,
                         ::testing::Values(HostCase{std::nullopt, QStringLiteral("sms.quorvel.cn:3000")},
                                           HostCase{QByteArray(""), QStringLiteral("sms.quorvel.cn:3000")},
                                           HostCase{QByteArray("127.0.0.1:18080"), QStringLiteral("127.0.0.1:18080")},
                                           HostCase{QByteArray("example.org"), QStringLiteral("example.org:3000")},
                                           HostCase{QByteArray(" host:81 "), QStringLiteral("host:81")},
                                           HostCase{QByteArray("http://host:82/"), QStringLiteral("host:82")},
                                           HostCase{QByteArray("[::1]"), QStringLiteral("[::1]:3000")},
                                           HostCase{QByteArray("[::1]:8080"), QStringLiteral("[::1]:8080")},
                                           HostCase{QByteArray("::1"), QStringLiteral("[::1]:3000")}),
                         NameFrom(&HostCase::authority));

class SupportHostTest : public ::testing::TestWithParam<HostCase>
{
};

TEST_P(SupportHostTest, TakesTheEnvironmentAsGiven)
{
    ScopedEnv env("QUORVEL_SUPPORT_HOST", GetParam().env);
    EXPECT_EQ(http::supportHost(), GetParam().authority);
}

INSTANTIATE_TEST_SUITE_P(Environment, SupportHostTest,
                         ::testing::Values(HostCase{std::nullopt, QStringLiteral("www.quorvel.cn")},
                                           HostCase{QByteArray("127.0.0.1:9"), QStringLiteral("127.0.0.1:9")},
                                           HostCase{QByteArray("support.example"), QStringLiteral("support.example")}),
                         NameFrom(&HostCase::authority));

class HttpClientTest : public SandboxFixture
{
protected:
    void TearDown() override
    {
        http::clearTimeoutOverride();
        SandboxFixture::TearDown();
    }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:") + QString::number(sandboxPort()) + path;
    }
};

TEST_F(HttpClientTest, GetCarriesTheFormHeadersAndNoBody)
{
    const http::Response response = http::get(url(QStringLiteral("/keyword/2011.txt")));

    ASSERT_TRUE(response.ok) << response.error.toStdString();
    EXPECT_EQ(response.status, 200);
    const auto request = sandbox().lastRequest(QStringLiteral("keyword"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, "GET");
    EXPECT_EQ(request->contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(request->contentLength, "0");
    EXPECT_TRUE(request->body.isEmpty());
}

TEST_F(HttpClientTest, PostSendsTheBodyWithItsLength)
{
    const QByteArray body(5000, 'a'); // large enough that no 100-continue round trip may be asked for
    QElapsedTimer timer;
    timer.start();

    const http::Response response = http::post(url(QStringLiteral("/index.php?action=interface&op=x")), body);

    ASSERT_TRUE(response.ok) << response.error.toStdString();
    EXPECT_LT(timer.elapsed(), 900);
    const auto request = sandbox().lastRequest(QStringLiteral("x"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, "POST");
    EXPECT_EQ(request->body, body);
    EXPECT_EQ(request->contentLength, "5000");
}

TEST_F(HttpClientTest, AnErrorStatusIsStillAReply)
{
    const http::Response response = http::get(url(QStringLiteral("/no/such/page")));

    EXPECT_TRUE(response.ok);
    EXPECT_EQ(response.status, 404);
    EXPECT_FALSE(response.body.isEmpty());
}

TEST_F(HttpClientTest, ATransportFailureHasADescriptionAndNoBody)
{
    sandbox().dropConnection(QStringLiteral("keyword"));

    const http::Response response = http::get(url(QStringLiteral("/keyword/2011.txt")));

    EXPECT_FALSE(response.ok);
    EXPECT_FALSE(response.error.isEmpty());
    EXPECT_TRUE(response.body.isEmpty());
}

TEST_F(HttpClientTest, TheTotalTimeOutEndsAHungRequest)
{
    sandbox().setDelay(QStringLiteral("keyword"), 3000);
    http::Options options;
    options.totalTimeoutMs = 250;
    QElapsedTimer timer;
    timer.start();

    const http::Response response = http::get(url(QStringLiteral("/keyword/2011.txt")), options);

    EXPECT_FALSE(response.ok);
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST_F(HttpClientTest, TheOverrideShortensEveryRequest)
{
    sandbox().setDelay(QStringLiteral("keyword"), 3000);
    http::setTimeoutOverride(200, 200);
    QElapsedTimer timer;
    timer.start();

    EXPECT_FALSE(http::get(url(QStringLiteral("/keyword/2011.txt"))).ok);
    EXPECT_LT(timer.elapsed(), 2000);

    http::clearTimeoutOverride();
    sandbox().clearFaults();
    EXPECT_TRUE(http::get(url(QStringLiteral("/keyword/2011.txt"))).ok);
}

} // namespace

namespace {

// Addresses come from configuration files too (update.ini): nothing but http and https may be
// fetched, neither directly nor through a redirect, and a redirect chain ends.
struct AddressCase
{
    const char* name;
    const char* directUrl;    // requested as it is; empty: the sandbox's /keyword/ page
    const char* redirectTo;   // the sandbox answers with this redirect first; "self": to itself
    bool ok;
    const char* errorHas = ""; // part of the failure's reason
};

void PrintTo(const AddressCase& c, std::ostream* os)
{
    *os << c.name;
}

class HttpAddressTest : public HttpClientTest, public ::testing::WithParamInterface<AddressCase>
{
};

TEST_P(HttpAddressTest, OnlyHttpAndHttpsAreFetched)
{
    const AddressCase& c = GetParam();
    QString target = url(QStringLiteral("/keyword/2011.txt"));
    if (c.directUrl[0])
        target = QString::fromLatin1(c.directUrl);
    if (c.redirectTo[0]) {
        SandboxServer::Fault fault;
        fault.redirectTo = QByteArray(c.redirectTo) == "self" ? target.toUtf8() : QByteArray(c.redirectTo);
        // Once, or for ever when the chain loops.
        sandbox().injectFault(QStringLiteral("keyword"), fault, QByteArray(c.redirectTo) == "self" ? -1 : 1);
    }

    const http::Response response = http::get(target);

    EXPECT_EQ(response.ok, c.ok) << response.error.toStdString();
    if (!c.ok) {
        EXPECT_TRUE(response.body.isEmpty());
    }
    EXPECT_TRUE(response.error.contains(QString::fromLatin1(c.errorHas))) << response.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, HttpAddressTest,
    ::testing::Values(AddressCase{"PlainHttp", "", "", true},
                      AddressCase{"LocalFile", "file:///etc/hostname", "", false, "http and https"},
                      AddressCase{"UpperCaseFile", "FILE:///etc/hostname", "", false},
                      AddressCase{"Ftp", "ftp://127.0.0.1/x", "", false},
                      AddressCase{"NoScheme", "127.0.0.1/x", "", false},
                      AddressCase{"RedirectToFile", "", "file:///etc/hostname", false},
                      AddressCase{"RedirectToFtp", "", "ftp://127.0.0.1:1/x", false, "rotocol"},
                      AddressCase{"EndlessRedirects", "", "self", false, "edirect"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReplySizeCase
{
    const char* name;
    int bytes;
    qsizetype limit;
    bool ok;
};

void PrintTo(const ReplySizeCase& c, std::ostream* os)
{
    *os << c.name;
}

class HttpReplySizeTest : public HttpClientTest, public ::testing::WithParamInterface<ReplySizeCase>
{
};

TEST_P(HttpReplySizeTest, AReplyOverTheLimitIsRefused)
{
    const ReplySizeCase& c = GetParam();
    sandbox().scriptReply(QStringLiteral("keyword"), QByteArray(c.bytes, 'x'));
    http::Options options;
    options.maxReplyBytes = c.limit;

    const http::Response response = http::get(url(QStringLiteral("/keyword/2011.txt")), options);

    EXPECT_EQ(response.ok, c.ok) << response.error.toStdString();
    EXPECT_EQ(response.body.size(), c.ok ? c.bytes : 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, HttpReplySizeTest,
                         ::testing::Values(ReplySizeCase{"AtTheLimit", 100, 100, true},
                                           ReplySizeCase{"OneByteOver", 101, 100, false},
                                           ReplySizeCase{"DefaultLimitHolds", 9 * 1024 * 1024, http::kMaxReplyBytes,
                                                         false},
                                           ReplySizeCase{"UnderTheDefault", 64 * 1024, http::kMaxReplyBytes, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A session's requests travel on one kept-alive connection; one-off requests each open their own.
TEST_F(HttpClientTest, ASessionKeepsOneConnectionForItsRequests)
{
    {
        http::Session session;
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(session.post(url(QStringLiteral("/index.php?action=interface&op=x")), "a=1").ok);
            ASSERT_TRUE(session.get(url(QStringLiteral("/keyword/2011.txt"))).ok);
        }
    }
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("x")), 4);
    EXPECT_EQ(sandbox().connectionCount(), 1);

    sandbox().clearRecords();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(http::get(url(QStringLiteral("/keyword/2011.txt"))).ok);
    EXPECT_EQ(sandbox().connectionCount(), 3);
}

} // namespace

namespace {

// Whether a failed request may have reached the server decides whether a send that failed may
// be repeated: only one that never left may.
enum class Fate { Unreachable, TimedOutWhileAnswering, Dropped };

struct FateCase
{
    const char* name;
    Fate fate;
    http::Failure failure;
    bool sent;
};

class HttpRequestFateTest : public HttpClientTest, public ::testing::WithParamInterface<FateCase>
{
};

TEST_P(HttpRequestFateTest, TellsWhetherTheRequestLeft)
{
    const FateCase& c = GetParam();
    http::Session session;
    // The session has carried a request before: what it counted then must not count now.
    ASSERT_TRUE(session.post(url(QStringLiteral("/index.php?action=interface&op=x")), "a=1").ok);
    QString target = url(QStringLiteral("/index.php?action=interface&op=x"));
    SandboxServer closed;
    switch (c.fate) {
    case Fate::Unreachable:
        target = QStringLiteral("http://127.0.0.1:%1/index.php?action=interface&op=x").arg(closed.start());
        closed.stop();
        break;
    case Fate::TimedOutWhileAnswering:
        sandbox().setDelay(QStringLiteral("x"), 3000);
        http::setTimeoutOverride(1000, 250);
        break;
    case Fate::Dropped:
        sandbox().dropConnection(QStringLiteral("x"));
        break;
    }

    const http::Response response = session.post(target, "a=2");

    EXPECT_FALSE(response.ok);
    EXPECT_EQ(response.failure, c.failure) << response.error.toStdString();
    EXPECT_EQ(response.requestSent, c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, HttpRequestFateTest,
    ::testing::Values(FateCase{"Unreachable", Fate::Unreachable, http::Failure::CouldNotConnect, false},
                      FateCase{"TimedOutWhileAnswering", Fate::TimedOutWhileAnswering, http::Failure::TimedOut, true},
                      FateCase{"Dropped", Fate::Dropped, http::Failure::ConnectionLost, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
