#include "SendMsg.h"
#include "Controls.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "SandboxFixture.h"
#include "TestProgramFolder.h"

#include <QLabel>
#include <QProgressBar>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <iostream>

namespace {

const QByteArray kRefused = "<?xml version=\"1.0\"?><sendresult><errorcode>-8</errorcode></sendresult>";

class SendMsgTest : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ResetGlobalState();
        g_UserName = QStringLiteral("demo");
        g_Password = QStringLiteral("demo123");
        folder.makeUserDatabase(QStringLiteral("demo"));
        OpenDatabaseOrThrow(QStringLiteral("demo.mdb"));
    }

    static SendMsg::Request listRequest(int count, int parts = 2)
    {
        SendMsg::Request request;
        request.input.sendMode = 1;
        request.input.text = QStringLiteral("周末促销");
        for (int i = 0; i < count; ++i)
            request.input.listNumbers.append(QString::number(13900000000LL + i));
        request.recipients = count;
        request.parts = parts;
        return request;
    }

    TestProgramFolder folder;
};

TEST_F(SendMsgTest, ReadyStateShowsTheTotalTimesParts)
{
    SendMsg dialog(listRequest(1500), nullptr);
    EXPECT_EQ(Control<QLabel>(dialog, "Label1")->text(), QStringLiteral("确定开始发送短信吗？"));
    EXPECT_EQ(Control<QLabel>(dialog, "Label6")->text(), QStringLiteral("3000 条"));
    for (const char* name : {"Label5", "Label9", "Label10"})
        EXPECT_EQ(Control<QLabel>(dialog, name)->text(), QStringLiteral("0 条")) << name;
    EXPECT_TRUE(Control<QPushButton>(dialog, "AeroButton2")->isEnabled());
    EXPECT_EQ(Control<QPushButton>(dialog, "AeroButton1")->text(), QStringLiteral("取 消"));
    // Empty, not the busy animation that a maximum of 0 gives.
    auto* progress = Control<QProgressBar>(dialog, "AeroProgressBar1");
    EXPECT_GT(progress->maximum(), progress->minimum());
    EXPECT_EQ(progress->value(), progress->minimum());
}

// Longest pause of the window thread while the dialog sends against a platform that takes
// 2 s per request. A request made on the window thread would stop it for the whole 2 s.
TEST_F(SendMsgTest, TheWindowKeepsPaintingWhileARequestIsOut)
{
    sandbox().setDelay(QStringLiteral("sendmess"), 2000);
    SendMsg dialog(listRequest(3), nullptr);
    dialog.show();
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    int ticks = 0;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestStall = std::max(longestStall, sinceTick.restart());
        ++ticks;
    });
    probe.start();
    sinceTick.start();
    Control<QPushButton>(dialog, "AeroButton2")->click();
    longestStall = std::max(longestStall, sinceTick.elapsed());

    EXPECT_EQ(dialog.outcome(), SendRun::Outcome::Completed);
    EXPECT_EQ(Control<QLabel>(dialog, "Label9")->text(), QStringLiteral("6 条"));
    EXPECT_GT(ticks, 20);
    // Generous against a slow machine; the figure itself is printed for the record.
    EXPECT_LT(longestStall, 1000);
    std::cout << "longest window-thread stall during a 2 s request: " << longestStall << " ms\n";
}

// "取 消" answers while a request is out: the dialog closes at once, the reply that comes
// later is still recorded, and the run stops before its next number.
TEST_F(SendMsgTest, CancelDuringARequestClosesAtOnceAndRecordsTheReply)
{
    sandbox().setDelay(QStringLiteral("sendmess"), 1500);
    SendMsg dialog(listRequest(1500, 1), nullptr);
    int carried = -1;
    QObject::connect(&dialog, &SendMsg::listRunStopped, [&](int n) { carried = n; });
    dialog.show();
    bool closedWhileOut = false;
    qint64 markedWhileOut = -1;
    QTimer::singleShot(300, [&] {
        Control<QPushButton>(dialog, "AeroButton1")->click();
        closedWhileOut = !dialog.isVisible() && sandbox().sends().isEmpty();
        markedWhileOut =
            g_Conn->scalar("select sum(length(Numbers)+1)/12 from [SendMarks] where Queued=0").toLongLong();
    });
    QElapsedTimer clock;
    clock.start();
    Control<QPushButton>(dialog, "AeroButton2")->click();

    EXPECT_TRUE(closedWhileOut);
    // The request out is marked; the next one is marked only once the reply is in.
    EXPECT_EQ(markedWhileOut, 1000) << "the request's numbers are marked before it goes out, and only they";
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [SendMarks]")).toInt(), 0)
        << "the stop gave back the mark of the batch never sent";
    EXPECT_GE(clock.elapsed(), 1400) << "the run waited for the reply";
    EXPECT_EQ(dialog.outcome(), SendRun::Outcome::Stopped);
    EXPECT_EQ(carried, 1000);
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("sendmess")), 1);
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Finish] where State='已发送'")).toInt(), 1000);
}

