#include "SendRun.h"
#include "CaseName.h"
#include "DataStore.h"
#include "SandboxFixture.h"
#include "SmsCtrl.h"
#include "TestProgramFolder.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <gtest/gtest.h>

namespace {

// Records what the run reports and stops it after a given number of items.
class RecordingObserver final : public SendRunObserver
{
public:
    int total = -1, sent = 0, success = 0, failed = 0, yields = 0;
    int stopAfterYields = -1;

    void totalChanged(int t) override { total = t; }
    void sentChanged(int s) override { sent = s; }
    void successChanged(int s) override { success = s; }
    void failChanged(int f) override { failed = f; }
    void yield() override { ++yields; }
    bool stopRequested() const override { return stopAfterYields >= 0 && yields >= stopAfterYields; }
};

QStringList numbers(int count, qint64 first = 13800000000)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QString::number(first + i));
    return list;
}

const QByteArray kRefused = "<?xml version=\"1.0\"?><sendresult><errorcode>-8</errorcode></sendresult>";

class SendRunTest : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ASSERT_TRUE(folder.hasShippedDatabases());
        folder.makeUserDatabase(QStringLiteral("demo"));
        OpenDatabaseOrThrow(QStringLiteral("demo.mdb"));
        client.username = QStringLiteral("demo");
        client.password = QStringLiteral("demo123");
    }

    SendRun::Outcome runList(const QStringList& list, const QString& text = QStringLiteral("会议通知"),
                             const QString& sendTime = QStringLiteral("0"))
    {
        SendRun::Input in;
        in.sendMode = 1;
        in.text = text;
        in.listNumbers = list;
        in.sendTime = sendTime;
        SendRun run(client, *g_Conn, observer);
        return run.run(in);
    }

    SendRun::Outcome runGrid(const QString& text)
    {
        SendRun::Input in;
        in.sendMode = 2;
        in.text = text;
        SendRun run(client, *g_Conn, observer);
        return run.run(in);
    }

    void addDraft(const QString& number, const QString& a = QString(), const QString& b = QString())
    {
        g_Conn->execute("insert into [DraftBox](MobilePhone,A,B,IsRepeat) values('" + number + "'," +
                        (a.isNull() ? QStringLiteral("Null") : "'" + a + "'") + "," +
                        (b.isNull() ? QStringLiteral("Null") : "'" + b + "'") + ",false)");
    }

    qint64 count(const QString& sql) { return g_Conn->scalar(sql).toLongLong(); }

    TestProgramFolder folder;
    SmsCtrl client;
    RecordingObserver observer;
};

struct BatchCase
{
    int numbers;
    std::vector<int> batchSizes;
};

class SendRunBatches : public SendRunTest, public ::testing::WithParamInterface<BatchCase>
{
};

TEST_P(SendRunBatches, ListRunSplitsIntoBatchesOfAThousand)
{
    const BatchCase& c = GetParam();
    EXPECT_EQ(runList(numbers(c.numbers)), SendRun::Outcome::Completed);

    const auto sends = sandbox().sends();
    ASSERT_EQ(sends.size(), int(c.batchSizes.size()));
    for (int i = 0; i < sends.size(); ++i) {
        EXPECT_EQ(sends[i].numbers.size(), c.batchSizes[i]);
        EXPECT_EQ(sends[i].mobilecount, QString::number(c.numbers)) << "every request carries the run's total";
        EXPECT_EQ(sends[i].logid, i == 0 ? QString() : sends[i - 1].smsId) << "log ids chain within the run";
        EXPECT_EQ(sends[i].sendtime, QStringLiteral("0"));
    }
    EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), c.numbers);
    EXPECT_EQ(count("select Amount from [Messages]"), c.numbers);
    EXPECT_EQ(count("select FailNum from [Messages]"), 0);
    EXPECT_FALSE(g_Conn->scalar("select FinishTime from [Messages]").isNull());
    EXPECT_EQ(observer.total, c.numbers);
    EXPECT_EQ(observer.sent, c.numbers);
    EXPECT_EQ(observer.success, c.numbers);
}

