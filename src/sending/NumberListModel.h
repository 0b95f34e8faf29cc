#pragma once

#include "SortedTextList.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QModelIndexList>
#include <QTimer>

// The plain number list behind XmcfListBox1: texts sorted at every addition.
//
// The program's own operations (count, text, add, remove) act on the list at once. The view
// is shown a published copy that follows them at most every 100 ms (a millisecond a thousand
// rows on a longer list): a paste of 100,000 lines would otherwise make the view lay itself out
// again after every line. A single addition is published as one inserted row, so a selection
// survives typing.
class NumberListModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit NumberListModel(QObject* parent = nullptr);

    int count() const { return m_live.count(); }
    QString text(int index) const { return m_live.at(index); }
    QStringList texts() const { return m_live.toList(); }
    int add(const QString& text);
    // Adds texts given in ascending order at once, as add() would one by one.
    void addSorted(const QStringList& sortedTexts);
    void removeAt(int index);
    // Removes the first count texts (in the list's order).
    void removeFirst(int count);
    void clear();
    // Removes the entries of the given view indexes. Equal texts stand together and cannot be
    // told apart, so the entries are removed by text, which stays right while a publication
    // is still pending.
    void removeShown(const QModelIndexList& indexes);
    int removeAdjacentDuplicates();

    // Shows the current list in the view now.
    void publish();
    bool publicationPending() const { return m_changes > 0; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void changed(int insertedRow);

    SortedTextList m_live;
    SortedTextList m_shown;
    int m_changes = 0;      // changes since the last publication
    int m_insertedRow = -1; // row of the only change when it was an addition
    QTimer m_publishTimer;
    QElapsedTimer m_sincePublish;
};
