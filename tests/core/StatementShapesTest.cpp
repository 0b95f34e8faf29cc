// Every statement the program writes, run against fresh copies of the shipped databases,
// with values pasted the way the windows paste them. Grouped by table.

#include "CaseName.h"
#include "DataStore.h"
#include "PublicFunction.h"
#include "TestProgramFolder.h"
#include "db/Clock.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

const QString kProgramDir = QStringLiteral(QUORVEL_PROGRAM_DIR);

using FieldValues = std::vector<std::pair<QString, QVariant>>;

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Dates are stored as 'yyyy-mm-dd hh:mm:ss' texts; a date-typed value is taken as it is.
QDateTime storedMoment(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    return QDateTime::fromString(value.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDate storedDay(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime)
        return value.toDate();
    return QDate::fromString(value.toString().left(10), QStringLiteral("yyyy-MM-dd"));
}

QString idList(const std::vector<qint64>& ids)
{
    QStringList parts;
    for (qint64 id : ids)
        parts << QString::number(id);
    return parts.join(QLatin1Char(','));
}

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

    void TearDown() override { db::Clock::reset(); }

    int exec(const QString& sql) { return m_conn->execute(sql); }

    int count(const QString& sql)
    {
        db::Recordset rs;
        rs.Open(sql, *m_conn);
        return rs.RecordCount();
    }

    // One field over every returned row, in the order returned; Null reads as "<null>".
    QStringList values(const QString& sql, const QString& field)
    {
        db::Recordset rs;
        rs.Open(sql, *m_conn);
        QStringList out;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            const QVariant v = rs.Field(field);
            out << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        return out;
    }

    QVariant first(const QString& sql, const QString& field)
    {
        db::Recordset rs;
        rs.Open(sql, *m_conn);
        if (rs.RecordCount() < 1)
            return QVariant();
        return rs.Field(field);
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

    // AddNew on an optimistic recordset, as the dialogs add rows; returns the new row's key.
    qint64 addRow(const QString& sql, const FieldValues& fields, const QString& key = QStringLiteral("id"))
    {
        db::Recordset rs;
        rs.Open(sql, *m_conn, db::LockType::Optimistic);
        rs.AddNew();
        for (const auto& [name, value] : fields)
            rs.SetField(name, value);
        rs.Update();
        return rs.HasField(key) ? rs.Field(key).toLongLong() : m_conn->lastInsertId();
    }

    // Edits the first row of an optimistic recordset, as the settings and sign-in do.
    void editFirst(const QString& sql, const FieldValues& fields)
    {
        db::Recordset rs;
        rs.Open(sql, *m_conn, db::LockType::Optimistic);
        ASSERT_GT(rs.RecordCount(), 0) << sql.toStdString();
        for (const auto& [name, value] : fields)
            rs.SetField(name, value);
        rs.Update();
    }

    TestProgramFolder m_folder;
    std::unique_ptr<db::Connection> m_conn;
};

class TemplateDatabase : public ShippedDatabase
{
protected:
    void SetUp() override { openCopyOf(QStringLiteral("data.mdb")); }
};

// ---------------------------------------------------------------------------------------------
// The shipped files themselves

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
    const char* sql;
    QStringList columns;
};

class ShippedColumns : public ShippedDatabase, public ::testing::WithParamInterface<TableColumns>
{
};

TEST_P(ShippedColumns, SelectStarNamesEveryColumn)
{
    openCopyOf(QString::fromUtf8(GetParam().file));
    EXPECT_EQ(fieldNames(QString::fromUtf8(GetParam().sql)), GetParam().columns);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ShippedColumns,
    ::testing::Values(
        TableColumns{"data.mdb", "select * from [config]", {"key", "value"}},
        TableColumns{"data.mdb", "select * from [ContactCategory]", {"id", "CategoryName", "ParentId"}},
        TableColumns{"data.mdb",
                     "select * from [ContactList]",
                     {"id", "Selected", "Name", "MobilePhone", "Sex", "Birthday", "CatID", "Marriage", "IdCardNum",
                      "Vocation", "Job", "Favorite", "EMail", "Address", "Remark"}},
        TableColumns{"data.mdb", "select * from [MsgCategory]", {"id", "CategoryName", "ParentId"}},
        TableColumns{"data.mdb", "select * from [DestineMsg]", {"id", "CatID", "Message"}},
        TableColumns{"data.mdb",
                     "select * from [DraftBox]",
                     {"id", "IsSelect", "MobilePhone", "A", "B", "C", "D", "E", "IsRepeat", "Preference"}},
        TableColumns{"data.mdb", "select * from [Preference]", {"MobilePhone", "isUpload"}},
        TableColumns{
            "data.mdb", "select * from [Messages]", {"id", "Message", "SubmitTime", "FinishTime", "Amount", "FailNum"}},
        TableColumns{"data.mdb", "select * from [Finish]", {"ID", "PhoneNumber", "MsgId", "State"}},
        TableColumns{"data.mdb",
                     "select id,IsSelect,MobilePhone,A,B,C,D,E from [DraftBox] order by id",
                     {"id", "IsSelect", "MobilePhone", "A", "B", "C", "D", "E"}},
        TableColumns{"data.mdb",
                     "select id,Selected,Name,MobilePhone,Sex,Birthday,Address from [ContactList]",
                     {"id", "Selected", "Name", "MobilePhone", "Sex", "Birthday", "Address"}},
        TableColumns{"user.mdb", "select * from [User]", {"username", "password", "remember", "LastLogin"}}),
    [](const auto& info) {
        const std::string sql(info.param.sql);
        const auto open = sql.find('[');
        return sql.substr(open + 1, sql.find(']') - open - 1) + std::to_string(info.index);
    });

// ---------------------------------------------------------------------------------------------
// config

struct ConfigRow
{
    const char* key;
    int rows;
    const char* value;
};

class ConfigTemplate : public TemplateDatabase, public ::testing::WithParamInterface<ConfigRow>
{
};

