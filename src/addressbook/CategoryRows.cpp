#include "CategoryRows.h"

#include "DataStore.h"
#include "ErrorBoxes.h"
#include "PublicFunction.h"
#include "db/Recordset.h"

#include <QIcon>
#include <QTreeWidgetItem>

namespace CategoryRows {

namespace {

QString byNameSql(const QString& table, const QString& name)
{
    return QStringLiteral("select * from [%1] where CategoryName='").arg(table) + SqlQuote(name) + QLatin1Char('\'');
}

} // namespace

QString keyOf(const QTreeWidgetItem* node)
{
    return node ? node->data(0, Qt::UserRole).toString() : QString();
}

bool isCategoryKey(const QString& key)
{
    return key.startsWith(QLatin1Char('C'));
}

QString idOfKey(const QString& key)
{
    return key.mid(1);
}

QTreeWidgetItem* makeNode(const QString& key, const QString& text, const QIcon& icon)
{
    auto* node = new QTreeWidgetItem(QStringList{text});
    node->setData(0, Qt::UserRole, key);
    node->setIcon(0, icon);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    return node;
}

void addCategoryNodes(const QString& table, QTreeWidgetItem* parent, const QIcon& icon)
{
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [%1] where ParentId=0").arg(table), SharedConnection());
    for (; !rs.IsEOF(); rs.MoveNext())
        parent->addChild(makeNode(QStringLiteral("C") + NullToEmpty(rs.Field(QStringLiteral("id"))),
                                  NullToEmpty(rs.Field(QStringLiteral("CategoryName"))), icon));
    rs.Close();
}

bool addIfNew(const QString& table, const QString& name)
{
    db::Recordset rs;
    rs.Open(byNameSql(table, name), SharedConnection(), db::LockType::Optimistic);
    const bool isNew = rs.RecordCount() == 0;
    if (isNew) {
        rs.AddNew();
        rs.SetField(QStringLiteral("CategoryName"), name);
        rs.SetField(QStringLiteral("ParentId"), 0);
        rs.Update();
    }
    rs.Close();
    return isNew;
}

int countOthersNamed(const QString& table, const QString& name, const QString& id)
{
    db::Recordset rs;
    rs.Open(byNameSql(table, name) + QStringLiteral("and  id<>") + id, SharedConnection(), db::LockType::Optimistic);
    const int count = rs.RecordCount();
    rs.Close();
    return count;
}

void renameInPlace(const QString& table, const QString& id, const QString& name)
{
    SharedConnection().execute(QStringLiteral("update [%1] set CategoryName='").arg(table) + SqlQuote(name) +
                               QStringLiteral("' where id=") + id);
}

} // namespace CategoryRows
