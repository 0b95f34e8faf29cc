#include "DataStore.h"
#include "CaseName.h"
#include "TestProgramFolder.h"
#include "db/DbError.h"

#include <QCoreApplication>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class DataStoreTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.hasShippedDatabases()); }

    QString expectedConnString(const QString& file) const
    {
        return QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_folder.folder() +
               QStringLiteral("/") + file + QStringLiteral(";Jet OLEDB:Database Password=5e0b93d7a4c1f628");
    }

    TestProgramFolder m_folder;
};

TEST_F(DataStoreTest, OpenSetsConnectionRecordsetAndConnString)
{
    OpenDatabaseOrThrow(QStringLiteral("data.mdb"));
    ASSERT_TRUE(g_Conn);
    ASSERT_TRUE(g_Rs);
    EXPECT_EQ(g_Conn->path(), m_folder.path(QStringLiteral("data.mdb")));
    EXPECT_EQ(g_ConnString, expectedConnString(QStringLiteral("data.mdb")));
    EXPECT_FALSE(g_Rs->IsOpen());

    g_Rs->Open(QStringLiteral("select * from [config] where key='Verson'"), *g_Conn);
    EXPECT_EQ(g_Rs->RecordCount(), 1);
}

TEST_F(DataStoreTest, RecordCountOfUserDatabaseIsExactAtOpen)
{
    OpenDatabaseOrThrow(QStringLiteral("user.mdb"));
    for (const char* name : {"a", "b", "c"})
        g_Conn->execute(
            QStringLiteral("insert into [User] (username,password,remember,LastLogin) values('%1','p',true,false)")
                .arg(QLatin1String(name)));
    g_Rs->Open(QStringLiteral("select * from [User] where remember=true"), *g_Conn);
    EXPECT_EQ(g_Rs->RecordCount(), 3);
    g_Rs->Close();
    g_Rs->Open(QStringLiteral("select * from [User] where LastLogin=true"), *g_Conn);
    EXPECT_EQ(g_Rs->RecordCount(), 0);
}

TEST_F(DataStoreTest, ReopeningReleasesThePreviousConnection)
{
    const int before = db::Connection::openCount();
    OpenDatabaseOrThrow(QStringLiteral("user.mdb"));
    OpenDatabaseOrThrow(QStringLiteral("user.mdb"));
    EXPECT_EQ(db::Connection::openCount(), before + 1);
    OpenDatabaseOrThrow(QStringLiteral("data.mdb"));
    EXPECT_EQ(db::Connection::openCount(), before + 1);
    EXPECT_EQ(g_Conn->path(), m_folder.path(QStringLiteral("data.mdb")));
    CloseDatabase();
    EXPECT_FALSE(g_Conn);
    EXPECT_FALSE(g_Rs);
    EXPECT_EQ(db::Connection::openCount(), before);
}

struct BadOpen
{
    const char* file;
    const char* content; // nullptr: the file does not exist
    int expected;
};

class FailedOpenTest : public DataStoreTest, public ::testing::WithParamInterface<BadOpen>
{
};

TEST_P(FailedOpenTest, KeepsThePreviousConnectionAndCreatesNothing)
{
    OpenDatabaseOrThrow(QStringLiteral("data.mdb"));
    const db::Connection* previous = g_Conn.get();
    const QString target = m_folder.path(QString::fromUtf8(GetParam().file));
    if (GetParam().content) {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(GetParam().content);
    }

    try {
        OpenDatabaseOrThrow(QString::fromUtf8(GetParam().file));
        FAIL() << "opened";
    } catch (const db::DbError& e) {
        EXPECT_EQ(e.number(), GetParam().expected);
    }
    EXPECT_EQ(g_Conn.get(), previous);
    EXPECT_EQ(g_ConnString, expectedConnString(QStringLiteral("data.mdb")));
    EXPECT_EQ(QFile::exists(target), GetParam().content != nullptr);
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select value from [config] where key='Verson'")).isNull(), false);
}

INSTANTIATE_TEST_SUITE_P(Files, FailedOpenTest,
                         ::testing::Values(BadOpen{"nobody.mdb", nullptr, db::ErrFileNotFound},
                                           BadOpen{"junk.mdb", "this is no database", db::ErrCannotOpen}),
                         NameFrom(&BadOpen::file));

TEST_F(DataStoreTest, UserDatabaseIsACopyOfTheTemplate)
{
    const QString path = m_folder.makeUserDatabase(QStringLiteral("张三"));
    EXPECT_EQ(path, m_folder.path(QStringLiteral("张三.mdb")));
    OpenDatabaseOrThrow(QStringLiteral("张三.mdb"));
    EXPECT_EQ(
        g_Conn->scalar(QStringLiteral("select count(*) from [config] where key in ('Verson','EmpSign')")).toLongLong(),
        2);
    EXPECT_EQ(g_ConnString, expectedConnString(QStringLiteral("张三.mdb")));
}

TEST_F(DataStoreTest, WorkerConnectionSeesTheWindowThreadsRows)
{
    OpenDatabaseOrThrow(QStringLiteral("data.mdb"));
    auto worker = OpenWorkerConnection(QStringLiteral("data.mdb"));
    g_Conn->execute(QStringLiteral("insert into [Preference] (MobilePhone,isUpload) values('13800000000',false)"));
    EXPECT_EQ(worker->scalar(QStringLiteral("select count(*) from [Preference] where isUpload = false")).toLongLong(),
              1);
    worker->execute(QStringLiteral("update [Preference] set isUpload=true"));
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Preference] where isUpload = true")).toLongLong(),
              1);
}

TEST(ProgramFolderTest, DefaultsToTheExecutablesFolderAndBuildsPaths)
{
    const QString saved = ProgramFolder();
    SetProgramFolder(QString());
    EXPECT_EQ(ProgramFolder(), QCoreApplication::applicationDirPath());
    SetProgramFolder(QStringLiteral("/opt/q"));
    EXPECT_EQ(ProgramFile(QStringLiteral("user.mdb")), QStringLiteral("/opt/q/user.mdb"));
    SetProgramFolder(saved);
}

TEST(TestProgramFolderTest, PutsThePreviousFolderBackAndClosesTheConnection)
{
    const QString saved = ProgramFolder();
    {
        TestProgramFolder folder;
        EXPECT_EQ(ProgramFolder(), folder.folder());
        OpenDatabaseOrThrow(QStringLiteral("data.mdb"));
    }
    EXPECT_EQ(ProgramFolder(), saved);
    EXPECT_FALSE(g_Conn);
}

} // namespace
