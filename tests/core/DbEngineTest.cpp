#include "DataStore.h"
#include "TestProgramFolder.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <QFile>
#include <functional>
#include <gtest/gtest.h>

using db::Connection;
using db::DbError;
using db::LockType;
using db::Recordset;

namespace {

const QByteArray kKey(kDatabasePassword);

const QString kPeopleSchema =
    QStringLiteral("CREATE TABLE People (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT COLLATE NOCASE, Age INTEGER, "
                   "Note TEXT, Flag INTEGER NOT NULL DEFAULT 0);"
                   "CREATE TABLE Pets (id INTEGER PRIMARY KEY AUTOINCREMENT, Owner INTEGER, Kind TEXT);"
                   "INSERT INTO People (Name, Age) VALUES ('Ann', 30);"
                   "INSERT INTO People (Name, Age, Note) VALUES ('Bob', 41, 'n');"
                   "INSERT INTO People (Name, Age) VALUES ('Cid', 52);"
                   "INSERT INTO Pets (Owner, Kind) VALUES (1, 'cat');");

// Runs fn and returns the number of the DbError it throws, or 0 when it throws none.
int errorNumberOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DbEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = m_folder.createDatabase(QStringLiteral("people.mdb"), kPeopleSchema);
        m_conn = Connection::open(m_path, kKey);
    }

    qlonglong count(const QString& where = QStringLiteral("1=1"))
    {
        return m_conn->scalar(QStringLiteral("select count(*) from People where ") + where).toLongLong();
    }

    TestProgramFolder m_folder;
    QString m_path;
    std::unique_ptr<Connection> m_conn;
};

TEST_F(DbEngineTest, OpeningAMissingFileFailsAndCreatesNothing)
{
    const QString missing = m_folder.path(QStringLiteral("missing.mdb"));
    EXPECT_EQ(errorNumberOf([&] { Connection::open(missing, kKey); }), db::ErrFileNotFound);
    EXPECT_EQ(errorNumberOf([&] { Connection::openUnkeyed(missing); }), db::ErrFileNotFound);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        EXPECT_FALSE(QFile::exists(missing + QLatin1String(suffix))) << suffix;
}

struct RefusedFile
{
    const char* label;
    std::function<void(const QString& path)> make;
    int expected;
};

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class RefusedFileTest : public ::testing::TestWithParam<RefusedFile>
{
};

TEST_P(RefusedFileTest, IsRefusedWithItsNumberAndLeftUntouched)
{
    TestProgramFolder folder;
    const QString path = folder.path(QStringLiteral("other.mdb"));
    GetParam().make(path);
    const QByteArray before = fileBytes(path);

    EXPECT_EQ(errorNumberOf([&] { Connection::open(path, kKey); }), GetParam().expected);
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedFileTest,
    ::testing::Values(RefusedFile{"OtherKey",
                                  [](const QString& p) {
                                      auto c = Connection::create(p, QByteArrayLiteral("another password"));
                                      c->execute(QStringLiteral("CREATE TABLE t (a TEXT)"));
                                  },
                                  db::ErrNotValidPassword},
                      RefusedFile{"PlainText",
                                  [](const QString& p) { writeBytes(p, QByteArrayLiteral("hello, not a database\n")); },
                                  db::ErrCannotOpen},
                      RefusedFile{"Empty", [](const QString& p) { writeBytes(p, QByteArray()); }, db::ErrCannotOpen},
                      RefusedFile{"Unkeyed",
                                  [](const QString& p) {
                                      auto c = Connection::create(p, QByteArray());
                                      c->execute(QStringLiteral("CREATE TABLE t (a TEXT)"));
                                  },
                                  db::ErrCannotOpen}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(DbEngineTest, UnkeyedOpenReadsPlainFilesAndRefusesKeyedOnes)
{
    const QString plain = m_folder.path(QStringLiteral("plain.db"));
    Connection::create(plain, QByteArray())
        ->executeScript(QStringLiteral("CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('x')"));
    EXPECT_EQ(Connection::openUnkeyed(plain)->scalar(QStringLiteral("select a from t")).toString(),
              QStringLiteral("x"));
    EXPECT_EQ(errorNumberOf([&] { Connection::openUnkeyed(m_path); }), db::ErrCannotOpen);
}

TEST_F(DbEngineTest, CreateRefusesAnExistingFile)
{
    const QByteArray before = fileBytes(m_path);
    EXPECT_NE(errorNumberOf([&] { Connection::create(m_path, kKey); }), 0);
    EXPECT_EQ(fileBytes(m_path), before);
}

TEST_F(DbEngineTest, RecordCountIsExactBeforeAnyMove)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from [People]"), *m_conn);
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.Field(QStringLiteral("Name")).toString(), QStringLiteral("Ann"));

    rs.Open(QStringLiteral("select * from [People] where Name='nobody'"), *m_conn);
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(rs.IsBOF());
}

