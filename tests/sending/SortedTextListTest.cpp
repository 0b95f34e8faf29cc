#include "SortedTextList.h"
#include "CaseName.h"

#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// Texts drawn from a small range, so that many are equal.
QStringList randomTexts(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << QStringLiteral("1380000%1").arg(random.bounded(count / 2 + 1), 4, 10, QLatin1Char('0'));
    return texts;
}

class SortedTextListTest : public ::testing::TestWithParam<int>
{
};

TEST_P(SortedTextListTest, StaysSortedAndAddressableAcrossBlocks)
{
    const QStringList texts = randomTexts(GetParam(), 7);
    SortedTextList list;
    for (const QString& text : texts) {
        const int index = list.insert(text);
        ASSERT_EQ(list.at(index), text);
    }
    QStringList expected = texts;
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(list.count(), expected.size());
    EXPECT_EQ(list.toList(), expected);
    for (int i = 0; i < expected.size(); ++i)
        ASSERT_EQ(list.at(i), expected.at(i)) << i;
}

TEST_P(SortedTextListTest, RemovingDuplicatesMatchesAUniquePass)
{
    const QStringList texts = randomTexts(GetParam(), 11);
    SortedTextList list;
    for (const QString& text : texts)
        list.insert(text);
    QStringList expected = texts;
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(list.removeAdjacentDuplicates(), texts.size() - expected.size());
    EXPECT_EQ(list.toList(), expected);
    EXPECT_EQ(list.removeAdjacentDuplicates(), 0);
    for (const QString& text : expected)
        ASSERT_EQ(list.at(list.insert(text)), text);
}

TEST_P(SortedTextListTest, RemovalsKeepTheOrder)
{
    const QStringList texts = randomTexts(GetParam(), 13);
    SortedTextList list;
    for (const QString& text : texts)
        list.insert(text);
    QStringList expected = texts;
    std::sort(expected.begin(), expected.end());
    // Remove every third entry by index, then every text once by value.
    for (int i = expected.size() - 1; i >= 0; i -= 3) {
        list.removeAt(i);
        expected.removeAt(i);
    }
    EXPECT_EQ(list.toList(), expected);
    while (!expected.isEmpty()) {
        const QString text = expected.takeAt(expected.size() / 2);
        ASSERT_TRUE(list.removeOne(text));
    }
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(list.removeOne(QStringLiteral("13800000000")));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SortedTextListTest, ::testing::Values(0, 1, 2, 100, 5000), ByValue());

} // namespace
