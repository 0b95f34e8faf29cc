#include "SendRun.h"
#include "CaseName.h"
#include "DataStore.h"
#include "HttpClient.h"
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

struct FailureCase
{
    const char* name;
    SendRun::Mode mode;
    bool lasting; // the database stays broken until the run has returned
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class SendRunFailure : public SendRunTest, public ::testing::WithParamInterface<FailureCase>
{
protected:
    static constexpr int kNumbers = 7;

    void reset()
    {
        for (const char* table : {"Finish", "Messages", "SendMarks", "DraftBox"})
            g_Conn->execute(QStringLiteral("delete from [%1]").arg(QString::fromLatin1(table)));
        if (GetParam().mode != SendRun::Mode::List) {
            for (const QString& n : numbers(GetParam().mode == SendRun::Mode::Merge ? kNumbers - 1 : kNumbers))
                addDraft(n, QStringLiteral("客户"));
        }
        sandbox().clearRecords();
    }

    SendRun::Input input(const QStringList& list = numbers(kNumbers)) const
    {
        SendRun::Input in;
        in.sendMode = GetParam().mode == SendRun::Mode::List ? 1 : 2;
        in.text = GetParam().mode == SendRun::Mode::Merge ? QStringLiteral("{%A列%}您好") : QStringLiteral("会员通知");
        in.listNumbers = in.sendMode == 1 ? list : QStringList();
        in.batchSize = 3;
        return in;
    }
};

// The database fails at one point of a run (disk full, say), once or for the rest of the run.
// A request that went out is never made again: its numbers leave the plain list, and its reply,
// which came in, is not thrown away but written (now or by the next settle). Numbers whose
// request never left stay sendable, and the next send sends each of them once.
TEST_P(SendRunFailure, AFailedWriteNeverSendsTwiceNorLosesAReply)
{
    const FailureCase& c = GetParam();
    QList<std::pair<int, int>> points;
    reset();
    {
        SendRun run(client, *g_Conn, observer);
        run.setStepHook([&](int step, int point) { points.append({step, point}); });
        ASSERT_EQ(run.run(input()), SendRun::Outcome::Completed);
    }
    ASSERT_GT(points.size(), 12);

    for (const auto& [failStep, failPoint] : points) {
        SCOPED_TRACE(::testing::Message() << "failed at step " << failStep << ", point " << failPoint);
        reset();
        int carried = 0;
        {
            SendRun run(client, *g_Conn, observer);
            bool broken = false;
            bool failed = false;
            qint64 marked = 0;
            run.setStepHook([&](int step, int point) {
                if (!failed) {
                    // A mark is written with a full sync, and the request about to leave has one.
                    const qint64 nowMarked = count("select count(*) from [SendMarks] where Queued=0");
                    if (nowMarked > marked) {
                        EXPECT_EQ(count("PRAGMA synchronous"), 2) << "a mark that does not survive a power loss";
                    }
                    marked = nowMarked;
                    if (point == -1) {
                        EXPECT_FALSE(g_Conn->inTransaction());
                        EXPECT_GE(marked, 1);
                    }
                }
                const bool here = step == failStep && point == failPoint;
                broken = here || (broken && c.lasting);
                failed = failed || here;
                if (broken)
                    throw db::DbError(db::ErrDiskFull, QStringLiteral("磁盘已满"));
            });
            EXPECT_THROW(run.run(input()), db::DbError);
            carried = run.carriedCount();
        }
        SendRun::settleInterrupted(*g_Conn);
        EXPECT_EQ(count("select count(*) from [SendMarks]"), 0);
        EXPECT_EQ(count("select count(*) from [Finish] where State='" + SendRun::unconfirmedState() + "'"), 0)
            << "every reply was in: none may count as unconfirmed";

        // What the send dialog leaves in the plain list, sent again; or the grid, sent again.
        const int total = c.mode == SendRun::Mode::Merge ? kNumbers - 1 : kNumbers;
        const QHash<QString, int> before = [&] {
            QHash<QString, int> sends;
            for (const auto& send : sandbox().sends())
                for (const QString& n : send.numbers)
                    ++sends[n];
            return sends;
        }();
        if (c.mode == SendRun::Mode::List) {
            const QStringList all = numbers(kNumbers);
            for (int i = 0; i < kNumbers; ++i)
                EXPECT_EQ(before.value(all[i]), i < carried ? 1 : 0) << "carried numbers are the ones sent";
        }
        SendRun again(client, *g_Conn, observer);
        EXPECT_EQ(again.run(input(numbers(kNumbers).mid(carried))), SendRun::Outcome::Completed);

        QHash<QString, int> sends;
        for (const auto& send : sandbox().sends())
            for (const QString& n : send.numbers)
                ++sends[n];
        EXPECT_EQ(sends.size(), total);
        for (auto it = sends.cbegin(); it != sends.cend(); ++it)
            EXPECT_EQ(it.value(), 1) << it.key().toStdString();
        EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), total);
        EXPECT_EQ(count("select count(*) from [Finish]"), total);
        EXPECT_EQ(count("select count(*) from [DraftBox]"), 0);
        EXPECT_EQ(count("select count(*) from [Messages] m where Amount<>(select count(*) from [Finish] f where "
                        "f.MsgId=m.id) or FailNum<>0 or FinishTime is null"),
                  0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AtEveryPoint, SendRunFailure,
    ::testing::Values(FailureCase{"List", SendRun::Mode::List, false}, FailureCase{"ListLasting", SendRun::Mode::List, true},
                      FailureCase{"Grid", SendRun::Mode::GridBatch, false},
                      FailureCase{"GridLasting", SendRun::Mode::GridBatch, true},
                      FailureCase{"Merge", SendRun::Mode::Merge, false},
                      FailureCase{"MergeLasting", SendRun::Mode::Merge, true}),
    [](const auto& info) { return std::string(info.param.name); });

class SendRunTimeOut : public SendRunTest, public ::testing::WithParamInterface<SendRun::Mode>
{
};

// The platform accepts and charges the first request but answers after the client has given up
// waiting. Its numbers are unconfirmed, not failed: they count as failures in the history and
// leave the grid, and the next send does not send them a second time. The run goes on.
TEST_P(SendRunTimeOut, AReplyTooLateIsUnconfirmedNotFailed)
{
    const SendRun::Mode mode = GetParam();
    const int rows = 5;
    SendRun::Input in;
    in.sendMode = mode == SendRun::Mode::List ? 1 : 2;
    in.text = mode == SendRun::Mode::Merge ? QStringLiteral("{%A列%}您好") : QStringLiteral("会员通知");
    in.batchSize = 2;
    if (mode == SendRun::Mode::List)
        in.listNumbers = numbers(rows);
    else
        for (const QString& n : numbers(rows))
            addDraft(n, QStringLiteral("客户"));
    const int first = mode == SendRun::Mode::Merge ? 1 : 2;
    sandbox().holdReply(QStringLiteral("sendmess"), 1500, 1);
    http::setTimeoutOverride(1000, 400);
    {
        SendRun run(client, *g_Conn, observer);
        EXPECT_EQ(run.run(in), SendRun::Outcome::Completed);
    }
    http::clearTimeoutOverride();

    EXPECT_EQ(count("select count(*) from [Finish] where State='" + SendRun::unconfirmedState() + "'"), first);
    EXPECT_EQ(count("select count(*) from [Finish] where State='已发送'"), rows - first);
    EXPECT_EQ(count("select sum(FailNum) from [Messages]"), first);
    EXPECT_EQ(observer.failed, first);
    EXPECT_EQ(count("select count(*) from [DraftBox]"), 0) << "rows that may have been sent leave the grid";

    SendRun again(client, *g_Conn, observer);
    in.listNumbers.clear();
    EXPECT_EQ(again.run(in), SendRun::Outcome::Completed);
    QHash<QString, int> sends;
    for (const auto& send : sandbox().sends())
        for (const QString& n : send.numbers)
            ++sends[n];
    EXPECT_EQ(sends.size(), rows);
    for (auto it = sends.cbegin(); it != sends.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllModes, SendRunTimeOut,
                         ::testing::Values(SendRun::Mode::List, SendRun::Mode::GridBatch, SendRun::Mode::Merge),
                         [](const auto& info) {
                             return std::string(info.param == SendRun::Mode::List        ? "List"
                                                : info.param == SendRun::Mode::GridBatch ? "Grid"
                                                                                         : "Merge");
                         });

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
