#include "Backup.h"
#include "AtomicFile.h"
#include "CaseName.h"
#include "Controls.h"
#include "DataStore.h"
#include "Form1.h"
#include "GlobalState.h"
#include "MyTrayIcon.h"
#include "ScriptedDesktop.h"
#include "SettingsPage.h"
#include "TestProgramFolder.h"
#include "db/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Icon = Desktop::Icon;

const QString kFilter = QStringLiteral("Brenlo备份文件(*.qbk)|*.qbk");
const QString kUser = QStringLiteral("alice");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

int categoriesIn(const QString& databasePath)
{
    auto conn = db::Connection::open(databasePath, QByteArray(kDatabasePassword));
    return conn->scalar(QStringLiteral("SELECT count(*) FROM [ContactCategory] WHERE CategoryName LIKE 'backup-%'"))
        .toInt();
}

class BackupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        g_UserName = kUser;
        folder.makeUserDatabase(kUser);
        OpenDatabaseOrThrow(kUser + QStringLiteral(".mdb"));
        page = std::make_unique<SettingsPage>();
    }

    void addCategories(int count)
    {
        for (int i = 0; i < count; ++i)
            g_Conn->execute(QStringLiteral("INSERT INTO [ContactCategory] (CategoryName) VALUES ('backup-%1')").arg(i));
    }

    void click(const char* button) { Control<QPushButton>(*page, button)->click(); }

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<SettingsPage> page;
};

TEST_F(BackupTest, BackupHoldsRowsCommittedOnTheOpenConnection)
{
    addCategories(25);
    const QString target = folder.path(QStringLiteral("copy.qbk"));
    desktop.expectSaveFile(kFilter, target).expectMessage("备份完成", "提示", Icon::Information);

    click("AeroButton9");

    ASSERT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(categoriesIn(target), 25);
    // The program keeps working on its connection after the copy.
    EXPECT_FALSE(g_Conn->inTransaction());
    EXPECT_NO_THROW(addCategories(1));
}

TEST_F(BackupTest, ExistingNameIsRefusedAndAskedAgainWithoutTouchingIt)
{
    const QString taken = folder.path(QStringLiteral("taken.qbk"));
    const QString alsoTaken = folder.path(QStringLiteral("also.qbk"));
    writeFile(taken, "keep me");
    writeFile(alsoTaken, "me too");
    const QString fresh = folder.path(QStringLiteral("fresh.qbk"));
    desktop.expectSaveFile(kFilter, taken)
        .expectMessage("已经存在一个相同名字的文件，请更换其他名字！", "文件已存在", Icon::Information)
        .expectSaveFile(kFilter, alsoTaken)
        .expectMessage("已经存在一个相同名字的文件，请更换其他名字！", "文件已存在", Icon::Information)
        .expectSaveFile(kFilter, fresh)
        .expectMessage("备份完成", "提示", Icon::Information);

    click("AeroButton9");

    EXPECT_EQ(readAll(taken), QByteArray("keep me"));
    EXPECT_EQ(readAll(alsoTaken), QByteArray("me too"));
    EXPECT_EQ(categoriesIn(fresh), 0);
}

TEST_F(BackupTest, CancelIsSilentAlsoAfterARefusedName)
{
    const QString taken = folder.path(QStringLiteral("taken.qbk"));
    writeFile(taken, "keep me");
    desktop.expectSaveFile(kFilter, QString())
        .expectSaveFile(kFilter, taken)
        .expectMessage("已经存在一个相同名字的文件，请更换其他名字！", "文件已存在", Icon::Information)
        .expectSaveFile(kFilter, QString());

    click("AeroButton9"); // cancelled at once
    click("AeroButton9"); // cancelled after a refusal

    EXPECT_FALSE(desktop.pending());
    EXPECT_EQ(readAll(taken), QByteArray("keep me"));
}

TEST_F(BackupTest, NameWithoutExtensionGetsTheBackupExtension)
{
    desktop.expectSaveFile(kFilter, folder.path(QStringLiteral("monday")))
        .expectMessage("备份完成", "提示", Icon::Information);

    click("AeroButton9");

    EXPECT_TRUE(QFileInfo::exists(folder.path(QStringLiteral("monday.qbk"))));
    EXPECT_FALSE(QFileInfo::exists(folder.path(QStringLiteral("monday"))));
}

