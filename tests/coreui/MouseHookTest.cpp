#include "MouseHook.h"

#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
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

// Opens a modal window from a mouse press, as the panel's "文本导入" does, and reports what the
// hook had done by the time the window was up.
class ModalOpener final : public QWidget
{
public:
    std::function<void()> whileOpen;
    bool opensOnPress = true;

    void openModal()
    {
        QDialog dialog(this);
        QTimer::singleShot(0, &dialog, [&] {
            whileOpen();
            dialog.accept();
        });
        dialog.exec();
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        event->accept();
        if (opensOnPress)
            openModal();
    }
};

struct ModalCase
{
    const char* name;
    Qt::MouseButton press; // pressed on the opener, which then opens the window
    bool clickedBefore;    // a whole left click went before a window that the program opened
    int expectedCallsWhileOpen;
};

class MouseHookModalTest : public ::testing::TestWithParam<ModalCase>
{
};

// The release of a press that opened a modal window never reaches any filter; it would have
// closed the panel, so the window's opening does. A window opened with no press held leaves
// the panel alone.
TEST_P(MouseHookModalTest, APressThatOpensAModalWindowClosesThePopup)
{
    const ModalCase c = GetParam();
    int calls = 0;
    int callsWhileOpen = -1;
    MouseHook::install([&] { ++calls; });
    ModalOpener opener;
    opener.resize(120, 80);
    opener.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&opener));
    opener.whileOpen = [&] { callsWhileOpen = calls; };

    if (c.clickedBefore) {
        opener.opensOnPress = false;
        QTest::mouseClick(&opener, Qt::LeftButton, {}, QPoint(5, 5));
    }
    if (c.press == Qt::NoButton)
        opener.openModal();
    else
        QTest::mousePress(&opener, c.press, {}, QPoint(5, 5));
    MouseHook::remove();

    EXPECT_EQ(callsWhileOpen, c.expectedCallsWhileOpen);
}

INSTANTIATE_TEST_SUITE_P(Presses, MouseHookModalTest,
                         ::testing::Values(ModalCase{"LeftPress", Qt::LeftButton, false, 1},
                                           ModalCase{"NoPress", Qt::NoButton, false, 0},
                                           ModalCase{"AfterALeftClick", Qt::NoButton, true, 1}),
                         [](const ::testing::TestParamInfo<ModalCase>& info) { return std::string(info.param.name); });

} // namespace
