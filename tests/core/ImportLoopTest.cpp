#include "ImportLoop.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {

// Rows of texts; a null text is an empty cell.
class FakeSource final : public ImportSource
{
public:
    explicit FakeSource(std::vector<QStringList> rows) : m_rows(std::move(rows)) {}
    bool fetch() override { return ++m_row < int(m_rows.size()); }
    CellValue cell(int column) const override
    {
        CellValue cell;
        const QString text = column > 0 ? m_rows.at(size_t(m_row)).value(column - 1) : QString();
        if (!text.isNull()) {
            cell.kind = CellValue::Kind::Text;
            cell.text = text;
        }
        return cell;
    }

private:
    std::vector<QStringList> m_rows;
    int m_row = -1;
};

// Keeps "number|value|value…" ("-" for an empty cell); commits when every commitEvery-th row
// is stored; refuses the row numbered failAt (from 1).
class FakeTarget final : public ImportTarget
{
public:
    bool store(const QString& number, const QVector<CellValue>& values) override
    {
        if (++m_calls == failAt)
            throw std::runtime_error("refused");
        QStringList row{number};
        for (const CellValue& cell : values)
            row << (cell.isEmpty() ? QStringLiteral("-") : cell.text);
        const bool repeat = std::any_of(rows.begin(), rows.end(),
                                        [&number](const QString& r) { return r.section(u'|', 0, 0) == number; });
        rows << row.join(u'|');
        ++pending;
        return repeat;
    }
    bool commitIfDue() override
    {
        if (commitEvery == 0 || pending < commitEvery)
            return false;
        commit();
        return true;
    }
    void commit() override
    {
        committed += pending;
        pending = 0;
    }

    QStringList rows;
    int commitEvery = 0;
    int failAt = 0;
    int pending = 0;
    int committed = 0;

private:
    int m_calls = 0;
};

const std::vector<QStringList> kRows = {
    {"手机", "姓名", "备注"}, {"+86 138 0013 8000", "张三", "x"}, {"12345", "李四", "y"},
    {QString(), "王五", "z"}, {"13800138000", QString(), "w"},    {"+86+8613900139000", "赵六", "v"},
};

struct ColumnsCase
{
    const char* name;
    ImportColumns columns;
    QStringList stored;
    int repeats, rejected;
};

class ImportLoopColumns : public ::testing::TestWithParam<ColumnsCase>
{
};

TEST_P(ImportLoopColumns, ValidRowsGoToTheTargetNormalisedAndEveryRowIsCounted)
{
    const ColumnsCase& c = GetParam();
    FakeSource source(kRows);
    FakeTarget target;
    ImportCounts counts;
    ImportLoop(source, target, c.columns).run(counts);
    EXPECT_EQ(target.rows, c.stored);
    EXPECT_EQ(target.committed, int(c.stored.size()));
    EXPECT_EQ(counts.read, int(kRows.size()));
    EXPECT_EQ(counts.stored, int(c.stored.size()));
    EXPECT_EQ(counts.repeats, c.repeats);
    EXPECT_EQ(counts.rejected, c.rejected);
    EXPECT_TRUE(counts.finished);
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportLoopColumns,
                         ::testing::Values(ColumnsCase{"ValuesInTheGivenOrderNoneIsEmpty",
                                                       {1, {3, 0, 2}, QString()},
                                                       {"13800138000|x|-|张三", "13800138000|w|-|-"},
                                                       1,
                                                       4},
                                           ColumnsCase{"ATextDroppedFromTheNumberBeforeTheCheck",
                                                       {1, {}, QStringLiteral("+86")},
                                                       {"13800138000", "13800138000", "13900139000"},
                                                       1,
                                                       3},
                                           ColumnsCase{"NoNumberColumnRejectsEveryRow", {0, {2}, QString()}, {}, 0, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ImportLoop, AStopEndsTheImportBeforeTheRowJustReadAndCommits)
{
    FakeSource source(kRows);
    FakeTarget target;
    target.commitEvery = 100;
    ImportLoop loop(source, target, {1, {}, QString()});
    int asked = 0;
    loop.setStop([&asked] { return ++asked == 5; });
    ImportCounts counts;
    loop.run(counts);
    EXPECT_EQ(counts.read, 4);
    EXPECT_FALSE(counts.finished);
    EXPECT_EQ(target.rows, QStringList{QStringLiteral("13800138000")});
    EXPECT_EQ(target.committed, 1);

    // The end of the source comes before the stop is asked.
    FakeSource empty(std::vector<QStringList>{});
    ImportLoop atEnd(empty, target, {1, {}, QString()});
    atEnd.setStop([] { return true; });
    atEnd.run(counts);
    EXPECT_TRUE(counts.finished);
}

struct PaceCase
{
    const char* name;
    ImportLoop::Pace pace;
    std::vector<int> turns; // rows read at each turn of the window
};

class ImportLoopPace : public ::testing::TestWithParam<PaceCase>
{
};

TEST_P(ImportLoopPace, TheWindowGetsItsTurn)
{
    // Rows 2, 5 and 6 have valid numbers; the target commits each row stored.
    FakeSource source(kRows);
    FakeTarget target;
    target.commitEvery = 1;
    ImportLoop loop(source, target, {1, {}, QStringLiteral("+86")});
    loop.setPace(GetParam().pace);
    std::vector<int> turns;
    loop.setYield([&turns](const ImportCounts& counts) { turns.push_back(counts.read); });
    ImportCounts counts;
    loop.run(counts);
    EXPECT_EQ(turns, GetParam().turns);
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportLoopPace,
                         ::testing::Values(PaceCase{"AfterCommit", ImportLoop::Pace::AfterCommit, {2, 5, 6}},
                                           PaceCase{"EveryRow", ImportLoop::Pace::EveryRow, {1, 2, 3, 4, 5, 6}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ImportLoop, AFailingRowLeavesWithItsFailureAfterCommittingTheRowsBefore)
{
    FakeSource source(kRows);
    FakeTarget target;
    target.commitEvery = 100;
    target.failAt = 3;
    ImportCounts counts;
    EXPECT_THROW(ImportLoop(source, target, {1, {}, QStringLiteral("+86")}).run(counts), std::runtime_error);
    EXPECT_EQ(counts.read, 5);
    EXPECT_EQ(counts.stored, 2);
    EXPECT_FALSE(counts.finished);
    EXPECT_EQ(target.committed, 2);
}

} // namespace
