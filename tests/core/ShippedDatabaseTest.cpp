// The files the build ships: the two databases (keyed, complete, with the schema and rows the
// program reads) and the blank page of the web panels. What the program writes into them is
// tested through the windows and units that write it.

#include "CaseName.h"
#include "DataStore.h"
#include "Query.h"
#include "TestProgramFolder.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <QFile>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kProgramDir = QStringLiteral(QUORVEL_PROGRAM_DIR);

// A private copy of one shipped file: data.mdb the way a new user's database is made from it.
class ShippedDatabase : public ::testing::Test
{
protected:
    void openCopyOf(const QString& shippedFile)
    {
        ASSERT_TRUE(m_folder.hasShippedDatabases());
        const QString path = shippedFile == QStringLiteral("data.mdb")
                                 ? m_folder.makeUserDatabase(QStringLiteral("tester"))
                                 : m_folder.path(shippedFile);
        m_conn = db::Connection::open(path, QByteArray(kDatabasePassword));
    }

    QStringList fieldNames(const QString& sql)
    {
        db::Recordset rs;
        rs.Open(sql, *m_conn);
        QStringList names;
        for (int i = 0; i < rs.FieldCount(); ++i)
            names << rs.FieldName(i);
        return names;
    }

    TestProgramFolder m_folder;
    std::unique_ptr<db::Connection> m_conn;
};

class ShippedFile : public ::testing::TestWithParam<const char*>
{
};

TEST_P(ShippedFile, IsKeyedCompleteAndAlone)
{
    const QString path = kProgramDir + QLatin1Char('/') + QString::fromUtf8(GetParam());
    ASSERT_TRUE(QFile::exists(path));
    // A byte copy must carry every row: no log may be left beside the shipped file.
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-shm")));
    EXPECT_THROW(db::Connection::openUnkeyed(path)->scalar(QStringLiteral("select count(*) from sqlite_master")),
                 db::DbError);
    auto conn = db::Connection::open(path, QByteArray(kDatabasePassword));
    EXPECT_GT(conn->scalar(QStringLiteral("select count(*) from sqlite_master where type='table'")).toInt(), 0);
}

INSTANTIATE_TEST_SUITE_P(Databases, ShippedFile, ::testing::Values("data.mdb", "user.mdb"), ByValue());

TEST(ShippedPage, BlankPageIsAnEmptyUtf8Document)
{
    QFile page(kProgramDir + QStringLiteral("/blank.htm"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("<html"), Qt::CaseInsensitive));
    EXPECT_TRUE(text.contains(QStringLiteral("utf-8"), Qt::CaseInsensitive));
    EXPECT_TRUE(text.contains(QStringLiteral("<body></body>"), Qt::CaseInsensitive));
}

// Column names exactly as the lists bind them (a list column shows the field of its key, case
// included), so a misspelt column in the schema shows up here.
struct TableColumns
{
    const char* file;
    const char* table;
    QStringList columns;
};

class ShippedColumns : public ShippedDatabase, public ::testing::WithParamInterface<TableColumns>
{
};

TEST_P(ShippedColumns, SelectStarNamesEveryColumn)
{
    openCopyOf(QString::fromUtf8(GetParam().file));
    EXPECT_EQ(fieldNames(QStringLiteral("select * from [%1]").arg(QString::fromUtf8(GetParam().table))),
              GetParam().columns);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ShippedColumns,
    ::testing::Values(
        TableColumns{"data.mdb", "config", {"key", "value"}},
        TableColumns{"data.mdb", "ContactCategory", {"id", "CategoryName", "ParentId"}},
        TableColumns{"data.mdb",
                     "ContactList",
                     {"id", "Selected", "Name", "MobilePhone", "Sex", "Birthday", "CatID", "Marriage", "IdCardNum",
                      "Vocation", "Job", "Favorite", "EMail", "Address", "Remark"}},
        TableColumns{"data.mdb", "MsgCategory", {"id", "CategoryName", "ParentId"}},
        TableColumns{"data.mdb", "DestineMsg", {"id", "CatID", "Message"}},
        TableColumns{"data.mdb",
                     "DraftBox",
                     {"id", "IsSelect", "MobilePhone", "A", "B", "C", "D", "E", "IsRepeat", "Preference"}},
        TableColumns{"data.mdb", "Preference", {"MobilePhone", "isUpload"}},
        TableColumns{"data.mdb", "Messages", {"id", "Message", "SubmitTime", "FinishTime", "Amount", "FailNum"}},
        TableColumns{"data.mdb", "Finish", {"ID", "PhoneNumber", "MsgId", "State"}},
        TableColumns{"user.mdb", "User", {"username", "password", "remember", "LastLogin"}}),
    [](const auto& info) { return std::string(info.param.table); });

// The rows a new database starts with: the settings the program reads, and no user yet.
struct ShippedRows
{
    const char* name;
    const char* file;
    const char* sql;
    const char* field;
    QStringList values;
};

class ShippedTemplateRows : public ShippedDatabase, public ::testing::WithParamInterface<ShippedRows>
{
};

TEST_P(ShippedTemplateRows, HoldOnlyWhatTheProgramReads)
{
    openCopyOf(QString::fromUtf8(GetParam().file));
    EXPECT_EQ(column(*m_conn, QString::fromUtf8(GetParam().sql), QString::fromUtf8(GetParam().field)),
              GetParam().values);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShippedTemplateRows,
    ::testing::Values(
        ShippedRows{"Verson", "data.mdb", "select * from [config] where key='Verson'", "value", {"1.0.0"}},
        ShippedRows{"EmpSign", "data.mdb", "select * from [config] where key='EmpSign'", "value", {""}},
        ShippedRows{"BirthdayNum", "data.mdb", "select * from [config] where key='BirthdayNum'", "value", {}},
        ShippedRows{"Users", "user.mdb", "select * from [User]", "username", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Ids are never handed out again: a history row keeps pointing at its own run, a grid row key
// at its own number, after the rows before them were deleted.
class ShippedKeys : public ShippedDatabase, public ::testing::WithParamInterface<const char*>
{
protected:
    void SetUp() override { openCopyOf(QStringLiteral("data.mdb")); }
};

TEST_P(ShippedKeys, DeletedIdsAreNeverHandedOutAgain)
{
    const QString table = QStringLiteral("[%1]").arg(QString::fromUtf8(GetParam()));
    m_conn->execute(QStringLiteral("insert into %1 default values").arg(table));
    m_conn->execute(QStringLiteral("insert into %1 default values").arg(table));
    const qint64 highest = m_conn->lastInsertId();
    m_conn->execute(QStringLiteral("delete from %1").arg(table));
    m_conn->execute(QStringLiteral("insert into %1 default values").arg(table));
    EXPECT_GT(m_conn->lastInsertId(), highest);
    EXPECT_EQ(count(*m_conn, QStringLiteral("select * from %1").arg(table)), 1);
}

INSTANTIATE_TEST_SUITE_P(Tables, ShippedKeys,
                         ::testing::Values("ContactCategory", "ContactList", "MsgCategory", "DestineMsg", "DraftBox",
                                           "Messages", "Finish"),
                         ByValue());

} // namespace
