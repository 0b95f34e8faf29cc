#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QVector>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// The category tree of a page over a one-level category table: fixed root nodes, the table's
// categories (keys "C" + id) under the first root, in-place renames of categories stored as
// typed, and the choice of a node. The page keeps its texts, pictures and what a choice does.
class CategoryTree final : public QObject
{
    Q_OBJECT
public:
    struct Root
    {
        QString key;
        QString text;
    };
    struct Setup
    {
        QString table; // ContactCategory or MsgCategory
        QVector<Root> roots;
        QIcon rootIcon;
        QIcon categoryIcon;
        // Moving the current node with the keyboard chooses it as a click does.
        bool keyboardChooses = false;
    };

    // boxParent: the window over which failures are shown.
    CategoryTree(QTreeWidget& tree, Setup setup, QWidget* boxParent);
    ~CategoryTree() override;

    // Rebuilds the nodes from the table; the first root ends expanded and current, which is no
    // choice of a node. Throws db::DbError.
    void rebuild();

    QString selectedKey() const;
    QTreeWidgetItem* nodeByKey(const QString& key) const;

    // Stores text as the name of node's category, exactly as typed (neither trimmed nor tested:
    // the rename dialog does both). False for a root, and after a failure has been shown; the
    // label then keeps its old text.
    bool renameNode(const QTreeWidgetItem* node, const QString& text);

Q_SIGNALS:
    void nodeChosen(QTreeWidgetItem* node);

private:
    void onCurrentChanged(QTreeWidgetItem* current);
    void onClicked(QTreeWidgetItem* node);

    QTreeWidget& m_tree;
    Setup m_setup;
    QWidget* m_boxParent;
    // The node that the last change of the current node chose, so that the click that caused
    // the change does not choose it twice. Compared only, never used.
    const QTreeWidgetItem* m_changedTo = nullptr;
};
