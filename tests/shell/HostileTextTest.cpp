// Every text a user can type (or a stored row can carry) that ends up in a statement, fed with
// the inputs that break hand-built SQL: quotes, comment starts, brackets, Jet's date marks, a NUL,
// a very long text, what an undecodable GBK byte becomes, and characters GBK cannot carry. Each
// must come back exactly as given, or be refused with a box; the database stays whole.
#include "ContactAdd.h"
#include "ContactCategoryAdd.h"
#include "ContactCategoryEdit.h"
#include "ContactEdit.h"
#include "ContactForm.h"
#include "ContactsPage.h"
#include "Controls.h"
#include "DataStore.h"
#include "DestineMsgAdd.h"
#include "DestineMsgEdit.h"
#include "ExpressExcel.h"
#include "FinishList.h"
#include "GlobalState.h"
#include "HistoryPage.h"
#include "ImportAccess.h"
#include "ImportContact.h"
#include "ImportExcel2.h"
#include "ListView.h"
#include "Modal.h"
#include "MsgEdit.h"
#include "NewMsg.h"
#include "NumberListModel.h"
#include "PhrasePage.h"
#include "PublicFunction.h"
#include "Query.h"
#include "ScriptedDesktop.h"
#include "SendPage.h"
#include "SettingsPage.h"
#include "TestProgramFolder.h"
#include "WorkbookView.h"
#include "XlsBook.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

using Icon = Desktop::Icon;

struct Hostile
{
    const char* name;
    QString text;
};

void PrintTo(const Hostile& h, std::ostream* os)
{
    *os << h.name;
}

