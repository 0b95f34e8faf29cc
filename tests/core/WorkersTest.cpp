#include "CodePage.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "HttpClient.h"
#include "MultiThread.h"
#include "SandboxFixture.h"
#include "SmsCtrl.h"
#include "KeywordWorker.h"
#include "UpdateCheck.h"
#include "UpdateCheckStatus.h"
#include "UpdateConfig.h"
#include "WhiteListWorker.h"
#include "TestProgramFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Polls cond every 20 ms for up to timeoutMs; true when it became true.
template <typename Cond> bool waitUntil(Cond cond, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!cond()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

void writeUpdateIni(const TestProgramFolder& folder, const QString& url)
{
    QFile file(folder.path(QStringLiteral("update.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(codepage::encode(url + QStringLiteral("\r\n")));
}

// ---- MultiThread ------------------------------------------------------------------------

TEST(MultiThreadTest, AddAndStartNeedAProcedure)
{
    MultiThread thread;
    EXPECT_FALSE(thread.Start());
    EXPECT_FALSE(thread.Add(MultiThread::Procedure(), 0));
    EXPECT_FALSE(thread.Start());
    EXPECT_FALSE(thread.isRunning());
}

TEST(MultiThreadTest, TerminalWaitsForTheEndAndAlwaysReturnsFalse)
{
    MultiThread thread;
    EXPECT_FALSE(thread.Terminal()); // never started: nothing to do
    std::atomic<bool> finished{false};
    ASSERT_TRUE(thread.Add(
        [&](const MultiThread::StopToken&) {
            std::this_thread::sleep_for(150ms);
            finished = true;
        },
        0));
    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.Terminal());
    EXPECT_TRUE(finished.load());
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.Terminal()); // already ended
}

TEST(MultiThreadTest, TerminalWakesALongPauseAtOnce)
{
    MultiThread thread;
    std::atomic<int> passes{0};
    std::atomic<bool> wokenByStop{false};
    thread.Add(
        [&](const MultiThread::StopToken& stop) {
            while (!stop.stopRequested()) {
                ++passes;
                if (!stop.waitFor(3000)) {
                    wokenByStop = true;
                    return;
                }
            }
        },
        0);
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(waitUntil([&] { return passes.load() == 1; }, 1000));
    QElapsedTimer clock;
    clock.start();
    thread.Terminal();
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(wokenByStop.load());
    EXPECT_EQ(passes.load(), 1);
}

TEST(MultiThreadTest, PauseRunsItsFullTimeWithoutAStopRequest)
{
    MultiThread thread;
    std::atomic<bool> completed{false};
    std::atomic<qint64> elapsed{0};
    thread.Add(
        [&](const MultiThread::StopToken& stop) {
            QElapsedTimer clock;
            clock.start();
            completed = stop.waitFor(120);
            elapsed = clock.elapsed();
        },
        0);
    thread.Start();
    ASSERT_TRUE(waitUntil([&] { return !thread.isRunning(); }, 2000));
    thread.Terminal();
    EXPECT_TRUE(completed.load());
    EXPECT_GE(elapsed.load(), 115);
}

TEST(MultiThreadTest, StartsAgainAfterTheThreadEndedAndNotWhileItRuns)
{
    MultiThread thread;
    std::atomic<int> runs{0};
    thread.Add(
        [&](const MultiThread::StopToken& stop) {
            ++runs;
            stop.waitFor(3000);
        },
        0);
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(waitUntil([&] { return runs.load() == 1; }, 1000));
    EXPECT_FALSE(thread.Start()); // still at work: one thread per object
    thread.Terminal();
    ASSERT_TRUE(thread.Start()); // a stop request of the last run does not stick
    ASSERT_TRUE(waitUntil([&] { return runs.load() == 2; }, 1000));
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(thread.isRunning());
    thread.Terminal();
}

TEST(MultiThreadTest, WorkerThatStopsItselfDoesNotDeadlockAndDestructorJoins)
{
    std::atomic<bool> returned{false};
    {
        MultiThread thread;
        thread.Add(
            [&](const MultiThread::StopToken& stop) {
                EXPECT_FALSE(thread.Terminal()); // from its own thread: no self-join
                EXPECT_TRUE(stop.stopRequested());
                returned = true;
            },
            0);
        thread.Start();
        ASSERT_TRUE(waitUntil([&] { return returned.load(); }, 1000));
    } // the destructor joins
    EXPECT_TRUE(returned.load());
}

TEST(MultiThreadTest, GlobalSlotsAreFourAndStopTogether)
{
    EXPECT_NO_THROW(g_Threads(0));
    EXPECT_NO_THROW(g_Threads(3));
    EXPECT_THROW(g_Threads(4), std::out_of_range);
    EXPECT_THROW(g_Threads(-1), std::out_of_range);
    EXPECT_EQ(&g_Threads(2), &g_Threads(2));

    std::atomic<int> stopped{0};
    for (int i = 2; i <= 3; ++i) {
        g_Threads(i).Add(
            [&](const MultiThread::StopToken& stop) {
                stop.waitFor(3000);
                ++stopped;
            },
            0);
        ASSERT_TRUE(g_Threads(i).Start());
    }
    QElapsedTimer clock;
    clock.start();
    TerminateAllThreads();
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_EQ(stopped.load(), 2);
}

// ---- Update query -----------------------------------------------------------------------

class UpdateQueryTest : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ResetGlobalState();
    }
    void TearDown() override
    {
        http::clearTimeoutOverride();
        SandboxFixture::TearDown();
    }
    QString updateUrl() const
    {
        return QStringLiteral("http://127.0.0.1:") + QString::number(sandboxPort()) +
               QStringLiteral("/update.php?username=demo");
    }
    TestProgramFolder folder;
};

