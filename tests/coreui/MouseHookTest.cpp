#include "MouseHook.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Counts the presses and releases that reach it, to show the filter lets them through.
class Target final : public QWidget
{
public:
    int presses = 0;
    int releases = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        ++releases;
        event->accept();
    }
};

struct MouseCase
{
    const char* name;
    Qt::MouseButton button;
    bool press; // false: release
    int expectedCalls;
};

void PrintTo(const MouseCase& c, std::ostream* os)
{
    *os << c.name;
}

class MouseHookTest : public ::testing::TestWithParam<MouseCase>
{
protected:
    void SetUp() override
    {
        MouseHook::install([this] { ++calls; });
        window.resize(200, 120);
        auto* layout = new QVBoxLayout(&window);
        target = new Target;
        label = new QLabel(QStringLiteral("号码"));
        layout->addWidget(target);
        layout->addWidget(label);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override { MouseHook::remove(); }

    static void send(QWidget* widget, const MouseCase& c)
    {
        if (c.press)
            QTest::mousePress(widget, c.button, {}, QPoint(5, 5));
        else
            QTest::mouseRelease(widget, c.button, {}, QPoint(5, 5));
    }

    int calls = 0;
    QWidget window;
    Target* target = nullptr;
    QLabel* label = nullptr;
};

TEST_P(MouseHookTest, ClosesThePopupOnLeftReleaseAndRightPressOnly)
{
    const MouseCase c = GetParam();
    send(target, c);
    EXPECT_EQ(calls, c.expectedCalls);
    // The event still reaches its widget.
    EXPECT_EQ(c.press ? target->presses : target->releases, 1);
}

TEST_P(MouseHookTest, CountsAClickOnceWhenItPropagatesToParents)
{
    // A label ignores mouse events, so each one travels on to the window as well.
    const MouseCase c = GetParam();
    send(label, c);
    EXPECT_EQ(calls, c.expectedCalls);
}

TEST_P(MouseHookTest, DoesNothingOnceRemoved)
{
    MouseHook::remove();
    EXPECT_FALSE(MouseHook::isInstalled());
    send(target, GetParam());
    EXPECT_EQ(calls, 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, MouseHookTest,
                         ::testing::Values(MouseCase{"LeftRelease", Qt::LeftButton, false, 1},
                                           MouseCase{"LeftPress", Qt::LeftButton, true, 0},
                                           MouseCase{"RightPress", Qt::RightButton, true, 1},
                                           MouseCase{"RightRelease", Qt::RightButton, false, 0},
                                           MouseCase{"MiddleRelease", Qt::MiddleButton, false, 0}),
                         [](const ::testing::TestParamInfo<MouseCase>& info) { return std::string(info.param.name); });

TEST(MouseHook, ASecondInstallReplacesTheFirst)
{
    int first = 0;
    int second = 0;
    MouseHook::install([&] { ++first; });
    MouseHook::install([&] { ++second; });
    QWidget widget;
    widget.resize(50, 50);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QTest::mouseClick(&widget, Qt::LeftButton);
    QTest::mouseClick(&widget, Qt::LeftButton);
    MouseHook::remove();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 2);
}

} // namespace
