#include "DataStore.h"
#include "GlobalState.h"
#include "SandboxFixture.h"
#include "SendMsg.h"
#include "TestProgramFolder.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

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

    template <typename T>
    static T* child(QWidget& w, const char* name)
    {
        return w.findChild<T*>(QString::fromLatin1(name));
    }

    TestProgramFolder folder;
};

TEST_F(SendMsgTest, ReadyStateShowsTheTotalTimesParts)
{
    SendMsg dialog(listRequest(1500), nullptr);
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), QStringLiteral("确定开始发送短信吗？"));
    EXPECT_EQ(child<QLabel>(dialog, "Label6")->text(), QStringLiteral("3000 条"));
    for (const char* name : {"Label5", "Label9", "Label10"})
        EXPECT_EQ(child<QLabel>(dialog, name)->text(), QStringLiteral("0 条")) << name;
    EXPECT_TRUE(child<QPushButton>(dialog, "AeroButton2")->isEnabled());
    EXPECT_EQ(child<QPushButton>(dialog, "AeroButton1")->text(), QStringLiteral("取 消"));
}

TEST_F(SendMsgTest, CompletedRunShowsCountsAndCloseCaption)
{
    SendMsg dialog(listRequest(1200), nullptr);
    bool emptied = false;
    QObject::connect(&dialog, &SendMsg::listRunCompleted, [&] { emptied = true; });
    child<QPushButton>(dialog, "AeroButton2")->click();

    EXPECT_TRUE(emptied);
    EXPECT_EQ(dialog.outcome(), SendRun::Outcome::Completed);
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), QStringLiteral("短信息发送操作完成"));
    EXPECT_EQ(child<QLabel>(dialog, "Label5")->text(), QStringLiteral("2400 条"));
    EXPECT_EQ(child<QLabel>(dialog, "Label9")->text(), QStringLiteral("2400 条"));
    EXPECT_EQ(child<QPushButton>(dialog, "AeroButton1")->text(), QStringLiteral("关 闭"));
    EXPECT_FALSE(child<QPushButton>(dialog, "AeroButton2")->isEnabled());
    EXPECT_EQ(child<QProgressBar>(dialog, "AeroProgressBar1")->value(), 1200);
    const QColor normal = child<QLabel>(dialog, "Label9")->palette().color(QPalette::WindowText);
    EXPECT_EQ(child<QLabel>(dialog, "Label10")->palette().color(QPalette::WindowText), normal);
}

TEST_F(SendMsgTest, FailuresTurnTheFailCountRed)
{
    sandbox().scriptReply(QStringLiteral("sendmess"), kRefused, 1);
    SendMsg dialog(listRequest(3, 1), nullptr);
    child<QPushButton>(dialog, "AeroButton2")->click();
    EXPECT_EQ(child<QLabel>(dialog, "Label10")->text(), QStringLiteral("3 条"));
    EXPECT_EQ(child<QLabel>(dialog, "Label10")->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(SendMsgTest, ClosingDuringARunStopsItAndLeavesTheControlsAlone)
{
    // 2500 numbers; the dialog is closed from inside the run's first yield after the first batch.
    SendMsg dialog(listRequest(2500, 1), nullptr);
    bool listEmptied = false;
    QObject::connect(&dialog, &SendMsg::listRunCompleted, [&] { listEmptied = true; });
    auto* progress = child<QProgressBar>(dialog, "AeroProgressBar1");
    QObject::connect(progress, &QProgressBar::valueChanged, &dialog, [&](int value) {
        if (value == 1000)
            QTimer::singleShot(0, child<QPushButton>(dialog, "AeroButton1"), &QPushButton::click);
    });
    dialog.show();
    child<QPushButton>(dialog, "AeroButton2")->click();

    EXPECT_EQ(dialog.outcome(), SendRun::Outcome::Stopped);
    EXPECT_FALSE(listEmptied) << "a stopped list run keeps the plain list";
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(sandbox().sends().size(), 1);
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), QStringLiteral("正在发送短信……")) << "no end state after closing";
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Finish]")).toInt(), 1000);
}

TEST_F(SendMsgTest, ClosingWithoutStartingWritesNothing)
{
    SendMsg dialog(listRequest(5), nullptr);
    child<QPushButton>(dialog, "AeroButton1")->click();
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Messages]")).toInt(), 0);
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("sendmess")), 0);
}

} // namespace
