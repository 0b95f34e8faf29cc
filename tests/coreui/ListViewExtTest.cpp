#include "ListViewExt.h"
#include "CaseName.h"
#include "DataStore.h"
#include "ListView.h"
#include "TestProgramFolder.h"
#include "db/Recordset.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

class ListViewExtTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString path = folder.createDatabase(
            QStringLiteral("list.mdb"),
            QStringLiteral("create table People (id integer primary key autoincrement, Name text, A text, "
                           "Birthday text);"
                           "insert into People (id, Name, A, Birthday) values (3, 'Li', 'x', '1980-02-01');"
                           "insert into People (id, Name, A, Birthday) values (7, 'O''Brien', 'y', NULL);"
                           "insert into People (id, Name, A, Birthday) values (12, 'Wang', NULL, '1990-12-31')"));
        conn = db::Connection::open(path, QByteArray(kDatabasePassword));
        view.setColumns({{QString(), QString(), 24},
                         {QStringLiteral("姓名"), QStringLiteral("Name"), 80},
                         {QStringLiteral("A列"), QStringLiteral("A"), 80},
                         {QStringLiteral("生日"), QStringLiteral("Birthday"), 80},
                         {QStringLiteral("小写"), QStringLiteral("name"), 80},
                         {QStringLiteral("无"), QStringLiteral("Missing"), 80}});
    }
    void load(const QString& sql)
    {
        db::Recordset rs;
        rs.Open(sql, *conn);
        LoadListView(view, rs);
        EXPECT_TRUE(rs.IsEOF());
    }
    ListViewModel& model() { return *view.listModel(); }

    TestProgramFolder folder;
    std::unique_ptr<db::Connection> conn;
    ListView view;
};

TEST_F(ListViewExtTest, RowsAreKeyedByIdAndColumnsBoundByKey)
{
    load(QStringLiteral("select * from People order by id"));
    ASSERT_EQ(model().count(), 3);
    EXPECT_TRUE(view.isEnabled());
    EXPECT_EQ(model().rowKey(0), QStringLiteral("Row_3"));
    EXPECT_EQ(model().rowKey(2), QStringLiteral("Row_12"));
    EXPECT_EQ(model().cell(1, 0), QString());
    EXPECT_EQ(model().cell(1, 1), QStringLiteral("O'Brien"));
    EXPECT_EQ(model().cell(0, 2), QStringLiteral("x"));
    EXPECT_EQ(model().cell(0, 3), QStringLiteral("1980-02-01"));
    EXPECT_EQ(model().cell(1, 3), QString()); // Null
    EXPECT_EQ(model().cell(0, 4), QString()); // keys compare case included
    EXPECT_EQ(model().cell(0, 5), QString()); // not selected by the query
    EXPECT_EQ(view.model()->index(1, 1).data().toString(), QStringLiteral("O'Brien"));
}

TEST_F(ListViewExtTest, EmptyRecordsetDisablesAndALaterLoadEnables)
{
    load(QStringLiteral("select * from People order by id"));
    load(QStringLiteral("select * from People where id = 0"));
    EXPECT_EQ(model().count(), 0);
    EXPECT_FALSE(view.isEnabled());
    load(QStringLiteral("select id, A from People where id = 7"));
    EXPECT_TRUE(view.isEnabled());
    ASSERT_EQ(model().count(), 1);
    EXPECT_EQ(model().cell(0, 1), QString());
    EXPECT_EQ(model().cell(0, 2), QStringLiteral("y"));
}

TEST_F(ListViewExtTest, RecordsetWithoutIdFails)
{
    db::Recordset rs;
    rs.Open(QStringLiteral("select Name from People"), *conn);
    EXPECT_THROW(LoadListView(view, rs), db::DbError);
}

TEST_F(ListViewExtTest, FieldExistsComparesExactly)
{
    db::Recordset rs;
    rs.Open(QStringLiteral("select id, Name from People"), *conn);
    EXPECT_TRUE(FieldExists(QStringLiteral("Name"), rs));
    EXPECT_FALSE(FieldExists(QStringLiteral("name"), rs));
    EXPECT_FALSE(FieldExists(QStringLiteral("A"), rs));
}

struct CheckedCase
{
    std::vector<int> checkedRows;
    const char* ids;
};

class CheckedIdsTest : public ListViewExtTest, public ::testing::WithParamInterface<CheckedCase>
{
};

TEST_P(CheckedIdsTest, CheckedIdsInListOrder)
{
    load(QStringLiteral("select * from People order by id"));
    for (int row : GetParam().checkedRows)
        ASSERT_TRUE(view.model()->setData(view.model()->index(row, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(GetCheckedIds(view), QString::fromLatin1(GetParam().ids));
}

INSTANTIATE_TEST_SUITE_P(Checks, CheckedIdsTest,
                         ::testing::Values(CheckedCase{{}, ""}, CheckedCase{{1}, "7"}, CheckedCase{{2, 0}, "3,12"},
                                           CheckedCase{{0, 1, 2}, "3,7,12"}),
                         NameFrom(&CheckedCase::ids));

TEST_F(ListViewExtTest, ClearRemovesEveryRow)
{
    load(QStringLiteral("select * from People"));
    ClearListView(view);
    EXPECT_EQ(view.model()->rowCount(), 0);
}

} // namespace
