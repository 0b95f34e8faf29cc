#include "ListView.h"

#include <QHeaderView>

ListView::ListView(QWidget* parent) : QTreeView(parent), m_model(new ListViewModel(this))
{
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    // Equal row heights let the view lay out 100,000 rows without measuring each of them.
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(true);
}

void ListView::setColumns(const QVector<ListViewModel::Column>& columns)
{
    m_model->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, columns.at(i).width);
}
