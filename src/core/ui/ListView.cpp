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
    // The stretched last column takes what the others leave. The width it had before stretching
    // stays its least, so it starts at its caption's width: with its stated width, a list
    // narrower than all the stated widths would scroll sideways for an empty column.
    const int last = int(columns.size()) - 1;
    for (int i = 0; i < columns.size(); ++i) {
        const bool stretched = i == last && header()->stretchLastSection();
        setColumnWidth(i, stretched ? header()->sectionSizeHint(i) : columns.at(i).width);
    }
}
