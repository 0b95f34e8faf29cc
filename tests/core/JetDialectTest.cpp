#include "db/JetDialect.h"
#include "CaseName.h"
#include "DataStore.h"
#include "TestProgramFolder.h"
#include "db/Clock.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <gtest/gtest.h>

namespace {

struct Translation
{
    const char* jet;
    const char* sqlite;
};

class TranslateTest : public ::testing::TestWithParam<Translation>
{
};

TEST_P(TranslateTest, RewritesOnlyWhatSQLiteReadsDifferently)
{
    EXPECT_EQ(db::jet::translate(QString::fromUtf8(GetParam().jet)).toStdString(), std::string(GetParam().sqlite));
}

INSTANTIATE_TEST_SUITE_P(
    Statements, TranslateTest,
    ::testing::Values(
        // names in brackets
        Translation{"select * from [DraftBox] order by Preference", R"(select * from "DraftBox" order by Preference)"},
        Translation{"select [a\"b] from [my table]", R"(select "a""b" from "my table")"},
        // booleans, as whole words, in any case, nowhere inside literals or names
        Translation{"delete from [DraftBox] where IsRepeat = true", R"(delete from "DraftBox" where IsRepeat = 1)"},
        Translation{"update [User] set remember=false,LastLogin=FALSE where username<>'true'",
                    R"(update "User" set remember=0,LastLogin=0 where username<>'true')"},
        Translation{"select [true], trueish, True_ from t where x=True",
                    R"(select "true", trueish, True_ from t where x=1)"},
        // date literals in each written form
        Translation{"where d = #2027-01-05#", "where d = '2027-01-05 00:00:00'"},
        Translation{"where d = #2027-1-5 8:05:09#", "where d = '2027-01-05 08:05:09'"},
        Translation{"where d = #2027/12/31#", "where d = '2027-12-31 00:00:00'"},
        Translation{"where d = #1/5/2027#", "where d = '2027-01-05 00:00:00'"},
        Translation{"where d = #12/31/2027 23:59#", "where d = '2027-12-31 23:59:00'"},
        Translation{
            "select * from [Messages] where SubmitTime between #2027-01-01 00:00:00# and #2027-01-31 23:59:59# ",
            R"(select * from "Messages" where SubmitTime between '2027-01-01 00:00:00' and '2027-01-31 23:59:59' )"},
        // every "+" and "&" is decided at run time, its operands taken with Jet's precedence
        Translation{"Rtrim(year(date()))+'-'+Rtrim(month(Birthday))",
                    "jet_plus(jet_plus(Rtrim(year(date())),'-'),Rtrim(month(Birthday)))"},
        Translation{"Rtrim(year(date())+1)+'-'", "jet_plus(Rtrim(jet_plus(year(date()),1)),'-')"},
        Translation{"select [Name]+[Remark], a - b + c, a + b * c from t",
                    R"(select jet_plus("Name","Remark"), jet_plus(a - b,c), jet_plus(a,b * c) from t)"},
        Translation{"select a & b + c, x = a & b from t",
                    "select jet_concat(a,jet_plus(b,c)), x = jet_concat(a,b) from t"},
        Translation{"where a+1 >= -b + 2 and c=+3", "where jet_plus(a,1) >= jet_plus(-b,2) and c=+3"},
        // literals stay exactly as written, escapes included
        Translation{"insert into [T] (a) values('it''s #1/2/2027# + [x] true')",
                    R"(insert into "T" (a) values('it''s #1/2/2027# + [x] true'))"},
        Translation{"select * from [ContactList] where Name like '%王%'",
                    R"(select * from "ContactList" where Name like '%王%')"},
        Translation{"delete * from [T] where id in (1,2)", R"(delete  from "T" where id in (1,2))"},
        Translation{"select count(*) as num from [Finish] where state<>'已发送' and MsgId=3",
                    R"(select count(*) as num from "Finish" where state<>'已发送' and MsgId=3)"}),
    NameFrom(&Translation::jet));

TEST(TranslateErrorTest, ImpossibleDateLiteralIsASyntaxError)
{
    for (const char* sql : {"select #2027-13-01#", "select #2027-02-30#", "select #tomorrow#"}) {
        try {
            db::jet::translate(QString::fromUtf8(sql));
            ADD_FAILURE() << sql << " was accepted";
        } catch (const db::DbError& e) {
            EXPECT_EQ(e.number(), db::ErrSyntax) << sql;
        }
    }
}

// A scratch database with the clock pinned to 2027-12-30 10:20:30.
class JetFunctionsFixture
{
protected:
    JetFunctionsFixture()
    {
        m_conn =
            db::Connection::open(m_folder.createDatabase(QStringLiteral("f.mdb"), QStringLiteral("CREATE TABLE x (a)")),
                                 QByteArray(kDatabasePassword));
        pin(QDate(2027, 12, 30), QTime(10, 20, 30));
    }
    ~JetFunctionsFixture() { db::Clock::reset(); }