TEST_F(BackupTest, CopyThatCannotBeWrittenReportsFailureAndLeavesNothing)
{
    const QString target = folder.path(QStringLiteral("no-such-folder/copy.qbk"));
    desktop.expectSaveFile(kFilter, target).expectMessage("备份失败", "提示", Icon::Information);

    click("AeroButton9");

    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(BackupTest, BackupNeverOverwritesAndLeavesNoTemporaryFiles)
{
    const QString target = folder.path(QStringLiteral("late.qbk"));
    writeFile(target, "arrived first");

    EXPECT_FALSE(BackupUserDatabase(target));
    EXPECT_EQ(readAll(target), QByteArray("arrived first"));

    const QString fresh = folder.path(QStringLiteral("fresh.qbk"));
    EXPECT_TRUE(BackupUserDatabase(fresh));
    EXPECT_TRUE(QFileInfo::exists(fresh));
    const QStringList left = QDir(folder.folder()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
    EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char(' ')).toStdString();
}

// FAT and exFAT sticks and several network and FUSE file systems have no hard links: link(2)
// answers as they do, and the backup and a new user's first database still get their names.
struct LinkErrorCase
{
    const char* name;
    int error;
};

class NoHardLinksTest : public BackupTest, public ::testing::WithParamInterface<LinkErrorCase>
{
protected:
    static int refusedLink(const char*, const char*)
    {
        errno = GetParam().error;
        return -1;
    }
    void SetUp() override
    {
        BackupTest::SetUp();
        atomicfile::PlaceCalls calls;
        calls.link = refusedLink;
        m_before = atomicfile::setPlaceCalls(calls);
    }
    void TearDown() override { atomicfile::setPlaceCalls(m_before); }

private:
    atomicfile::PlaceCalls m_before;
};

TEST_P(NoHardLinksTest, BackupAndFirstSignInSucceed)
{
    addCategories(2);
    const QString target = folder.path(QStringLiteral("stick.qbk"));
    desktop.expectSaveFile(kFilter, target).expectMessage("备份完成", "提示", Icon::Information);
    click("AeroButton9");
    EXPECT_EQ(categoriesIn(target), 2);

    page.reset();
    CloseDatabase();
    g_UserName = QStringLiteral("bob");
    TrayRecorder tray;
    Form1 form;
    EXPECT_EQ(g_Conn->path(), folder.path(QStringLiteral("bob.mdb")));
}

INSTANTIATE_TEST_SUITE_P(LinkErrors, NoHardLinksTest,
                         ::testing::Values(LinkErrorCase{"Fat", EPERM}, LinkErrorCase{"Fuse", EOPNOTSUPP}),
                         NameFrom(&LinkErrorCase::name));

// A restore that died half-way leaves its staging copy (and perhaps the engine's log beside
// it); the next restore replaces them instead of failing without a word.
TEST_F(BackupTest, AStagingCopyLeftByACrashDoesNotStopTheNextRestore)
{
    const QString chosen = folder.path(QStringLiteral("chosen.qbk"));
    ASSERT_TRUE(QFile::copy(folder.makeUserDatabase(QStringLiteral("other")), chosen));
    const QString staging = PendingRestorePath() + QStringLiteral(".part");
    writeFile(staging, "left by a crash");
    writeFile(staging + QStringLiteral("-wal"), "its log");
    desktop.expectOpenFile(kFilter, chosen)
        .expectMessage("已经恢复备份数据，重新启动程序后生效！", "提示", Icon::Information);

    click("AeroButton41");

    EXPECT_EQ(readAll(PendingRestorePath()), readAll(chosen));
    EXPECT_FALSE(QFile::exists(staging));
    EXPECT_FALSE(QFile::exists(staging + QStringLiteral("-wal")));
}

TEST_F(BackupTest, BackupWithoutTheSharedConnectionStillHoldsCommittedRows)
{
    addCategories(3);
    // A second connection keeps the rows in the write-ahead log while the shared one is gone.
    auto writer = db::Connection::open(UserDatabasePath(), QByteArray(kDatabasePassword));
    CloseDatabase();
    writer->execute(QStringLiteral("INSERT INTO [ContactCategory] (CategoryName) VALUES ('backup-late')"));

    const QString target = folder.path(QStringLiteral("copy.qbk"));
    ASSERT_TRUE(BackupUserDatabase(target));
    EXPECT_EQ(categoriesIn(target), 4);
}

TEST_F(BackupTest, RestoreCopiesTheChosenBytesToThePendingFile)
{
    const QString chosen = folder.path(QStringLiteral("other.qbk"));
    ASSERT_TRUE(QFile::copy(folder.makeUserDatabase(QStringLiteral("other")), chosen));
    desktop.expectOpenFile(kFilter, chosen)
        .expectMessage("已经恢复备份数据，重新启动程序后生效！", "提示", Icon::Information);

    click("AeroButton41");

    EXPECT_EQ(PendingRestorePath(), folder.path(kUser + QStringLiteral(".recover")));
    EXPECT_EQ(readAll(PendingRestorePath()), readAll(chosen));
}

struct ForeignFileCase
{
    const char* name;
    std::function<void(const QString&)> make;
};

class RestoreRefusalTest : public BackupTest, public ::testing::WithParamInterface<ForeignFileCase>
{
};

// Anything else would become the user's database at the next start and fail to open there.
TEST_P(RestoreRefusalTest, RefusesAFileThatIsNoBackupAndKeepsThePendingOne)
{
    writeFile(PendingRestorePath(), "pending");
    const QString chosen = folder.path(QStringLiteral("chosen.qbk"));
    GetParam().make(chosen);
    const QByteArray before = readAll(chosen);
    desktop.expectOpenFile(kFilter, chosen)
        .expectMessage("所选文件不是本程序的备份文件，不能还原！", "提示", Icon::Exclamation);

    click("AeroButton41");

    EXPECT_EQ(readAll(PendingRestorePath()), QByteArray("pending"));
    EXPECT_EQ(readAll(chosen), before);
    EXPECT_FALSE(QFile::exists(chosen + QStringLiteral("-wal")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RestoreRefusalTest,
    ::testing::Values(ForeignFileCase{"Bytes",
                                      [](const QString& p) { writeFile(p, QByteArray("not a database\0\x01", 16)); }},
                      ForeignFileCase{"Empty", [](const QString& p) { writeFile(p, QByteArray()); }},
                      ForeignFileCase{"OtherKey",
                                      [](const QString& p) {
                                          db::Connection::create(p, QByteArrayLiteral("another"))
                                              ->execute(QStringLiteral("create table config (key text)"));
                                      }},
                      ForeignFileCase{"OtherTables",
                                      [](const QString& p) {
                                          db::Connection::create(p, QByteArray(kDatabasePassword))
                                              ->execute(QStringLiteral("create table config (key text)"));
                                      }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BackupTest, SecondRestoreReplacesTheFirstAndBackupStillCopiesTheDatabaseInUse)
{
    const QString first = folder.path(QStringLiteral("first.qbk"));
    const QString second = folder.path(QStringLiteral("second.qbk"));
    ASSERT_TRUE(QFile::copy(folder.makeUserDatabase(QStringLiteral("first")), first));
    ASSERT_TRUE(QFile::copy(folder.makeUserDatabase(QStringLiteral("second")), second));
    addCategories(2);
    const QString target = folder.path(QStringLiteral("after-restore.qbk"));
    desktop.expectOpenFile(kFilter, first)
        .expectMessage("已经恢复备份数据，重新启动程序后生效！", "提示", Icon::Information)
        .expectOpenFile(kFilter, second)
        .expectMessage("已经恢复备份数据，重新启动程序后生效！", "提示", Icon::Information)
        .expectSaveFile(kFilter, target)
        .expectMessage("备份完成", "提示", Icon::Information);

    click("AeroButton41");
    click("AeroButton41");
    click("AeroButton9");

    EXPECT_EQ(readAll(PendingRestorePath()), readAll(second));
    EXPECT_EQ(categoriesIn(target), 2);
}

TEST_F(BackupTest, RestoreCancelledOrUnreadableIsSilentAndKeepsThePendingFile)
{
    writeFile(PendingRestorePath(), "pending");
    desktop.expectOpenFile(kFilter, QString()).expectOpenFile(kFilter, folder.path(QStringLiteral("missing.qbk")));

    click("AeroButton41");
    click("AeroButton41");

    EXPECT_FALSE(desktop.pending());
    EXPECT_EQ(readAll(PendingRestorePath()), QByteArray("pending"));
}

} // namespace