std::vector<Hostile> hostileTexts()
{
    const QChar lone[] = {QChar(0xD800), QChar(u'x'), QChar(0xDC00)};
    return {
        {"Quote", QStringLiteral("'")},
        {"TwoQuotes", QStringLiteral("''")},
        {"CommentStart", QStringLiteral("--")},
        {"DropTable", QStringLiteral("'; drop table [Finish]; --")},
        {"CloseBracket", QStringLiteral("]")},
        {"OpenBracket", QStringLiteral("[")},
        {"DateMark", QStringLiteral("#")},
        {"Nul", QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")},
        {"TenThousand", QStringLiteral("它's#[").repeated(2000)},
        {"ReplacementChar", QStringLiteral("坏\uFFFD字")},
        {"LoneSurrogates", QString(lone, 3)},
        {"OutsideGbk", QStringLiteral("😀𠀀")},
    };
}

std::string caseName(const ::testing::TestParamInfo<Hostile>& info)
{
    return info.param.name;
}

// What a well-formed UTF-8 database can hold of a text: a lone surrogate has no UTF-8 form and
// is stored as U+FFFD, as every encoder of Unicode text would write it.
QString storable(const QString& text)
{
    return QString::fromUtf8(text.toUtf8());
}

// Writes a row through bound values, so that the text reaches the file exactly.
void insertRow(const QString& table, const std::map<QString, QVariant>& fields)
{
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [") + table + QStringLiteral("]"), *g_Conn, db::LockType::Optimistic);
    rs.AddNew();
    for (const auto& [name, value] : fields)
        rs.SetField(name, value);
    rs.Update();
    rs.Close();
}

void editLabel(QTreeWidget* tree, QTreeWidgetItem* node, const QString& text)
{
    ASSERT_NE(node, nullptr);
    tree->setCurrentItem(node);
    tree->editItem(node, 0);
    auto* editor = tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr) << "no label editor opened";
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class HostileTextTest : public ::testing::TestWithParam<Hostile>
{
protected:
    void SetUp() override
    {
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        g_UserName = QStringLiteral("demo");
        folder.makeUserDatabase(g_UserName);
        OpenDatabaseOrThrow(g_UserName + QStringLiteral(".mdb"));
        tablesBefore = rowCounts();
        ASSERT_TRUE(tablesBefore.count(QStringLiteral("Finish")));
    }
    void TearDown() override { desktop.verifyAllConsumed(); }

    QString text() const { return GetParam().text; }

    static std::map<QString, int> rowCounts()
    {
        std::map<QString, int> counts;
        for (const QString& table :
             column(QStringLiteral("select name from sqlite_master where type='table' and name not like 'sqlite%'"),
                    QStringLiteral("name")))
            counts[table] =
                g_Conn->scalar(QStringLiteral("select count(*) from [") + table + QStringLiteral("]")).toInt();
        return counts;
    }
    // The file checks whole, every table is still there, and only the tables named changed
    // their row counts, by the numbers given.
    void expectIntact(const std::map<QString, int>& added = {}) const
    {
        EXPECT_EQ(g_Conn->scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        std::map<QString, int> expected = tablesBefore;
        for (const auto& [table, delta] : added)
            expected[table] += delta;
        EXPECT_EQ(rowCounts(), expected);
    }

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    std::map<QString, int> tablesBefore;
};

// --- the address book -----------------------------------------------------------------------

class HostileContacts : public HostileTextTest
{
protected:
    void SetUp() override
    {
        HostileTextTest::SetUp();
        if (HasFatalFailure())
            return;
        page = std::make_unique<ContactsPage>();
        page->resize(980, 520);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        page->prepareForLoad();
        page->LoadContactTree();
        page->LoadAllContacts();
    }
    void TearDown() override
    {
        page.reset();
        HostileTextTest::TearDown();
    }
    QStringList categoryNames() const
    {
        return column(QStringLiteral("select * from [ContactCategory] order by id"), QStringLiteral("CategoryName"));
    }
    QStringList listed(int column) const
    {
        const ListViewModel& model = *Control<ListView>(*page, "ListView2")->listModel();
        QStringList values;
        for (int r = 0; r < model.count(); ++r)
            values << model.cell(r, column);
        return values;
    }
    QTreeWidgetItem* category(qint64 id) const { return page->nodeByKey(QStringLiteral("C") + QString::number(id)); }

    std::unique_ptr<ContactsPage> page;
};

TEST_P(HostileContacts, CategoryNameByDialogIsStoredAndShown)
{
    ASSERT_TRUE(driveModal<ContactCategoryAdd>([&] { Control<QPushButton>(*page, "AeroButton17")->click(); },
                                               [&](ContactCategoryAdd& dialog) {
                                                   Control<QLineEdit>(dialog, "Text1")->setText(text());
                                                   Control<QPushButton>(dialog, "AeroButton2")->click();
                                                   EXPECT_FALSE(dialog.isVisible());
                                               }));
    const QString stored = storable(text());
    ASSERT_EQ(categoryNames(), QStringList{stored});
    const qint64 id = g_Conn->scalar(QStringLiteral("select max(id) from [ContactCategory]")).toLongLong();
    ASSERT_NE(category(id), nullptr);
    EXPECT_EQ(category(id)->text(0), stored);

    // Renamed by the dialog to the same text plus a mark: the dialog shows the stored name and
    // the duplicate test against the other categories must not trip on it.
    Control<QTreeWidget>(*page, "TreeView1")->setCurrentItem(category(id));
    page->TreeView1_NodeClick(category(id));
    ASSERT_TRUE(
        driveModal<ContactCategoryEdit>([&] { Control<QPushButton>(*page, "AeroButton33")->click(); },
                                        [&](ContactCategoryEdit& dialog) {
                                            EXPECT_EQ(Control<QLineEdit>(dialog, "Text1")->text(), stored);
                                            Control<QLineEdit>(dialog, "Text1")->setText(text() + QStringLiteral("改"));
                                            Control<QPushButton>(dialog, "AeroButton2")->click();
                                            EXPECT_FALSE(dialog.isVisible());
                                        }));
    EXPECT_EQ(categoryNames(), QStringList{stored + QStringLiteral("改")});
    expectIntact({{QStringLiteral("ContactCategory"), 1}});
}

TEST_P(HostileContacts, CategoryNameInPlaceIsStoredAndShown)
{
    g_Conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName, ParentId) values ('工作', 0)"));
    const qint64 id = g_Conn->lastInsertId();
    page->LoadContactTree();
    editLabel(Control<QTreeWidget>(*page, "TreeView1"), category(id), text());
    EXPECT_EQ(categoryNames(), QStringList{storable(text())});
    page->LoadContactTree();
    ASSERT_NE(category(id), nullptr);
    EXPECT_EQ(category(id)->text(0), storable(text()));
    expectIntact({{QStringLiteral("ContactCategory"), 1}});
}

TEST_P(HostileContacts, EveryContactFieldIsStoredAndShownBack)
{
    g_Conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName, ParentId) values ('朋友', 0)"));
    page->LoadContactTree();
    page->LoadAllContacts();
    const auto fill = [this](ContactForm& form, const QString& value) {
        Control<QLineEdit>(form, "Text1")->setText(value);
        Control<QComboBox>(form, "Combo1")->setEditText(value);
        Control<QComboBox>(form, "Combo2")->setEditText(value);
        for (QLineEdit* box :
             {Control<QLineEdit>(form, "Text7"), Control<QLineEdit>(form, "Text6"), Control<QLineEdit>(form, "Text3"),
              Control<QLineEdit>(form, "Text5"), Control<QLineEdit>(form, "Text8")})
            box->setText(value);
        Control<QPlainTextEdit>(form, "Text4")->setPlainText(value);
        Control<QPlainTextEdit>(form, "Text9")->setPlainText(value);
        Control<QComboBox>(form, "Combo3")->setCurrentIndex(0);
    };
    ASSERT_TRUE(driveModal<ContactAdd>([&] { Control<QPushButton>(*page, "AeroButton31")->click(); },
                                       [&](ContactAdd& dialog) {
                                           fill(*Control<ContactForm>(dialog, "contactForm"), text());
                                           Control<QLineEdit>(dialog, "Text2")->setText(QStringLiteral("13800000001"));
                                           Control<QPushButton>(dialog, "AeroButton1")->click();
                                           EXPECT_FALSE(dialog.isVisible());
                                       }));
    const QString stored = storable(text());
    // The name is kept without blanks; every other field as typed.
    const QString name = RemoveSpaces(stored);
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [ContactList]"), *g_Conn);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Field(QStringLiteral("Name")).toString(), name);
    for (const char* field : {"Sex", "Marriage", "EMail", "Favorite", "Vocation", "Job", "Address", "IdCardNum", "Remark"})
        EXPECT_EQ(rs.Field(QString::fromLatin1(field)).toString(), stored) << field;
    const qint64 id = rs.Field(QStringLiteral("id")).toLongLong();
    rs.Close();

    page->LoadAllContacts();
    EXPECT_EQ(listed(1), QStringList{name});
    // The edit dialog shows every field as stored and saves them back unchanged.
    const int row =
        Control<ListView>(*page, "ListView2")->listModel()->findKey(QStringLiteral("Row_") + QString::number(id));
    ASSERT_GE(row, 0);
    Control<ListView>(*page, "ListView2")
        ->setCurrentIndex(Control<ListView>(*page, "ListView2")->model()->index(row, 1));
    ASSERT_TRUE(driveModal<ContactEdit>([&] { page->ListView2_DblClick(); },
                                        [&](ContactEdit& dialog) {
                                            ContactForm& form = *Control<ContactForm>(dialog, "contactForm");
                                            EXPECT_EQ(Control<QLineEdit>(form, "Text1")->text(), name);
                                            EXPECT_EQ(Control<QComboBox>(form, "Combo1")->currentText(), stored);
                                            EXPECT_EQ(Control<QLineEdit>(form, "Text8")->text(), stored);
                                            EXPECT_EQ(Control<QPlainTextEdit>(form, "Text9")->toPlainText(), stored);
                                            Control<QLineEdit>(form, "Text8")->setText(stored + QStringLiteral("改"));
                                            Control<QPushButton>(dialog, "AeroButton1")->click();
                                            EXPECT_FALSE(dialog.isVisible());
                                        }));
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select Address from [ContactList]")).toString(),
              stored + QStringLiteral("改"));
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select Remark from [ContactList]")).toString(), stored);
    expectIntact({{QStringLiteral("ContactCategory"), 1}, {QStringLiteral("ContactList"), 1}});
}

