#include "CategoryTree.h"

#include "CategoryRows.h"
#include "ErrorBoxes.h"
#include "LabelEditDelegate.h"

#include <QSignalBlocker>
#include <QTreeWidget>

CategoryTree::CategoryTree(QTreeWidget& tree, Setup setup, QWidget* boxParent)
    : m_tree(tree), m_setup(std::move(setup)), m_boxParent(boxParent)
{
    m_tree.setItemDelegate(new LabelEditDelegate(
        [this](const QModelIndex& index, const QString& newText, bool& cancel) {
            cancel = !renameNode(m_tree.itemFromIndex(index), newText);
        },
        &m_tree));
    if (m_setup.keyboardChooses)
        connect(&m_tree, &QTreeWidget::currentItemChanged, this,
                [this](QTreeWidgetItem* current) { onCurrentChanged(current); });
    connect(&m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) { onClicked(node); });
}

CategoryTree::~CategoryTree()
{
    // A label still being edited would otherwise be committed, to this tree, while it goes.
    delete m_tree.itemDelegate();
}

void CategoryTree::rebuild()
{
    const QSignalBlocker blocker(m_tree);
    m_changedTo = nullptr;
    m_tree.clear();
    for (const Root& root : m_setup.roots)
        m_tree.addTopLevelItem(CategoryRows::makeNode(root.key, root.text, m_setup.rootIcon));
    QTreeWidgetItem* first = m_tree.topLevelItem(0);
    if (!first)
        return;
    CategoryRows::addCategoryNodes(m_setup.table, first, m_setup.categoryIcon);
    first->setExpanded(true);
    m_tree.setCurrentItem(first);
}

QString CategoryTree::selectedKey() const
{
    return CategoryRows::keyOf(m_tree.currentItem());
}

QTreeWidgetItem* CategoryTree::nodeByKey(const QString& key) const
{
    for (QTreeWidgetItemIterator it(&m_tree); *it; ++it) {
        if (CategoryRows::keyOf(*it) == key)
            return *it;
    }
    return nullptr;
}

bool CategoryTree::renameNode(const QTreeWidgetItem* node, const QString& text)
{
    const QString key = CategoryRows::keyOf(node);
    if (!CategoryRows::isCategoryKey(key))
        return false;
    return RunReported(m_boxParent,
                       [&] { CategoryRows::renameInPlace(m_setup.table, CategoryRows::idOfKey(key), text); });
}

void CategoryTree::onCurrentChanged(QTreeWidgetItem* current)
{
    if (!current)
        return;
    m_changedTo = current;
    Q_EMIT nodeChosen(current);
}

void CategoryTree::onClicked(QTreeWidgetItem* node)
{
    if (node && node == m_changedTo) {
        m_changedTo = nullptr;
        return;
    }
    if (node)
        Q_EMIT nodeChosen(node);
}
