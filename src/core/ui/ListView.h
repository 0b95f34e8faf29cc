#pragma once

#include "ListViewModel.h"

#include <QTreeView>

// A report view with check boxes in its first column over a ListViewModel: the grid, the
// contact list, the history and the send details.
class ListView final : public QTreeView
{
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    ListViewModel* listModel() const { return m_model; }
    // Sets the column headers (title, key, width); the first column is the check box. The last
    // column stretches over what the others leave, its stated width aside.
    void setColumns(const QVector<ListViewModel::Column>& columns);

private:
    ListViewModel* m_model; // owned as a child
};
