#include "DataStore.h"
#include "SandboxFixture.h"
#include "SendRun.h"
#include "TestProgramFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

void fillGrid(const QString& database, int rows)
{
    auto conn = db::Connection::open(database, QByteArray(kDatabasePassword));
    db::Transaction tx(*conn);
    auto insert = conn->prepare(QStringLiteral("insert into [DraftBox](MobilePhone,A,IsRepeat) values(?,?,0)"));
    for (int i = 0; i < rows; ++i) {
        insert->bindAll({QString::number(13800000000LL + i), QStringLiteral("客户%1").arg(i)});
        insert->execute();
    }
    tx.commit();
}

int count(db::Connection& conn, const char* sql)
{
    return conn.scalar(QString::fromUtf8(sql)).toInt();
}

// What must hold in the database a run left behind, however it ended: the file is sound, no
// number is both recorded as sent and still queued to go out again, and none was lost.
void expectSoundAfterInterruption(const QString& database, int rows)
{
    auto conn = db::Connection::open(database, QByteArray(kDatabasePassword));
    EXPECT_EQ(conn->scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    EXPECT_EQ(count(*conn, "select count(*) from [DraftBox] d inner join [Finish] f on "
                           "f.PhoneNumber=d.MobilePhone where f.State='已发送'"),
              0);
    EXPECT_EQ(count(*conn, "select count(*) from [DraftBox]") +
                  count(*conn, "select count(*) from [Finish] where State='已发送'"),
              rows);
}

// Every number of the grid went out exactly once, or is in the history as unconfirmed and
// has not gone out again.
void expectEachSentOnceOrUnconfirmed(const SandboxServer& server, const QString& database, int rows)
{
    QHash<QString, int> sends;
    for (const auto& send : server.sends()) {
        for (const QString& number : send.numbers)
            ++sends[number];
    }
    auto conn = db::Connection::open(database, QByteArray(kDatabasePassword));
    for (int i = 0; i < rows; ++i) {
        const QString number = QString::number(13800000000LL + i);
        const int times = sends.value(number);
        ASSERT_LE(times, 1) << number.toStdString();
        if (times == 0) {
            ASSERT_EQ(conn->scalar("select count(*) from [Finish] where PhoneNumber='" + number + "' and State='" +
                                   SendRun::unconfirmedState() + "'")
                          .toInt(),
                      1)
                << number.toStdString();
        }
    }
}

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
    ASSERT_GE(output.count("sent "), 3) << "the run ended before it could be interrupted";

    auto conn = db::Connection::open(database, QByteArray(kDatabasePassword));
    const int sent = conn->scalar(QStringLiteral("select count(*) from [Finish] where State='已发送'")).toInt();
    // Three replies were in; the outcome of the third is written while the fourth request is out.
    EXPECT_GE(sent, 2000);
    EXPECT_LT(sent, 10000) << "the kill came too late to test anything";
    conn.reset();
    expectSoundAfterInterruption(database, 10000);
}

struct CrashPoint
{
    const char* name;
    const char* mode; // "batch" or "merge"
    int rows;
    int step;      // batch step or merge row, from 1
    int statement; // recording statement after which the process dies; 0 right after the reply
};

void PrintTo(const CrashPoint& point, std::ostream* os)
{
    *os << point.name;
}

class CrashInsideStep : public ::testing::TestWithParam<CrashPoint>
{
};

// The process dies at a fixed point inside the statements that record one request: between a
// number's "已发送" row and the delete of its grid row, or between a recipient's history row
// and its outcome.
TEST_P(CrashInsideStep, LeavesNoNumberSentAndStillQueued)
{
    const CrashPoint& point = GetParam();
    ScopedSandbox sandbox;
    TestProgramFolder folder;
    const QString database = folder.makeUserDatabase(QStringLiteral("demo"));
    fillGrid(database, point.rows);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_CRASH_STEP"), QStringLiteral("%1:%2").arg(point.step).arg(point.statement));
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(QUORVEL_SEND_CHILD),
                {folder.folder(), QStringLiteral("demo"), QString::fromLatin1(point.mode)});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the crash point was never reached";

    expectSoundAfterInterruption(database, point.rows);
    {
        auto conn = db::Connection::open(database, QByteArray(kDatabasePassword));
        // Every history row that exists has its recipients' outcomes beside it.
        EXPECT_EQ(count(*conn, "select count(*) from [Messages] m where Amount=1 and not exists "
                               "(select 1 from [Finish] f where f.MsgId=m.id)"),
                  0);
    }

    // The user sends again: whatever the platform had accepted before the crash does not go out
    // a second time, and the rest goes out now.
    QProcess again;
    again.start(QStringLiteral(QUORVEL_SEND_CHILD),
                {folder.folder(), QStringLiteral("demo"), QString::fromLatin1(point.mode)});
    ASSERT_TRUE(again.waitForFinished(60000));
    ASSERT_EQ(again.exitStatus(), QProcess::NormalExit);
    expectEachSentOnceOrUnconfirmed(sandbox.server(), database, point.rows);
    auto conn = db::Connection::open(database, QByteArray(kDatabasePassword));
    EXPECT_EQ(count(*conn, "select count(*) from [Messages] m where Amount<>(select count(*) from [Finish] f "
                           "where f.MsgId=m.id)"),
              0)
        << "every run, the interrupted one too, counts the numbers it carried";
}

// Statements of a batch step: the first step of a window of batches writes their marks (one
// insert per batch); every step then records, after its request, one outcome per number, one
// delete of its sent grid rows and the drop of its mark. A merge row that opens a window first
// writes the marks of its rows (one each); every merge row then records, after its request, its
// history row (1), the outcome (2), the delete (3) and the drop of its mark (4).
INSTANTIATE_TEST_SUITE_P(
    GridAndMerge, CrashInsideStep,
    ::testing::Values(CrashPoint{"BatchInTheMark", "batch", 2500, 1, 1},
                      CrashPoint{"BatchAfterReply", "batch", 2500, 2, 0},
                      CrashPoint{"BatchAfterTheFirstOutcome", "batch", 2500, 2, 1},
                      CrashPoint{"BatchAmongTheOutcomes", "batch", 2500, 2, 500},
                      CrashPoint{"BatchAfterTheDeletes", "batch", 2500, 2, 1001},
                      CrashPoint{"BatchLastShortStep", "batch", 2500, 3, 1},
                      CrashPoint{"MergeInTheMark", "merge", 12, 1, 2},
                      CrashPoint{"MergeAfterReply", "merge", 12, 3, 0},
                      CrashPoint{"MergeAfterTheOutcome", "merge", 12, 3, 2},
                      CrashPoint{"MergeBeforeTheMarkIsDropped", "merge", 12, 3, 3}),
    [](const ::testing::TestParamInfo<CrashPoint>& info) { return std::string(info.param.name); });

} // namespace
