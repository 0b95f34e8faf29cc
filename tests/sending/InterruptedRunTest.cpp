#include "DataStore.h"
#include "QtPrinters.h"
#include "SandboxFixture.h"
#include "SendRun.h"
#include "SmsCtrl.h"
#include "TestProgramFolder.h"

#include <QHash>
#include <QSet>
#include <QProcess>
#include <gtest/gtest.h>
#include <iostream>

namespace {

const qint64 kFirstNumber = 13800000000LL;

QString numberAt(int i)
{
    return QString::number(kFirstNumber + i);
}

std::unique_ptr<db::Connection> openDatabase(const QString& path)
{
    return db::Connection::open(path, QByteArray(kDatabasePassword));
}

// Rows in a fixed send order.
void fillGrid(const QString& database, int rows)
{
    auto conn = openDatabase(database);
    db::Transaction tx(*conn);
    auto insert =
        conn->prepare(QStringLiteral("insert into [DraftBox](MobilePhone,A,IsRepeat,Preference) values(?,?,0,?)"));
    for (int i = 0; i < rows; ++i) {
        insert->bindAll({numberAt(i), QStringLiteral("客户%1").arg(i), i});
        insert->execute();
    }
    tx.commit();
}

int count(db::Connection& conn, const QString& sql)
{
    return conn.scalar(sql).toInt();
}

QHash<QString, int> sendsPerNumber(const SandboxServer& server)
{
    QHash<QString, int> sends;
    for (const auto& send : server.sends()) {
        for (const QString& number : send.numbers)
            ++sends[number];
    }
    return sends;
}

class Silent final : public SendRunObserver
{
public:
    void totalChanged(int) override {}
    void sentChanged(int) override {}
    void successChanged(int) override {}
    void failChanged(int) override {}
    void yield() override {}
    bool stopRequested() const override { return false; }
};

// A run ended by the system in the middle leaves a sound database in which no number is both
// recorded as sent and still queued to go out again.
TEST(InterruptedRun, KilledMidRunLeavesNoNumberSentAndStillQueued)
{
    ScopedSandbox sandbox;
    sandbox.server().setDelay(QStringLiteral("sendmess"), 30);
    TestProgramFolder folder;
    const QString database = folder.makeUserDatabase(QStringLiteral("demo"));
    fillGrid(database, 10000);

    QProcess child;
    child.start(QStringLiteral(QUORVEL_SEND_CHILD), {folder.folder(), QStringLiteral("demo")});
    ASSERT_TRUE(child.waitForStarted(5000));
    // Let a few batches through, then end the process without warning.
    QByteArray output;
    while (output.count("sent ") < 3 && child.state() == QProcess::Running) {
        child.waitForReadyRead(5000);
        output += child.readAllStandardOutput();
    }
    child.kill();
    child.waitForFinished(5000);
    ASSERT_GE(output.count("sent ") , 3) << "the run ended before it could be interrupted";

    auto conn = openDatabase(database);
    const int sent = count(*conn, QStringLiteral("select count(*) from [Finish] where State='已发送'"));
    // Three replies were in; the outcome of the third is written while the fourth request is out.
    EXPECT_GE(sent, 2000);
    EXPECT_LT(sent, 10000) << "the kill came too late to test anything";
    EXPECT_EQ(conn->scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    EXPECT_EQ(count(*conn, QStringLiteral("select count(*) from [DraftBox] d inner join [Finish] f on "
                                          "f.PhoneNumber=d.MobilePhone where f.State='已发送'")),
              0);
}

struct MatrixCase
{
    const char* name;
    const char* mode; // the child's mode: list, batch (the grid) or merge
    int numbers;
    int batch;        // numbers per request
    int half;         // the run's points are shared between two cases, taking every other one
};

void PrintTo(const MatrixCase& c, std::ostream* os)
{
    *os << c.name;
}

struct Point
{
    int step;
    int point;
};

class CrashMatrix : public ::testing::TestWithParam<MatrixCase>
{
protected:
    QStringList childArguments(const TestProgramFolder& folder) const
    {
        const MatrixCase& c = GetParam();
        return {folder.folder(), QStringLiteral("demo"), QString::fromLatin1(c.mode), QString::number(c.batch),
                QString::number(c.numbers)};
    }

    // A program folder whose user database holds what the run sends.
    QString prepare(const TestProgramFolder& folder) const
    {
        const QString database = folder.makeUserDatabase(QStringLiteral("demo"));
        if (QByteArray(GetParam().mode) != "list")
            fillGrid(database, GetParam().numbers);
        return database;
    }

    // Every point at which the run can end, from a run that is let through.
    QList<Point> points()
    {
        TestProgramFolder folder;
        prepare(folder);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUORVEL_TRACE_STEPS"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(QUORVEL_SEND_CHILD), childArguments(folder));
        EXPECT_TRUE(child.waitForFinished(60000));
        QList<Point> found;
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() == 3 && fields[0] == "point")
                found.append({fields[1].toInt(), fields[2].toInt()});
        }
        return found;
    }

    ScopedSandbox sandbox;
};