TEST_P(HostileContacts, SearchKeywordFindsExactlyTheContactsHoldingIt)
{
    g_Conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName, ParentId) values ('朋友', 0)"));
    const QString holder = QStringLiteral("甲") + storable(text()) + QStringLiteral("乙");
    insertRow(QStringLiteral("ContactList"), {{QStringLiteral("Name"), holder},
                                              {QStringLiteral("MobilePhone"), QStringLiteral("13800000001")},
                                              {QStringLiteral("Address"), holder},
                                              {QStringLiteral("CatID"), 1}});
    insertRow(QStringLiteral("ContactList"), {{QStringLiteral("Name"), QStringLiteral("丙丁")},
                                              {QStringLiteral("MobilePhone"), QStringLiteral("13800000002")},
                                              {QStringLiteral("Address"), QStringLiteral("丙丁")},
                                              {QStringLiteral("CatID"), 1}});
    page->LoadAllContacts();
    ASSERT_GT(Control<QComboBox>(*page, "Combo2")->count(), 0);
    for (int i = 0; i < Control<QComboBox>(*page, "Combo2")->count(); ++i) {
        Control<QComboBox>(*page, "Combo2")->setCurrentIndex(i);
        const QString field = Control<QComboBox>(*page, "Combo2")->currentText();
        Control<QLineEdit>(*page, "Text5")->setText(text());
        Control<QPushButton>(*page, "AeroButton16")->click();
        if (field == QStringLiteral("姓名") || field.contains(QStringLiteral("地址")))
            EXPECT_EQ(listed(1), QStringList{holder}) << field.toStdString();
        else
            EXPECT_EQ(listed(1), QStringList()) << field.toStdString();
    }
    expectIntact({{QStringLiteral("ContactCategory"), 1}, {QStringLiteral("ContactList"), 2}});
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileContacts, ::testing::ValuesIn(hostileTexts()), caseName);

