#include "CodePage.h"
#include "DataStore.h"
#include "SourceDatabase.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString accessFixture(const char* name)
{
    return QStringLiteral(QUORVEL_SHARED_DIR "/fixtures/access/") + QString::fromLatin1(name);
}

#define REQUIRE_FIXTURE(path)                                                                                          \
    if (!QFile::exists(path))                                                                                          \
    GTEST_SKIP() << "no shared fixtures at " << qPrintable(path)

// Every value of a table, row by row, fields joined by "|" (Null as "<null>").
QStringList rowsOf(SourceTable& table, int limit = 1000)
{
    QStringList rows;
    while (rows.size() < limit && table.fetch()) {
        QStringList cells;
        for (int field = 0; field < table.fieldNames().size(); ++field) {
            const QVariant value = table.value(field);
            cells << (value.isNull() ? QStringLiteral("<null>") : value.toString());
        }
        rows << cells.join(u'|');
    }
    return rows;
}

TEST(SourceDatabaseTest, AccessFileListsItsUserTablesOnly)
{
    const QString path = accessFixture("nwind.mdb");
    REQUIRE_FIXTURE(path);
    const auto source = SourceDatabase::open(path);
    EXPECT_EQ(source->kind(), SourceDatabase::Kind::Jet);
    // Jet 3 names and texts are read in the local code page, also those of this Western file.
    EXPECT_EQ(source->tableNames(),
              QStringList({"Categories", "Customers", "Employees", "Order Details", "Orders", "Products", "Shippers",
                           "Suppliers", codepage::decode("Ums\xe4tze")}));
}

TEST(SourceDatabaseTest, AccessRowsReadAsText)
{
    const QString path = accessFixture("nwind.mdb");
    REQUIRE_FIXTURE(path);
    const auto source = SourceDatabase::open(path);
    auto customers = source->openTable(QStringLiteral("Customers"));
    EXPECT_EQ(customers->recordCount(), 91);
    EXPECT_EQ(customers->fieldNames().mid(0, 3), QStringList({"CustomerID", "CompanyName", "ContactName"}));
    const QStringList rows = rowsOf(*customers);
    ASSERT_EQ(rows.size(), 91);
    EXPECT_EQ(rows[1], codepage::decode("ANATR|Ana Trujillo Emparedados y helados|Ana Trujillo|Owner|Avda. de la "
                                        "Constituci\xf3n 2222|M\xe9xico D.F.|<null>|05021|Mexico|(5) 555-4729|"
                                        "(5) 555-3745"));

    // Money without its four decimals, Yes/No as words, dates in the program's form.
    auto products = source->openTable(QStringLiteral("Products"));
    const QStringList product = rowsOf(*products, 5);
    EXPECT_EQ(product[0], QStringLiteral("1|Chai|1|1|10 boxes x 20 bags|18|39|0|10|False"));
    EXPECT_TRUE(product[4].endsWith(QStringLiteral("|True"))) << qPrintable(product[4]);
    auto orders = source->openTable(QStringLiteral("Orders"));
    EXPECT_TRUE(rowsOf(*orders, 1).value(0).startsWith(
        QStringLiteral("10330|LILAS|3|1994-11-16 00:00:00|1994-12-14 00:00:00|1994-11-28 00:00:00|1|12.75|")));
    auto details = source->openTable(QStringLiteral("Order Details"));
    EXPECT_TRUE(rowsOf(*details, 2155).contains(QStringLiteral("10250|51|42.4|35|0.15")));
}

// Jet 3 keeps text as the bytes of the code page of the computer that wrote it: this copy of the
// Western file holds a name in GBK, and its header still names the Western code page.
TEST(SourceDatabaseTest, Jet3TextReadsInTheLocalCodePage)
{
    QFile western(accessFixture("nwind.mdb"));
    if (!western.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no shared fixtures";
    QByteArray bytes = western.readAll();
    const QByteArray latin("Maria Anders");
    const QByteArray chinese = codepage::encode(QStringLiteral("张三李四王五"));
    ASSERT_EQ(chinese.size(), latin.size()); // the row keeps its layout
    ASSERT_EQ(bytes.count(latin), 1);
    bytes.replace(latin, chinese);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chinese.mdb"));
    QFile copy(path);
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    ASSERT_EQ(copy.write(bytes), bytes.size());
    copy.close();

    const auto source = SourceDatabase::open(path);
    auto customers = source->openTable(QStringLiteral("Customers"));
    ASSERT_TRUE(customers->fetch());
    EXPECT_EQ(customers->value(2).toString(), QStringLiteral("张三李四王五"));
}

TEST(SourceDatabaseTest, Jet4DatesOutsideTheUsualYears)
{
    const QString path = accessFixture("DateTestDatabase.mdb");
    REQUIRE_FIXTURE(path);
    const auto source = SourceDatabase::open(path);
    ASSERT_EQ(source->tableNames(), QStringList{QStringLiteral("DateTest")});
    auto table = source->openTable(QStringLiteral("DateTest"));
    const QStringList rows = rowsOf(*table);
    ASSERT_EQ(rows.size(), 6);
    for (const QString& row : rows) {
        const QStringList cells = row.split(u'|');
        for (int field = 1; field <= 3; ++field)
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                            .match(cells[field])
                            .hasMatch())
                << qPrintable(row);
    }
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("2|9999-"))) << qPrintable(rows[1]);
    EXPECT_LT(rows[2].section(u'|', 1, 1), QStringLiteral("1900")) << qPrintable(rows[2]);
    EXPECT_LT(rows[3].section(u'|', 1, 1), QStringLiteral("1000")) << qPrintable(rows[3]);
}

