#include "ContactTransfer.h"
#include "AddressBookFixture.h"
#include "Controls.h"
#include "DataStore.h"
#include "ListView.h"

#include <QPushButton>
#include <QSignalSpy>

namespace {

class ContactTransferTest : public AddressBookFixture
{
protected:
    static QStringList draftRows()
    {
        QStringList rows;
        db::Recordset rs;
        rs.Open(QStringLiteral("select * from [DraftBox] order by id"), *g_Conn);
        for (; !rs.IsEOF(); rs.MoveNext()) {
            rows << NullToEmptyRow(rs);
        }
        return rows;
    }
    static QString NullToEmptyRow(const db::Recordset& rs)
    {
        QStringList cells;
        for (const char* f : {"MobilePhone", "A", "B", "IsRepeat"})
            cells << rs.Field(QString::fromLatin1(f)).toString();
        return cells.join(QLatin1Char('|'));
    }
};

TEST_F(ContactTransferTest, CheckedContactsGoInWithSalutationAndRepeatFlag)
{
    g_Conn->execute(QStringLiteral("insert into [DraftBox] (MobilePhone, IsRepeat) values ('13700000000', 0)"));
    addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), 0, QString(), QStringLiteral("男"));
    addContact(QStringLiteral("O'Brien"), QStringLiteral("13800000001"), 0, QString(), QStringLiteral("女"));
    addContact(QStringLiteral("不选"), QStringLiteral("13600000000"), 0, QString(), QStringLiteral("男"));
    addContact(QStringLiteral("李四"), QStringLiteral("13700000000"), 0);
    page->LoadAllContacts();
    check(0);
    check(1);
    check(3);

    QSignalSpy grid(page.get(), &ContactsPage::contactsAddedToGrid);
    Control<QPushButton>(*page, "AeroButton18")->click();
    EXPECT_EQ(grid.count(), 1);
    EXPECT_EQ(draftRows(), (QStringList{"13700000000|||0", "13800000001|张三|先生|0", "13800000001|O'Brien|女士|1",
                                        "13700000000|李四||1"}));
}

TEST_F(ContactTransferTest, NothingCheckedInsertsNothingButStillShowsTheGrid)
{
    addContact(QStringLiteral("张三"), QStringLiteral("13800000001"), 0, QString(), QStringLiteral("男"));
    page->LoadAllContacts();
    QSignalSpy grid(page.get(), &ContactsPage::contactsAddedToGrid);
    Control<QPushButton>(*page, "AeroButton18")->click();
    EXPECT_EQ(grid.count(), 1);
    EXPECT_EQ(draftRows(), QStringList());
}

TEST_F(ContactTransferTest, NumbersGoInAsStoredAndCountIsReturned)
{
    addContact(QStringLiteral("甲"), QStringLiteral("+86 138 0000 0001"), 0, QString(), QStringLiteral("其他"));
    page->LoadAllContacts();
    check(0);
    EXPECT_EQ(AddCheckedContactsToDraftBox(*Control<ListView>(*page, "ListView2")), 1);
    EXPECT_EQ(draftRows(), QStringList{QStringLiteral("+86 138 0000 0001|甲|其他|0")});
}

} // namespace