    static void pin(const QDate& date, const QTime& time = QTime(9, 0)) { db::Clock::setFixed(QDateTime(date, time)); }

    TestProgramFolder m_folder;
    std::unique_ptr<db::Connection> m_conn;
};

struct Evaluation
{
    const char* expression;
    QVariant expected; // null: the result is Null
};

void PrintTo(const Evaluation& e, std::ostream* os)
{
    *os << e.expression;
}

class JetFunctionsTest : public JetFunctionsFixture, public ::testing::TestWithParam<Evaluation>
{
};

TEST_P(JetFunctionsTest, EvaluatesWithJetMeaning)
{
    const QVariant result = m_conn->scalar(QStringLiteral("select ") + QString::fromUtf8(GetParam().expression));
    const QVariant& expected = GetParam().expected;
    if (expected.isNull()) {
        EXPECT_TRUE(result.isNull()) << result.toString().toStdString();
    } else if (expected.typeId() == QMetaType::QString) {
        EXPECT_EQ(result.typeId(), QMetaType::QString);
        EXPECT_EQ(result.toString().toStdString(), expected.toString().toStdString());
    } else {
        EXPECT_EQ(result.typeId(), QMetaType::LongLong) << result.toString().toStdString();
        EXPECT_EQ(result.toLongLong(), expected.toLongLong());
    }
}

QVariant text(const char* s)
{
    return QVariant(QString::fromUtf8(s));
}

QVariant number(qlonglong n)
{
    return QVariant(n);
}

INSTANTIATE_TEST_SUITE_P(
    Functions, JetFunctionsTest,
    ::testing::Values(
        // the pinned clock
        Evaluation{"date()", text("2027-12-30 00:00:00")}, Evaluation{"DATE()", text("2027-12-30 00:00:00")},
        Evaluation{"now()", text("2027-12-30 10:20:30")},
        // date parts of stored and built date texts
        Evaluation{"year('2027-1-5')", number(2027)}, Evaluation{"month('2027-1-5')", number(1)},
        Evaluation{"day('2027-01-05 10:00:00')", number(5)}, Evaluation{"year(date())+1", number(2028)},
        Evaluation{"month(#3/4/2027#)", number(3)}, Evaluation{"day('2027-2-29')", number(28)},
        Evaluation{"day('2028-2-29')", number(29)}, Evaluation{"year(null)", QVariant()},
        Evaluation{"day('2027-2-30')", QVariant()}, Evaluation{"month('2027-13-1')", QVariant()},
        Evaluation{"year('not a date')", QVariant()},
        // Rtrim: trailing blanks only; numbers become their digits
        Evaluation{"Rtrim('ab  ')", text("ab")}, Evaluation{"Rtrim('  ab')", text("  ab")},
        Evaluation{"Rtrim(2027)", text("2027")}, Evaluation{"Rtrim(2.5)", text("2.5")},
        Evaluation{"Rtrim(null)", QVariant()},
        Evaluation{"Rtrim(year(date()))+'-'+Rtrim(month('1990-3-9'))", text("2027-3")},
        Evaluation{"Rtrim(year(null))+'-'+Rtrim(month(null))", QVariant()},
        // datediff counts boundaries, also across the year's end
        Evaluation{"datediff('d','2027-12-30','2028-1-2')", number(3)},
        Evaluation{"datediff('d','2028-1-2','2027-12-30')", number(-3)},
        Evaluation{"datediff('d','2027-12-31 23:59:59','2028-01-01 00:00:00')", number(1)},
        Evaluation{"datediff('d','2027-12-31 00:00:00','2027-12-31 23:59:59')", number(0)},
        Evaluation{"datediff('yyyy','2027-12-31','2028-01-01')", number(1)},
        Evaluation{"datediff('m','2027-12-31','2028-01-01')", number(1)},
        Evaluation{"datediff('m','2027-01-01','2027-01-31')", number(0)},
        Evaluation{"datediff('h','2027-12-31 23:59:59','2028-01-01 00:00:00')", number(1)},
        Evaluation{"datediff('n','2027-1-1 10:00:59','2027-1-1 10:01:00')", number(1)},
        Evaluation{"datediff('s','2027-1-1 10:00:59','2027-1-1 10:01:00')", number(1)},
        Evaluation{"datediff('d',date(),'2027-2-29')", number(-305)},
        Evaluation{"datediff('d','2027-02-29','2027-03-01')", number(1)},
        Evaluation{"datediff('d',date(),'2027-2-30')", QVariant()}, Evaluation{"datediff('d',null,date())", QVariant()},
        Evaluation{"datediff('d',date(),null)", QVariant()},
        // Format
        Evaluation{"Format('2027-01-05 08:09:10','yyyy-mm-dd')", text("2027-01-05")},
        Evaluation{"Format('2027-1-5 8:09:10','yyyy-mm-dd hh:nn:ss')", text("2027-01-05 08:09:10")},
        Evaluation{"Format('2027-01-05 08:09:10','hh:nn')", text("08:09")},
        Evaluation{"Format('2027-01-05 08:09:10','hh:mm')", text("08:09")},
        Evaluation{"Format('2027-01-05','yyyy年m月d日')", text("2027年1月5日")},
        Evaluation{"Format('2027-2-29','yyyy-mm-dd')", text("2027-02-28")},
        Evaluation{"Format(null,'yyyy-mm-dd')", QVariant()}, Evaluation{"Format('abc','yyyy-mm-dd')", text("abc")},
        Evaluation{"Format(3.14159,'0.00')", text("3.14")}, Evaluation{"Format(1234567,'#,##0')", text("1,234,567")},
        // "+" by the operands' values, "&" with Null as empty
        Evaluation{"'张三'+'12'", text("张三12")}, Evaluation{"'5'+3", number(8)}, Evaluation{"3+' 5'", number(8)},
        Evaluation{"1+2", number(3)}, Evaluation{"null+1", QVariant()}, Evaluation{"'a'+null", QVariant()},
        Evaluation{"null & 'x'", text("x")}, Evaluation{"'x' & null", text("x")}, Evaluation{"null & null", QVariant()},
        Evaluation{"'a' & 1+2", text("a3")}, Evaluation{"'a' & 'b' & 'c'", text("abc")},
        Evaluation{"10-2+3", number(11)}, Evaluation{"1+2*3", number(7)}, Evaluation{"(1+2)*3", number(9)},
        Evaluation{"-1+-2", number(-3)}, Evaluation{"#2027-01-30#+2", text("2027-02-01 00:00:00")}),
    NameFrom(&Evaluation::expression));

class JetFunctionsErrorTest : public JetFunctionsFixture, public ::testing::Test
{
};

TEST_F(JetFunctionsErrorTest, PlusReadsTheColumnsValues)
{
    m_conn->execute(QStringLiteral("create table p (Name text, Remark text, Age integer)"));
    m_conn->execute(QStringLiteral("insert into p values ('张三', '12', 30)"));
    EXPECT_EQ(m_conn->scalar(QStringLiteral("select [Name]+[Remark] from p")).toString(), QStringLiteral("张三12"));
    EXPECT_EQ(m_conn->scalar(QStringLiteral("select [Remark]+[Age] from p")).toLongLong(), 42);
    EXPECT_EQ(m_conn->scalar(QStringLiteral("select [Age] & [Name] & null from p")).toString(),
              QStringLiteral("30张三"));
    // A text that is no number beside a number is Jet's type mismatch, not a silent 0.
    EXPECT_THROW(m_conn->scalar(QStringLiteral("select [Name]+[Age] from p")), db::DbError);
}

TEST_F(JetFunctionsErrorTest, UnknownDatediffIntervalIsAnError)
{
    EXPECT_THROW(m_conn->scalar(QStringLiteral("select datediff('fortnight', date(), date())")), db::DbError);
    EXPECT_THROW(m_conn->scalar(QStringLiteral("select datediff(null, date(), date())")), db::DbError);
}

// The birthday window, exactly as the reminder and the contact tree build it.
QString birthdayCount(int days)
{
    const QString n = QString::number(days);
    return QStringLiteral("SELECT count(*) as num FROM [ContactList] WHERE ( datediff('d',date() "
                          ",Rtrim(year(date()))+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day(Birthday)))<=") +
           n +
           QStringLiteral(
               " and datediff('d',date(),Rtrim(year(date()))+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day("
               "Birthday)))>=0 )Or( datediff('d',date(),Rtrim(year(date())+1)+'-'+Rtrim(month(Birthday))+'-'+"
               "Rtrim(day(Birthday)))<=") +
           n +
           QStringLiteral("   and datediff('d',date(),Rtrim(year(date())+1)+'-'+Rtrim(month(Birthday))+'-'+Rtrim(day("
                          "Birthday)))>=0)");
}

struct BirthdayCase
{
    const char* label;
    QDate today;
    int days;
    const char* birthday; // nullptr: no birthday
    bool inWindow;
};

class BirthdayListTest : public JetFunctionsFixture, public ::testing::Test
{
};

class BirthdayWindowTest : public JetFunctionsFixture, public ::testing::TestWithParam<BirthdayCase>
{
};

TEST_P(BirthdayWindowTest, MatchesMonthAndDayWithinTheWindow)
{
    const BirthdayCase& c = GetParam();
    m_conn->execute(QStringLiteral("CREATE TABLE ContactList (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, "
                                   "Birthday TEXT)"));
    auto insert = m_conn->prepare(QStringLiteral("insert into [ContactList] (Name, Birthday) values ('x', ?)"));
    insert->bind(1, c.birthday ? QVariant(QString::fromUtf8(c.birthday)) : QVariant());
    insert->execute();
    pin(c.today);

    db::Recordset rs;
    rs.Open(birthdayCount(c.days), *m_conn);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Field(QStringLiteral("num")).toLongLong(), c.inWindow ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Contacts, BirthdayWindowTest,
    ::testing::Values(BirthdayCase{"Today", QDate(2027, 12, 30), 7, "1990-12-30 00:00:00", true},
                      BirthdayCase{"Yesterday", QDate(2027, 12, 30), 7, "1990-12-29 00:00:00", false},
                      BirthdayCase{"AcrossNewYear", QDate(2027, 12, 30), 7, "1990-01-03 00:00:00", true},
                      BirthdayCase{"JustPastWindow", QDate(2027, 12, 30), 7, "1990-01-07 00:00:00", false},
                      BirthdayCase{"LastDayOfWindow", QDate(2027, 12, 30), 7, "1990-01-06 00:00:00", true},
                      BirthdayCase{"ZeroWindow", QDate(2027, 6, 1), 0, "1980-06-01 00:00:00", true},
                      BirthdayCase{"NoBirthday", QDate(2027, 6, 1), 365, nullptr, false},
                      BirthdayCase{"LeapDayInCommonYear", QDate(2027, 2, 25), 7, "1992-02-29 00:00:00", true},
                      BirthdayCase{"LeapDayInLeapYear", QDate(2028, 2, 25), 3, "1992-02-29 00:00:00", false},
                      BirthdayCase{"LeapDayNextYear", QDate(2027, 12, 30), 365, "1992-02-29 00:00:00", true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(BirthdayListTest, ReturnsTheBirthdayAsADateText)
{
    m_conn->executeScript(
        QStringLiteral("CREATE TABLE ContactList (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, "
                       "Birthday TEXT);"
                       "insert into [ContactList] (Name, Birthday) values ('a', '1990-01-03 00:00:00');"
                       "insert into [ContactList] (Name, Birthday) values ('b', '1990-06-03 00:00:00');"
                       "insert into [ContactList] (Name, Birthday) values ('c', null)"));
    QString sql = birthdayCount(7);
    sql.replace(QStringLiteral("SELECT count(*) as num"),
                QStringLiteral("SELECT id,Name,Format(Birthday,'yyyy-mm-dd') as Birthday"));
    db::Recordset rs;
    rs.Open(sql, *m_conn);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Field(QStringLiteral("Name")).toString(), QStringLiteral("a"));
    EXPECT_EQ(rs.Field(QStringLiteral("birthday")).toString(), QStringLiteral("1990-01-03"));
}

} // namespace
