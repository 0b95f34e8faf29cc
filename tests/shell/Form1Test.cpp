#include "Form1.h"
#include "CaseName.h"
#include "ContactsPage.h"
#include "Controls.h"
#include "DataStore.h"
#include "ExpressExcel.h"
#include "GlobalState.h"
#include "ImportAccess.h"
#include "ImportExcel2.h"
#include "ImportTXT2.h"
#include "ListView.h"
#include "ListViewModel.h"
#include "Modal.h"
#include "MouseHook.h"
#include "MultiThread.h"
#include "MyTrayIcon.h"
#include "NumberListModel.h"
#include "PhrasePage.h"
#include "SandboxFixture.h"
#include "ScriptedDesktop.h"
#include "SendPage.h"
#include "Service.h"
#include "SettingsPage.h"
#include "SmsCtrl.h"
#include "WhiteListWorker.h"
#include "TestProgramFolder.h"
#include "ToolbarImage.h"
#include "WebPanel.h"
#include "WorkbookView.h"
#include "db/Connection.h"
#include "mouseMenu.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

using Icon = Desktop::Icon;
using Buttons = Desktop::Buttons;
using Answer = Desktop::Answer;

const QString kUser = QStringLiteral("demo");

class Form1Test : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        g_UserName = kUser;
        g_Password = QStringLiteral("demo123");
        g_Online = false;
    }

    void TearDown() override
    {
        form.reset();
        SandboxFixture::TearDown();
    }

    Form1& open()
    {
        form = std::make_unique<Form1>();
        return *form;
    }

    // The start-up sequence, without waiting out its half second.
    void runStartup()
    {
        form->Timer3->setInterval(0);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !form->Timer3->isActive(); }, 5000));
    }

    Form1& openAndStart()
    {
        open();
        runStartup();
        return *form;
    }

    int preferenceRows() { return g_Conn->scalar(QStringLiteral("SELECT count(*) FROM Preference")).toInt(); }

    QUrl support(const char* path) const
    {
        return QUrl(QStringLiteral("http://") + QString::fromLatin1(qgetenv("QUORVEL_SUPPORT_HOST")) +
                    QString::fromLatin1(path));
    }

    void expectExitQuestion(Answer answer)
    {
        desktop.expectMessage("确定退出程序吗？", "退出确认", Icon::Question, Buttons::YesNo, answer);
    }

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    TrayRecorder tray;
    std::unique_ptr<Form1> form;
};

TEST_F(Form1Test, TheFirstStartCreatesTheUserDatabaseAndALaterStartKeepsIt)
{
    const QString userDb = folder.path(kUser + QStringLiteral(".mdb"));
    ASSERT_FALSE(QFile::exists(userDb));
    open();
    ASSERT_TRUE(QFile::exists(userDb));
    EXPECT_EQ(g_Conn->path(), userDb);
    EXPECT_FALSE(QFile::exists(userDb + QStringLiteral(".part")));
    g_Conn->execute(QStringLiteral("INSERT INTO [ContactCategory] (CategoryName) VALUES ('kept')"));
    form.reset();

    open();
    EXPECT_EQ(
        g_Conn->scalar(QStringLiteral("SELECT count(*) FROM [ContactCategory] WHERE CategoryName='kept'")).toInt(), 1);
}

TEST_F(Form1Test, AStaleLogBesideAMissingUserDatabaseIsNotReplayedIntoTheNewCopy)
{
    // A log of uncheckpointed writes, left behind under the user database's name.
    const QString userDb = folder.path(kUser + QStringLiteral(".mdb"));
    const QString other = folder.makeUserDatabase(QStringLiteral("other"));
    {
        auto conn = db::Connection::open(other, QByteArray(kDatabasePassword));
        conn->execute(QStringLiteral("INSERT INTO [ContactCategory] (CategoryName) VALUES ('stale')"));
        ASSERT_TRUE(QFile::copy(other + QStringLiteral("-wal"), userDb + QStringLiteral("-wal")));
    }
    open();
    EXPECT_EQ(
        g_Conn->scalar(QStringLiteral("SELECT count(*) FROM [ContactCategory] WHERE CategoryName='stale'")).toInt(), 0);
}

