#include "ImportAccess.h"
#include "Controls.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"
#include "db/Connection.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Icon = Desktop::Icon;

const QString kFilter = QStringLiteral("Access数据库(*.mdb)|*.mdb");

QString nwind()
{
    return QStringLiteral(QUORVEL_SHARED_DIR "/fixtures/access/nwind.mdb");
}

class ImportAccessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        folder.makeUserDatabase(QStringLiteral("tester"));
        OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
        dialog = std::make_unique<ImportAccess>();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void TearDown() override
    {
        dialog.reset();
        desktop.verifyAllConsumed();
    }

    // An unencrypted engine file beside the user's database.
    QString engineFile(const QString& name, const QString& script) const
    {
        const QString path = folder.path(name);
        auto conn = db::Connection::create(path, QByteArray());
        conn->executeScript(script);
        conn->checkpoint();
        return path;
    }
    void choose(const QString& path)
    {
        desktop.expectOpenFile(kFilter, path);
        QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton1"), Qt::LeftButton);
    }
    void pick(int combo, const QString& entry) const
    {
        const int index = dialog->Combo(combo)->findText(entry);
        ASSERT_GE(index, 0) << qPrintable(entry);
        dialog->Combo(combo)->setCurrentIndex(index);
    }
    QStringList entries(int combo) const
    {
        QStringList texts;
        for (int i = 0; i < dialog->Combo(combo)->count(); ++i)
            texts << dialog->Combo(combo)->itemText(i);
        return texts;
    }
    void start() const { QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton2"), Qt::LeftButton); }
    // The queue as another connection sees it: committed rows only.
    static QStringList draftRows()
    {
        auto other = OpenWorkerConnection(QStringLiteral("tester.mdb"));
        auto rows = other->prepare(QStringLiteral("select MobilePhone, ifnull(A,'-'), ifnull(B,'-'), ifnull(C,'-'), "
                                                  "IsRepeat from [DraftBox] order by id"));
        QStringList out;
        while (rows->next()) {
            QStringList cells;
            for (int c = 0; c < 5; ++c)
                cells << rows->value(c).toString();
            out << cells.join(u'|');
        }
        return out;
    }
    // Numbers 13800000000, 13800000001, ... in a table "numbers".
    QString numbersFile(int count) const
    {
        return engineFile(QStringLiteral("numbers.db"),
                          QStringLiteral("create table numbers (phone text);"
                                         "with recursive n(i) as (select 0 union all select i+1 from n where i<%1) "
                                         "insert into numbers select 13800000000+i from n")
                              .arg(count - 1));
    }

    ScriptedDesktop desktop;
    TestProgramFolder folder;
    std::unique_ptr<ImportAccess> dialog;
};

TEST_F(ImportAccessTest, TablesOfTheFileThenFieldsOfTheTable)
{
    if (!QFile::exists(nwind()))
        GTEST_SKIP() << "no shared fixtures";
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("0/0"));
    choose(nwind());
    EXPECT_EQ(Control<QLineEdit>(*dialog, "Text1")->text(), nwind());
    EXPECT_EQ(dialog->Combo(7)->count(), 9);
    EXPECT_TRUE(dialog->Combo(7)->currentText().isEmpty());
    pick(7, QStringLiteral("Shippers"));
    for (int combo = 1; combo <= 6; ++combo) {
        EXPECT_EQ(entries(combo), QStringList({"无", "ShipperID", "CompanyName", "Phone"})) << combo;
        EXPECT_EQ(dialog->Combo(combo)->currentText(), QStringLiteral("无"));
    }
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("0/3"));
    EXPECT_EQ(Control<QProgressBar>(*dialog, "AeroProgressBar1")->maximum(), 3);

    // Another table rebuilds the field lists and resets the choices.
    pick(1, QStringLiteral("Phone"));
    pick(7, QStringLiteral("Categories"));
    EXPECT_EQ(entries(1), QStringList({"无", "CategoryID", "CategoryName", "Description", "Picture"}));
    EXPECT_EQ(dialog->Combo(1)->currentText(), QStringLiteral("无"));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("0/8"));

    // Another file replaces the table list; a table must be chosen again.
    choose(engineFile(QStringLiteral("other.db"), QStringLiteral("create table \"名单 ]\" (phone text)")));
    EXPECT_EQ(entries(7), QStringList{QStringLiteral("名单 ]")});
    desktop.expectMessage("请先选择数据表！", QStringLiteral("提示"), Icon::Information);
    start();
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ImportAccessTest, ChecksBeforeTheImport)
{
    const QString path = engineFile(QStringLiteral("s.db"), QStringLiteral("create table t (phone text)"));
    desktop.expectMessage("请先选择数据库文件！", QStringLiteral("提示"), Icon::Information);
    start();
    choose(path);
    desktop.expectMessage("请先选择数据表！", QStringLiteral("提示"), Icon::Information);
    start();
    pick(7, QStringLiteral("t"));
    desktop.expectMessage("请选择手机号数据列！", QStringLiteral("提示"), Icon::Information);
    start();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(draftRows().isEmpty());
}

