#include "Backup.h"
#include "CaseName.h"
#include "DataStore.h"
#include "Form1.h"
#include "GlobalState.h"
#include "MyTrayIcon.h"
#include "PendingRestore.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"
#include "db/Connection.h"

#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <gtest/gtest.h>

// A process that dies at each named step of a restore, a backup or the making of a new user's
// database (abort(), as a crash or a kill would end it) must leave a database that opens and
// holds one whole state.
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

// Makes the file several of the copy's 1 MiB chunks long, so that a step that dies after the
// first chunk has written a part of the file, not the whole of it.
void makeLarge(const QString& path)
{
    auto conn = db::Connection::open(path, QByteArray(kDatabasePassword));
    conn->execute(QStringLiteral("create table [Ballast] (b blob)"));
    conn->execute(QStringLiteral("insert into [Ballast] values (randomblob(3500000))"));
    conn->checkpoint();
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
};

// The user's database exists and holds the category "old".
class StoredDatabaseCrash : public CrashPointTest
{
protected:
    void SetUp() override
    {
        CrashPointTest::SetUp();
        database = folder.makeUserDatabase(kUser);
        makeLarge(database);
        addCategory(database, QStringLiteral("old"));
    }

    QString database;
};

using RestoreCrash = StoredDatabaseCrash;

TEST_P(RestoreCrash, LeavesTheOldOrTheNewDatabase)
{
    const QString backup = folder.makeUserDatabase(QStringLiteral("other"));
    makeLarge(backup);
    addCategory(backup, QStringLiteral("new"));
    ASSERT_GT(QFileInfo(backup).size(), 3 << 20);
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
                                           "commit-rename", "commit-after-rename", "restore-before-remove"),
                         ByValue());

using BackupCrash = StoredDatabaseCrash;

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

INSTANTIATE_TEST_SUITE_P(Steps, BackupCrash,
                         ::testing::Values("copy-first-chunk", "commit-before-rename", "commit-rename"), ByValue());

// The first sign-in of a user makes the database from the template, which here holds the
// category "template" and is several chunks long.
class NewUserDatabaseCrash : public CrashPointTest
{
protected:
    void SetUp() override
    {
        CrashPointTest::SetUp();
        g_Online = false;
        makeLarge(folder.path(QStringLiteral("data.mdb")));
        addCategory(folder.path(QStringLiteral("data.mdb")), QStringLiteral("template"));
    }

    ScriptedDesktop desktop;
    TrayRecorder tray;
};

TEST_P(NewUserDatabaseCrash, LeavesNoDatabaseOrAWholeOneAndTheNextSignInOpensIt)
{
    const QString database = folder.path(kUser + QStringLiteral(".mdb"));
    crashIn([] { Form1 form; });

    if (QFile::exists(database)) {
        EXPECT_EQ(stateOf(database), QStringLiteral("template"));
    }
    {
        Form1 form;
        EXPECT_EQ(g_Conn->path(), database);
    }
    EXPECT_EQ(stateOf(database), QStringLiteral("template"));
}

INSTANTIATE_TEST_SUITE_P(Steps, NewUserDatabaseCrash,
                         ::testing::Values("copy-first-chunk", "commit-before-rename", "commit-rename",
                                           "commit-after-rename"),
                         ByValue());

} // namespace