TEST_F(Form1Test, TheWhiteListQueueStartsEmpty)
{
    folder.makeUserDatabase(kUser);
    OpenDatabaseOrThrow(kUser + QStringLiteral(".mdb"));
    AddPreference(QStringLiteral("13800138000"));
    AddPreference(QStringLiteral("13900139000"));
    ASSERT_EQ(preferenceRows(), 2);
    CloseDatabase();

    open();
    EXPECT_EQ(preferenceRows(), 0);
}

TEST_F(Form1Test, AFailedLoadIsShownAndEndsTheProgram)
{
    QFile::remove(folder.path(QStringLiteral("data.mdb")));
    desktop.expectMessage(ScriptedDesktop::contains(QStringLiteral("无法创建用户数据库")), "程序运行错误",
                          Icon::Exclamation);
    try {
        open();
        ADD_FAILURE() << "the load went on without its template";
    } catch (const ScriptedDesktop::Exited& exited) {
        EXPECT_EQ(exited.code, 1);
    }
    EXPECT_EQ(MainForm(), nullptr);
    EXPECT_FALSE(QFile::exists(folder.path(kUser + QStringLiteral(".mdb"))));
}

TEST_F(Form1Test, TheLoadPreparesTrayFirstPageAndMouseFilter)
{
    open();
    EXPECT_EQ(MainForm(), form.get());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quorvel2011"));
    EXPECT_EQ(form->FormStat, -1);
    EXPECT_TRUE(TrayIconShown());
    EXPECT_EQ(tray.tip, QStringLiteral("Quorvel2011"));
    ASSERT_NE(g_TrayMenu, nullptr);
    const QList<QAction*> items = g_TrayMenu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("打开主界面(&O)"));
    EXPECT_EQ(items[0]->data().toInt(), 100001);
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("退出(&E)"));
    EXPECT_EQ(items[2]->data().toInt(), 100002);
    EXPECT_TRUE(MouseHook::isInstalled());
    EXPECT_EQ(form->currentPage(), 1);
    EXPECT_EQ(g_SendMode, 1);
    const QUrl blank = QUrl::fromLocalFile(folder.path(QStringLiteral("blank.htm")));
    EXPECT_EQ(Control<WebPanel>(*form, "WebBrowser1")->url(), blank);
    EXPECT_EQ(Control<WebPanel>(*form, "WebBrowser2")->url(), blank);
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_EQ(form->Timer3->interval(), 500);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 5000);
    // Status bar as designed, before the start-up sequence fills it.
    EXPECT_EQ(form->statusPanel(1), QStringLiteral("用户名"));
    EXPECT_EQ(form->statusPanel(3), QStringLiteral("余额"));
    EXPECT_EQ(form->statusPanel(7), QStringLiteral("状态"));
    EXPECT_FALSE(form->statusPanel(6).isEmpty());
}

struct LengthRuleCase
{
    int charsPerSms;
    const char* label;
};

class Form1LengthRule : public Form1Test, public ::testing::WithParamInterface<LengthRuleCase>
{
};

TEST_P(Form1LengthRule, Label4ShowsTheLengthRule)
{
    g_CharsPerSms = GetParam().charsPerSms;
    open();
    EXPECT_EQ(Control<QLabel>(*form, "Label4")->text(), QString::fromUtf8(GetParam().label));
}

INSTANTIATE_TEST_SUITE_P(Rules, Form1LengthRule,
                         ::testing::Values(LengthRuleCase{70, "手机短信70字/条；超过70字每条短信增加分隔符“(x/y)”"},
                                           LengthRuleCase{67, "手机短信67字/条；"}),
                         NameFrom(&LengthRuleCase::charsPerSms));