TEST_F(DbEngineTest, FieldsKeepTheirTypesAndNulls)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from People order by id"), *m_conn);
    EXPECT_EQ(rs.Field(QStringLiteral("age")).typeId(), QMetaType::LongLong);
    EXPECT_EQ(rs.Field(QStringLiteral("AGE")).toLongLong(), 30);
    EXPECT_EQ(rs.Field(QStringLiteral("name")).typeId(), QMetaType::QString);
    EXPECT_TRUE(rs.Field(QStringLiteral("Note")).isNull());
    rs.MoveNext();
    EXPECT_EQ(rs.Field(QStringLiteral("Note")).toString(), QStringLiteral("n"));
    EXPECT_TRUE(rs.HasField(QStringLiteral("NOTE")));
    EXPECT_FALSE(rs.HasField(QStringLiteral("rowid"))); // the hidden row id is no field
    EXPECT_EQ(rs.FieldCount(), 5);
}

TEST_F(DbEngineTest, UnknownFieldAndMissingRowAreErrors)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from People"), *m_conn, LockType::Optimistic);
    EXPECT_EQ(errorNumberOf([&] { rs.Field(QStringLiteral("Nope")); }), db::ErrItemNotFound);
    EXPECT_EQ(errorNumberOf([&] { rs.SetField(QStringLiteral("Nope"), 1); }), db::ErrItemNotFound);
    rs.MoveLast();
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(errorNumberOf([&] { rs.Field(QStringLiteral("Name")); }), db::ErrNoCurrentRecord);
    EXPECT_EQ(errorNumberOf([&] { rs.MoveNext(); }), db::ErrNoCurrentRecord);
    rs.Close();
    EXPECT_EQ(errorNumberOf([&] { rs.RecordCount(); }), db::ErrObjectClosed);
}

TEST_F(DbEngineTest, AddNewUpdateMakesTheNewRowCurrentWithItsId)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from [People] where Age > 40"), *m_conn, LockType::Optimistic);
    ASSERT_EQ(rs.RecordCount(), 2);
    rs.AddNew();
    rs.SetField(QStringLiteral("name"), QStringLiteral("Dee"));
    rs.SetField(QStringLiteral("Age"), 7);
    rs.Update();

    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.Field(QStringLiteral("id")).toLongLong(), m_conn->lastInsertId());
    EXPECT_EQ(rs.Field(QStringLiteral("id")).toLongLong(), 4);
    EXPECT_EQ(rs.Field(QStringLiteral("Flag")).toLongLong(), 0); // the table's default came back
    EXPECT_EQ(count(QStringLiteral("Name='Dee' and Age=7")), 1);
}

TEST_F(DbEngineTest, SetFieldUpdateAndDeleteWriteThroughByRow)
{
    Recordset rs;
    rs.Open(QStringLiteral("select id, Name from People where Name='Bob'"), *m_conn, LockType::Optimistic);
    rs.SetField(QStringLiteral("Name"), QStringLiteral("Bobby"));
    EXPECT_EQ(rs.Field(QStringLiteral("Name")).toString(), QStringLiteral("Bobby"));
    EXPECT_EQ(count(QStringLiteral("Name='Bobby'")), 0); // nothing written before Update
    rs.Update();
    EXPECT_EQ(count(QStringLiteral("Name='Bobby' and Age=41")), 1);
    EXPECT_EQ(count(), 3);

    rs.Delete();
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_EQ(count(QStringLiteral("Name='Bobby'")), 0);
    EXPECT_EQ(count(), 2);
}

TEST_F(DbEngineTest, CancelUpdateWritesNothing)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from People"), *m_conn, LockType::Optimistic);
    rs.SetField(QStringLiteral("Name"), QStringLiteral("Zed"));
    rs.CancelUpdate();
    EXPECT_EQ(rs.Field(QStringLiteral("Name")).toString(), QStringLiteral("Ann"));
    rs.AddNew();
    rs.SetField(QStringLiteral("Name"), QStringLiteral("Zed"));
    rs.CancelUpdate();
    rs.MoveNext();
    EXPECT_EQ(count(QStringLiteral("Name='Zed'")), 0);
    EXPECT_EQ(rs.RecordCount(), 3);
}

