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

// Texts of different lengths, cases and planes, the empty one among them, many of them equal.
QStringList mixedTexts(int count, quint32 seed)
{
    const QStringList pieces = {QString(),
                                QStringLiteral("a"),
                                QStringLiteral("A"),
                                QStringLiteral("ab"),
                                QStringLiteral("\u00e9"),
                                QStringLiteral("\U0001F600"),
                                QStringLiteral("\uFFFF"),
                                QStringLiteral("13800000000"),
                                QStringLiteral("1380000000")};
    QRandomGenerator random(seed);
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        QString text;
        for (int n = random.bounded(3); n >= 0; --n)
            text += pieces.at(random.bounded(int(pieces.size())));
        texts << text;
    }
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

TEST_P(SortedTextListTest, MixedTextsTakeQStringOrderAfterEqualOnes)
{
    SortedTextList list;
    QStringList expected;
    for (const QString& text : mixedTexts(GetParam(), 17)) {
        const int index = int(std::upper_bound(expected.begin(), expected.end(), text) - expected.begin());
        expected.insert(index, text);
        ASSERT_EQ(list.insert(text), index) << qPrintable(text);
    }
    EXPECT_EQ(list.toList(), expected);

    SortedTextList unique = list;
    QStringList uniqueExpected = expected;
    uniqueExpected.erase(std::unique(uniqueExpected.begin(), uniqueExpected.end()), uniqueExpected.end());
    EXPECT_EQ(unique.removeAdjacentDuplicates(), expected.size() - uniqueExpected.size());
    EXPECT_EQ(unique.toList(), uniqueExpected);
    EXPECT_EQ(list.toList(), expected); // the copy went its own way

    // Remove at random places in rounds, until blocks empty and go, reading every entry between.
    QRandomGenerator random(19);
    while (!expected.isEmpty()) {
        for (int n = expected.size() / 8 + 1; n > 0 && !expected.isEmpty(); --n) {
            const int index = random.bounded(int(expected.size()));
            list.removeAt(index);
            expected.removeAt(index);
        }
        ASSERT_EQ(list.count(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            ASSERT_EQ(list.at(i), expected.at(i)) << i;
    }
}

TEST_P(SortedTextListTest, ABatchMergedInOnePassLeavesAListThatKeepsWorking)
{
    const QStringList texts = mixedTexts(GetParam(), 23);
    const qsizetype half = texts.size() / 2;
    SortedTextList list;
    for (const QString& text : texts.first(half))
        list.insert(text);
    QStringList batch = texts.sliced(half);
    std::sort(batch.begin(), batch.end());
    list.insertSorted(batch);

    QStringList expected = texts;
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(list.count(), expected.size());
    EXPECT_EQ(list.toList(), expected);
    // Block sizes and block ends were rebuilt: the single operations still find their places.
    for (const QString& text : mixedTexts(GetParam() / 4 + 1, 29)) {
        const int index = int(std::upper_bound(expected.begin(), expected.end(), text) - expected.begin());
        expected.insert(index, text);
        ASSERT_EQ(list.insert(text), index) << qPrintable(text);
    }
    for (int i = 0; i < expected.size(); i += 7)
        ASSERT_TRUE(list.removeOne(expected.at(i))) << i;
    for (int i = int(expected.size()) - 1 - (int(expected.size()) - 1) % 7; i >= 0; i -= 7)
        expected.removeAt(i);
    EXPECT_EQ(list.toList(), expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SortedTextListTest, ::testing::Values(0, 1, 2, 100, 5000), ByValue());

} // namespace