TEST_F(Form1Test, OfflineStartLeavesSendingDisabledAndStartsNoWorker)
{
    openAndStart();
    EXPECT_EQ(form->statusPanel(8), QStringLiteral("脱机登陆"));
    EXPECT_EQ(form->statusPanel(4), QStringLiteral("0条"));
    EXPECT_EQ(form->statusPanel(2), kUser);
    EXPECT_FALSE(Control<QPushButton>(*form, "AeroButton8")->isEnabled());
    ASSERT_NE(form->MyMsg(), nullptr);
    EXPECT_EQ(form->MyMsg()->username, kUser);
    EXPECT_EQ(Control<SettingsPage>(*form, "SettingsPage")->client(), form->MyMsg());
    ASSERT_EQ(tray.balloons.size(), 1);
    EXPECT_EQ(tray.balloons[0].title, QStringLiteral("Quorvel2011"));
    EXPECT_EQ(tray.balloons[0].text, QStringLiteral("demo您好，目前处于离线状态不能发送短信"));
    EXPECT_EQ(tray.balloons[0].iconFlags, 1);
    const QUrl blank = QUrl::fromLocalFile(folder.path(QStringLiteral("blank.htm")));
    EXPECT_EQ(Control<WebPanel>(*form, "WebBrowser1")->url(), blank);
    EXPECT_EQ(Control<WebPanel>(*form, "WebBrowser2")->url(), blank);
    EXPECT_FALSE(g_Threads(2).isRunning());
    EXPECT_FALSE(g_Threads(3).isRunning());
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("getbalance")), 0);
}

TEST_F(Form1Test, ABalloonTextKeepsItsFirst128Characters)
{
    g_UserName = QString(150, u'u');
    openAndStart();
    ASSERT_EQ(tray.balloons.size(), 1);
    EXPECT_EQ(tray.balloons[0].text, QString(128, u'u'));
}

TEST_F(Form1Test, OnlineStartShowsTheBalanceAndPagesAndStartsTheWorkers)
{
    g_Online = true;
    sandbox().setBalance(kUser, 4321);
    sandbox().setKeywords({QStringLiteral("违禁")});
    openAndStart();
    EXPECT_EQ(form->statusPanel(8), QStringLiteral("在线"));
    EXPECT_EQ(form->statusPanel(4), QStringLiteral("4321条"));
    EXPECT_EQ(form->statusPanel(2), kUser);
    EXPECT_TRUE(Control<QPushButton>(*form, "AeroButton8")->isEnabled());
    ASSERT_EQ(tray.balloons.size(), 1);
    EXPECT_EQ(tray.balloons[0].text, QStringLiteral("demo您好，短信余额：4321"));
    EXPECT_EQ(Control<WebPanel>(*form, "WebBrowser1")->url(), support("/parts/newWeather.html"));
    EXPECT_EQ(Control<WebPanel>(*form, "WebBrowser2")->url(), support("/parts/public.html"));

    // The sensitive-word worker fetches its list; the white-list worker uploads what is queued.
    EXPECT_TRUE(QTest::qWaitFor([] { return g_SensitiveWords.get().has_value(); }, 10000));
    EXPECT_EQ(g_SensitiveWords.get().value_or(QStringList()), QStringList{QStringLiteral("违禁")});
    AddPreference(QStringLiteral("13800138000"));
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return sandbox().whiteList().contains(QStringLiteral("13800138000")); }, 10000));
    EXPECT_TRUE(g_Threads(2).isRunning());
}

struct ToolbarCase
{
    int index;
    int page;     // the page shown afterwards; 0: the page shown before
    int sendMode; // 0: unchanged
};

void PrintTo(const ToolbarCase& c, std::ostream* os)
{
    *os << "toolbar " << c.index;
}

class Form1Toolbar : public Form1Test, public ::testing::WithParamInterface<ToolbarCase>
{
};