// The process is killed at every point of a run: before its first request, just before each
// request leaves, after every statement written while a request is out, once each reply is in,
// and after each of the run's closing statements. After the restart's settle every number is in
// exactly one state: sent once ("已发送"), unconfirmed (sent at most once), or still sendable and
// never sent (a grid row still queued, a plain-list number in the history as never sent). Only
// the requests next to the one that was out may be unconfirmed; what is sendable then goes out
// once, and nothing goes out twice.
TEST_P(CrashMatrix, EveryNumberEndsSentOnceUnconfirmedOrSendable)
{
    const MatrixCase& c = GetParam();
    const bool list = QByteArray(c.mode) == "list";
    const QList<Point> all = points();
    const int requests = (c.numbers + c.batch - 1) / c.batch;
    ASSERT_GE(all.size(), 3 * requests) << "the run reported too few points to end at";
    std::cout << all.size() << " points to end the run at, every other one here\n";

    for (qsizetype index = c.half; index < all.size(); index += 2) {
        const Point& at = all[index];
        SCOPED_TRACE(::testing::Message() << "killed at step " << at.step << ", point " << at.point);
        sandbox.server().clearRecords();
        TestProgramFolder folder;
        const QString database = prepare(folder);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUORVEL_CRASH_STEP"), QStringLiteral("%1:%2").arg(at.step).arg(at.point));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(QUORVEL_SEND_CHILD), childArguments(folder));
        ASSERT_TRUE(child.waitForFinished(60000));
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the point was never reached";

        // The restart: the program settles what the run left before anything else.
        auto conn = openDatabase(database);
        SendRun::settleInterrupted(*conn);
        EXPECT_EQ(conn->scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        const QHash<QString, int> sends = sendsPerNumber(sandbox.server());
        // A plain list lives in the window alone: until the run's first commit it is all there is.
        const bool started = count(*conn, QStringLiteral("select count(*) from [Messages]")) > 0;
        QSet<int> unconfirmedRequests;
        QStringList sendable;
        for (int i = 0; i < c.numbers; ++i) {
            const QString number = numberAt(i);
            const int request = i / c.batch + 1;
            SCOPED_TRACE(number.toStdString());
            const QString states =
                conn->scalar("select group_concat(State,'|') from [Finish] where PhoneNumber='" + number + "'")
                    .toString();
            const bool queued = count(*conn, "select count(*) from [DraftBox] where MobilePhone='" + number + "'") > 0;
            const int times = sends.value(number);
            ASSERT_LE(times, 1);
            if (states == QStringLiteral("已发送")) {
                EXPECT_EQ(times, 1);
                EXPECT_FALSE(queued);
            } else if (states == SendRun::unconfirmedState()) {
                EXPECT_FALSE(queued);
                unconfirmedRequests.insert(request);
            } else {
                // Still sendable, and certainly never sent.
                EXPECT_EQ(times, 0);
                EXPECT_EQ(states, list && started ? SendRun::unsentState() : QString());
                EXPECT_EQ(queued, !list);
                sendable.append(number);
            }
            // Only the requests beside the one out may be unsettled: those further back have
            // their outcome, those further on never left.
            if (request <= at.step - 2) {
                EXPECT_EQ(states, QStringLiteral("已发送"));
            }
            if (request >= at.step + 2) {
                EXPECT_TRUE(sendable.contains(number)) << "a request that never left is not sendable";
            }
        }
        // The request out and the one whose outcome was being written, or the one out and the
        // one marked to go next.
        EXPECT_LE(unconfirmedRequests.size(), 2);
        EXPECT_EQ(count(*conn, QStringLiteral("select count(*) from [SendMarks]")), 0);
        // The history counts as its details do: every run says how many it carried and how many
        // of them are anything but "已发送", and when it ended.
        EXPECT_EQ(count(*conn, QStringLiteral(
                                   "select count(*) from [Messages] m where Amount<>(select count(*) from [Finish] "
                                   "f where f.MsgId=m.id) or FailNum<>(select count(*) from [Finish] f where "
                                   "f.MsgId=m.id and f.State<>'已发送') or FinishTime is null")),
                  0);

        // The user sends what is sendable: the grid again, or the never-sent numbers of the list.
        SmsCtrl client;
        client.username = QStringLiteral("demo");
        client.password = QStringLiteral("demo123");
        Silent observer;
        SendRun::Input again;
        again.sendMode = list ? 1 : 2;
        again.text = QByteArray(c.mode) == "merge" ? QStringLiteral("{%A列%}您好") : QStringLiteral("会员日通知");
        again.listNumbers = list ? sendable : QStringList();
        SendRun(client, *conn, observer).run(again);
        const QHash<QString, int> after = sendsPerNumber(sandbox.server());
        for (int i = 0; i < c.numbers; ++i) {
            const QString number = numberAt(i);
            ASSERT_LE(after.value(number), 1) << number.toStdString() << " was charged twice";
            if (!unconfirmedRequests.contains(i / c.batch + 1)) {
                EXPECT_EQ(after.value(number), 1) << number.toStdString() << " was lost";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ThreeRequestsOrSixRows, CrashMatrix,
                         ::testing::Values(MatrixCase{"List", "list", 7, 3, 0}, MatrixCase{"ListToo", "list", 7, 3, 1},
                                           MatrixCase{"Grid", "batch", 7, 3, 0}, MatrixCase{"GridToo", "batch", 7, 3, 1},
                                           MatrixCase{"Merge", "merge", 6, 1, 0},
                                           MatrixCase{"MergeToo", "merge", 6, 1, 1}),
                         [](const ::testing::TestParamInfo<MatrixCase>& info) { return std::string(info.param.name); });

} // namespace
