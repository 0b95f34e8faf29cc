#include "AddressBookFixture.h"
#include "Controls.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "ListView.h"
#include "PublicFunction.h"
#include "db/Clock.h"

#include <QTest>
#include <QTreeWidget>

void AddressBookFixture::SetUp()
{
    ResetGlobalState();
    ASSERT_TRUE(folder.hasShippedDatabases()) << "the build made no shipped databases";
    g_UserName = QStringLiteral("demo");
    folder.makeUserDatabase(g_UserName);
    OpenDatabaseOrThrow(g_UserName + QStringLiteral(".mdb"));
    page = std::make_unique<ContactsPage>();
    page->resize(980, 520);
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    page->prepareForLoad();
    page->LoadContactTree();
    page->LoadAllContacts();
}

void AddressBookFixture::TearDown()
{
    page.reset();
    db::Clock::reset();
}

qint64 AddressBookFixture::addCategory(const QString& name)
{
    g_Conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName, ParentId) values ('") +
                    SqlQuote(name) + QStringLiteral("', 0)"));
    return g_Conn->lastInsertId();
}

qint64 AddressBookFixture::addContact(const QString& name, const QString& phone, qint64 category,
                                      const QString& birthday, const QString& sex)
{
    const QString day =
        birthday.isEmpty() ? QStringLiteral("Null") : QStringLiteral("'") + birthday + QStringLiteral(" 00:00:00'");
    g_Conn->execute(QStringLiteral("insert into [ContactList] (Name, MobilePhone, Sex, Birthday, CatID) values ('") +
                    SqlQuote(name) + QStringLiteral("', '") + SqlQuote(phone) + QStringLiteral("', '") + SqlQuote(sex) +
                    QStringLiteral("', ") + day + QStringLiteral(", ") + QString::number(category) +
                    QStringLiteral(")"));
    return g_Conn->lastInsertId();
}

QVariant AddressBookFixture::scalar(const QString& sql)
{
    return g_Conn->scalar(sql);
}

void AddressBookFixture::clickNode(const QString& key)
{
    QTreeWidgetItem* node = page->nodeByKey(key);
    ASSERT_NE(node, nullptr) << key.toStdString();
    Control<QTreeWidget>(*page, "TreeView1")->setCurrentItem(node);
    page->TreeView1_NodeClick(node);
}

QStringList AddressBookFixture::listedNames() const
{
    const ListViewModel& model = *Control<ListView>(*page, "ListView2")->listModel();
    QStringList names;
    for (int r = 0; r < model.count(); ++r)
        names << model.cell(r, 1);
    return names;
}

void AddressBookFixture::check(int row, bool checked)
{
    Control<ListView>(*page, "ListView2")->listModel()->setChecked(row, checked);
}