TEST_P(Form1Toolbar, SwitchesPagesAndHighlightsTheIconClicked)
{
    const ToolbarCase c = GetParam();
    open();
    form->show();
    form->toobarImg_Click(3);
    ASSERT_EQ(form->currentPage(), 3);
    g_SendMode = 1;

    if (c.index == 6)
        desktop.expectOpenUrl(ScriptedDesktop::startsWith(QStringLiteral("http://")), true);
    if (c.index == 7)
        expectExitQuestion(Answer::No);
    bool serviceShown = false;
    if (c.index == 9) {
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            serviceShown = qobject_cast<Service*>(modal) != nullptr;
            if (modal)
                modal->close();
        });
    }
    form->toobarImg_Click(c.index);

    EXPECT_EQ(form->currentPage(), c.page ? c.page : 3);
    if (c.sendMode) {
        EXPECT_EQ(g_SendMode, c.sendMode);
    }
    if (c.index == 9) {
        EXPECT_TRUE(serviceShown);
    }
    for (int i = 1; i <= Form1::kToolbarCount; ++i) {
        const QPixmap expected = i == c.index ? form->ImageList2(i) : form->ImageList1(i);
        EXPECT_EQ(Control<ToolbarImage>(*form, QStringLiteral("toobarImg%1").arg(i))->pixmap().toImage(), expected.toImage()) << "icon " << i;
    }
    // Nothing but the exit question may end the window.
    EXPECT_TRUE(form->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Icons, Form1Toolbar,
                         ::testing::Values(ToolbarCase{1, 1, 1}, ToolbarCase{2, 2, 0}, ToolbarCase{3, 3, 0},
                                           ToolbarCase{4, 4, 0}, ToolbarCase{5, 5, 0}, ToolbarCase{6, 0, 0},
                                           ToolbarCase{7, 0, 0}, ToolbarCase{8, 1, 2}, ToolbarCase{9, 0, 0}),
                         NameFrom(&ToolbarCase::index));