// --- phrases --------------------------------------------------------------------------------

class HostilePhrases : public HostileTextTest
{
protected:
    void SetUp() override
    {
        HostileTextTest::SetUp();
        if (HasFatalFailure())
            return;
        page = std::make_unique<PhrasePage>();
        page->resize(760, 480);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        reload();
    }
    void TearDown() override
    {
        page.reset();
        HostileTextTest::TearDown();
    }
    void reload() const
    {
        page->LoadPhraseTree();
        page->LoadNodePhrases();
    }
    QTreeWidgetItem* root() const { return Control<QTreeWidget>(*page, "TreeView2")->topLevelItem(0); }
    QStringList childTexts() const
    {
        QStringList texts;
        for (int i = 0; i < root()->childCount(); ++i)
            texts << root()->child(i)->text(0);
        return texts;
    }
    QStringList listTexts() const
    {
        QStringList texts;
        for (int i = 0; i < Control<QListWidget>(*page, "List1")->count(); ++i)
            texts << Control<QListWidget>(*page, "List1")->item(i)->text();
        return texts;
    }
    static QStringList categoryNames()
    {
        return column(QStringLiteral("select * from [MsgCategory] order by id"), QStringLiteral("CategoryName"));
    }
    static QStringList phrases()
    {
        return column(QStringLiteral("select * from [DestineMsg] order by id"), QStringLiteral("Message"));
    }

    std::unique_ptr<PhrasePage> page;
};

TEST_P(HostilePhrases, CategoryNameByDialogIsStoredAndShown)
{
    ASSERT_TRUE(driveModal<DestineMsgAdd>([&] { Control<QPushButton>(*page, "AeroButton20")->click(); },
                                          [&](DestineMsgAdd& dialog) {
                                              Control<QLineEdit>(dialog, "Text1")->setText(text());
                                              Control<QPushButton>(dialog, "AeroButton1")->click();
                                              EXPECT_FALSE(dialog.isVisible());
                                          }));
    const QString stored = storable(text());
    EXPECT_EQ(categoryNames(), QStringList{stored});
    EXPECT_EQ(childTexts(), QStringList{stored});

    Control<QTreeWidget>(*page, "TreeView2")->setCurrentItem(root()->child(0));
    ASSERT_TRUE(
        driveModal<DestineMsgEdit>([&] { Control<QPushButton>(*page, "AeroButton21")->click(); },
                                   [&](DestineMsgEdit& dialog) {
                                       EXPECT_EQ(Control<QLineEdit>(dialog, "Text1")->text(), stored);
                                       Control<QLineEdit>(dialog, "Text1")->setText(text() + QStringLiteral("改"));
                                       Control<QPushButton>(dialog, "AeroButton2")->click();
                                       EXPECT_FALSE(dialog.isVisible());
                                   }));
    EXPECT_EQ(categoryNames(), QStringList{stored + QStringLiteral("改")});
    expectIntact({{QStringLiteral("MsgCategory"), 1}});
}