TEST_F(ImportAccessTest, RowsGoInWithRepeatsRejectsAndChosenVariables)
{
    g_Conn->execute(QStringLiteral("insert into [DraftBox] (MobilePhone, IsRepeat) values ('13700000000', 0)"));
    const QString longText = QString(10000, QChar(u'长'));
    const QString path = engineFile(
        QStringLiteral("s.db"),
        QStringLiteral("create table \"客户 [名单]\" (\"手机 号\" text, name text, note text);"
                       "insert into \"客户 [名单]\" values ('13800000001', '张三', 'x');"
                       "insert into \"客户 [名单]\" values ('1234', 'bad', 'x');"
                       "insert into \"客户 [名单]\" values ('+86 138 0000 0001', 'O''Brien \"--\"', 'y');"
                       "insert into \"客户 [名单]\" values (null, 'no number', 'x');"
                       "insert into \"客户 [名单]\" values (13700000000, '李四', '%1');")
            .arg(longText));
    choose(path);
    pick(7, QStringLiteral("客户 [名单]"));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("0/5"));
    pick(1, QStringLiteral("手机 号"));
    pick(2, QStringLiteral("name"));
    pick(4, QStringLiteral("note")); // B stays at "无"
    desktop.expectMessage("共有5条记录，错误数据2条！", QStringLiteral("完成"), Icon::Information);
    start();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(draftRows(), QStringList({"13700000000|-|-|-|0", QStringLiteral("13800000001|张三|-|x|0"),
                                        "13800000001|O'Brien \"--\"|-|y|1",
                                        QStringLiteral("13700000000|李四|-|") + longText + QStringLiteral("|1")}));
}

TEST_F(ImportAccessTest, ATableThatFailedToOpenIsTriedAgainWhenPickedAgain)
{
    const QString path = numbersFile(3);
    choose(path);
    // Gone after the list was read (another program changed the file), then back.
    auto other = db::Connection::openUnkeyed(path);
    other->execute(QStringLiteral("alter table numbers rename to kept"));
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：")), QStringLiteral("程序出错"),
                          Icon::Information);
    pick(7, QStringLiteral("numbers"));
    EXPECT_EQ(entries(1), QStringList{QStringLiteral("无")});

    other->execute(QStringLiteral("alter table kept rename to numbers"));
    pick(7, QStringLiteral("numbers"));
    EXPECT_EQ(entries(1), QStringList({"无", "phone"}));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("0/3"));
}

TEST_F(ImportAccessTest, EmptyTableEndsAtOnce)
{
    choose(engineFile(QStringLiteral("s.db"), QStringLiteral("create table t (phone text)")));
    pick(7, QStringLiteral("t"));
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("0/0"));
    pick(1, QStringLiteral("phone"));
    desktop.expectMessage("共有0条记录，错误数据0条！", QStringLiteral("完成"), Icon::Information);
    start();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ImportAccessTest, CloseDuringTheImportKeepsItsRows)
{
    const int total = 200000;
    choose(numbersFile(total));
    pick(7, QStringLiteral("numbers"));
    pick(1, QStringLiteral("phone"));
    // Pressed as soon as the import first lets the window process input.
    QTimer::singleShot(0, dialog.get(),
                       [this] { QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton3"), Qt::LeftButton); });
    dialog->AeroButton2_Click();
    EXPECT_FALSE(dialog->isVisible());
    const int kept = int(draftRows().size());
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, total);
    EXPECT_EQ(Control<QLabel>(*dialog, "Label2")->text(), QStringLiteral("%1/%2").arg(kept).arg(total));
}

TEST_F(ImportAccessTest, AFailingInsertClosesSilentlyAndKeepsTheRowsBefore)
{
    g_Conn->execute(QStringLiteral("create trigger refuse before insert on DraftBox when new.MobilePhone = "
                                   "'13800000002' begin select raise(abort, 'refused'); end"));
    choose(numbersFile(5));
    pick(7, QStringLiteral("numbers"));
    pick(1, QStringLiteral("phone"));
    start();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(draftRows(), QStringList({"13800000000|-|-|-|0", "13800000001|-|-|-|0"}));
}

// ---- refused files: the generic box, and the dialog stays open ----

enum class Refused
{
    TextRenamed,
    UserDatabase,
    ProtectedAccess
};

class RefusedFileTest : public ImportAccessTest, public ::testing::WithParamInterface<std::pair<const char*, Refused>>
{
};

TEST_P(RefusedFileTest, ShowsTheErrorBoxAndStaysOpen)
{
    QString path = folder.path(QStringLiteral("refused.mdb"));
    QByteArray bytes;
    switch (GetParam().second) {
    case Refused::TextRenamed:
        bytes = "13800000001\r\n";
        break;
    case Refused::UserDatabase:
        path = folder.path(QStringLiteral("tester.mdb"));
        break;
    case Refused::ProtectedAccess: {
        QFile source(nwind());
        if (!source.open(QIODevice::ReadOnly))
            GTEST_SKIP() << "no shared fixtures";
        bytes = source.readAll();
        bytes[0x42] = char(bytes[0x42] ^ 'p'); // a one-letter database password
        break;
    }
    }
    if (!bytes.isEmpty()) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    desktop.expectOpenFile(kFilter, path);
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：")), QStringLiteral("程序出错"),
                          Icon::Information);
    QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton1"), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Control<QLineEdit>(*dialog, "Text1")->text(), path);
    EXPECT_EQ(dialog->Combo(7)->count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedFileTest,
                         ::testing::Values(std::make_pair("TextRenamed", Refused::TextRenamed),
                                           std::make_pair("UserDatabase", Refused::UserDatabase),
                                           std::make_pair("ProtectedAccess", Refused::ProtectedAccess)),
                         [](const auto& info) { return std::string(info.param.first); });

} // namespace