INSTANTIATE_TEST_SUITE_P(SendRun, SendRunBatches,
                         ::testing::Values(BatchCase{1, {1}}, BatchCase{1000, {1000}}, BatchCase{1001, {1000, 1}},
                                           BatchCase{2500, {1000, 1000, 500}}),
                         NameFrom(&BatchCase::numbers));

TEST_F(SendRunTest, FailedBatchIsRecordedWithItsTextAndTheRunGoesOn)
{
    sandbox().scriptReply(QStringLiteral("sendmess"), kRefused, 1);
    EXPECT_EQ(runList(numbers(1500)), SendRun::Outcome::Completed);

    const auto sends = sandbox().sends(); // only accepted sends are recorded by the platform
    ASSERT_EQ(sends.size(), 1);
    EXPECT_EQ(sends[0].numbers.size(), 500);
    EXPECT_EQ(sends[0].logid, QString()) << "no success before it: empty log id";
    EXPECT_EQ(count("select count(*) from [Finish] where State='余额不足'"), 1000);
    EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), 500);
    EXPECT_EQ(count("select FailNum from [Messages]"), 1000);
    EXPECT_EQ(observer.failed, 1000);
    EXPECT_EQ(observer.success, 500);
}

// Scripts one refused request right after the request that brought the count to armAt.
class RefuseAfter final : public SendRunObserver
{
public:
    RefuseAfter(SandboxServer& server, int armAt) : m_server(server), m_armAt(armAt) {}
    void totalChanged(int) override {}
    void sentChanged(int sent) override
    {
        if (sent == m_armAt)
            m_server.scriptReply(QStringLiteral("sendmess"), kRefused, 1);
    }
    void successChanged(int) override {}
    void failChanged(int) override {}
    void yield() override {}
    bool stopRequested() const override { return false; }

private:
    SandboxServer& m_server;
    int m_armAt;
};

TEST_F(SendRunTest, RequestAfterAFailureCarriesTheIdOfTheSuccessBeforeIt)
{
    SendRun::Input in;
    in.text = QStringLiteral("x");
    in.listNumbers = numbers(3000);
    RefuseAfter refuseSecond(sandbox(), 1000);
    SendRun run(client, *g_Conn, refuseSecond);
    EXPECT_EQ(run.run(in), SendRun::Outcome::Completed);

    const auto sends = sandbox().sends(); // the refused request is not among the accepted ones
    ASSERT_EQ(sends.size(), 2);
    EXPECT_EQ(sends[0].logid, QString());
    EXPECT_EQ(sends[1].logid, sends[0].smsId) << "the refused request in between does not change it";
    EXPECT_EQ(count("select count(*) from [Finish] where State='余额不足'"), 1000);
}

TEST_F(SendRunTest, TimedRunSendsTheSameTimeWithEveryRequest)
{
    EXPECT_EQ(runList(numbers(1200), QStringLiteral("x"), QStringLiteral("1796000000")), SendRun::Outcome::Completed);
    for (const auto& send : sandbox().sends())
        EXPECT_EQ(send.sendtime, QStringLiteral("1796000000"));
}

TEST_F(SendRunTest, ListRunSendsColumnVariablesUnchanged)
{
    EXPECT_EQ(runList(numbers(2), QStringLiteral("{%A列%}您好")), SendRun::Outcome::Completed);
    ASSERT_EQ(sandbox().sends().size(), 1);
    EXPECT_EQ(sandbox().sends()[0].content, QStringLiteral("{%A列%}您好"));
}

struct StopCase
{
    const char* name;
    bool grid;
    bool firstBatchRefused;
};

void PrintTo(const StopCase& c, std::ostream* os)
{
    *os << c.name;
}

class SendRunStop : public SendRunTest, public ::testing::WithParamInterface<StopCase>
{
};