TEST_F(Form1Test, TxtImportOfTheNumberListFillsItFromAFile)
{
    open();
    form->show();
    const QString path = folder.path(QStringLiteral("numbers.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("13800138000\r\n13900139000\r\n");
    file.close();
    desktop.expectOpenFile("文本文件(*.txt)|*.txt", path);
    desktop.expectMessage("共有号码2个", "导入完成", Icon::Information);
    QWidget* owner = nullptr;
    EXPECT_TRUE(driveModal<ImportTXT2>(
        [this] { QTest::mouseClick(Control<QPushButton>(*form, "AeroButton49"), Qt::LeftButton); },
        [&owner](ImportTXT2& dialog) {
            owner = dialog.parentWidget();
            QTest::mouseClick(Control<QPushButton>(dialog, "AeroButton1"), Qt::LeftButton);
            QTest::mouseClick(Control<QPushButton>(dialog, "AeroButton2"), Qt::LeftButton);
        }));
    EXPECT_EQ(owner, form.get());
    EXPECT_EQ(Control<SendPage>(*form, "SendPage")->numberList()->texts(),
              (QStringList{QStringLiteral("13800138000"), QStringLiteral("13900139000")}));
}

TEST_F(Form1Test, TheToolbarPicturesDifferBetweenNormalAndHighlighted)
{
    open();
    for (int i = 1; i <= Form1::kToolbarCount; ++i) {
        ASSERT_FALSE(form->ImageList1(i).isNull()) << i;
        ASSERT_FALSE(form->ImageList2(i).isNull()) << i;
        EXPECT_NE(form->ImageList1(i).toImage(), form->ImageList2(i).toImage()) << i;
    }
    EXPECT_EQ(form->ImageBg().size(), QSize(8, 112));
}

TEST_F(Form1Test, GridModeThenPlainListShowsThePlainListAgain)
{
    open();
    form->show();
    SendPage* page = Control<SendPage>(*form, "SendPage");
    form->toobarImg_Click(8);
    EXPECT_FALSE(Control<QGroupBox>(*page, "SendListBox1")->isVisible());
    EXPECT_TRUE(Control<QGroupBox>(*page, "SendListBox2")->isVisible());
    EXPECT_TRUE(Control<QPushButton>(*page, "AeroButton6")->isEnabled());
    EXPECT_EQ(g_SendMode, 2);

    form->toobarImg_Click(1);
    EXPECT_TRUE(Control<QGroupBox>(*page, "SendListBox1")->isVisible());
    EXPECT_FALSE(Control<QGroupBox>(*page, "SendListBox2")->isVisible());
    EXPECT_FALSE(Control<QPushButton>(*page, "AeroButton6")->isEnabled());
    EXPECT_EQ(g_SendMode, 1);
}

TEST_F(Form1Test, AClickOnAToolbarPictureIsAToolbarClick)
{
    open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::mouseClick(Control<ToolbarImage>(*form, "toobarImg5"), Qt::LeftButton);
    EXPECT_EQ(form->currentPage(), 5);
    // The send page asks for the address book with "通讯录导入".
    Control<QPushButton>(*form, "AeroButton2")->click();
    EXPECT_EQ(form->currentPage(), 3);
}

TEST_F(Form1Test, AHelpPageThatCannotBeOpenedIsReported)
{
    open();
    desktop.expectOpenUrl(ScriptedDesktop::anyText(), false)
        .expectMessage("打开帮助失败！", "Quorvel2011", Icon::None, Buttons::Ok);
    form->toobarImg_Click(6);
    EXPECT_EQ(form->currentPage(), 1);
}

class Form1ServicePlacement : public Form1Test, public ::testing::WithParamInterface<QPoint>
{
};

TEST_P(Form1ServicePlacement, TheServiceWindowOpensBelowItsIcon)
{
    open();
    form->move(GetParam());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QWidget* icon = Control<ToolbarImage>(*form, "toobarImg9");
    const QPoint expected = form->pos() + icon->mapTo(form.get(), QPoint(0, icon->height()));
    QPoint placed;
    QString title;
    QUrl page;
    EXPECT_TRUE(driveModal<Service>([this] { form->toobarImg_Click(9); },
                                    [&](Service& service) {
                                        placed = service.pos();
                                        title = service.windowTitle();
                                        page = Control<WebPanel>(service, "WebBrowser1")->url();
                                        service.close();
                                    }));
    EXPECT_EQ(placed, expected);
    EXPECT_EQ(title, QStringLiteral("在线客服"));
    EXPECT_EQ(page, support("/parts/service.html"));
}

INSTANTIATE_TEST_SUITE_P(Positions, Form1ServicePlacement, ::testing::Values(QPoint(40, 30), QPoint(260, 190)),
                         ByValue());

enum class ExitPath
{
    CloseBox,
    TrayMenu,
    Toolbar
};

void PrintTo(ExitPath path, std::ostream* os)
{
    *os << (path == ExitPath::CloseBox ? "close box" : path == ExitPath::TrayMenu ? "tray menu" : "toolbar");
}

class Form1Exit : public Form1Test, public ::testing::WithParamInterface<ExitPath>
{
protected:
    // Returns true when the exit ended the program (the toolbar's way).
    bool requestExit()
    {
        switch (GetParam()) {
        case ExitPath::CloseBox:
            form->close();
            return false;
        case ExitPath::TrayMenu:
            TrayMenuCommand(g_MenuIdExit);
            return false;
        case ExitPath::Toolbar:
            try {
                form->toobarImg_Click(7);
            } catch (const ScriptedDesktop::Exited& exited) {
                EXPECT_EQ(exited.code, 0);
                return true;
            }
            return false;
        }
        return false;
    }

    void startOnline()
    {
        g_Online = true;
        openAndStart();
        form->show();
        ASSERT_TRUE(g_Threads(2).isRunning());
    }
};

TEST_P(Form1Exit, NoLeavesWindowTrayWorkersAndConnectionAsTheyWere)
{
    startOnline();
    expectExitQuestion(Answer::No);
    EXPECT_FALSE(requestExit());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(TrayIconShown());
    EXPECT_NE(g_TrayMenu, nullptr);
    EXPECT_TRUE(g_Threads(2).isRunning());
    EXPECT_NE(g_Conn, nullptr);
    EXPECT_TRUE(MouseHook::isInstalled());
}

TEST_P(Form1Exit, YesRunsTheShutdownSteps)
{
    startOnline();
    expectExitQuestion(Answer::Yes);
    const bool ended = requestExit();
    EXPECT_EQ(ended, GetParam() == ExitPath::Toolbar);
    EXPECT_FALSE(TrayIconShown());
    EXPECT_EQ(g_TrayMenu, nullptr);
    EXPECT_FALSE(g_Threads(2).isRunning());
    EXPECT_FALSE(g_Threads(3).isRunning());
    EXPECT_EQ(g_Conn, nullptr);
    EXPECT_FALSE(MouseHook::isInstalled());
    if (!ended) {
        EXPECT_FALSE(form->isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Form1Exit, ::testing::Values(ExitPath::CloseBox, ExitPath::TrayMenu, ExitPath::Toolbar),
                         ByValue());

TEST_F(Form1Test, TheTrayExitWhileHiddenAsksToo)
{
    open();
    form->show();
    form->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !form->isVisible(); }, 2000));
    expectExitQuestion(Answer::No);
    TrayMenuCommand(g_MenuIdExit);
    EXPECT_TRUE(TrayIconShown());
    EXPECT_NE(g_Conn, nullptr);
}

// The menu opens inside the icon's own mouse event, and the exit removes the icon: the exit
// must wait until that event is over, or the icon would be deleted under it.
TEST_F(Form1Test, TheTrayMenusExitRunsOnceTheIconsOwnEventIsOver)
{
    open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->data().toInt() == g_MenuIdExit)
                menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
        chosen = true;
    });
    expectExitQuestion(Answer::Yes);

    TrayActivated(QSystemTrayIcon::Context);

    ASSERT_TRUE(chosen);
    EXPECT_TRUE(TrayIconShown());
    EXPECT_NE(g_Conn, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return !TrayIconShown(); }, 2000));
    EXPECT_EQ(g_Conn, nullptr);
    EXPECT_FALSE(form->isVisible());
}

