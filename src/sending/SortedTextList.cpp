#include "SortedTextList.h"

#include <algorithm>

namespace {
constexpr int kMaxBlock = 1024;
}

const QString& SortedTextList::at(int index) const
{
    const Position p = locate(index);
    return m_blocks.at(p.block).at(p.offset);
}

SortedTextList::Position SortedTextList::locate(int index) const
{
    Q_ASSERT(index >= 0 && index < m_count);
    const auto it = std::upper_bound(m_starts.cbegin(), m_starts.cend(), index);
    const int block = int(it - m_starts.cbegin()) - 1;
    return {block, index - m_starts.at(block)};
}

int SortedTextList::insert(const QString& text)
{
    if (m_blocks.isEmpty()) {
        m_blocks.append(QVector<QString>{text});
        m_starts = {0};
        m_count = 1;
        return 0;
    }
    // The first block whose last entry sorts after text takes it; past them all, the last block.
    const auto blockIt = std::upper_bound(m_blocks.cbegin(), m_blocks.cend(), text,
                                          [](const QString& t, const QVector<QString>& b) { return t < b.last(); });
    const int block = blockIt == m_blocks.cend() ? m_blocks.size() - 1 : int(blockIt - m_blocks.cbegin());
    QVector<QString>& entries = m_blocks[block];
    const int offset = int(std::upper_bound(entries.cbegin(), entries.cend(), text) - entries.cbegin());
    entries.insert(offset, text);
    ++m_count;
    const int index = m_starts.at(block) + offset;
    for (int b = block + 1; b < m_starts.size(); ++b)
        ++m_starts[b];
    splitIfFull(block);
    return index;
}

void SortedTextList::removeAt(int index)
{
    const Position p = locate(index);
    m_blocks[p.block].removeAt(p.offset);
    --m_count;
    for (int b = p.block + 1; b < m_starts.size(); ++b)
        --m_starts[b];
    dropIfEmpty(p.block);
}

bool SortedTextList::removeOne(const QString& text)
{
    const auto blockIt = std::lower_bound(m_blocks.cbegin(), m_blocks.cend(), text,
                                          [](const QVector<QString>& b, const QString& t) { return b.last() < t; });
    if (blockIt == m_blocks.cend())
        return false;
    const int block = int(blockIt - m_blocks.cbegin());
    const QVector<QString>& entries = m_blocks.at(block);
    const auto it = std::lower_bound(entries.cbegin(), entries.cend(), text);
    if (it == entries.cend() || *it != text)
        return false;
    removeAt(m_starts.at(block) + int(it - entries.cbegin()));
    return true;
}

void SortedTextList::clear()
{
    m_blocks.clear();
    m_starts.clear();
    m_count = 0;
}

int SortedTextList::removeAdjacentDuplicates()
{
    // One pass over the whole sequence, across block borders.
    QVector<QVector<QString>> kept;
    const QString* previous = nullptr;
    int removed = 0;
    for (const QVector<QString>& block : std::as_const(m_blocks)) {
        for (const QString& text : block) {
            if (previous && *previous == text) {
                ++removed;
                continue;
            }
            if (kept.isEmpty() || kept.last().size() >= kMaxBlock / 2) {
                kept.append(QVector<QString>());
                kept.last().reserve(kMaxBlock / 2);
            }
            kept.last().append(text);
            previous = &text;
        }
    }
    if (removed == 0)
        return 0;
    m_blocks = std::move(kept);
    m_count -= removed;
    rebuildStarts(0);
    return removed;
}

QStringList SortedTextList::toList() const
{
    QStringList all;
    all.reserve(m_count);
    for (const QVector<QString>& block : m_blocks)
        all.append(block);
    return all;
}

void SortedTextList::rebuildStarts(int fromBlock)
{
    m_starts.resize(m_blocks.size());
    int start = fromBlock == 0 ? 0 : m_starts.at(fromBlock - 1) + m_blocks.at(fromBlock - 1).size();
    for (int b = fromBlock; b < m_blocks.size(); ++b) {
        m_starts[b] = start;
        start += m_blocks.at(b).size();
    }
}

void SortedTextList::splitIfFull(int block)
{
    if (m_blocks.at(block).size() <= kMaxBlock)
        return;
    QVector<QString>& full = m_blocks[block];
    const int half = full.size() / 2;
    QVector<QString> upper(full.cbegin() + half, full.cend());
    full.resize(half);
    m_blocks.insert(block + 1, std::move(upper));
    m_starts.insert(block + 1, 0);
    rebuildStarts(block + 1);
}

void SortedTextList::dropIfEmpty(int block)
{
    if (!m_blocks.at(block).isEmpty())
        return;
    m_blocks.removeAt(block);
    m_starts.removeAt(block);
}