// A stop after 1500 of 3000 numbers: the first request's 1000 went out and are the run's
// amount; the 500 gathered for the second request are neither sent nor recorded.
TEST_P(SendRunStop, RecordsWhatWentOutAndLeavesThePendingBatchUnsent)
{
    const StopCase& c = GetParam();
    if (c.firstBatchRefused)
        sandbox().scriptReply(QStringLiteral("sendmess"), kRefused, 1);
    observer.stopAfterYields = 1500;
    if (c.grid) {
        for (const QString& n : numbers(3000))
            addDraft(n);
        EXPECT_EQ(runGrid(QStringLiteral("会议通知")), SendRun::Outcome::Stopped);
    } else {
        EXPECT_EQ(runList(numbers(3000)), SendRun::Outcome::Stopped);
    }

    EXPECT_EQ(sandbox().requestCount(QStringLiteral("sendmess")), 1);
    EXPECT_EQ(count("select count(*) from [Finish]"), 1000);
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [Messages]"), *g_Conn);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Field(QStringLiteral("Amount")).toInt(), 1000);
    EXPECT_EQ(rs.Field(QStringLiteral("FailNum")).toInt(), c.firstBatchRefused ? 1000 : 0);
    EXPECT_FALSE(rs.Field(QStringLiteral("FinishTime")).isNull());
    EXPECT_FALSE(rs.Field(QStringLiteral("SubmitTime")).isNull());
    EXPECT_EQ(rs.Field(QStringLiteral("Message")).toString(), QStringLiteral("会议通知"));
    if (c.grid) {
        EXPECT_EQ(count("select count(*) from [DraftBox]"), c.firstBatchRefused ? 3000 : 2000);
    }
}

INSTANTIATE_TEST_SUITE_P(ListAndGrid, SendRunStop,
                         ::testing::Values(StopCase{"List", false, false}, StopCase{"ListRefused", false, true},
                                           StopCase{"Grid", true, false}, StopCase{"GridRefused", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailurePoint
{
    const char* name;
    bool merge;
    int rows;
    int step;        // batch step or merge row, from 1
    int statement;   // the recording statement that fails; 0: right after the reply
    int unconfirmed; // numbers whose outcome is lost: the failed step's, and the next one's if its request was out
    int replyDelayMs = 0;
};

void PrintTo(const FailurePoint& c, std::ostream* os)
{
    *os << c.name;
}

class SendRunOnce : public SendRunTest, public ::testing::WithParamInterface<FailurePoint>
{
};

// The platform accepted a request, then recording it failed (disk full, say). A second run
// must not send those numbers again: every recipient gets exactly one message, and the ones
// whose outcome was lost are in the history as unconfirmed.
TEST_P(SendRunOnce, ARecordThatFailsAfterTheRequestNeverLeadsToASecondSend)
{
    const FailurePoint& c = GetParam();
    for (const QString& n : numbers(c.rows))
        addDraft(n, QStringLiteral("客户"));
    sandbox().setDelay(QStringLiteral("sendmess"), c.replyDelayMs);
    SendRun::Input in;
    in.sendMode = 2;
    in.text = c.merge ? QStringLiteral("{%A列%}您好") : QStringLiteral("会员通知");
    {
        SendRun run(client, *g_Conn, observer);
        bool replied = false;
        run.setStepHook([&](int step, int statement) {
            if (step != c.step)
                return;
            replied = replied || statement == 0;
            if (replied && statement == c.statement)
                throw db::DbError(db::ErrDiskFull, QStringLiteral("磁盘已满"));
        });
        EXPECT_THROW(run.run(in), db::DbError);
    }
    // The rows marked after the failure whose requests never went out stay queued.
    const qint64 interrupted = SendRun::settleInterrupted(*g_Conn);
    EXPECT_EQ(interrupted, c.unconfirmed);
    EXPECT_EQ(count("select count(*) from [Finish] where State='" + SendRun::unconfirmedState() + "'"), interrupted);

    SendRun again(client, *g_Conn, observer);
    EXPECT_EQ(again.run(in), SendRun::Outcome::Completed);

    QHash<QString, int> sendsPerNumber;
    for (const auto& send : sandbox().sends()) {
        for (const QString& number : send.numbers)
            ++sendsPerNumber[number];
    }
    EXPECT_EQ(sendsPerNumber.size(), c.rows);
    for (auto it = sendsPerNumber.cbegin(); it != sendsPerNumber.cend(); ++it)
        ASSERT_EQ(it.value(), 1) << it.key().toStdString();
    EXPECT_EQ(count("select count(*) from [DraftBox]"), 0) << "the unconfirmed rows left the queue";
    EXPECT_EQ(count("select count(*) from [Finish] where State='" + SendRun::unconfirmedState() + "'"), interrupted);
    EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), c.rows - interrupted);
}

INSTANTIATE_TEST_SUITE_P(
    GridAndMerge, SendRunOnce,
    ::testing::Values(FailurePoint{"BatchRightAfterTheReply", false, 1500, 2, 0, 500},
                      // The 1200th row's outcome, in the second request of 1500 rows.
                      FailurePoint{"BatchAtThe1200thRow", false, 1500, 2, 200, 500},
                      // The first batch's outcome, written while the second request is out.
                      FailurePoint{"BatchWhileTheNextIsOut", false, 1500, 1, 500, 1500},
                      FailurePoint{"MergeRightAfterTheReply", true, 5, 3, 0, 1},
                      FailurePoint{"MergeAtTheOutcome", true, 5, 3, 2, 2},
                      FailurePoint{"MergeAtTheEndOfTheMark", true, 5, 3, 4, 2},
                      FailurePoint{"MergeAtTheLastRow", true, 5, 5, 2, 1},
                      FailurePoint{"MergeOnASlowLink", true, 5, 3, 2, 2, 15}),
    [](const auto& info) { return std::string(info.param.name); });

// A stop gives back the marks of the merge rows not sent: the next run sends them.
TEST_F(SendRunTest, AStoppedMergeRunLeavesItsUnsentRowsQueued)
{
    for (const QString& n : numbers(5))
        addDraft(n, QStringLiteral("客户"));
    observer.stopAfterYields = 2;
    EXPECT_EQ(runGrid(QStringLiteral("{%A列%}您好")), SendRun::Outcome::Stopped);
    EXPECT_EQ(count("select count(*) from [Messages]"), 2);
    EXPECT_EQ(count("select count(*) from [Finish]"), 2);

    observer.stopAfterYields = -1;
    EXPECT_EQ(runGrid(QStringLiteral("{%A列%}您好")), SendRun::Outcome::Completed);
    EXPECT_EQ(sandbox().sends().size(), 5);
    EXPECT_EQ(count("select count(*) from [DraftBox]"), 0);
    EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), 5);
}

