#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>
#include <vector>

// Texts kept in ascending order (UTF-16 code units, case-sensitive), so equal texts always
// stand next to each other. Stored in blocks of a few hundred entries: an insertion moves at
// most one block, and a copy shares every block until one of the two copies changes it.
class SortedTextList
{
public:
    int count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    QString at(int index) const;
    // Inserts after any equal texts; returns the new entry's index.
    int insert(const QString& text);
    // Inserts texts that are already in ascending order, each after any equal texts, in one
    // pass over the whole list: for a batch that is not small beside the list.
    void insertSorted(const QStringList& sortedTexts);
    void removeAt(int index);
    // Removes one entry equal to text; false when there is none.
    bool removeOne(const QString& text);
    void clear();
    // Keeps the first of every run of equal neighbours; returns how many entries went.
    int removeAdjacentDuplicates();
    QStringList toList() const;

private:
    // A block's texts stand end to end in one buffer. The view is handed copies of the list
    // while it grows: a copy shares each block's two buffers, and the first change to a block
    // after it copies them whole instead of counting every text of the block up and down.
    struct Block
    {
        QString chars;
        QVector<int> ends; // where each text ends in chars

        int size() const { return int(ends.size()); }
        int offsetOf(int i) const; // where text i starts in chars
        QStringView text(int i) const;
        QStringView last() const;
        int upperBound(QStringView text) const;
        int lowerBound(QStringView text) const;
        void insert(int i, QStringView text);
        void remove(int i);
        void append(QStringView text);
        Block takeUpperHalf();
    };
    struct Position
    {
        int block;
        int offset;
    };
    Position locate(int index) const;
    int startOf(int block) const;
    void resized(int block, int delta);
    void rebuildSizes();
    void splitIfFull(int block);
    // Takes blocks filled in order (half full, so the next insertions move little).
    void replaceBlocks(std::vector<Block> blocks, int count);
    static void appendInOrder(std::vector<Block>& blocks, QStringView text);

    std::vector<Block> m_blocks;
    // Block sizes as a Fenwick tree: the start of a block and the block of an index are found
    // in log time, and an insertion or removal updates a few sums, not the start of every
    // later block (which made a long paste cost the square of its length).
    std::vector<int> m_sizeSums;
    int m_count = 0;
};