TEST_P(HostilePhrases, CategoryNameInPlaceIsStoredAndShown)
{
    g_Conn->execute(QStringLiteral("insert into [MsgCategory] (CategoryName, ParentId) values ('问候', 0)"));
    reload();
    ASSERT_EQ(root()->childCount(), 1);
    editLabel(Control<QTreeWidget>(*page, "TreeView2"), root()->child(0), text());
    EXPECT_EQ(categoryNames(), QStringList{storable(text())});
    reload();
    EXPECT_EQ(childTexts(), QStringList{storable(text())});
    expectIntact({{QStringLiteral("MsgCategory"), 1}});
}

TEST_P(HostilePhrases, PhraseIsStoredAndShownByAddAndEdit)
{
    g_Conn->execute(QStringLiteral("insert into [MsgCategory] (CategoryName, ParentId) values ('问候', 0)"));
    reload();
    Control<QTreeWidget>(*page, "TreeView2")->setCurrentItem(root()->child(0));
    ASSERT_TRUE(driveModal<NewMsg>([&] { Control<QPushButton>(*page, "AeroButton24")->click(); },
                                   [&](NewMsg& dialog) {
                                       Control<QPlainTextEdit>(dialog, "Text1")->setPlainText(text());
                                       Control<QPushButton>(dialog, "AeroButton1")->click();
                                       EXPECT_FALSE(dialog.isVisible());
                                   }));
    const QString stored = storable(text());
    EXPECT_EQ(phrases(), QStringList{stored});
    reload();
    Control<QTreeWidget>(*page, "TreeView2")->setCurrentItem(root()->child(0));
    page->TreeView2_NodeClick();
    ASSERT_EQ(listTexts(), QStringList{stored});

    Control<QListWidget>(*page, "List1")->setCurrentRow(0);
    ASSERT_TRUE(
        driveModal<MsgEdit>([&] { Control<QPushButton>(*page, "AeroButton25")->click(); },
                            [&](MsgEdit& dialog) {
                                EXPECT_EQ(Control<QPlainTextEdit>(dialog, "Text1")->toPlainText(), stored);
                                Control<QPlainTextEdit>(dialog, "Text1")->setPlainText(text() + QStringLiteral("改"));
                                Control<QPushButton>(dialog, "AeroButton1")->click();
                                EXPECT_FALSE(dialog.isVisible());
                            }));
    EXPECT_EQ(phrases(), QStringList{stored + QStringLiteral("改")});
    expectIntact({{QStringLiteral("MsgCategory"), 1}, {QStringLiteral("DestineMsg"), 1}});
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostilePhrases, ::testing::ValuesIn(hostileTexts()), caseName);

// --- settings -------------------------------------------------------------------------------

class HostileSettings : public HostileTextTest
{
protected:
    void SetUp() override
    {
        HostileTextTest::SetUp();
        if (HasFatalFailure())
            return;
        page = std::make_unique<SettingsPage>();
        page->LoadConfig();
        tablesBefore = rowCounts(); // LoadConfig adds the reminder row
    }
    QLineEdit* edit(const char* name) const { return Control<QLineEdit>(*page, name); }
    void click(const char* name) const { Control<QPushButton>(*page, name)->click(); }
    static QString config(const char* key)
    {
        return g_Conn->scalar(QStringLiteral("select value from [config] where [key]='") + QString::fromLatin1(key) +
                              QStringLiteral("'"))
            .toString();
    }

    std::unique_ptr<SettingsPage> page;
};

TEST_P(HostileSettings, SignatureIsStoredAndShownBack)
{
    edit("Text9")->setText(text());
    const QString typed = edit("Text9")->text(); // as far as the box takes it
    desktop.expectMessage("修改企业签名成功！", "Quorvel2011");
    click("AeroButton29");
    EXPECT_EQ(config("EmpSign"), storable(typed));
    page->LoadConfig();
    EXPECT_EQ(edit("Text9")->text(), storable(typed));
    expectIntact();
}

TEST_P(HostileSettings, ReminderDaysTakeTheLeadingNumberOnly)
{
    edit("Text3")->setText(QStringLiteral("12") + text());
    desktop.expectMessage("修改成功！", "Quorvel2011");
    click("AeroButton13");
    EXPECT_EQ(config("BirthdayNum"), QStringLiteral("12"));
    EXPECT_EQ(g_BirthdayDays, 12);
    expectIntact();
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileSettings, ::testing::ValuesIn(hostileTexts()), caseName);

// --- numbers, the grid and history ----------------------------------------------------------

