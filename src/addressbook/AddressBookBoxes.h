#pragma once

#include <QString>
#include <functional>

namespace db {
class Recordset;
}
class QLineEdit;
class QWidget;

// The category name of a dialog's box with the blanks at both ends removed. An empty name is
// refused with "请输入分类名称" (focus back on the box): the result is then empty.
QString TakeCategoryName(QLineEdit& box, QWidget* parent);
// "已经存在相同的分类名称", focus back on the box.
void ReportDuplicateCategory(QLineEdit& box, QWidget* parent);

// Adds a row through fill() on the optimistic recordset of lookupSql unless that finds a row
// already; true when the row was added. Engine failures reach the caller.
bool InsertUnlessPresent(const QString& lookupSql, const std::function<void(db::Recordset&)>& fill);