// A dialog still works on the window's connection and workers: the tray's exit is refused
// while it is open, as the close box is.
TEST_F(Form1Test, TheTrayExitIsRefusedWhileAModalDialogIsOpen)
{
    open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QDialog dialog(form.get());
    bool connectionKept = false;
    QTimer::singleShot(0, [&] {
        TrayMenuCommand(g_MenuIdExit); // no exit question is scripted: none may come
        QCoreApplication::processEvents();
        connectionKept = g_Conn != nullptr && TrayIconShown() && dialog.isVisible();
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(connectionKept);

    expectExitQuestion(Answer::No); // without the dialog the exit asks again
    TrayMenuCommand(g_MenuIdExit);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Form1Test, WithoutANotificationAreaMinimisingIsAnOrdinaryMinimise)
{
    tray.trayAvailable = false;
    open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->showMinimized();
    QTest::qWait(100);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(form->FormStat, -1);
}

TEST_F(Form1Test, MinimisingHidesTheWindowInTheTrayOnlyWhileItIsShown)
{
    open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !form->isVisible(); }, 2000));
    EXPECT_FALSE(form->isMinimized());
    EXPECT_EQ(form->FormStat, 0);

    TrayDoubleClick();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->FormStat, -1);

    form->FormStat = 0;
    form->showMinimized();
    QTest::qWait(50);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(form->FormStat, 0);
}

TEST_F(Form1Test, TheBackgroundStripIsRepeatedAcrossTheWholeTop)
{
    open();
    form->resize(1003, 700);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QImage shot = form->grab().toImage();
    const QImage strip = form->ImageBg().toImage();
    // Row 4 lies above the toolbar pictures; the last columns are covered by a partial strip.
    for (int x : {0, 7, 8, 500, 999, 1002})
        EXPECT_EQ(shot.pixelColor(x, 4), strip.pixelColor(x % strip.width(), 4)) << "x " << x;
}

} // namespace