class HostileSending : public HostileTextTest
{
protected:
    void SetUp() override
    {
        HostileTextTest::SetUp();
        if (HasFatalFailure())
            return;
        page = std::make_unique<SendPage>();
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }
    void TearDown() override
    {
        page.reset();
        HostileTextTest::TearDown();
    }
    QStringList listTexts() const { return page->numberList()->texts(); }

    std::unique_ptr<SendPage> page;
};

TEST_P(HostileSending, NumberListKeepsOnlyTheValidLines)
{
    g_Online = true; // typed and pasted numbers would be queued for the white list
    page->AddNumberLines(QStringLiteral("13800000001\r\n") + text() + QStringLiteral("\r\n13800000002"));
    EXPECT_EQ(listTexts(), (QStringList{QStringLiteral("13800000001"), QStringLiteral("13800000002")}));
    // A typed line that is no number is dropped without a word, as a pasted one is.
    // (Eleven characters or more are taken as they arrive.)
    Control<QLineEdit>(*page, "Text10")->setText(text());
    if (!Control<QLineEdit>(*page, "Text10")->text().isEmpty())
        QTest::keyClick(Control<QLineEdit>(*page, "Text10"), Qt::Key_Return);
    EXPECT_TRUE(Control<QLineEdit>(*page, "Text10")->text().isEmpty());
    EXPECT_EQ(listTexts().size(), 2);
    expectIntact({{QStringLiteral("Preference"), 2}});
}

TEST_P(HostileSending, GridNumberIsRefusedAndColumnsShowAsStored)
{
    page->setSendMode(2);
    page->BuildNumGrid();
    // A text of eleven characters or more is tested as it arrives, and again by the button.
    const int tests = text().size() > 10 ? 2 : 1;
    for (int i = 0; i < tests; ++i)
        desktop.expectMessage("您输入的号码不是有效的手机号码！", "提示", Icon::Information);
    Control<QLineEdit>(*page, "Text2")->setText(text());
    QTest::mouseClick(Control<QPushButton>(*page, "AeroButton1"), Qt::LeftButton);
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [DraftBox]")).toInt(), 0);

    // Columns A to E as an import leaves them.
    const QString stored = storable(text());
    std::map<QString, QVariant> row{{QStringLiteral("MobilePhone"), QStringLiteral("13800000001")},
                                    {QStringLiteral("IsRepeat"), 0}};
    for (const char* name : {"A", "B", "C", "D", "E"})
        row[QString::fromLatin1(name)] = stored + QString::fromLatin1(name);
    insertRow(QStringLiteral("DraftBox"), row);
    page->BuildNumGrid();
    const ListViewModel& grid = *Control<ListView>(*page, "ListView1")->listModel();
    ASSERT_EQ(grid.count(), 1);
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(grid.cell(0, 2 + c), stored + QChar(u'A' + c)) << c;
    expectIntact({{QStringLiteral("DraftBox"), 1}});
}

TEST_P(HostileSending, HistoryForwardAndResendCarryTheStoredTexts)
{
    HistoryPage history;
    history.setSendPage(page.get());
    history.show();
    const QString stored = storable(text());
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    insertRow(QStringLiteral("Messages"), {{QStringLiteral("Message"), stored},
                                           {QStringLiteral("SubmitTime"), now},
                                           {QStringLiteral("FinishTime"), now},
                                           {QStringLiteral("Amount"), 2},
                                           {QStringLiteral("FailNum"), 1}});
    const qint64 id = g_Conn->scalar(QStringLiteral("select max(id) from [Messages]")).toLongLong();
    insertRow(QStringLiteral("Finish"), {{QStringLiteral("PhoneNumber"), QStringLiteral("13800000001")},
                                         {QStringLiteral("MsgId"), id},
                                         {QStringLiteral("State"), QStringLiteral("已发送")}});
    insertRow(QStringLiteral("Finish"), {{QStringLiteral("PhoneNumber"), stored},
                                         {QStringLiteral("MsgId"), id},
                                         {QStringLiteral("State"), stored}});
    history.prepareForLoad();
    history.AeroButton15_Click();
    history.AeroButton7_Click();
    EXPECT_EQ(page->message(), stored);

    FinishList details(QStringLiteral("Row_") + QString::number(id), stored, page.get());
    details.show();
    Control<QPushButton>(details, "AeroButton2")->click();
    EXPECT_EQ(listTexts(), QStringList{stored});
    EXPECT_EQ(page->message(), stored);
    expectIntact({{QStringLiteral("Messages"), 1}, {QStringLiteral("Finish"), 2}});
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileSending, ::testing::ValuesIn(hostileTexts()), caseName);