struct UpdateReplyCase
{
    const char* name;
    std::optional<QByteArray> reply; // raw reply; nullopt: the sandbox's HTTP status below
    int status;
    bool ok;
    const char* remote;
};

class UpdateReplyTest : public UpdateQueryTest, public ::testing::WithParamInterface<UpdateReplyCase>
{
};

TEST_P(UpdateReplyTest, FetchLatestVersionReadsTheFirstLine)
{
    const UpdateReplyCase& c = GetParam();
    writeUpdateIni(folder, updateUrl());
    if (c.reply)
        sandbox().setUpdateReply(*c.reply);
    else
        sandbox().setHttpStatus(QStringLiteral("update"), c.status);

    EXPECT_EQ(FetchLatestVersion(), c.ok);
    EXPECT_EQ(g_RemoteVersion.get(), QString::fromUtf8(c.remote));

    const auto request = sandbox().lastRequest(QStringLiteral("update"));
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->method, QByteArray("GET"));
    EXPECT_EQ(request->target, QByteArray("/update.php?username=demo"));
    EXPECT_EQ(request->contentLength, QByteArray("0"));
    EXPECT_EQ(request->contentType, QByteArray("application/x-www-form-urlencoded"));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UpdateReplyTest,
    ::testing::Values(UpdateReplyCase{"TwoLines", QByteArray("2.0.1\r\nhttp://host/update/2.0.1.pag"), 0, true,
                                      "2.0.1"},
                      UpdateReplyCase{"OneLineNoBreak", QByteArray("1.0.9"), 0, true, "1.0.9"},
                      UpdateReplyCase{"Empty", QByteArray(""), 0, false, "0"},
                      UpdateReplyCase{"ErrorPage", std::nullopt, 404, false, "0"},
                      UpdateReplyCase{"ServerError", std::nullopt, 500, false, "0"}),
    [](const ::testing::TestParamInfo<UpdateReplyCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateQueryTest, WithoutUpdateIniTheQueryFailsWithoutARequest)
{
    bool ok = true;
    EXPECT_TRUE(ReadUpdateUrl(&ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_FALSE(FetchLatestVersion());
    EXPECT_EQ(g_RemoteVersion.get(), QStringLiteral("0"));
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("update")), 0);
}