TEST_P(ConfigTemplate, HoldsOnlyTheShippedRows)
{
    const QString sql = QStringLiteral("select * from [config] where key='%1'").arg(QString::fromUtf8(GetParam().key));
    ASSERT_EQ(count(sql), GetParam().rows);
    if (GetParam().rows > 0) {
        EXPECT_EQ(first(sql, QStringLiteral("value")).toString(), QString::fromUtf8(GetParam().value));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ConfigTemplate,
                         ::testing::Values(ConfigRow{"Verson", 1, "1.0.0"}, ConfigRow{"EmpSign", 1, ""},
                                           ConfigRow{"BirthdayNum", 0, nullptr}),
                         [](const auto& info) { return std::string(info.param.key); });

TEST_F(TemplateDatabase, ConfigBirthdayNumIsAddedThenChanged)
{
    const QString sql = QStringLiteral("select * from [config] where key='BirthdayNum'");
    addRow(sql, {{QStringLiteral("key"), QStringLiteral("BirthdayNum")}, {QStringLiteral("value"), 7}});
    EXPECT_EQ(values(sql, QStringLiteral("value")), QStringList{QStringLiteral("7")});

    editFirst(sql, {{QStringLiteral("value"), QStringLiteral("365")}});
    EXPECT_EQ(values(sql, QStringLiteral("value")), QStringList{QStringLiteral("365")});
    EXPECT_EQ(count(QStringLiteral("select * from [config]")), 3);
}

TEST_F(TemplateDatabase, ConfigSignatureKeepsTextAsTyped)
{
    const QString sql = QStringLiteral("select * from [config] where key='EmpSign'");
    const QString sign = QStringLiteral(" 【O'Neil 公司】 ");
    editFirst(sql, {{QStringLiteral("value"), sign}});
    EXPECT_EQ(first(sql, QStringLiteral("value")).toString(), sign);
    EXPECT_EQ(values(QStringLiteral("select * from [config] where key='Verson'"), QStringLiteral("value")),
              QStringList{QStringLiteral("1.0.0")});
}

// ---------------------------------------------------------------------------------------------
// User (user.mdb)

class UserStatements : public ShippedDatabase
{
protected:
    void SetUp() override { openCopyOf(QStringLiteral("user.mdb")); }

    QString byName(const QString& name) const
    {
        return QStringLiteral("select * from [User] where username='") + SqlQuote(name) + QStringLiteral("'");
    }

    // The sign-in's save of the user row, then the reset of every other row.
    void saveLoginUser(const QString& name, const QString& password, bool remember)
    {
        const FieldValues fields{{QStringLiteral("username"), name.trimmed()},
                                 {QStringLiteral("password"), password.trimmed()},
                                 {QStringLiteral("LastLogin"), true},
                                 {QStringLiteral("remember"), remember}};
        if (count(byName(name)) > 0)
            editFirst(byName(name), fields);
        else
            addRow(byName(name), fields);
        exec(QStringLiteral("update [User] set remember=false,LastLogin=false where username<>'") + SqlQuote(name) +
             QStringLiteral("'"));
    }
};

TEST_F(UserStatements, ShippedWithoutUsers)
{
    EXPECT_EQ(count(QStringLiteral("select * from [User] where LastLogin=true")), 0);
    EXPECT_EQ(count(QStringLiteral("select * from [User]")), 0);
}

TEST_F(UserStatements, OnlyTheLastSignInKeepsItsMarks)
{
    saveLoginUser(QStringLiteral("alice"), QStringLiteral("pw1"), true);
    saveLoginUser(QStringLiteral("o'neil"), QStringLiteral("pw'2"), true);

    const QString last = QStringLiteral("select * from [User] where LastLogin=true");
    EXPECT_EQ(values(last, QStringLiteral("username")), QStringList{QStringLiteral("o'neil")});
    EXPECT_EQ(values(last, QStringLiteral("password")), QStringList{QStringLiteral("pw'2")});
    EXPECT_TRUE(first(last, QStringLiteral("remember")).toBool());
    EXPECT_FALSE(first(byName(QStringLiteral("alice")), QStringLiteral("remember")).toBool());
    EXPECT_FALSE(first(byName(QStringLiteral("alice")), QStringLiteral("LastLogin")).toBool());

    // Signing in again edits the existing row rather than adding one.
    saveLoginUser(QStringLiteral("alice"), QStringLiteral("pw1"), false);
    EXPECT_EQ(count(QStringLiteral("select * from [User]")), 2);
    EXPECT_EQ(values(last, QStringLiteral("username")), QStringList{QStringLiteral("alice")});
    EXPECT_FALSE(first(last, QStringLiteral("remember")).toBool());
}

TEST_F(UserStatements, NamesCompareWithoutCaseAndAreStoredTrimmed)
{
    saveLoginUser(QStringLiteral("  Alice "), QStringLiteral(" Secret "), true);
    EXPECT_EQ(values(byName(QStringLiteral("ALICE")), QStringLiteral("username")),
              QStringList{QStringLiteral("Alice")});
    EXPECT_EQ(values(byName(QStringLiteral("alice")), QStringLiteral("password")),
              QStringList{QStringLiteral("Secret")});
    EXPECT_EQ(count(byName(QStringLiteral("bob"))), 0);
}

// ---------------------------------------------------------------------------------------------
// DraftBox

class DraftBoxStatements : public TemplateDatabase
{
protected:
    // The typed-number entry pastes the repeat test's Boolean as text.
    void insertTyped(const QString& number, const char* repeat)
    {
        exec(QStringLiteral("insert into [DraftBox] (MobilePhone,IsRepeat)values('") + number + QStringLiteral("',") +
             QString::fromUtf8(repeat) + QStringLiteral(")"));
    }

    void insertContact(const QString& phone, const QString& name, const QString& sex, const char* repeat)
    {
        exec(QStringLiteral("insert into [DraftBox](MobilePhone,A,B,IsRepeat)values('") + SqlQuote(phone) +
             QStringLiteral("','") + SqlQuote(name) + QStringLiteral("','") + SqlQuote(GetSalutation(sex)) +
             QStringLiteral("',") + QString::fromUtf8(repeat) + QStringLiteral(")"));
    }

    int inDraftBox(const QString& number)
    {
        return count(QStringLiteral("select MobilePhone from [DraftBox] where MobilePhone='") + SqlQuote(number) +
                     QStringLiteral("'"));
    }

    QStringList grid(const QString& field)
    {
        return values(QStringLiteral("select id,IsSelect,MobilePhone,A,B,C,D,E from [DraftBox] order by id"), field);
    }
};

TEST_F(DraftBoxStatements, TypedAndContactRowsKeepOrderAndRepeatFlag)
{
    EXPECT_EQ(inDraftBox(QStringLiteral("13800138000")), 0);
    insertTyped(QStringLiteral("13800138000"), "False");
    EXPECT_EQ(inDraftBox(QStringLiteral("13800138000")), 1);
    insertTyped(QStringLiteral("13800138000"), "True");
    insertContact(QStringLiteral("13900139000"), QStringLiteral("O'Hara"), QStringLiteral("女"), "false");
    insertContact(QStringLiteral("13900139000"), QStringLiteral("王五"), QStringLiteral("男"), "true");

    EXPECT_EQ(grid(QStringLiteral("MobilePhone")),
              (QStringList{"13800138000", "13800138000", "13900139000", "13900139000"}));
    EXPECT_EQ(grid(QStringLiteral("A")), (QStringList{"<null>", "<null>", "O'Hara", "王五"}));
    EXPECT_EQ(grid(QStringLiteral("B")), (QStringList{"<null>", "<null>", "女士", "先生"}));
    EXPECT_EQ(values(QStringLiteral("select * from [DraftBox] order by id"), QStringLiteral("IsRepeat")),
              (QStringList{"0", "1", "0", "1"}));
    EXPECT_EQ(inDraftBox(QStringLiteral("13900139000")), 2);
}

struct DraftDeletion
{
    const char* name;
    const char* where; // "%1".."%4" stand for the ids of the four rows
    QStringList remaining;
};

class DraftBoxDeletion : public DraftBoxStatements, public ::testing::WithParamInterface<DraftDeletion>
{
};

TEST_P(DraftBoxDeletion, RemovesExactlyTheChosenRows)
{
    std::vector<qint64> ids;
    const QStringList phones{"13000000001", "13000000002", "13000000003", "13000000004"};
    const char* repeats[] = {"False", "True", "False", "True"};
    for (int i = 0; i < phones.size(); ++i) {
        insertTyped(phones.at(i), repeats[i]);
        ids.push_back(m_conn->lastInsertId());
    }
    QString sql = QString::fromUtf8(GetParam().where);
    for (int i = 0; i < 4; ++i)
        sql.replace(QStringLiteral("%") + QString::number(i + 1), QString::number(ids[i]));
    exec(sql);
    EXPECT_EQ(grid(QStringLiteral("MobilePhone")), GetParam().remaining);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DraftBoxDeletion,
    ::testing::Values(
        DraftDeletion{"Checked", "delete from [DraftBox] where id in (%1,%3)", {"13000000002", "13000000004"}},
        DraftDeletion{
            "OneChecked", "delete from [DraftBox] where id in (%4)", {"13000000001", "13000000002", "13000000003"}},
        DraftDeletion{"Sent", "delete from [DraftBox] where id=%2", {"13000000001", "13000000003", "13000000004"}},
        DraftDeletion{"Repeats", "delete from [DraftBox] where IsRepeat = true", {"13000000001", "13000000003"}},
        DraftDeletion{"All", "delete from [DraftBox]", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DraftBoxStatements, ImportedRowsCarryVariablesAndSendOrder)
{
    const QString lookup = QStringLiteral("select * from [DraftBox] where MobilePhone = '") +
                           SqlQuote(QStringLiteral("13700137000")) + QStringLiteral("'");
    for (const char* a : {"一", "二"}) {
        const bool repeat = count(lookup) != 0;
        addRow(lookup, {{QStringLiteral("MobilePhone"), QStringLiteral("13700137000")},
                        {QStringLiteral("IsRepeat"), repeat},
                        {QStringLiteral("A"), QString::fromUtf8(a)},
                        {QStringLiteral("E"), QStringLiteral("e'")}});
    }
    const QString sendOrder = QStringLiteral("select * from [DraftBox] order by Preference");
    EXPECT_EQ(count(sendOrder), 2);
    EXPECT_EQ(sorted(values(sendOrder, QStringLiteral("A"))), sorted(QStringList{"一", "二"}));
    EXPECT_EQ(values(sendOrder, QStringLiteral("E")), (QStringList{"e'", "e'"}));
    EXPECT_EQ(sorted(values(sendOrder, QStringLiteral("IsRepeat"))), (QStringList{"0", "1"}));
    EXPECT_EQ(values(sendOrder, QStringLiteral("Preference")), (QStringList{"0", "0"}));
}

TEST_F(DraftBoxStatements, MergeRunDeletesSentRowsThroughItsRecordset)
{
    for (const char* phone : {"13000000001", "13000000002", "13000000003"})
        insertTyped(QString::fromUtf8(phone), "False");

    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [DraftBox] order by Preference"), *m_conn, db::LockType::Optimistic);
    ASSERT_EQ(rs.RecordCount(), 3);
    QStringList visited;
    while (!rs.IsEOF()) {
        const QString phone = rs.Field(QStringLiteral("MobilePhone")).toString();
        visited << phone;
        if (phone != QStringLiteral("13000000002"))
            rs.Delete(); // sent without error
        rs.MoveNext();
    }
    rs.Close();

    EXPECT_EQ(sorted(visited), (QStringList{"13000000001", "13000000002", "13000000003"}));
    EXPECT_EQ(grid(QStringLiteral("MobilePhone")), QStringList{QStringLiteral("13000000002")});
}

TEST_F(DraftBoxStatements, DeletedIdsAreNeverHandedOutAgain)
{
    insertTyped(QStringLiteral("13000000001"), "False");
    insertTyped(QStringLiteral("13000000002"), "False");
    const qint64 highest = m_conn->lastInsertId();
    exec(QStringLiteral("delete from [DraftBox]"));
    insertTyped(QStringLiteral("13000000003"), "False");
    EXPECT_GT(grid(QStringLiteral("id")).value(0).toLongLong(), highest);
}

// ---------------------------------------------------------------------------------------------
// Preference (white-list queue)

class PreferenceStatements : public TemplateDatabase
{
protected:
    // Queues a number unless it is queued already.
    void addPreference(const QString& number)
    {
        const QString sql =
            QStringLiteral("select * from [Preference] where MobilePhone='") + SqlQuote(number) + QStringLiteral("'");
        if (count(sql) == 0)
            addRow(sql, {{QStringLiteral("MobilePhone"), number}, {QStringLiteral("isUpload"), false}});
    }

    const QString queued = QStringLiteral("select * from [Preference] where isUpload = false");
};

TEST_F(PreferenceStatements, QueueHoldsEachNumberOnceUntilUploaded)
{
    addPreference(QStringLiteral("13800000001"));
    addPreference(QStringLiteral("13800000002"));
    addPreference(QStringLiteral("13800000001"));
    EXPECT_EQ(sorted(values(queued, QStringLiteral("MobilePhone"))), (QStringList{"13800000001", "13800000002"}));

    {
        db::Recordset rs;
        rs.Open(queued, *m_conn, db::LockType::Optimistic);
        for (; !rs.IsEOF(); rs.MoveNext()) {
            if (rs.Field(QStringLiteral("MobilePhone")).toString() == QStringLiteral("13800000002")) {
                rs.SetField(QStringLiteral("isUpload"), true);
                rs.Update();
            }
        }
    }
    EXPECT_EQ(values(queued, QStringLiteral("MobilePhone")), QStringList{QStringLiteral("13800000001")});
    EXPECT_EQ(count(QStringLiteral("select * from [Preference]")), 2);

    EXPECT_EQ(exec(QStringLiteral("DELETE FROM Preference")), 2);
    EXPECT_EQ(count(QStringLiteral("select * from [Preference]")), 0);
}

// ---------------------------------------------------------------------------------------------
// Messages and Finish (send runs, history, details)

class HistoryStatements : public TemplateDatabase
{
protected:
    // A run's history row, added the way the send loop adds it.
    qint64 startRun(const QString& text, const QDateTime& submitted)
    {
        return addRow(QStringLiteral("select * from [Messages]"),
                      {{QStringLiteral("Message"), text}, {QStringLiteral("SubmitTime"), submitted}});
    }

    void record(qint64 runId, const QString& number, const QString& state)
    {
        exec(QStringLiteral("insert into [Finish](PhoneNumber,MsgId,State) values('") + SqlQuote(number) +
             QStringLiteral("',") + QString::number(runId) + QStringLiteral(",'") + SqlQuote(state) +
             QStringLiteral("')"));
    }

    QString between(const QDate& from, const QDate& to) const
    {
        const QString d1 = from.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
        const QString d2 = to.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 23:59:59");
        return QStringLiteral("select * from [Messages] where SubmitTime between #") + d1 + QStringLiteral("# and #") +
               d2 + QStringLiteral("# ");
    }
};

TEST_F(HistoryStatements, CompletedRunStoresTimesAndCounts)
{
    const QDateTime started(QDate(2024, 3, 10), QTime(9, 30, 5));
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [Messages]"), *m_conn, db::LockType::Optimistic);
    rs.AddNew();
    rs.SetField(QStringLiteral("Message"), QStringLiteral("会议改到 3 点'"));
    rs.SetField(QStringLiteral("SubmitTime"), started);
    rs.Update();
    const qint64 runId = rs.Field(QStringLiteral("id")).toLongLong();
    ASSERT_GT(runId, 0);
    rs.SetField(QStringLiteral("FinishTime"), started.addSecs(65));
    rs.Update();
    rs.Close();
    exec(QStringLiteral("update [Messages] set Amount=") + QString::number(3) + QStringLiteral(",FailNum=") +
         QString::number(1) + QStringLiteral(" where id=") + QString::number(runId));

    const QString row = QStringLiteral("select * from [Messages] where id=") + QString::number(runId);
    EXPECT_EQ(count(QStringLiteral("select * from [Messages]")), 1);
    EXPECT_EQ(first(row, QStringLiteral("Message")).toString(), QStringLiteral("会议改到 3 点'"));
    EXPECT_EQ(storedMoment(first(row, QStringLiteral("SubmitTime"))), started);
    EXPECT_EQ(storedMoment(first(row, QStringLiteral("FinishTime"))), started.addSecs(65));
    EXPECT_EQ(first(row, QStringLiteral("Amount")).toInt(), 3);
    EXPECT_EQ(first(row, QStringLiteral("FailNum")).toInt(), 1);
}

TEST_F(HistoryStatements, StoppedRunKeepsOnlyItsStart)
{
    const qint64 runId = startRun(QStringLiteral("hi"), QDateTime(QDate(2024, 3, 10), QTime(8, 0)));
    const QString row = QStringLiteral("select * from [Messages] where id=") + QString::number(runId);
    EXPECT_TRUE(first(row, QStringLiteral("FinishTime")).isNull());
    EXPECT_EQ(first(row, QStringLiteral("Message")).toString(), QStringLiteral("hi"));
}

struct HistoryRange
{
    QDate from;
    QDate to;
    QStringList messages;
};

class HistoryBetween : public HistoryStatements, public ::testing::WithParamInterface<HistoryRange>
{
};

TEST_P(HistoryBetween, ListsTheRunsOfTheChosenDays)
{
    startRun(QStringLiteral("before"), QDateTime(QDate(2024, 3, 9), QTime(23, 59, 59)));
    startRun(QStringLiteral("midnight"), QDateTime(QDate(2024, 3, 10), QTime(0, 0, 0)));
    startRun(QStringLiteral("noon"), QDateTime(QDate(2024, 3, 10), QTime(12, 0, 0)));
    startRun(QStringLiteral("last second"), QDateTime(QDate(2024, 3, 10), QTime(23, 59, 59)));
    startRun(QStringLiteral("next day"), QDateTime(QDate(2024, 3, 11), QTime(0, 0, 0)));
    startRun(QStringLiteral("december"), QDateTime(QDate(2023, 12, 5), QTime(10, 0, 0)));

    EXPECT_EQ(sorted(values(between(GetParam().from, GetParam().to), QStringLiteral("Message"))),
              sorted(GetParam().messages));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, HistoryBetween,
    ::testing::Values(
        HistoryRange{QDate(2024, 3, 10), QDate(2024, 3, 10), {"midnight", "noon", "last second"}},
        HistoryRange{QDate(2024, 3, 9), QDate(2024, 3, 11), {"before", "midnight", "noon", "last second", "next day"}},
        HistoryRange{QDate(2023, 12, 1), QDate(2024, 3, 9), {"december", "before"}},
        HistoryRange{QDate(2024, 3, 12), QDate(2024, 3, 31), {}},
        HistoryRange{QDate(2024, 3, 11), QDate(2024, 3, 10), {}}),
    [](const auto& info) {
        return (QStringLiteral("From") + info.param.from.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("To") +
                info.param.to.toString(QStringLiteral("yyyyMMdd")))
            .toStdString();
    });

TEST_F(HistoryStatements, DeletingRunsLeavesTheirDetails)
{
    const qint64 a = startRun(QStringLiteral("a"), QDateTime(QDate(2024, 3, 10), QTime(8, 0)));
    const qint64 b = startRun(QStringLiteral("b"), QDateTime(QDate(2024, 3, 10), QTime(9, 0)));
    const qint64 c = startRun(QStringLiteral("c"), QDateTime(QDate(2024, 3, 10), QTime(10, 0)));
    record(a, QStringLiteral("13800000001"), QStringLiteral("已发送"));
    exec(QStringLiteral("delete from [Messages] where id in (") + idList({a, c}) + QStringLiteral(")"));

    EXPECT_EQ(values(between(QDate(2024, 3, 10), QDate(2024, 3, 10)), QStringLiteral("id")),
              QStringList{QString::number(b)});
    EXPECT_EQ(count(QStringLiteral("select * from [Finish] where MsgId=") + QString::number(a)), 1);
    // A later run never takes a deleted run's id, so old details never attach to it.
    EXPECT_GT(startRun(QStringLiteral("d"), QDateTime(QDate(2024, 3, 10), QTime(11, 0))), c);
}

struct DetailQuery
{
    const char* name;
    const char* head; // the run's id is appended
    const char* field;
    QStringList expected;
};

class FinishDetails : public HistoryStatements, public ::testing::WithParamInterface<DetailQuery>
{
};

TEST_P(FinishDetails, SelectTheRunsOwnNumbers)
{
    const qint64 run = startRun(QStringLiteral("run"), QDateTime(QDate(2024, 3, 10), QTime(8, 0)));
    const qint64 other = startRun(QStringLiteral("other"), QDateTime(QDate(2024, 3, 10), QTime(9, 0)));
    record(run, QStringLiteral("13800000001"), QStringLiteral("已发送"));
    record(run, QStringLiteral("13800000002"), QStringLiteral("余额不足"));
    record(run, QStringLiteral("13800000003"), QStringLiteral("Start tag expected, '<' not found"));
    record(other, QStringLiteral("13800000009"), QStringLiteral("连接平台服务器失败,请检查网络！"));

    const QString sql = QString::fromUtf8(GetParam().head) + QString::number(run);
    EXPECT_EQ(sorted(values(sql, QString::fromUtf8(GetParam().field))), sorted(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FinishDetails,
    ::testing::Values(
        DetailQuery{
            "FailedCount", "select count(*) as num from [Finish] where state<>'已发送' and MsgId=", "num", {"2"}},
        DetailQuery{"AllRows",
                    "select * from [Finish] where MsgId=",
                    "State",
                    {"已发送", "余额不足", "Start tag expected, '<' not found"}},
        DetailQuery{"AllNumbers",
                    "select PhoneNumber from [Finish] where MsgId=",
                    "PhoneNumber",
                    {"13800000001", "13800000002", "13800000003"}},
        DetailQuery{"FailedNumbers",
                    "select PhoneNumber from [Finish] where state<>'已发送' and MsgId=",
                    "PhoneNumber",
                    {"13800000002", "13800000003"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryStatements, DetailRowsAreKeyedByTheirOwnId)
{
    const qint64 run = startRun(QStringLiteral("run"), QDateTime(QDate(2024, 3, 10), QTime(8, 0)));
    record(run, QStringLiteral("13800000001"), QStringLiteral("已发送"));
    const qint64 firstId = m_conn->lastInsertId();
    record(run, QStringLiteral("13800000002"), QStringLiteral("已发送"));
    const QStringList ids =
        values(QStringLiteral("select * from [Finish] where MsgId=") + QString::number(run), QStringLiteral("id"));
    EXPECT_EQ(sorted(ids), sorted(QStringList{QString::number(firstId), QString::number(firstId + 1)}));
}

// ---------------------------------------------------------------------------------------------
// ContactCategory and MsgCategory (twins)

class CategoryStatements : public TemplateDatabase, public ::testing::WithParamInterface<const char*>
{
protected:
    QString table() const { return QStringLiteral("[") + QString::fromUtf8(GetParam()) + QStringLiteral("]"); }

    QString byName(const QString& name) const
    {
        return QStringLiteral("select * from ") + table() + QStringLiteral(" where CategoryName='") + SqlQuote(name) +
               QStringLiteral("'");
    }

    // The add dialogs: a row only when no category has that name.
    bool addCategory(const QString& name)
    {
        if (count(byName(name)) > 0)
            return false;
        addRow(byName(name), {{QStringLiteral("CategoryName"), name}, {QStringLiteral("ParentId"), qint16(0)}});
        return true;
    }

    // The rename dialogs' duplicate test (no blank before "and", two after).
    int othersNamed(const QString& name, qint64 id)
    {
        return count(byName(name) + QStringLiteral("and  id<>") + QString::number(id));
    }

    QStringList shownNames()
    {
        return values(QStringLiteral("select * from ") + table() + QStringLiteral(" where ParentId=0"),
                      QStringLiteral("CategoryName"));
    }
};

TEST_P(CategoryStatements, AddRefusesANameInUseWhateverItsCase)
{
    EXPECT_TRUE(addCategory(QStringLiteral("Friends")));
    EXPECT_TRUE(addCategory(QStringLiteral("O'Neil 家")));
    EXPECT_FALSE(addCategory(QStringLiteral("friends")));
    EXPECT_FALSE(addCategory(QStringLiteral("O'Neil 家")));
    EXPECT_EQ(sorted(shownNames()), sorted(QStringList{"Friends", "O'Neil 家"}));
}

TEST_P(CategoryStatements, RenameAndDuplicateTest)
{
    ASSERT_TRUE(addCategory(QStringLiteral("同事")));
    ASSERT_TRUE(addCategory(QStringLiteral("客户")));
    const qint64 colleagues = first(byName(QStringLiteral("同事")), QStringLiteral("id")).toLongLong();
    const qint64 customers = first(byName(QStringLiteral("客户")), QStringLiteral("ID")).toLongLong();

    EXPECT_EQ(othersNamed(QStringLiteral("同事"), colleagues), 0);
    EXPECT_EQ(othersNamed(QStringLiteral("客户"), colleagues), 1);

    const QString byId = QStringLiteral("select * from ") + table() + QStringLiteral(" where id=");
    editFirst(byId + QString::number(colleagues), {{QStringLiteral("CategoryName"), QStringLiteral("老同事")}});
    exec(QStringLiteral("update ") + table() + QStringLiteral(" set CategoryName='") +
         SqlQuote(QStringLiteral(" VIP's ")) + QStringLiteral("' where id=") + QString::number(customers));

    EXPECT_EQ(values(byId + QString::number(colleagues), QStringLiteral("CategoryName")),
              QStringList{QStringLiteral("老同事")});
    EXPECT_EQ(values(byId + QString::number(customers), QStringLiteral("CategoryName")),
              QStringList{QStringLiteral(" VIP's ")});
}

TEST_P(CategoryStatements, DeleteRemovesOnlyThatCategory)
{
    ASSERT_TRUE(addCategory(QStringLiteral("A")));
    ASSERT_TRUE(addCategory(QStringLiteral("B")));
    const qint64 a = first(byName(QStringLiteral("A")), QStringLiteral("id")).toLongLong();
    exec(QStringLiteral("delete from ") + table() + QStringLiteral(" where ID=") + QString::number(a));
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("B")});
    EXPECT_EQ(count(QStringLiteral("select * from ") + table()), 1);
}

INSTANTIATE_TEST_SUITE_P(Tables, CategoryStatements, ::testing::Values("ContactCategory", "MsgCategory"), ByValue());

// ---------------------------------------------------------------------------------------------
// ContactList

class ContactStatements : public TemplateDatabase
{
protected:
    void SetUp() override
    {
        TemplateDatabase::SetUp();
        m_friends = addRow(QStringLiteral("select * from [ContactCategory]"),
                           {{QStringLiteral("CategoryName"), QStringLiteral("朋友")}, {QStringLiteral("ParentId"), 0}});
        m_work = addRow(QStringLiteral("select * from [ContactCategory]"),
                        {{QStringLiteral("CategoryName"), QStringLiteral("工作")}, {QStringLiteral("ParentId"), 0}});
        addContact("13800000001",
                   {{"Name", "张三"},
                    {"Sex", "男"},
                    {"EMail", "zhang@Example.com"},
                    {"Address", "北京市 朝阳区"},
                    {"IdCardNum", "110101"},
                    {"Job", "经理"}},
                   m_friends, QDate(1990, 1, 2));
        addContact("13900000002",
                   {{"Name", "O'Brien"},
                    {"Sex", "女"},
                    {"EMail", "obrien@mail.com"},
                    {"Address", "上海市"},
                    {"IdCardNum", "3101"},
                    {"Job", "工程师"}},
                   m_work, QDate());
        addContact("13700000003",
                   {{"Name", "李四"}, {"EMail", "li4@example.com"}, {"Address", "北京市海淀区"}, {"Job", "高级经理"}},
                   m_friends, QDate());
    }

    // The add dialog: the duplicate lookup's recordset takes the new row; the birthday only
    // when its box is ticked.
    void addContact(const char* phone, const std::vector<std::pair<const char*, const char*>>& texts, qint64 category,
                    const QDate& birthday)
    {
        const QString number = QString::fromUtf8(phone);
        FieldValues fields{{QStringLiteral("MobilePhone"), number}};
        for (const auto& [name, text] : texts)
            fields.emplace_back(QString::fromUtf8(name), QString::fromUtf8(text));
        if (birthday.isValid())
            fields.emplace_back(QStringLiteral("Birthday"), birthday);
        fields.emplace_back(QStringLiteral("CatID"), category);
        const QString lookup =
            QStringLiteral("select * from [ContactList] where MobilePhone='") + SqlQuote(number) + QStringLiteral("'");
        ASSERT_EQ(count(lookup), 0);
        addRow(lookup, fields);
    }

    QStringList namesOf(const QString& sql) { return sorted(values(sql, QStringLiteral("Name"))); }

    qint64 m_friends = 0;
    qint64 m_work = 0;
};

TEST_F(ContactStatements, NodeListsSelectTheirContacts)
{
    EXPECT_EQ(namesOf(QStringLiteral("select * from [ContactList]")), sorted(QStringList{"张三", "O'Brien", "李四"}));
    const QString head = QStringLiteral("select id,Selected,Name,MobilePhone,Sex,Birthday,Address from [ContactList]");
    EXPECT_EQ(namesOf(head), sorted(QStringList{"张三", "O'Brien", "李四"}));
    EXPECT_EQ(namesOf(head + QStringLiteral(" where CatID=") + QString::number(m_friends)),
              sorted(QStringList{"张三", "李四"}));
    EXPECT_EQ(namesOf(QStringLiteral("select * from [ContactList] where CatID=") + QString::number(m_work)),
              QStringList{QStringLiteral("O'Brien")});
    // A contact without a birthday reads as Null, which the lists show as an empty cell.
    EXPECT_TRUE(
        first(QStringLiteral("select * from [ContactList] where MobilePhone='13700000003'"), QStringLiteral("Birthday"))
            .isNull());
}

TEST_F(ContactStatements, ContactRowReadsBackWhatTheDialogStored)
{
    const qint64 id =
        first(QStringLiteral("select * from [ContactList] where MobilePhone='13800000001'"), QStringLiteral("id"))
            .toLongLong();
    const QString row = QStringLiteral("select * from [ContactList] where id=") + QString::number(id);
    EXPECT_EQ(storedDay(first(row, QStringLiteral("Birthday"))), QDate(1990, 1, 2));
    EXPECT_EQ(first(row, QStringLiteral("CatID")).toLongLong(), m_friends);
    EXPECT_EQ(first(row, QStringLiteral("Sex")).toString(), QStringLiteral("男"));
    EXPECT_EQ(count(QStringLiteral("select * from [ContactList] where id=") + QString::number(id + 1000)), 0);

    editFirst(row, {{QStringLiteral("Name"), QStringLiteral("张三丰")}, {QStringLiteral("CatID"), m_work}});
    EXPECT_EQ(namesOf(QStringLiteral("select * from [ContactList] where CatID=") + QString::number(m_work)),
              sorted(QStringList{"张三丰", "O'Brien"}));
}

struct ContactSearch
{
    const char* name;
    const char* head;
    const char* keyword;
    QStringList expected;
};

class ContactSearchStatements : public ContactStatements, public ::testing::WithParamInterface<ContactSearch>
{
};

TEST_P(ContactSearchStatements, MatchesTheKeywordAnywhereInTheField)
{
    const QString sql =
        QString::fromUtf8(GetParam().head) + SqlQuote(QString::fromUtf8(GetParam().keyword)) + QStringLiteral("%'");
    EXPECT_EQ(namesOf(sql), sorted(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ContactSearchStatements,
    ::testing::Values(
        ContactSearch{"Name", "select * from [ContactList] where Name like '%", "张", {"张三"}},
        ContactSearch{"NameWithQuote", "select * from [ContactList] where Name like '%", "o'b", {"O'Brien"}},
        ContactSearch{"NameMissing", "select * from [ContactList] where Name like '%", "王", {}},
        ContactSearch{
            "Phone", "select * from [ContactList] where MobilePhone like '%", "0000000", {"张三", "O'Brien", "李四"}},
        ContactSearch{"PhoneTail", "select * from [ContactList] where MobilePhone like '%", "0003", {"李四"}},
        ContactSearch{"Mail", "select * from [ContactList] where EMail like '%", "EXAMPLE.com", {"张三", "李四"}},
        ContactSearch{"AddressBlankKept", "select * from [ContactList] where Address like '%", "北京市 ", {"张三"}},
        ContactSearch{"Address", "select * from [ContactList] where Address like '%", "北京", {"张三", "李四"}},
        ContactSearch{"Custom1", "select * from [ContactList] where IdCardNum like '%", "3101", {"O'Brien"}},
        ContactSearch{"Job", "select * from [ContactList] where Job like '%", "经理", {"张三", "李四"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContactStatements, DeletionsByCheckedIdsAndByCategory)
{
    const qint64 zhang =
        first(QStringLiteral("select * from [ContactList] where MobilePhone = '13800000001'"), QStringLiteral("id"))
            .toLongLong();
    exec(QStringLiteral("delete from [ContactList] where id in (") + idList({zhang}) + QStringLiteral(")"));
    EXPECT_EQ(namesOf(QStringLiteral("select * from [ContactList]")), sorted(QStringList{"O'Brien", "李四"}));

    exec(QStringLiteral("delete from [ContactList] where CatID=") + QString::number(m_friends));
    exec(QStringLiteral("delete from [ContactCategory] where ID=") + QString::number(m_friends));
    EXPECT_EQ(namesOf(QStringLiteral("select * from [ContactList]")), QStringList{QStringLiteral("O'Brien")});
    EXPECT_EQ(
        values(QStringLiteral("select * from [ContactCategory] where ParentId=0"), QStringLiteral("CategoryName")),
        QStringList{QStringLiteral("工作")});
}

// ---------------------------------------------------------------------------------------------
// DestineMsg (phrases)

TEST_F(TemplateDatabase, PhrasesByCategoryEditAndDelete)
{
    const qint64 greetings = addRow(QStringLiteral("select * from [MsgCategory] where ParentId=0"),
                                    {{QStringLiteral("CategoryName"), QStringLiteral("祝福")}});
    // One writer spells the category column CatId; names compare without case.
    const qint64 hello =
        addRow(QStringLiteral("select * from [DestineMsg]"),
               {{QStringLiteral("Message"), QStringLiteral(" 新年快乐！ ")}, {QStringLiteral("CatId"), greetings}});
    addRow(QStringLiteral("select * from [DestineMsg]"),
           {{QStringLiteral("Message"), QStringLiteral("It's done")}, {QStringLiteral("CatID"), greetings + 1}});

    EXPECT_EQ(count(QStringLiteral("select * from [DestineMsg]")), 2);
    EXPECT_EQ(values(QStringLiteral("select * from [DestineMsg] where CatID=") + QString::number(greetings),
                     QStringLiteral("Message")),
              QStringList{QStringLiteral(" 新年快乐！ ")});

    const QString row = QStringLiteral("select * from [DestineMsg] where id=") + QString::number(hello);
    editFirst(row, {{QStringLiteral("Message"), QStringLiteral("新春快乐")}});
    EXPECT_EQ(values(row, QStringLiteral("Message")), QStringList{QStringLiteral("新春快乐")});

    // Deleting a category leaves its phrases in place.
    exec(QStringLiteral("delete from [MsgCategory] where ID=") + QString::number(greetings));
    EXPECT_EQ(count(QStringLiteral("select * from [DestineMsg]")), 2);
    exec(QStringLiteral("delete from [DestineMsg] where id=") + QString::number(hello));
    EXPECT_EQ(values(QStringLiteral("select * from [DestineMsg]"), QStringLiteral("Message")),
              QStringList{QStringLiteral("It's done")});
}

// ---------------------------------------------------------------------------------------------
// Birthday window

QString birthdayStatement(const QString& head, int days)
{
    const QString middle = QStringLiteral(
        " and datediff('d',date(),Rtrim(year(date()))+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))>=0 )Or( "
        "datediff('d',date(),Rtrim(year(date())+1)+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))<=");
    const QString tail = QStringLiteral(
        "   and datediff('d',date(),Rtrim(year(date())+1)+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))>=0)");
    const QString n = QString::number(days);
    return head + n + middle + n + tail;
}

QString birthdayList(int days)
{
    return birthdayStatement(
        QStringLiteral("SELECT id,Selected,Name,MobilePhone,Sex,Format(Birthday,'yyyy-mm-dd') as Birthday,Address FROM "
                       "[ContactList] WHERE ( datediff('d',date() "
                       ",Rtrim(year(date()))+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))<="),
        days);
}

QString birthdayCount(int days)
{
    return birthdayStatement(
        QStringLiteral("SELECT count(*) as num FROM [ContactList] WHERE ( datediff('d',date() "
                       ",Rtrim(year(date()))+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))<="),
        days);
}

struct Birthday
{
    const char* name;
    const char* date; // nullptr: no birthday given
};

struct BirthdayWindow
{
    const char* name;
    QDate today;
    int days;
    std::vector<Birthday> contacts;
    QStringList expected;
};

class BirthdayStatements : public TemplateDatabase, public ::testing::WithParamInterface<BirthdayWindow>
{
protected:
    void addContacts(const std::vector<Birthday>& contacts)
    {
        int phone = 1;
        for (const Birthday& c : contacts) {
            FieldValues fields{
                {QStringLiteral("Name"), QString::fromUtf8(c.name)},
                {QStringLiteral("MobilePhone"), QStringLiteral("1380000%1").arg(phone++, 4, 10, QLatin1Char('0'))}};
            if (c.date)
                fields.emplace_back(QStringLiteral("Birthday"),
                                    QDate::fromString(QString::fromUtf8(c.date), Qt::ISODate));
            addRow(QStringLiteral("select * from [ContactList]"), fields);
        }
    }
};

TEST_P(BirthdayStatements, CountAndListAgreeOnTheWindow)
{
    const BirthdayWindow& w = GetParam();
    addContacts(w.contacts);
    db::Clock::setFixed(QDateTime(w.today, QTime(15, 30)));

    EXPECT_EQ(sorted(values(birthdayList(w.days), QStringLiteral("Name"))), sorted(w.expected));
    EXPECT_EQ(first(birthdayCount(w.days), QStringLiteral("num")).toInt(), w.expected.size());
}

const std::vector<Birthday> kAroundMidJune{
    {"yesterday", "1999-06-14"}, {"today", "1980-06-15"}, {"tomorrow", "2001-06-16"}, {"none", nullptr}};
const std::vector<Birthday> kLeapDay{{"leap", "1992-02-29"}, {"march", "1992-03-01"}};

INSTANTIATE_TEST_SUITE_P(
    Windows, BirthdayStatements,
    ::testing::Values(
        BirthdayWindow{"YearEnd",
                       QDate(2023, 12, 28),
                       7,
                       {{"jan2", "1990-01-02"},
                        {"jan5", "1985-01-05"},
                        {"today", "2000-12-28"},
                        {"yesterday", "2000-12-27"},
                        {"dec31", "1970-12-31"},
                        {"none", nullptr}},
                       {"jan2", "today", "dec31"}},
        BirthdayWindow{"ZeroDays", QDate(2023, 6, 15), 0, kAroundMidJune, {"today"}},
        BirthdayWindow{"OneDay", QDate(2023, 6, 15), 1, kAroundMidJune, {"today", "tomorrow"}},
        BirthdayWindow{"WholeYear", QDate(2023, 6, 15), 365, kAroundMidJune, {"yesterday", "today", "tomorrow"}},
        BirthdayWindow{
            "YesterdayWithin364", QDate(2022, 6, 15), 364, kAroundMidJune, {"yesterday", "today", "tomorrow"}},
        BirthdayWindow{"YesterdayBeyond363", QDate(2022, 6, 15), 363, kAroundMidJune, {"today", "tomorrow"}},
        BirthdayWindow{"BothYearsCountOnce", QDate(2023, 1, 1), 365, {{"newyear", "1980-01-01"}}, {"newyear"}},
        BirthdayWindow{"NoBirthdays", QDate(2023, 1, 1), 365, {{"none", nullptr}}, {}},
        BirthdayWindow{"LeapDayOn28Feb", QDate(2023, 2, 28), 0, kLeapDay, {"leap"}},
        BirthdayWindow{"LeapDayAheadOf27Feb", QDate(2023, 2, 27), 1, kLeapDay, {"leap"}},
        BirthdayWindow{"LeapDayPassedOn1Mar", QDate(2023, 3, 1), 0, kLeapDay, {"march"}},
        BirthdayWindow{"LeapDayNextYearFrom1Mar", QDate(2023, 3, 1), 365, kLeapDay, {"leap", "march"}},
        BirthdayWindow{"LeapYear28Feb", QDate(2024, 2, 28), 0, kLeapDay, {}},
        BirthdayWindow{"LeapYear29Feb", QDate(2024, 2, 29), 0, kLeapDay, {"leap"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TemplateDatabase, BirthdayListShowsTheStoredDayAsText)
{
    addRow(QStringLiteral("select * from [ContactList]"),
           {{QStringLiteral("Name"), QStringLiteral("jan2")}, {QStringLiteral("Birthday"), QDate(1990, 1, 2)}});
    db::Clock::setFixed(QDateTime(QDate(2023, 12, 28), QTime(9, 0)));
    EXPECT_EQ(fieldNames(birthdayList(7)),
              (QStringList{"id", "Selected", "Name", "MobilePhone", "Sex", "Birthday", "Address"}));
    EXPECT_EQ(values(birthdayList(7), QStringLiteral("Birthday")), QStringList{QStringLiteral("1990-01-02")});
}

} // namespace