// ---- unencrypted files of our own engine ----

class EngineSourceTest : public ::testing::Test
{
protected:
    QString makeFile(const QString& script)
    {
        const QString path = dir.filePath(QStringLiteral("source.db"));
        auto conn = db::Connection::create(path, QByteArray());
        conn->executeScript(script);
        conn->checkpoint();
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(EngineSourceTest, NamesWithBracketsBlanksAndChineseSurvive)
{
    const QString path = makeFile(QStringLiteral(
        "create table \"x]y z\" (id integer primary key autoincrement, \"手机 号]\" text, amount real, n integer);"
        "insert into \"x]y z\" (\"手机 号]\", amount, n) values ('13800000001', 2.50, 7);"
        "insert into \"x]y z\" (\"手机 号]\", amount, n) values ('O''Brien \"--\"', null, -3);"
        "create table \"客户 表\" (a text)"));
    const auto source = SourceDatabase::open(path);
    EXPECT_EQ(source->kind(), SourceDatabase::Kind::Engine);
    // The engine's own sqlite_sequence is no table of the user's.
    EXPECT_EQ(source->tableNames(), QStringList({"x]y z", QStringLiteral("客户 表")}));
    auto table = source->openTable(QStringLiteral("x]y z"));
    EXPECT_EQ(table->fieldNames(), QStringList({"id", QStringLiteral("手机 号]"), "amount", "n"}));
    EXPECT_EQ(table->recordCount(), 2);
    EXPECT_EQ(rowsOf(*table), QStringList({"1|13800000001|2.5|7", "2|O'Brien \"--\"|<null>|-3"}));
    EXPECT_EQ(source->openTable(QStringLiteral("客户 表"))->recordCount(), 0);
    EXPECT_THROW(source->openTable(QStringLiteral("x]y")), db::DbError);
}

// ---- refused files ----

enum class Damage
{
    Missing,
    Empty,
    TextRenamed,
    KeyedEngineFile,
    TruncatedJet,
    Jet3Password,
    Jet4Password
};

struct RefusedCase
{
    const char* name;
    Damage damage;
    int number;
};

class RefusedSourceTest : public ::testing::TestWithParam<RefusedCase>
{
protected:
    QTemporaryDir dir;
};

// The password field lies under a fixed keystream (and for Jet 4 a fixed mask), so XOR-ing a
// text into an unprotected file's bytes stores that text as its password.
QByteArray withPassword(QByteArray bytes, const QByteArray& password, bool wide)
{
    for (int i = 0; i < password.size(); ++i)
        bytes[0x42 + (wide ? 2 * i : i)] = char(bytes[0x42 + (wide ? 2 * i : i)] ^ password[i]);
    return bytes;
}

TEST_P(RefusedSourceTest, IsRefusedWithAnEngineError)
{
    const QString path = dir.filePath(QStringLiteral("source.mdb"));
    QByteArray bytes;
    const auto fixture = [](const char* name) {
        QFile file(accessFixture(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    switch (GetParam().damage) {
    case Damage::Missing:
        break;
    case Damage::Empty:
        bytes = QByteArray("");
        break;
    case Damage::TextRenamed:
        bytes = QByteArray("13800000001\r\n13800000002\r\n").repeated(500);
        break;
    case Damage::KeyedEngineFile:
        db::Connection::create(path, QByteArray(kDatabasePassword))->execute(QStringLiteral("create table t (a)"));
        break;
    case Damage::TruncatedJet:
        bytes = fixture("nwind.mdb");
        bytes.truncate(bytes.size() / 2 + 1000);
        break;
    case Damage::Jet3Password:
        bytes = withPassword(fixture("nwind.mdb"), "secret", false);
        break;
    case Damage::Jet4Password:
        bytes = withPassword(fixture("DateTestDatabase.mdb"), "secret", true);
        break;
    }
    const bool needsFixture = GetParam().damage == Damage::TruncatedJet || GetParam().damage == Damage::Jet3Password ||
                              GetParam().damage == Damage::Jet4Password;
    if (needsFixture && bytes.isEmpty())
        GTEST_SKIP() << "no shared fixtures";
    if (!bytes.isNull()) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    try {
        SourceDatabase::open(path);
        ADD_FAILURE() << "opened";
    } catch (const db::DbError& error) {
        EXPECT_EQ(error.number(), GetParam().number) << qPrintable(error.description());
    }
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedSourceTest,
                         ::testing::Values(RefusedCase{"Missing", Damage::Missing, db::ErrFileNotFound},
                                           RefusedCase{"Empty", Damage::Empty, db::ErrUnrecognizedFormat},
                                           RefusedCase{"TextRenamed", Damage::TextRenamed, db::ErrUnrecognizedFormat},
                                           RefusedCase{"KeyedEngineFile", Damage::KeyedEngineFile,
                                                       db::ErrUnrecognizedFormat},
                                           RefusedCase{"TruncatedJet", Damage::TruncatedJet,
                                                       db::ErrUnrecognizedFormat},
                                           RefusedCase{"Jet3Password", Damage::Jet3Password, db::ErrNotValidPassword},
                                           RefusedCase{"Jet4Password", Damage::Jet4Password, db::ErrNotValidPassword}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