// --- a source database's names and cells ---------------------------------------------------

class HostileImport : public HostileTextTest
{
};

TEST_P(HostileImport, TableFieldAndCellOfASourceDatabaseArriveAsStored)
{
    // A name holds no NUL: the engine cannot write one into its schema.
    const QString name = storable(text()).remove(QChar(u'\0'));
    const QString table = QStringLiteral("表") + name;
    const QString field = QStringLiteral("列") + name;
    const auto quoted = [](QString id) { return QLatin1Char('"') + id.replace(u'"', QStringLiteral("\"\"")) + QLatin1Char('"'); };
    const QString path = folder.path(QStringLiteral("source.db"));
    {
        auto source = db::Connection::create(path, QByteArray());
        source->execute(QStringLiteral("create table ") + quoted(table) + QStringLiteral(" (phone text, ") +
                        quoted(field) + QStringLiteral(" text)"));
        source->execute(QStringLiteral("insert into ") + quoted(table) + QStringLiteral(" values ('13800000001', '") +
                        SqlQuote(storable(text())) + QStringLiteral("')"));
        source->checkpoint();
    }
    ImportAccess dialog;
    dialog.show();
    desktop.expectOpenFile(QStringLiteral("Access数据库(*.mdb)|*.mdb"), path);
    Control<QPushButton>(dialog, "AeroButton1")->click();
    const auto pick = [&dialog](int combo, const QString& entry) {
        const int index = dialog.Combo(combo)->findText(entry);
        ASSERT_GE(index, 0) << combo;
        dialog.Combo(combo)->setCurrentIndex(index);
    };
    pick(7, table);
    pick(1, QStringLiteral("phone"));
    pick(2, field);
    desktop.expectMessage("共有1条记录，错误数据0条！", QStringLiteral("完成"), Icon::Information);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    EXPECT_EQ(column(QStringLiteral("select A from [DraftBox]"), QStringLiteral("A")), QStringList{storable(text())});
    expectIntact({{QStringLiteral("DraftBox"), 1}});
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileImport, ::testing::ValuesIn(hostileTexts()), caseName);

// --- the cells of a workbook ---------------------------------------------------------------

