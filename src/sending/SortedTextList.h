#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Texts kept in ascending order (UTF-16 code units, case-sensitive), so equal texts always
// stand next to each other. Stored in blocks of a few hundred entries: an insertion moves at
// most one block, and a copy shares every block until one of the two copies changes it.
class SortedTextList
{
public:
    int count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    const QString& at(int index) const;
    // Inserts after any equal texts; returns the new entry's index.
    int insert(const QString& text);
    void removeAt(int index);
    // Removes one entry equal to text; false when there is none.
    bool removeOne(const QString& text);
    void clear();
    // Keeps the first of every run of equal neighbours; returns how many entries went.
    int removeAdjacentDuplicates();
    QStringList toList() const;

private:
    struct Position
    {
        int block;
        int offset;
    };
    Position locate(int index) const;
    void rebuildStarts(int fromBlock);
    void splitIfFull(int block);
    void dropIfEmpty(int block);

    QVector<QVector<QString>> m_blocks;
    QVector<int> m_starts; // index of the first entry of each block
    int m_count = 0;
};
