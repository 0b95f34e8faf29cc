#include "CaseName.h"
#include "MyTrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A main window stand-in whose close is accepted or refused, as its exit question would answer.
class Form final : public QWidget
{
public:
    bool acceptClose = false;
    int closeRequests = 0;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++closeRequests;
        if (acceptClose)
            event->accept();
        else
            event->ignore();
    }
};

class TrayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form.resize(120, 80);
        AddTrayIcon(&form, [this] { ++shownCalls; });
    }
    void TearDown() override { RemoveTrayIcon(); }

    TrayRecorder recorder;
    Form form;
    int shownCalls = 0;
};

struct CutCase
{
    int length;
    int shown;
};

class TrayTextCut : public TrayTest, public ::testing::WithParamInterface<CutCase>
{
};

TEST_P(TrayTextCut, BalloonTextAndTipKeepTheirFirst128Characters)
{
    const CutCase c = GetParam();
    QString text;
    for (int i = 0; i < c.length; ++i)
        text += QChar(u'短' + i % 7);
    ShowBalloon(QStringLiteral("Quorvel2011"), text, 1);
    SetTrayTip(text);
    ASSERT_EQ(recorder.balloons.size(), 1);
    EXPECT_EQ(recorder.balloons[0].text, text.left(c.shown));
    EXPECT_EQ(recorder.balloons[0].title, QStringLiteral("Quorvel2011"));
    EXPECT_EQ(recorder.balloons[0].iconFlags, 1);
    EXPECT_EQ(recorder.tip, text.left(c.shown));
}

INSTANTIATE_TEST_SUITE_P(Lengths, TrayTextCut,
                         ::testing::Values(CutCase{0, 0}, CutCase{127, 127}, CutCase{128, 128}, CutCase{129, 128},
                                           CutCase{200, 128}),
                         NameFrom(&CutCase::length));

TEST_F(TrayTest, BalloonTitleFitsItsField)
{
    ShowBalloon(QString(80, u'标'), QStringLiteral("x"), 1);
    ASSERT_EQ(recorder.balloons.size(), 1);
    EXPECT_EQ(recorder.balloons[0].title, QString(kBalloonTitleLength, u'标'));
}

TEST_F(TrayTest, KeepsTheProgramAliveWhileTheIconExists)
{
    EXPECT_TRUE(TrayIconShown());
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
    RemoveTrayIcon();
    EXPECT_FALSE(TrayIconShown());
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
    EXPECT_EQ(recorder.adds, 1);
    EXPECT_EQ(recorder.removes, 1);
}

struct ShowCase
{
    const char* name;
    bool viaMenu; // false: the icon's activation below
    QSystemTrayIcon::ActivationReason reason;
    bool startHidden;
};

class TrayShows : public TrayTest, public ::testing::WithParamInterface<ShowCase>
{
};

TEST_P(TrayShows, BringsTheWindowBackAndMarksItShown)
{
    const ShowCase c = GetParam();
    if (!c.startHidden) {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    if (c.viaMenu)
        TrayMenuCommand(g_MenuIdOpen);
    else
        TrayActivated(c.reason);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
    EXPECT_EQ(shownCalls, 1);
}

INSTANTIATE_TEST_SUITE_P(Ways, TrayShows,
                         ::testing::Values(ShowCase{"MenuWhileHidden", true, QSystemTrayIcon::Unknown, true},
                                           ShowCase{"DoubleClickWhileHidden", false, QSystemTrayIcon::DoubleClick, true},
                                           ShowCase{"DoubleClickWhileShown", false, QSystemTrayIcon::DoubleClick, false},
                                           // trays that never send a double click
                                           ShowCase{"SingleClickWhileHidden", false, QSystemTrayIcon::Trigger, true}),
                         [](const ::testing::TestParamInfo<ShowCase>& info) { return std::string(info.param.name); });

TEST_F(TrayTest, ExitItemAsksTheWindowAndARefusalKeepsEverything)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.acceptClose = false;
    TrayMenuCommand(g_MenuIdExit);
    EXPECT_EQ(form.closeRequests, 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(TrayIconShown());

    form.acceptClose = true;
    TrayMenuCommand(g_MenuIdExit);
    EXPECT_EQ(form.closeRequests, 2);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(TrayTest, UnknownMenuIdsDoNothing)
{
    TrayMenuCommand(4711);
    EXPECT_EQ(form.closeRequests, 0);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(shownCalls, 0);
}

} // namespace
