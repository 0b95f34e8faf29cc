#include "SortedTextList.h"

#include <algorithm>

namespace {
constexpr int kMaxBlock = 512;

// The first index in [0, size) at which before() turns false; it holds for a leading run only.
template <typename Before> int partitionPoint(int size, Before before)
{
    int low = 0;
    int high = size;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (before(middle))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
} // namespace

// ---- one block ----

int SortedTextList::Block::offsetOf(int i) const
{
    return i == 0 ? 0 : ends.at(i - 1);
}

QStringView SortedTextList::Block::text(int i) const
{
    const int start = offsetOf(i);
    return QStringView(chars).sliced(start, ends.at(i) - start);
}

QStringView SortedTextList::Block::last() const
{
    return text(size() - 1);
}

int SortedTextList::Block::upperBound(QStringView value) const
{
    return partitionPoint(size(), [&](int i) { return !(value < text(i)); });
}

int SortedTextList::Block::lowerBound(QStringView value) const
{
    return partitionPoint(size(), [&](int i) { return text(i) < value; });
}

void SortedTextList::Block::insert(int i, QStringView value)
{
    const int start = offsetOf(i);
    const int length = int(value.size());
    chars.insert(start, value);
    ends.insert(i, start);
    int* end = ends.data();
    for (int j = i; j < ends.size(); ++j)
        end[j] += length;
}

void SortedTextList::Block::remove(int i)
{
    const int start = offsetOf(i);
    const int length = ends.at(i) - start;
    chars.remove(start, length);
    ends.remove(i);
    int* end = ends.data();
    for (int j = i; j < ends.size(); ++j)
        end[j] -= length;
}

void SortedTextList::Block::append(QStringView value)
{
    chars.append(value);
    ends.append(int(chars.size()));
}

SortedTextList::Block SortedTextList::Block::takeUpperHalf()
{
    const int half = size() / 2;
    const int cut = offsetOf(half);
    Block upper;
    upper.chars = chars.mid(cut);
    upper.ends.reserve(size() - half);
    for (int j = half; j < size(); ++j)
        upper.ends.append(ends.at(j) - cut);
    chars.truncate(cut);
    ends.resize(half);
    return upper;
}

// ---- the list ----

QString SortedTextList::at(int index) const
{
    const Position p = locate(index);
    return m_blocks[p.block].text(p.offset).toString();
}

SortedTextList::Position SortedTextList::locate(int index) const
{
    Q_ASSERT(index >= 0 && index < m_count);
    // Walk down the tree: each step skips a run of blocks that all end at or before index.
    const int blocks = int(m_blocks.size());
    int block = 0;
    int rest = index;
    int step = 1;
    while (step * 2 <= blocks)
        step *= 2;
    for (; step > 0; step /= 2) {
        if (block + step <= blocks && m_sizeSums[block + step - 1] <= rest) {
            block += step;
            rest -= m_sizeSums[block - 1];
        }
    }
    return {block, rest};
}

int SortedTextList::startOf(int block) const
{
    int start = 0;
    for (int i = block; i > 0; i -= i & -i)
        start += m_sizeSums[i - 1];
    return start;
}

void SortedTextList::resized(int block, int delta)
{
    for (int i = block + 1; i <= int(m_blocks.size()); i += i & -i)
        m_sizeSums[i - 1] += delta;
}

void SortedTextList::rebuildSizes()
{
    const int blocks = int(m_blocks.size());
    m_sizeSums.resize(blocks);
    for (int i = 0; i < blocks; ++i)
        m_sizeSums[i] = m_blocks[i].size();
    for (int i = 1; i <= blocks; ++i) {
        const int parent = i + (i & -i);
        if (parent <= blocks)
            m_sizeSums[parent - 1] += m_sizeSums[i - 1];
    }
}

int SortedTextList::insert(const QString& text)
{
    if (m_blocks.empty()) {
        m_blocks.emplace_back();
        m_blocks.back().append(text);
        rebuildSizes();
        m_count = 1;
        return 0;
    }
    // The first block whose last entry sorts after text takes it; past them all, the last block.
    const auto blockIt = std::upper_bound(m_blocks.cbegin(), m_blocks.cend(), text,
                                          [](const QString& t, const Block& b) { return QStringView(t) < b.last(); });
    const int block = blockIt == m_blocks.cend() ? int(m_blocks.size()) - 1 : int(blockIt - m_blocks.cbegin());
    Block& entries = m_blocks[block];
    const int offset = entries.upperBound(text);
    entries.insert(offset, text);
    ++m_count;
    resized(block, 1);
    const int index = startOf(block) + offset;
    splitIfFull(block);
    return index;
}

void SortedTextList::removeAt(int index)
{
    const Position p = locate(index);
    Block& entries = m_blocks[p.block];
    entries.remove(p.offset);
    --m_count;
    if (entries.size() == 0) {
        m_blocks.erase(m_blocks.begin() + p.block);
        rebuildSizes();
        return;
    }
    resized(p.block, -1);
}

bool SortedTextList::removeOne(const QString& text)
{
    const auto blockIt = std::lower_bound(m_blocks.cbegin(), m_blocks.cend(), text,
                                          [](const Block& b, const QString& t) { return b.last() < QStringView(t); });
    if (blockIt == m_blocks.cend())
        return false;
    const int block = int(blockIt - m_blocks.cbegin());
    const Block& entries = *blockIt;
    const int offset = entries.lowerBound(text);
    if (offset == entries.size() || entries.text(offset) != text)
        return false;
    removeAt(startOf(block) + offset);
    return true;
}

void SortedTextList::clear()
{
    m_blocks.clear();
    m_sizeSums.clear();
    m_count = 0;
}

int SortedTextList::removeAdjacentDuplicates()
{
    // One pass over the whole sequence, across block borders.
    std::vector<Block> kept;
    QStringView previous;
    int removed = 0;
    for (const Block& block : m_blocks) {
        for (int i = 0; i < block.size(); ++i) {
            const QStringView text = block.text(i);
            if (!kept.empty() && previous == text) {
                ++removed;
                continue;
            }
            appendInOrder(kept, text);
            previous = text;
        }
    }
    if (removed == 0)
        return 0;
    replaceBlocks(std::move(kept), m_count - removed);
    return removed;
}

void SortedTextList::insertSorted(const QStringList& sortedTexts)
{
    Q_ASSERT(std::is_sorted(sortedTexts.cbegin(), sortedTexts.cend()));
    if (sortedTexts.isEmpty())
        return;
    std::vector<Block> merged;
    merged.reserve(size_t((m_count + sortedTexts.size()) / (kMaxBlock / 2) + 1));
    auto next = sortedTexts.cbegin();
    for (const Block& block : m_blocks) {
        for (int i = 0; i < block.size(); ++i) {
            const QStringView text = block.text(i);
            // A new text goes after the entries equal to it.
            for (; next != sortedTexts.cend() && QStringView(*next) < text; ++next)
                appendInOrder(merged, *next);
            appendInOrder(merged, text);
        }
    }
    for (; next != sortedTexts.cend(); ++next)
        appendInOrder(merged, *next);
    replaceBlocks(std::move(merged), m_count + int(sortedTexts.size()));
}

void SortedTextList::appendInOrder(std::vector<Block>& blocks, QStringView text)
{
    if (blocks.empty() || blocks.back().size() >= kMaxBlock / 2) {
        blocks.emplace_back();
        blocks.back().ends.reserve(kMaxBlock / 2);
        blocks.back().chars.reserve(qsizetype(kMaxBlock / 2) * (text.size() + 1));
    }
    blocks.back().append(text);
}

void SortedTextList::replaceBlocks(std::vector<Block> blocks, int count)
{
    m_blocks = std::move(blocks);
    m_count = count;
    rebuildSizes();
}

QStringList SortedTextList::toList() const
{
    QStringList all;
    all.reserve(m_count);
    for (const Block& block : m_blocks) {
        for (int i = 0; i < block.size(); ++i)
            all.append(block.text(i).toString());
    }
    return all;
}

void SortedTextList::splitIfFull(int block)
{
    if (m_blocks[block].size() <= kMaxBlock)
        return;
    Block upper = m_blocks[block].takeUpperHalf();
    m_blocks.insert(m_blocks.begin() + block + 1, std::move(upper));
    rebuildSizes();
}