// A database made before the marks existed gets their table with its first run.
TEST_F(SendRunTest, ADatabaseWithoutTheMarksTableGetsIt)
{
    g_Conn->execute(QStringLiteral("drop table [SendMarks]"));
    EXPECT_EQ(runList(numbers(3)), SendRun::Outcome::Completed);
    EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), 3);
    EXPECT_EQ(count("select count(*) from [SendMarks]"), 0);
}

// A refused request is no interruption: its rows stay queued and go out with the next run.
TEST_F(SendRunTest, RefusedGridRowsStayQueuedForTheNextRun)
{
    for (const QString& n : numbers(3))
        addDraft(n);
    sandbox().scriptReply(QStringLiteral("sendmess"), kRefused, 1);
    EXPECT_EQ(runGrid(QStringLiteral("通知")), SendRun::Outcome::Completed);
    EXPECT_EQ(SendRun::settleInterrupted(*g_Conn), 0);
    EXPECT_EQ(runGrid(QStringLiteral("通知")), SendRun::Outcome::Completed);
    EXPECT_EQ(count("select count(*) from [DraftBox]"), 0);
    EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), 3);
}

TEST_F(SendRunTest, StopDuringTheLastItemStillCompletes)
{
    observer.stopAfterYields = 3;
    EXPECT_EQ(runList(numbers(3)), SendRun::Outcome::Completed);
    EXPECT_EQ(count("select count(*) from [Finish]"), 3);
}

