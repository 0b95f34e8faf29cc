#include "DataStore.h"
#include "GlobalState.h"
#include "NumberListModel.h"
#include "SandboxFixture.h"
#include "SendAction.h"
#include "SendPageFixture.h"
#include "SmsCtrl.h"
#include "db/Recordset.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class SendStopTest : public SendPageFixture
{
protected:
    void SetUp() override
    {
        SendPageFixture::SetUp();
        openUserDatabase();
        g_UserName = QStringLiteral("demo");
        g_Password = QStringLiteral("demo123");
        g_SendMode = 1;
        mainClient.Balance = 100000;
        page->setMessage(QStringLiteral("周末促销"));
        for (int i = 0; i < 3000; ++i)
            page->numberList()->add(QString::number(13900000000LL + i));
    }

    // Presses Send; in the dialog presses "开始" and then "取 消" once the progress reaches stopAt.
    void sendAndStopAt(int stopAt)
    {
        QTimer::singleShot(0, [stopAt] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("AeroButton1"));
            auto* progress = dialog->findChild<QProgressBar*>(QStringLiteral("AeroProgressBar1"));
            QObject::connect(progress, &QProgressBar::valueChanged, cancel, [cancel, stopAt](int value) {
                if (value == stopAt)
                    QTimer::singleShot(0, cancel, &QPushButton::click);
            });
            dialog->findChild<QPushButton*>(QStringLiteral("AeroButton2"))->click();
        });
        ASSERT_TRUE(RunSendButton(*page, &mainClient, nullptr));
    }

    ScopedSandbox sandbox;
    SmsCtrl mainClient;
};

// Stopped in its second batch, a list run of 3000 has sent 1000: the history says so, and
// the plain list keeps only the 2000 that no request carried, so a second send cannot repeat
// the first 1000.
TEST_F(SendStopTest, AStoppedListRunKeepsOnlyTheUnsentNumbersAndRecordsTheSentOnes)
{
    sendAndStopAt(1000);

    EXPECT_EQ(sandbox.server().requestCount(QStringLiteral("sendmess")), 1);
    const QStringList left = page->numberList()->texts();
    ASSERT_EQ(left.size(), 2000);
    EXPECT_EQ(left.first(), QStringLiteral("13900001000"));
    EXPECT_EQ(scalarInt(QStringLiteral("select count(*) from [Finish] where PhoneNumber in ('13900000999',"
                                       "'13900001000')")),
              1);
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [Messages]"), *g_Conn);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Field(QStringLiteral("Amount")).toInt(), 1000);
    EXPECT_EQ(rs.Field(QStringLiteral("FailNum")).toInt(), 0);
    EXPECT_FALSE(rs.Field(QStringLiteral("FinishTime")).isNull());
}

} // namespace