TEST_F(DbEngineTest, MovingOffAnEditedRowWritesIt)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from People order by id"), *m_conn, LockType::Optimistic);
    rs.SetField(QStringLiteral("Age"), 31);
    rs.MoveNext();
    EXPECT_EQ(count(QStringLiteral("Name='Ann' and Age=31")), 1);
}

TEST_F(DbEngineTest, DeletingWhileWalkingVisitsEveryRow)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from People"), *m_conn, LockType::Optimistic);
    int deleted = 0;
    while (!rs.IsEOF()) {
        rs.Delete();
        ++deleted;
        rs.MoveNext();
    }
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(count(), 0);
}

TEST_F(DbEngineTest, AutoNumberNeverReusesAnId)
{
    m_conn->execute(QStringLiteral("delete from [People] where id=3"));
    m_conn->execute(QStringLiteral("insert into [People] (Name) values ('New')"));
    EXPECT_EQ(m_conn->lastInsertId(), 4);
}

struct RefusedEdit
{
    const char* label;
    const char* sql;
    LockType lock;
};

class RefusedEditTest : public DbEngineTest, public ::testing::WithParamInterface<RefusedEdit>
{
};

TEST_P(RefusedEditTest, EditsThrowNotUpdatableAndWriteNothing)
{
    Recordset rs;
    rs.Open(QString::fromUtf8(GetParam().sql), *m_conn, GetParam().lock);
    ASSERT_GT(rs.RecordCount(), 0);
    EXPECT_EQ(errorNumberOf([&] { rs.AddNew(); }), db::ErrNotUpdatable);
    EXPECT_EQ(errorNumberOf([&] { rs.SetField(rs.FieldName(0), 99); }), db::ErrNotUpdatable);
    EXPECT_EQ(errorNumberOf([&] { rs.Delete(); }), db::ErrNotUpdatable);
    EXPECT_EQ(count(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, RefusedEditTest,
    ::testing::Values(
        RefusedEdit{"ReadOnly", "select * from [People]", LockType::ReadOnly},
        RefusedEdit{"TwoTables", "select * from People, Pets", LockType::Optimistic},
        RefusedEdit{"Join", "select * from People inner join Pets on Pets.Owner = People.id", LockType::Optimistic},
        RefusedEdit{"Grouped", "select Name, count(*) as n from People group by Name", LockType::Optimistic},
        RefusedEdit{"Distinct", "select distinct Name from People", LockType::Optimistic}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(DbEngineTest, ComputedFieldsCannotBeSet)
{
    Recordset rs;
    rs.Open(QStringLiteral("select id, Age + 1 as Next from People"), *m_conn, LockType::Optimistic);
    EXPECT_EQ(errorNumberOf([&] { rs.SetField(QStringLiteral("Next"), 5); }), db::ErrNotUpdatable);
    rs.SetField(QStringLiteral("id"), 10); // the table column beside it still can
    rs.Update();
    EXPECT_EQ(count(QStringLiteral("id=10 and Name='Ann'")), 1);
}

struct FailingStatement
{
    const char* label;
    const char* setup;
    const char* sql;
    int expected;
};

class FailingStatementTest : public DbEngineTest, public ::testing::WithParamInterface<FailingStatement>
{
};

TEST_P(FailingStatementTest, MapsToJetNumbers)
{
    if (*GetParam().setup)
        m_conn->execute(QString::fromUtf8(GetParam().setup));
    try {
        m_conn->execute(QString::fromUtf8(GetParam().sql));
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), GetParam().expected) << e.description().toStdString();
        EXPECT_FALSE(e.description().isEmpty());
        EXPECT_TRUE(e.boxText().startsWith(QStringLiteral("错误号：%1\r\n错误描述：").arg(GetParam().expected)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Statements, FailingStatementTest,
    ::testing::Values(FailingStatement{"Syntax", "", "selec * from People", db::ErrSyntax},
                      FailingStatement{"UnknownTable", "", "select * from [Nowhere]", db::ErrSyntax},
                      FailingStatement{"ReadOnly", "PRAGMA query_only=1", "delete from People", db::ErrReadOnly},
                      FailingStatement{"DiskFull", "PRAGMA max_page_count=8",
                                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<5000) "
                                       "INSERT INTO People (Name) SELECT 'row number ' || i FROM n",
                                       db::ErrDiskFull},
                      FailingStatement{"Constraint", "", "insert into People (id, Name) values (1, 'again')",
                                       db::ErrGeneric}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(DbEngineTest, TransactionRollsBackUnlessCommitted)
{
    {
        db::Transaction tx(*m_conn);
        m_conn->execute(QStringLiteral("delete from People"));
        EXPECT_TRUE(m_conn->inTransaction());
    }
    EXPECT_FALSE(m_conn->inTransaction());
    EXPECT_EQ(count(), 3);
    {
        db::Transaction tx(*m_conn);
        m_conn->execute(QStringLiteral("delete from People where Name='Ann'"));
        tx.commit();
    }
    EXPECT_EQ(count(), 2);
}

TEST_F(DbEngineTest, PreparedStatementRunsOnceBoundPerRow)
{
    auto insert = m_conn->prepare(QStringLiteral("insert into People (Name, Age, Note) values (?, ?, ?)"));
    db::Transaction tx(*m_conn);
    for (int i = 0; i < 1000; ++i) {
        insert->bindAll({QStringLiteral("p%1").arg(i), i, i % 2 ? QVariant() : QVariant(QStringLiteral("it's"))});
        EXPECT_EQ(insert->execute(), 1);
    }
    tx.commit();
    EXPECT_EQ(count(), 1003);
    EXPECT_EQ(count(QStringLiteral("Note is null")), 502);
    EXPECT_EQ(count(QStringLiteral("Note='it''s'")), 500);

    auto query = m_conn->prepare(QStringLiteral("select Name from People where Age between ? and ? order by Age"));
    query->bindAll({10, 12});
    QStringList names;
    while (query->next())
        names << query->value(0).toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("p10"), QStringLiteral("p11"), QStringLiteral("p12")}));
}

TEST_F(DbEngineTest, CheckpointMakesAByteCopyComplete)
{
    m_conn->checkpoint();
    for (int i = 0; i < 50; ++i)
        m_conn->execute(QStringLiteral("insert into People (Name) values ('copy%1')").arg(i));

    const QString early = m_folder.path(QStringLiteral("early.mdb"));
    ASSERT_TRUE(QFile::copy(m_path, early));
    // The rows are still in the log: a copy of the main file alone lacks them.
    EXPECT_EQ(Connection::open(early, kKey)->scalar(QStringLiteral("select count(*) from People")).toLongLong(), 3);

    m_conn->checkpoint();
    const QString copy = m_folder.path(QStringLiteral("copy.mdb"));
    ASSERT_TRUE(QFile::copy(m_path, copy));
    ASSERT_FALSE(QFile::exists(copy + QStringLiteral("-wal")));
    EXPECT_EQ(Connection::open(copy, kKey)->scalar(QStringLiteral("select count(*) from People")).toLongLong(), 53);
}

TEST_F(DbEngineTest, ConnectionsAreCounted)
{
    const int before = Connection::openCount();
    {
        auto second = Connection::open(m_path, kKey);
        EXPECT_EQ(Connection::openCount(), before + 1);
    }
    EXPECT_EQ(Connection::openCount(), before);
}

} // namespace

namespace {

// A value that slipped out of its quotes must not be able to run a statement of its own.
struct StackedCase
{
    const char* name;
    const char* sql;
};

class StackedStatementTest : public DbEngineTest, public ::testing::WithParamInterface<StackedCase>
{
};

TEST_P(StackedStatementTest, IsRefusedBeforeAnythingRuns)
{
    EXPECT_EQ(errorNumberOf([&] { m_conn->execute(QString::fromUtf8(GetParam().sql)); }), db::ErrSyntax);
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(m_conn->scalar(QStringLiteral("select count(*) from Pets")).toInt(), 1);
    EXPECT_FALSE(m_conn->inTransaction());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StackedStatementTest,
    ::testing::Values(StackedCase{"DropAfterUpdate", "update People set Note='x'; drop table Pets"},
                      StackedCase{"UnquotedValue", "update People set Note='x';delete from People;--' where id=1"},
                      StackedCase{"BeginThenFailure", "begin; insert into Nowhere values (1)"},
                      StackedCase{"TwoInserts", "insert into Pets (Kind) values ('dog'); delete from People"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DbEngineTest, OneStatementMayEndInSemicolonAndComment)
{
    EXPECT_EQ(m_conn->execute(QStringLiteral("update People set Note='a;b' where id=1; -- done")), 1);
    EXPECT_EQ(m_conn->scalar(QStringLiteral("select Note from People where id=1")).toString(), QStringLiteral("a;b"));
}

} // namespace