namespace {

// The pages of other modules, wired into the main window.
class Form1PagesTest : public Form1Test
{
};

TEST_F(Form1PagesTest, APhraseReplacesTheEditorsTextAndReturnsToTheSendPageOfTheMode)
{
    folder.makeUserDatabase(kUser);
    OpenDatabaseOrThrow(kUser + QStringLiteral(".mdb"));
    g_Conn->execute(QStringLiteral("insert into [MsgCategory](CategoryName,ParentId) values('节日',0)"));
    g_Conn->execute(QStringLiteral("insert into [DestineMsg](CatID,Message) values(1,'新年快乐')"));
    CloseDatabase();
    Form1& f = openAndStart();
    Control<QPlainTextEdit>(f, "Text1")->setPlainText(QStringLiteral("旧的内容"));

    f.toobarImg_Click(8);
    f.toobarImg_Click(4);
    QListWidget* list = Control<QListWidget>(f, "List1");
    ASSERT_EQ(list->count(), 1);
    list->setCurrentRow(0);
    Control<PhrasePage>(f, "PhrasePage")->AeroButton23_Click();

    EXPECT_EQ(Control<QPlainTextEdit>(f, "Text1")->toPlainText(), QStringLiteral("新年快乐"));
    EXPECT_EQ(f.currentPage(), 1);
    EXPECT_EQ(g_SendMode, 2) << "back to the grid, the mode it came from";
    EXPECT_TRUE(Control<QGroupBox>(f, "SendListBox2")->isVisibleTo(&f));
}

TEST_F(Form1PagesTest, TheListsExcelImportShowsTheSelectionImportOnTheChosenWorkbook)
{
    Form1& f = openAndStart();
    desktop.expectOpenFile("Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx",
                           QStringLiteral(QUORVEL_SOURCE_DIR "/tests/core/workbooks/people.xls"));
    desktop.expectMessage("导入号码3个,自动删除重复号码0个", "完成", Icon::Information);
    const bool shown = driveModal<ExpressExcel>([&f] { Control<QPushButton>(f, "AeroButton46")->click(); },
                                                [](ExpressExcel& dialog) {
                                                    // The workbook opens on the sheet it was saved on; the
                                                    // numbers are on the first.
                                                    auto* view = Control<WorkbookView>(dialog, "FramerControl1");
                                                    view->setActiveSheet(0);
                                                    view->selectArea(4, 3, 6, 3);
                                                    dialog.AeroButton2_Click();
                                                });
    EXPECT_TRUE(shown);
    EXPECT_EQ(Control<SendPage>(f, "SendPage")->numberList()->count(), 3);
    EXPECT_EQ(Control<QLabel>(f, "Label5")->text(), QStringLiteral("一共3个号码"));
}

TEST_F(Form1PagesTest, CheckedContactsGoToTheGridPage)
{
    folder.makeUserDatabase(kUser);
    OpenDatabaseOrThrow(kUser + QStringLiteral(".mdb"));
    g_Conn->execute(QStringLiteral("insert into [ContactList](Name,MobilePhone,Sex,CatID) values('张三','13800138000','男',0)"));
    CloseDatabase();
    Form1& f = openAndStart();
    f.toobarImg_Click(3);
    ListView* contacts = Control<ListView>(f, "ListView2");
    ASSERT_EQ(contacts->listModel()->rowCount(), 1);
    contacts->listModel()->setData(contacts->listModel()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    Control<ContactsPage>(f, "ContactsPage")->AeroButton18_Click();

    EXPECT_EQ(f.currentPage(), 1);
    EXPECT_EQ(g_SendMode, 2);
    ASSERT_EQ(Control<ListView>(f, "ListView1")->listModel()->rowCount(), 1) << "the grid was rebuilt";
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select B from [DraftBox]")).toString(), QStringLiteral("先生"));
}

TEST_F(Form1PagesTest, TheReminderTickShowsTheBirthdayBalloonOnce)
{
    folder.makeUserDatabase(kUser);
    OpenDatabaseOrThrow(kUser + QStringLiteral(".mdb"));
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    g_Conn->execute("insert into [ContactList](Name,MobilePhone,Birthday,CatID) values('李四','13900139000',#" +
                    today + "#,0)");
    CloseDatabase();
    Form1& f = openAndStart();
    tray.balloons.clear();
    f.Timer1->setInterval(0);
    ASSERT_TRUE(QTest::qWaitFor([&f] { return !f.Timer1->isActive(); }, 5000));
    ASSERT_EQ(tray.balloons.size(), 1);
    EXPECT_EQ(tray.balloons[0].title, QStringLiteral("Quorvel提醒您"));
    EXPECT_EQ(tray.balloons[0].text, QStringLiteral("最近7天内您的联系人名单中有1位联系人最近过生日"));
}

TEST_F(Form1Test, AccessImportFillsTheGridThroughTheMainWindow)
{
    openAndStart();
    const QString source = folder.path(QStringLiteral("numbers.db"));
    db::Connection::create(source, QByteArray())
        ->executeScript(QStringLiteral("create table list (phone text, name text);"
                                 "insert into list values ('13800000001', 'a'), ('13800000001', 'b')"));
    desktop.expectOpenFile("Access数据库(*.mdb)|*.mdb", source);
    desktop.expectMessage("共有2条记录，错误数据0条！", QStringLiteral("完成"), Icon::Information);
    ASSERT_TRUE(driveModal<ImportAccess>([this] { Control<QPushButton>(*form, "AeroButton12")->click(); },
                                         [](ImportAccess& dialog) {
                                             dialog.AeroButton1_Click();
                                             Control<QComboBox>(dialog, "Combo7")->setCurrentIndex(0);
                                             Control<QComboBox>(dialog, "Combo1")->setCurrentIndex(1);
                                             Control<QComboBox>(dialog, "Combo2")->setCurrentIndex(2);
                                             dialog.AeroButton2_Click();
                                         }));
    const ListViewModel& grid = *Control<ListView>(*form, "ListView1")->listModel();
    ASSERT_EQ(grid.count(), 2);
    EXPECT_EQ(grid.cell(1, 2), QStringLiteral("b"));
    EXPECT_EQ(Control<QLabel>(*form, "Label9")->text(), QStringLiteral("一共有2个号码"));
}

TEST_F(Form1Test, WorkbookImportFillsTheGridThroughTheMainWindow)
{
    openAndStart();
    desktop.expectOpenFile("Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx",
                           QStringLiteral(QUORVEL_SOURCE_DIR "/tests/import/workbooks/grid.xlsx"));
    desktop.expectMessage("成功导入号码3个，其中重复号码1个", QStringLiteral("导入完成"), Icon::Information);
    ASSERT_TRUE(driveModal<ImportExcel2>([this] { Control<QPushButton>(*form, "AeroButton3")->click(); },
                                         [](ImportExcel2& dialog) {
                                             dialog.Timer1_Timer();
                                             Control<QComboBox>(dialog, "Combo1")->setCurrentIndex(1);
                                             Control<QComboBox>(dialog, "Combo2")->setCurrentIndex(2);
                                             dialog.AeroButton2_Click();
                                         }));
    const ListViewModel& grid = *Control<ListView>(*form, "ListView1")->listModel();
    ASSERT_EQ(grid.count(), 3);
    EXPECT_EQ(grid.cell(1, 2), QStringLiteral("李四"));
}

} // namespace

namespace {

TEST_F(Form1PagesTest, TheImportAndExportButtonsOfTheAddressBookOpenTheirDialogs)
{
    folder.makeUserDatabase(kUser);
    Form1& f = openAndStart();
    f.toobarImg_Click(3);
    auto shownBy = [](const std::function<void()>& click) {
        QString shown;
        driveModalWidget(click, [&shown](QWidget& dialog) {
            shown = QString::fromLatin1(dialog.metaObject()->className()) + QLatin1Char(' ') + dialog.windowTitle();
            return true;
        });
        return shown;
    };
    EXPECT_EQ(shownBy([&] { Control<ContactsPage>(f, "ContactsPage")->AeroButton37_Click(); }),
              QStringLiteral("ImportContact 从Excel导入联系人"));
    EXPECT_EQ(shownBy([&] { Control<ContactsPage>(f, "ContactsPage")->AeroButton38_Click(); }),
              QStringLiteral("ExportContact 导出通讯录"));
}

} // namespace