TEST_F(SendMsgTest, CompletedRunShowsCountsAndCloseCaption)
{
    SendMsg dialog(listRequest(1200), nullptr);
    bool emptied = false;
    QObject::connect(&dialog, &SendMsg::listRunCompleted, [&] { emptied = true; });
    Control<QPushButton>(dialog, "AeroButton2")->click();

    EXPECT_TRUE(emptied);
    EXPECT_EQ(dialog.outcome(), SendRun::Outcome::Completed);
    EXPECT_EQ(Control<QLabel>(dialog, "Label1")->text(), QStringLiteral("短信息发送操作完成"));
    EXPECT_EQ(Control<QLabel>(dialog, "Label5")->text(), QStringLiteral("2400 条"));
    EXPECT_EQ(Control<QLabel>(dialog, "Label9")->text(), QStringLiteral("2400 条"));
    EXPECT_EQ(Control<QPushButton>(dialog, "AeroButton1")->text(), QStringLiteral("关 闭"));
    EXPECT_FALSE(Control<QPushButton>(dialog, "AeroButton2")->isEnabled());
    EXPECT_EQ(Control<QProgressBar>(dialog, "AeroProgressBar1")->value(), 1200);
    const QColor normal = Control<QLabel>(dialog, "Label9")->palette().color(QPalette::WindowText);
    EXPECT_EQ(Control<QLabel>(dialog, "Label10")->palette().color(QPalette::WindowText), normal);
}

TEST_F(SendMsgTest, FailuresTurnTheFailCountRed)
{
    sandbox().scriptReply(QStringLiteral("sendmess"), kRefused, 1);
    SendMsg dialog(listRequest(3, 1), nullptr);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    EXPECT_EQ(Control<QLabel>(dialog, "Label10")->text(), QStringLiteral("3 条"));
    EXPECT_EQ(Control<QLabel>(dialog, "Label10")->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(SendMsgTest, ClosingDuringARunStopsItAndLeavesTheControlsAlone)
{
    // 2500 numbers; the dialog is closed from inside the run's first yield after the first batch.
    SendMsg dialog(listRequest(2500, 1), nullptr);
    bool listEmptied = false;
    QObject::connect(&dialog, &SendMsg::listRunCompleted, [&] { listEmptied = true; });
    auto* progress = Control<QProgressBar>(dialog, "AeroProgressBar1");
    QObject::connect(progress, &QProgressBar::valueChanged, &dialog, [&](int value) {
        if (value == 1000)
            QTimer::singleShot(0, Control<QPushButton>(dialog, "AeroButton1"), &QPushButton::click);
    });
    dialog.show();
    Control<QPushButton>(dialog, "AeroButton2")->click();

    EXPECT_EQ(dialog.outcome(), SendRun::Outcome::Stopped);
    EXPECT_FALSE(listEmptied) << "a stopped list run keeps the plain list";
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(sandbox().sends().size(), 1);
    EXPECT_EQ(Control<QLabel>(dialog, "Label1")->text(), QStringLiteral("正在发送短信……"))
        << "no end state after closing";
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Finish]")).toInt(), 1000);
}

TEST_F(SendMsgTest, ClosingWithoutStartingWritesNothing)
{
    SendMsg dialog(listRequest(5), nullptr);
    Control<QPushButton>(dialog, "AeroButton1")->click();
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Messages]")).toInt(), 0);
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("sendmess")), 0);
}

} // namespace
