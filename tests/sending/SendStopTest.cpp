#include "DataStore.h"
#include "GlobalState.h"
#include "NumberListModel.h"
#include "SandboxFixture.h"
#include "SendAction.h"
#include "SendPageFixture.h"
#include "SmsCtrl.h"
#include "db/Recordset.h"
#include "Controls.h"

#define SQLITE_HAS_CODEC
#include <sqlcipher/sqlite3.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTest>
#include <QHash>
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
            auto* cancel = Control<QPushButton>(*dialog, "AeroButton1");
            auto* progress = Control<QProgressBar>(*dialog, "AeroProgressBar1");
            QObject::connect(progress, &QProgressBar::valueChanged, cancel, [cancel, stopAt](int value) {
                if (value == stopAt)
                    QTimer::singleShot(0, cancel, &QPushButton::click);
            });
            Control<QPushButton>(*dialog, "AeroButton2")->click();
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

// "取 消" closes the dialog while the first request is still out; the run waits for its reply
// before it gives up the list. A click on "发送短信" and a key typed into the editor in that
// time do nothing: no second run starts over a list the first has not trimmed yet, and the
// click is not acted on later either.
TEST_F(SendStopTest, InputWhileAStoppedRunWaitsForItsReplyIsDropped)
{
    sandbox.server().setDelay(QStringLiteral("sendmess"), 700);
    int presses = 0;
    QObject::connect(page.get(), &SendPage::sendRequested, [&] { ++presses; });
    auto* send = Control<QPushButton>(*page, "AeroButton8");
    auto* editor = Control<QPlainTextEdit>(*page, "Text1");
    bool stoppedWhileOut = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        QTimer::singleShot(150, [&, dialog] {
            Control<QPushButton>(*dialog, "AeroButton1")->click();
            stoppedWhileOut = !dialog->isVisible() && sandbox.server().sends().isEmpty();
            QTest::mouseClick(send, Qt::LeftButton);
            QTest::keyClick(editor, Qt::Key_A);
        });
        Control<QPushButton>(*dialog, "AeroButton2")->click();
    });
    ASSERT_TRUE(RunSendButton(*page, &mainClient, nullptr));
    QCoreApplication::processEvents();

    EXPECT_TRUE(stoppedWhileOut);
    EXPECT_EQ(presses, 0);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("周末促销"));
    EXPECT_EQ(sandbox.server().requestCount(QStringLiteral("sendmess")), 1);
    EXPECT_EQ(listTexts().size(), 2000);
}

// The disk fills up while the third of four requests is out, so the second one's outcome cannot
// be written. The three requests that went out leave the plain list and the fourth stays; the
// replies that came in are written once the database lets us, and the next send sends each
// number once.
TEST_F(SendStopTest, AFailedWriteLeavesOnlyTheNumbersThatNeverWentOut)
{
    for (int i = 3000; i < 4000; ++i)
        page->numberList()->add(QString::number(13900000000LL + i));
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(g_Conn->handle(),
                           "CREATE TRIGGER full BEFORE INSERT ON Finish WHEN (SELECT count(*) FROM Finish) >= 1000 "
                           "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END",
                           nullptr, nullptr, &error),
              SQLITE_OK);
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：")), QStringLiteral("程序出错"),
                          Desktop::Icon::Information);
    const auto startThenClose = [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        Control<QPushButton>(*dialog, "AeroButton2")->click();
        Control<QPushButton>(*dialog, "AeroButton1")->click();
    };
    QTimer::singleShot(0, startThenClose);
    ASSERT_TRUE(RunSendButton(*page, &mainClient, nullptr));

    EXPECT_EQ(sandbox.server().requestCount(QStringLiteral("sendmess")), 3);
    const QStringList left = listTexts();
    ASSERT_EQ(left.size(), 1000);
    EXPECT_EQ(left.first(), QStringLiteral("13900003000"));

    ASSERT_EQ(sqlite3_exec(g_Conn->handle(), "DROP TRIGGER full", nullptr, nullptr, &error), SQLITE_OK);
    page->BuildNumGrid();
    EXPECT_EQ(scalarInt(QStringLiteral("select count(*) from [Finish] where State='已发送'")), 3000)
        << "the replies that came in are not thrown away";
    QTimer::singleShot(0, startThenClose);
    ASSERT_TRUE(RunSendButton(*page, &mainClient, nullptr));
    QHash<QString, int> sends;
    for (const auto& sent : sandbox.server().sends())
        for (const QString& number : sent.numbers)
            ++sends[number];
    EXPECT_EQ(sends.size(), 4000);
    for (auto it = sends.cbegin(); it != sends.cend(); ++it)
        ASSERT_EQ(it.value(), 1) << it.key().toStdString();
    EXPECT_TRUE(listTexts().isEmpty());
}

} // namespace
