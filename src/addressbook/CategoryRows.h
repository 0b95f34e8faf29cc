#pragma once

#include <QString>

class QIcon;
class QTreeWidgetItem;

// The one-level category tables ([MsgCategory], [ContactCategory]: id, CategoryName, ParentId)
// and the tree nodes that show them. Keys of category nodes are "C" + id. Every function uses
// the shared connection and throws db::DbError when the engine fails.
namespace CategoryRows {

// Tree keys of a node (item data of column 0).
QString keyOf(const QTreeWidgetItem* node);
bool isCategoryKey(const QString& key);
// The category id of a "C" key: the key from its second character on.
QString idOfKey(const QString& key);

// Adds one child of parent per top-level category, in query order: key "C" + id, text CategoryName.
void addCategoryNodes(const QString& table, QTreeWidgetItem* parent, const QIcon& icon);
// A node with its key stored as item data.
QTreeWidgetItem* makeNode(const QString& key, const QString& text, const QIcon& icon);

// Adds a top-level category named name unless a category of that name exists (the engine's
// text comparison decides); true when added.
bool addIfNew(const QString& table, const QString& name);
// Categories other than id that are named name.
int countOthersNamed(const QString& table, const QString& name, const QString& id);
// Stores a name exactly as given, neither trimmed nor tested (the in-place rename).
void renameInPlace(const QString& table, const QString& id, const QString& name);

} // namespace CategoryRows
