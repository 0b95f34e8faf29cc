#include "DataStore.h"
#include "DraftBoxWriter.h"
#include "TestProgramFolder.h"
#include "db/DbError.h"

#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

class DraftBoxWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.hasShippedDatabases());
        folder.makeUserDatabase(QStringLiteral("tester"));
        OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
    }
    // What another connection sees: only committed rows.
    static QStringList committedRows()
    {
        auto other = OpenWorkerConnection(QStringLiteral("tester.mdb"));
        auto rows = other->prepare(QStringLiteral(
            "select MobilePhone, ifnull(A,'<null>'), ifnull(E,'<null>'), IsRepeat from [DraftBox] order by id"));
        QStringList out;
        while (rows->next())
            out << QStringLiteral("%1|%2|%3|%4")
                       .arg(rows->value(0).toString(), rows->value(1).toString(), rows->value(2).toString(),
                            rows->value(3).toString());
        return out;
    }
    TestProgramFolder folder;
};

TEST_F(DraftBoxWriterTest, RepeatsCountUncommittedRowsAndEarlierOnes)
{
    g_Conn->execute(QStringLiteral("insert into [DraftBox] (MobilePhone, IsRepeat) values ('13700000000', 0)"));
    DraftBoxWriter writer(*g_Conn);
    EXPECT_FALSE(writer.add(QStringLiteral("13800000001"), {QStringLiteral("O'Brien --")}));
    EXPECT_TRUE(writer.add(QStringLiteral("13800000001")));
    EXPECT_TRUE(writer.add(QStringLiteral("13700000000"), {QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("e")}));
    EXPECT_EQ(writer.pending(), 3);
    writer.commit();
    EXPECT_EQ(committedRows(), QStringList({"13700000000|<null>|<null>|0", "13800000001|O'Brien --|<null>|0",
                                            "13800000001|<null>|<null>|1", "13700000000|<null>|e|1"}));
}

TEST_F(DraftBoxWriterTest, LeavingByAFailureKeepsTheRowsAdded)
{
    // The third insert fails inside the engine, in the middle of a group.
    g_Conn->execute(QStringLiteral("create trigger refuse before insert on DraftBox when new.MobilePhone = "
                                   "'13800000003' begin select raise(abort, 'refused'); end"));
    try {
        DraftBoxWriter writer(*g_Conn);
        for (const char* number : {"13800000001", "13800000002", "13800000003", "13800000004"})
            writer.add(QString::fromLatin1(number));
        ADD_FAILURE() << "the trigger did not fire";
    } catch (const db::DbError&) {
    }
    EXPECT_EQ(committedRows(), QStringList({"13800000001|<null>|<null>|0", "13800000002|<null>|<null>|0"}));
    EXPECT_FALSE(g_Conn->inTransaction());
}

TEST_F(DraftBoxWriterTest, AGroupOpenForAWhileIsCommittedWhenDue)
{
    DraftBoxWriter writer(*g_Conn);
    writer.add(QStringLiteral("13800000001"));
    QThread::msleep(60);
    EXPECT_TRUE(writer.commitIfDue());
    EXPECT_EQ(writer.pending(), 0);
    EXPECT_EQ(committedRows().size(), 1);
    EXPECT_FALSE(writer.commitIfDue()); // nothing left to commit
}

} // namespace