TEST_F(SendRunTest, GridBatchRunDeletesSentRowsAndKeepsFailedOnes)
{
    for (const QString& n : numbers(1200))
        addDraft(n);
    sandbox().scriptReply(QStringLiteral("sendmess"), kRefused, 1); // the first 1000 fail
    EXPECT_EQ(runGrid(QStringLiteral("普通通知")), SendRun::Outcome::Completed);

    EXPECT_EQ(count("select count(*) from [DraftBox]"), 1000);
    EXPECT_EQ(count("select min(MobilePhone) from [DraftBox]"), 13800000000);
    EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), 200);
    ASSERT_EQ(sandbox().sends().size(), 1);
    EXPECT_EQ(sandbox().sends()[0].mobilecount, QStringLiteral("1200"));
    EXPECT_EQ(observer.total, 1200);
}

TEST_F(SendRunTest, MergeRunFillsVariablesPerRowWithItsOwnHistoryRow)
{
    addDraft(QStringLiteral("13800000001"), QStringLiteral("张三"), QStringLiteral("先生"));
    addDraft(QStringLiteral("13800000002"), QStringLiteral("李四"), QString());
    addDraft(QStringLiteral("13800000003"), QStringLiteral("王五"), QStringLiteral("女士"));
    RefuseAfter refuseSecond(sandbox(), 1);
    SendRun::Input in;
    in.sendMode = 2;
    in.text = QStringLiteral("{%A列%}{%B列%}，您好！{%C列%}");
    SendRun run(client, *g_Conn, refuseSecond);
    EXPECT_EQ(run.run(in), SendRun::Outcome::Completed);

    const auto sends = sandbox().sends();
    ASSERT_EQ(sends.size(), 2);
    EXPECT_EQ(sends[0].content, QStringLiteral("张三先生，您好！"));
    EXPECT_EQ(sends[1].content, QStringLiteral("王五女士，您好！"));
    for (const auto& send : sends) {
        EXPECT_EQ(send.mobilecount, QStringLiteral("1"));
        EXPECT_EQ(send.logid, QString());
    }

    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [Messages] order by id"), *g_Conn);
    ASSERT_EQ(rs.RecordCount(), 3);
    const QStringList expectedText{QStringLiteral("张三先生，您好！"), QStringLiteral("李四，您好！"),
                                   QStringLiteral("王五女士，您好！")};
    for (int i = 0; i < 3; ++i, rs.MoveNext()) {
        EXPECT_EQ(rs.Field(QStringLiteral("Message")).toString(), expectedText[i]);
        EXPECT_EQ(rs.Field(QStringLiteral("Amount")).toInt(), 1);
        EXPECT_EQ(rs.Field(QStringLiteral("FailNum")).toInt(), i == 1 ? 1 : 0);
        EXPECT_FALSE(rs.Field(QStringLiteral("FinishTime")).isNull());
        const QString id = rs.Field(QStringLiteral("id")).toString();
        EXPECT_EQ(count("select count(*) from [Finish] where MsgId=" + id), 1) << "each outcome points to its own row";
    }
    EXPECT_EQ(count("select count(*) from [DraftBox]"), 1) << "only the refused row stays";
    EXPECT_EQ(g_Conn->scalar("select MobilePhone from [DraftBox]").toString(), QStringLiteral("13800000002"));
}

TEST_F(SendRunTest, AnyBraceMakesAMergeRunEvenWithoutAColumn)
{
    addDraft(QStringLiteral("13800000001"));
    addDraft(QStringLiteral("13800000002"));
    EXPECT_EQ(runGrid(QStringLiteral("满100减{%20")), SendRun::Outcome::Completed);
    EXPECT_EQ(sandbox().sends().size(), 2);
    EXPECT_EQ(count("select count(*) from [Messages]"), 2);
}

TEST(SendRunModes, ModeFollowsSendModeAndText)
{
    EXPECT_EQ(SendRun::modeFor(1, QStringLiteral("{%A列%}")), SendRun::Mode::List);
    EXPECT_EQ(SendRun::modeFor(2, QStringLiteral("hello")), SendRun::Mode::GridBatch);
    EXPECT_EQ(SendRun::modeFor(2, QStringLiteral("{%")), SendRun::Mode::Merge);
    EXPECT_EQ(SendRun::fillVariables(QStringLiteral("{%E列%}{%a列%}{%A列%}"),
                                     {QStringLiteral("1"), {}, {}, {}, QStringLiteral("5")}),
              QStringLiteral("5{%a列%}1"));
}

} // namespace