TEST_F(UpdateQueryTest, ReadUpdateUrlDecodesTheFirstLineOnly)
{
    QFile file(folder.path(QStringLiteral("update.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(codepage::encode(QStringLiteral("http://h/update.php?username=张三\r\nsecond\r\n")));
    file.close();
    bool ok = false;
    EXPECT_EQ(ReadUpdateUrl(&ok), QStringLiteral("http://h/update.php?username=张三"));
    EXPECT_TRUE(ok);
}

TEST_F(UpdateQueryTest, UnreachableHostFails)
{
    writeUpdateIni(folder, QStringLiteral("http://127.0.0.1:1/update.php?username=demo"));
    EXPECT_FALSE(FetchLatestVersion());
    EXPECT_EQ(g_RemoteVersion.get(), QStringLiteral("0"));
}

struct UpdateWorkerCase
{
    const char* name;
    bool writeIni;
    bool checked;
    QStringList statuses;
};

class UpdateWorkerTest : public UpdateQueryTest, public ::testing::WithParamInterface<UpdateWorkerCase>
{
};

TEST_P(UpdateWorkerTest, ReportsThroughTheStatusAndAllowsLogin)
{
    const UpdateWorkerCase& c = GetParam();
    if (c.writeIni)
        writeUpdateIni(folder, updateUrl());
    sandbox().setLatestVersion(QStringLiteral("3.1"));
    UpdateCheckStatus& status = UpdateCheckStatus::instance();
    status.setAllowLogin(false);
    QSignalSpy spy(&status, &UpdateCheckStatus::statusChanged);

    MultiThread worker;
    worker.Add(UpdateCheckWorker, 0);
    ASSERT_TRUE(worker.Start());
    // The check ends on its own; a stop would end its request.
    ASSERT_TRUE(waitUntil([&] { return !worker.isRunning(); }, 5000));
    worker.Terminal();

    EXPECT_TRUE(status.allowLogin());
    EXPECT_EQ(g_UpdateChecked.load(), c.checked);
    EXPECT_EQ(g_RemoteVersion.get(), c.checked ? QStringLiteral("3.1") : QStringLiteral("0"));
    QStringList seen;
    for (const QList<QVariant>& args : spy)
        seen << args.at(0).toString();
    EXPECT_EQ(seen, c.statuses);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, UpdateWorkerTest,
    ::testing::Values(UpdateWorkerCase{"Found", true, true, {QStringLiteral("正在检查更新....")}},
                      UpdateWorkerCase{"NoUpdateIni",
                                       false,
                                       false,
                                       {QStringLiteral("正在检查更新...."), QStringLiteral("检查更新失败！")}}),
    [](const ::testing::TestParamInfo<UpdateWorkerCase>& info) { return std::string(info.param.name); });

// ---- Sensitive words --------------------------------------------------------------------

struct KeywordCase
{
    const char* name;
    std::optional<QString> reply; // nullopt: the host answers 500
    QStringList words;
};

class KeywordWorkerTest : public UpdateQueryTest, public ::testing::WithParamInterface<KeywordCase>
{
};

TEST_P(KeywordWorkerTest, SetsTheListOnceTheDownloadEnded)
{
    const KeywordCase& c = GetParam();
    if (c.reply)
        sandbox().scriptReply(QStringLiteral("keyword"), codepage::encode(*c.reply));
    else
        sandbox().setHttpStatus(QStringLiteral("keyword"), 500);
    EXPECT_FALSE(g_SensitiveWords.get().has_value());

    MultiThread worker;
    worker.Add(KeywordWorker, 0);
    worker.Start();
    ASSERT_TRUE(waitUntil([&] { return !worker.isRunning(); }, 5000));
    worker.Terminal();

    const auto words = g_SensitiveWords.get();
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(*words, c.words);
    const auto request = sandbox().lastRequest(QStringLiteral("keyword"));
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->target, QByteArray("/keyword/2011.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    WordLists, KeywordWorkerTest,
    ::testing::Values(KeywordCase{"WithEmptyLine",
                                  QStringLiteral("赌博\r\n\r\n六合彩"),
                                  {QStringLiteral("赌博"), QString(), QStringLiteral("六合彩")}},
                      KeywordCase{"TrailingBreak", QStringLiteral("发票\r\n"), {QStringLiteral("发票"), QString()}},
                      KeywordCase{"EmptyReply", QString(), {}}, KeywordCase{"HostFails", std::nullopt, {}}),
    [](const ::testing::TestParamInfo<KeywordCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateQueryTest, AStalledWordDownloadHoldsTheExitOnlyUntilTheTimeOut)
{
    sandbox().setDelay(QStringLiteral("keyword"), 20000);
    http::setTimeoutOverride(500, 800);
    MultiThread worker;
    worker.Add(KeywordWorker, 0);
    worker.Start();
    std::this_thread::sleep_for(100ms);
    QElapsedTimer clock;
    clock.start();
    worker.Terminal();
    EXPECT_LT(clock.elapsed(), 3000);
    const auto words = g_SensitiveWords.get();
    ASSERT_TRUE(words.has_value());
    EXPECT_TRUE(words->isEmpty());
}

// ---- White-list queue -------------------------------------------------------------------

class WhiteListTest : public UpdateQueryTest
{
protected:
    void SetUp() override
    {
        UpdateQueryTest::SetUp();
        ASSERT_TRUE(folder.hasShippedDatabases());
        folder.makeUserDatabase(QStringLiteral("demo"));
        OpenDatabaseOrThrow(QStringLiteral("demo.mdb"));
        client.username = QStringLiteral("demo");
        client.password = QStringLiteral("demo123");
    }
    void TearDown() override
    {
        worker.Terminal();
        UpdateQueryTest::TearDown();
    }
    int uploaded(const QString& number) const
    {
        return g_Conn
            ->scalar(QStringLiteral("select isUpload from [Preference] where MobilePhone='") + number +
                     QStringLiteral("'"))
            .toInt();
    }
    void startWorker(const QString& database)
    {
        worker.Add([this, database](const MultiThread::StopToken& stop) { WhiteListWorker(stop, &client, database); },
                   0);
        ASSERT_TRUE(worker.Start());
    }
    SmsCtrl client;
    MultiThread worker;
};

TEST_F(WhiteListTest, AddPreferenceQueuesEachNumberOnce)
{
    AddPreference(QStringLiteral("13800138000"));
    AddPreference(QStringLiteral("13800138000"));
    AddPreference(QStringLiteral("1390'0"));
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Preference]")).toInt(), 2);
    EXPECT_EQ(g_Conn
                  ->scalar(QStringLiteral("select count(*) from [Preference] where MobilePhone='13800138000' "
                                          "and isUpload=false"))
                  .toInt(),
              1);
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Preference] where MobilePhone='1390''0'")).toInt(),
              1);
}

TEST_F(WhiteListTest, UploadsEveryQueuedNumberAndMarksIt)
{
    AddPreference(QStringLiteral("13800138000"));
    AddPreference(QStringLiteral("13900139000"));
    startWorker(QStringLiteral("demo.mdb"));
    ASSERT_TRUE(waitUntil(
        [&] { return uploaded(QStringLiteral("13800138000")) == 1 && uploaded(QStringLiteral("13900139000")) == 1; },
        3000));
    EXPECT_EQ(sandbox().whiteList(), (QStringList{QStringLiteral("13800138000"), QStringLiteral("13900139000")}));
    // Uploaded rows are not sent again on later passes.
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("putwhitelist")), 2);

    QElapsedTimer clock;
    clock.start();
    worker.Terminal();
    EXPECT_LT(clock.elapsed(), 500);
}

