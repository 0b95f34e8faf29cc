#include "Backup.h"
#include "CaseName.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "PendingRestore.h"
#include "TestProgramFolder.h"
#include "db/Connection.h"

#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>

// A process that dies at each named step of a restore or a backup (abort(), as a crash or a
// kill would end it) must leave a database that opens and holds one whole state.
namespace {

const QString kUser = QStringLiteral("crash");

// The categories a database holds, or "broken" when it does not open or check whole.
QString stateOf(const QString& path)
{
    try {
        auto conn = db::Connection::open(path, QByteArray(kDatabasePassword));
        if (conn->scalar(QStringLiteral("PRAGMA integrity_check")).toString() != QStringLiteral("ok"))
            return QStringLiteral("broken");
        return conn->scalar(QStringLiteral("select group_concat(CategoryName) from [ContactCategory]")).toString();
    } catch (const db::DbError&) {
        return QStringLiteral("broken");
    }
}

void addCategory(const QString& path, const QString& name)
{
    auto conn = db::Connection::open(path, QByteArray(kDatabasePassword));
    conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName) values ('%1')").arg(name));
    // The connection closes without a checkpoint of ours, as a running program leaves it.
}

class CrashPointTest : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        // Forked, so the child works on this test's folder (a re-run child would make its own).
        GTEST_FLAG_SET(death_test_style, "fast");
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        g_UserName = kUser;
        database = folder.makeUserDatabase(kUser);
        addCategory(database, QStringLiteral("old"));
    }
    void TearDown() override { qunsetenv("QUORVEL_CRASH_AT"); }

    // Runs step in a child process that dies at this case's crash point.
    void crashIn(const std::function<void()>& step)
    {
        qputenv("QUORVEL_CRASH_AT", GetParam());
        EXPECT_DEATH(step(), "");
        qunsetenv("QUORVEL_CRASH_AT");
    }

    TestProgramFolder folder;
    QString database;
};

using RestoreCrash = CrashPointTest;

TEST_P(RestoreCrash, LeavesTheOldOrTheNewDatabase)
{
    const QString backup = folder.makeUserDatabase(QStringLiteral("other"));
    addCategory(backup, QStringLiteral("new"));
    ASSERT_TRUE(QFile::copy(backup, folder.path(kUser + QStringLiteral(".recover"))));

    crashIn([this] { ApplyPendingRestore(folder.folder()); });

    const QString state = stateOf(database);
    EXPECT_TRUE(state == QStringLiteral("old") || state == QStringLiteral("new")) << state.toStdString();
    // What is still pending goes in at the next start.
    ApplyPendingRestore(folder.folder());
    EXPECT_EQ(stateOf(database), QStringLiteral("new"));
}

INSTANTIATE_TEST_SUITE_P(Steps, RestoreCrash,
                         ::testing::Values("restore-after-checkpoint", "copy-first-chunk", "commit-before-rename",
                                           "commit-after-rename", "restore-before-remove"),
                         ByValue());

using BackupCrash = CrashPointTest;

TEST_P(BackupCrash, LeavesTheDatabaseUsableAndNoBackupUnderTheName)
{
    const QString target = folder.path(QStringLiteral("saved.qbk"));
    crashIn([&] { BackupUserDatabase(target); });

    EXPECT_EQ(stateOf(database), QStringLiteral("old"));
    EXPECT_FALSE(QFile::exists(target));
    // The next backup to that name is not stopped by what the dead one left.
    EXPECT_TRUE(BackupUserDatabase(target));
    EXPECT_EQ(stateOf(target), QStringLiteral("old"));
}

INSTANTIATE_TEST_SUITE_P(Steps, BackupCrash, ::testing::Values("copy-first-chunk", "commit-before-rename"), ByValue());

} // namespace
