#include "AddressBookBoxes.h"

#include "DataStore.h"
#include "HintBox.h"
#include "db/Recordset.h"

#include <QLineEdit>

QString TakeCategoryName(QLineEdit& box, QWidget* parent)
{
    const QString name = box.text().trimmed();
    if (name.isEmpty())
        ShowHint(QStringLiteral("请输入分类名称"), parent, &box);
    return name;
}

void ReportDuplicateCategory(QLineEdit& box, QWidget* parent)
{
    ShowHint(QStringLiteral("已经存在相同的分类名称"), parent, &box);
}

bool InsertUnlessPresent(const QString& lookupSql, const std::function<void(db::Recordset&)>& fill)
{
    db::Recordset rs;
    rs.Open(lookupSql, SharedConnection(), db::LockType::Optimistic);
    if (rs.RecordCount() > 0)
        return false;
    rs.AddNew();
    fill(rs);
    rs.Update();
    return true;
}