TEST_F(WhiteListTest, AFailedUploadStaysQueuedAndIsTriedAgainAfterThePause)
{
    AddPreference(QStringLiteral("13800138000"));
    sandbox().scriptReply(QStringLiteral("putwhitelist"), QByteArray("0"), 1);
    QElapsedTimer clock;
    clock.start();
    startWorker(QStringLiteral("demo.mdb"));
    ASSERT_TRUE(waitUntil([&] { return sandbox().requestCount(QStringLiteral("putwhitelist")) == 1; }, 2000));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(uploaded(QStringLiteral("13800138000")), 0);

    ASSERT_TRUE(waitUntil([&] { return uploaded(QStringLiteral("13800138000")) == 1; }, 6000));
    EXPECT_GE(clock.elapsed(), 3000);
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("putwhitelist")), 2);
}

TEST_F(WhiteListTest, ADatabaseFailureLeavesThePassAndTheNextPassTriesAgain)
{
    startWorker(QStringLiteral("late.mdb")); // not there yet: every pass fails until it is
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(worker.isRunning());

    folder.makeUserDatabase(QStringLiteral("late"));
    {
        auto conn = OpenWorkerConnection(QStringLiteral("late.mdb"));
        conn->execute(QStringLiteral("insert into [Preference] (MobilePhone, isUpload) values ('13700137000', false)"));
    }
    ASSERT_TRUE(waitUntil([&] { return sandbox().whiteList().contains(QStringLiteral("13700137000")); }, 6000));
    QElapsedTimer clock;
    clock.start();
    worker.Terminal();
    EXPECT_LT(clock.elapsed(), 500);
}

// ---- A stalled host and the exit ---------------------------------------------------------

// A host that takes the request and never answers holds no worker past its stop: the exit
// waits for the workers, and the process must be gone soon after its last window.
struct StalledCase
{
    const char* name;
    const char* op; // the request the host holds
};

class StalledTransferTest : public WhiteListTest, public ::testing::WithParamInterface<StalledCase>
{
};

TEST_P(StalledTransferTest, EndsSoonAfterItsStop)
{
    const StalledCase& c = GetParam();
    const QString op = QString::fromLatin1(c.op);
    writeUpdateIni(folder, updateUrl());
    AddPreference(QStringLiteral("13800138000"));
    sandbox().setDelay(op, 15000); // far beyond a second, within the request's own time-out
    if (op == QLatin1String("update")) {
        worker.Add(UpdateCheckWorker, 0);
        ASSERT_TRUE(worker.Start());
    } else if (op == QLatin1String("keyword")) {
        worker.Add(KeywordWorker, 0);
        ASSERT_TRUE(worker.Start());
    } else {
        startWorker(QStringLiteral("demo.mdb"));
    }
    ASSERT_TRUE(waitUntil([&] { return sandbox().requestCount(op) == 1; }, 3000));
    std::this_thread::sleep_for(200ms);

    QElapsedTimer clock;
    clock.start();
    worker.Terminal();
    // The stop is looked at about once a second while the host is silent.
    EXPECT_LT(clock.elapsed(), 2500);
}

INSTANTIATE_TEST_SUITE_P(Workers, StalledTransferTest,
                         ::testing::Values(StalledCase{"UpdateCheck", "update"}, StalledCase{"Keywords", "keyword"},
                                           StalledCase{"WhiteList", "putwhitelist"}),
                         [](const ::testing::TestParamInfo<StalledCase>& info) { return std::string(info.param.name); });

} // namespace
