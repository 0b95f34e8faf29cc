#include "DataStore.h"
#include "SandboxFixture.h"
#include "TestProgramFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

// A run ended by the system in the middle leaves a sound database in which no number is both
// recorded as sent and still queued to go out again.
TEST(InterruptedRun, KilledMidRunLeavesNoNumberSentAndStillQueued)
{
    ScopedSandbox sandbox;
    sandbox.server().setDelay(QStringLiteral("sendmess"), 30);
    TestProgramFolder folder;
    const QString database = folder.makeUserDatabase(QStringLiteral("demo"));
    {
        auto conn = db::Connection::open(database, QByteArray(kDatabasePassword));
        db::Transaction tx(*conn);
        auto insert = conn->prepare(QStringLiteral("insert into [DraftBox](MobilePhone,IsRepeat) values(?,0)"));
        for (int i = 0; i < 10000; ++i) {
            insert->bind(1, QString::number(13800000000LL + i));
            insert->execute();
        }
        tx.commit();
    }

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
    EXPECT_EQ(conn->scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    const int sent = conn->scalar(QStringLiteral("select count(*) from [Finish] where State='已发送'")).toInt();
    EXPECT_GE(sent, 3000);
    EXPECT_LT(sent, 10000) << "the kill came too late to test anything";
    EXPECT_EQ(conn->scalar(QStringLiteral("select count(*) from [DraftBox] d inner join [Finish] f on "
                                          "f.PhoneNumber=d.MobilePhone where f.State='已发送'"))
                  .toInt(),
              0);
    EXPECT_EQ(conn->scalar(QStringLiteral("select count(*) from [DraftBox]")).toInt() + sent, 10000);
}

} // namespace
