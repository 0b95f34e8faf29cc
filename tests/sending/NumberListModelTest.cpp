#include "NumberListModel.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The view lays out every row again at each publication: a long list is published less often,
// so that a long paste does not spend most of its time there.
TEST(NumberListModelTest, ALongListWaitsLongerForItsNextPublication)
{
    constexpr int kRows = 600000;
    NumberListModel model;
    for (int i = 0; i < kRows; ++i)
        model.add(QString::number(13800000000LL + i));
    model.publish();
    ASSERT_EQ(model.rowCount(), kRows);

    QElapsedTimer clock;
    clock.start();
    model.add(QStringLiteral("13900000000"));
    ASSERT_TRUE(model.publicationPending());
    (void)QTest::qWaitFor([&] { return !model.publicationPending(); }, 5000);
    EXPECT_FALSE(model.publicationPending());
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_EQ(model.rowCount(), kRows + 1);
}

} // namespace