// A workbook whose sheet "通讯录" carries the text as the caption of column B, in B2 and C2 of
// a row with a valid number, and as the number of row 3:
//   手机         | text | 备注
//   13800000001  | text | text乙
//   text         | 丙   | 丁
class HostileWorkbook : public HostileTextTest
{
protected:
    void SetUp() override
    {
        HostileTextTest::SetUp();
        if (HasFatalFailure())
            return;
        XlsBook book;
        const int sheet = book.addSheet(QStringLiteral("通讯录"));
        const QString rows[3][3] = {{QStringLiteral("手机"), text(), QStringLiteral("备注")},
                                    {QStringLiteral("13800000001"), text(), text() + QStringLiteral("乙")},
                                    {text(), QStringLiteral("丙"), QStringLiteral("丁")}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                ASSERT_TRUE(book.setText(sheet, r, c, rows[r][c])) << book.error().toStdString();
        g_ExcelPath = folder.path(QStringLiteral("hostile.xls"));
        ASSERT_TRUE(book.save(g_ExcelPath)) << book.error().toStdString();
    }
    // A text the .xls reader cannot give back whole (a NUL, half of a surrogate pair, more
    // characters than two of its records hold) makes it refuse the workbook.
    bool refused() const
    {
        return text().contains(QChar(u'\0')) || text() != storable(text()) || text().size() > 8000;
    }
    // Loads a dialog that shows the workbook: true when it shows, false after the refusal.
    template <typename Dialog> bool load(Dialog& dialog)
    {
        if (refused())
            desktop.expectMessage(ScriptedDesktop::contains(QStringLiteral("文字过长或含有无效字符")),
                                  QStringLiteral("错误号：1013"), Icon::Exclamation);
        const bool loaded = dialog.Form_Load();
        EXPECT_EQ(loaded, !refused());
        if (!loaded)
            expectIntact();
        dialog.show();
        return loaded;
    }
    QString cell() const { return text(); }
    QStringList captions() const { return {QStringLiteral("无"), QStringLiteral("手机"), cell(), QStringLiteral("备注")}; }
    static QStringList entries(const QComboBox* list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    }
    // The fields of every row of a table, joined by "|".
    static QStringList rows(const QString& table, const QStringList& fields)
    {
        QStringList out;
        db::Recordset rs;
        rs.Open(QStringLiteral("select * from [") + table + QStringLiteral("] order by id"), *g_Conn);
        for (; !rs.IsEOF(); rs.MoveNext()) {
            QStringList values;
            for (const QString& field : fields)
                values << NullToEmpty(rs.Field(field));
            out << values.join(u'|');
        }
        return out;
    }
    static QString shown(const WorkbookView& view, int row, int column)
    {
        return Control<QTableView>(view, "sheetTable")->model()->index(row - 1, column - 1).data().toString();
    }
};

TEST_P(HostileWorkbook, GridImportStoresTheCellsAndSkipsTheRowWithoutANumber)
{
    ImportExcel2 dialog;
    if (!load(dialog))
        return;
    dialog.Timer1_Timer();
    EXPECT_EQ(shown(*Control<WorkbookView>(dialog, "FramerControl1"), 2, 2), cell());
    EXPECT_EQ(entries(dialog.Combo(1)), captions());
    dialog.Combo(1)->setCurrentIndex(1);
    dialog.Combo(2)->setCurrentIndex(2);
    dialog.Combo(3)->setCurrentIndex(3);
    desktop.expectMessage("成功导入号码1个，其中重复号码0个", QStringLiteral("导入完成"), Icon::Information);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    EXPECT_EQ(rows(QStringLiteral("DraftBox"), {QStringLiteral("MobilePhone"), QStringLiteral("A"), QStringLiteral("B")}),
              QStringList{QStringLiteral("13800000001|") + cell() + QStringLiteral("|") + cell() +
                          QStringLiteral("乙")});
    expectIntact({{QStringLiteral("DraftBox"), 1}});
}

TEST_P(HostileWorkbook, SelectionImportTakesOnlyTheNumber)
{
    SendPage page;
    ExpressExcel dialog(page);
    if (!load(dialog))
        return;
    EXPECT_EQ(shown(*Control<WorkbookView>(dialog, "FramerControl1"), 3, 1), cell());
    Control<WorkbookView>(dialog, "FramerControl1")->selectArea(1, 1, 3, 3);
    desktop.expectMessage("导入号码1个,自动删除重复号码0个", "完成", Icon::Information);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    EXPECT_EQ(page.numberList()->texts(), QStringList{QStringLiteral("13800000001")});
    expectIntact();
}

TEST_P(HostileWorkbook, ContactImportStoresTheCellsAndCountsTheWrongNumber)
{
    g_Conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName, ParentId) values ('朋友', 0)"));
    ImportContact dialog;
    dialog.show();
    desktop.expectOpenFile(QStringLiteral("Excel文件(*.xls)|*.xls"), g_ExcelPath);
    if (refused()) {
        desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：1013")), QStringLiteral("程序出错"),
                              Icon::Information);
        dialog.AeroButton1_Click();
        EXPECT_EQ(dialog.Combo(1)->count(), 0);
        expectIntact({{QStringLiteral("ContactCategory"), 1}});
        return;
    }
    dialog.AeroButton1_Click();
    dialog.Combo(1)->setCurrentText(QStringLiteral("通讯录"));
    dialog.Combo1_Click();
    EXPECT_EQ(entries(dialog.Combo(3)), captions());
    dialog.Combo(2)->setCurrentText(QStringLiteral("朋友"));
    dialog.Combo(3)->setCurrentIndex(2);  // name
    dialog.Combo(4)->setCurrentIndex(1);  // number
    dialog.Combo(14)->setCurrentIndex(3); // remark
    desktop.expectMessage("成功导入联系人1个，存在错误号码1个", QStringLiteral("导入完成"), Icon::Information);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    EXPECT_EQ(rows(QStringLiteral("ContactList"),
                   {QStringLiteral("Name"), QStringLiteral("MobilePhone"), QStringLiteral("Remark")}),
              QStringList{RemoveSpaces(cell()) + QStringLiteral("|13800000001|") + cell() + QStringLiteral("乙")});
    expectIntact({{QStringLiteral("ContactCategory"), 1}, {QStringLiteral("ContactList"), 1}});
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileWorkbook, ::testing::ValuesIn(hostileTexts()), caseName);

} // namespace
