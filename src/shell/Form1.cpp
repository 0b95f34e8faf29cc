#include "Form1.h"

#include "AtomicFile.h"
#include "BirthdayReminder.h"
#include "ContactsPage.h"
#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "ExpressExcel.h"
#include "GlobalState.h"
#include "HistoryPage.h"
#include "BirthdayReminder.h"
#include "ContactsPage.h"
#include "ExportContact.h"
#include "ImportContact.h"
#include "ImportAccess.h"
#include "ImportExcel2.h"
#include "PhrasePage.h"
#include "HttpClient.h"
#include "ProgramLook.h"
#include "ImportTXT2.h"
#include "MouseHook.h"
#include "MultiThread.h"
#include "MyTrayIcon.h"
#include "PhrasePage.h"
#include "SendAction.h"
#include "SendPage.h"
#include "Service.h"
#include "SettingsPage.h"
#include "Shutdown.h"
#include "SmsCtrl.h"
#include "KeywordWorker.h"
#include "WhiteListWorker.h"
#include "ToolbarImage.h"
#include "UserFiles.h"
#include "WebPanel.h"
#include "db/DbError.h"
#include "mouseMenu.h"
#include "ui_Form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

// Resources of a static library are registered by hand; outside any namespace, as Qt asks.
static void initShellResources()
{
    Q_INIT_RESOURCE(shell);
}

namespace {

Form1* g_mainForm = nullptr;

const QString kHelpUrl = QStringLiteral("http://www.quorvel.com/kufw.htm");
const QString kSlogan = QStringLiteral("Quorvel企业短信——一键群发，准时送达");
const QString kErrorTitle = QStringLiteral("程序运行错误");

constexpr int kStartupDelayMs = 500;
constexpr int kReminderDelayMs = 5000;

QUrl blankPage()
{
    return QUrl::fromLocalFile(ProgramFile(QStringLiteral("blank.htm")));
}

QUrl supportPage(const QString& path)
{
    return QUrl(QStringLiteral("http://") + http::supportHost() + path);
}

// The user's database starts as a copy of the template, and only a complete copy takes its name:
// a copy cut short would otherwise be opened as the user's data at every later start.
void createUserDatabase(const QString& fileName)
{
    const QString target = ProgramFile(fileName);
    // A log left beside an earlier file of that name would be replayed into the fresh copy.
    QFile::remove(target + QStringLiteral("-wal"));
    QFile::remove(target + QStringLiteral("-shm"));
    QString reason;
    if (!atomicfile::copy(ProgramFile(QStringLiteral("data.mdb")), target, atomicfile::Mode::NoReplace, &reason))
        throw std::runtime_error(QStringLiteral("无法创建用户数据库：%1").arg(reason).toStdString());
}

} // namespace

Form1* MainForm()
{
    return g_mainForm;
}

Form1::Form1(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::Form1>())
{
    initShellResources();
    g_mainForm = this;
    ui->setupUi(this);
    setWindowIcon(ProgramIcon());
    loadToolbarPictures();
    buildPages();
    buildStatusBar();

    Timer3 = new QTimer(this);
    Timer3->setInterval(kStartupDelayMs);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    Timer1 = new QTimer(this);
    Timer1->setInterval(kReminderDelayMs);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);

    for (int index = 1; index <= kToolbarCount; ++index)
        connect(m_toolbar[index], &ToolbarImage::clicked, this, [this, index] { toobarImg_Click(index); });
    connect(m_sendPage, &SendPage::pageRequested, this, &Form1::toobarImg_Click);
    connect(m_sendPage, &SendPage::sendRequested, this, &Form1::AeroButton8_Click);
    connect(m_sendPage, &SendPage::excelSelectionImportRequested, this, [this] {
        ExpressExcel dialog(*m_sendPage, this);
        dialog.exec();
    });
    // The page rebuilds its grid once these two have closed.
    connect(m_sendPage, &SendPage::excelWorkbookImportRequested, this, [this] {
        ImportExcel2 dialog(this);
        dialog.exec();
    });
    connect(m_sendPage, &SendPage::accessImportRequested, this, [this] {
        ImportAccess dialog(this);
        dialog.exec();
    });
    connect(m_sendPage, &SendPage::textImportRequested, this, &Form1::showTextImport);
    connect(m_settingsPage, &SettingsPage::balanceShown, this,
            [this](const QString& text) { setStatusPanel(4, text); });

    try {
        load();
    } catch (const std::exception& error) {
        MsgBox(FailureDescription(error), kErrorTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        g_mainForm = nullptr;
        Desktop::instance().exitNow(1);
    }
}

Form1::~Form1()
{
    // A window that goes without the exit question still leaves nothing running behind it.
    shutdown();
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

void Form1::loadToolbarPictures()
{
    m_toolbar = {nullptr,        ui->toobarImg1, ui->toobarImg2, ui->toobarImg3, ui->toobarImg4,
                 ui->toobarImg5, ui->toobarImg6, ui->toobarImg7, ui->toobarImg8, ui->toobarImg9};
    m_imageList1.resize(kToolbarCount + 1);
    m_imageList2.resize(kToolbarCount + 1);
    for (int index = 1; index <= kToolbarCount; ++index) {
        m_imageList1[index] = QPixmap(QStringLiteral(":/shell/images/toolbar%1.png").arg(index));
        m_imageList2[index] = QPixmap(QStringLiteral(":/shell/images/toolbar%1_hot.png").arg(index));
        m_toolbar[index]->setPixmap(m_imageList1[index]);
    }
    m_imageBg = QPixmap(QStringLiteral(":/shell/images/ImageBg.png"));
}

void Form1::AeroButton8_Click()
{
    if (!RunSendButton(*m_sendPage, m_client.get(), this))
        return;
    m_sendPage->BuildNumGrid();
    m_settingsPage->AeroButton27_Click();
}

void Form1::showTextImport()
{
    ImportTXT2 dialog(*m_sendPage, this);
    dialog.exec();
}

void Form1::buildPages()
{
    m_sendPage = new SendPage(ui->FrameMain1);
    ui->FrameMain1->layout()->addWidget(m_sendPage);
    m_historyPage = new HistoryPage(ui->FrameMain2);
    ui->FrameMain2->layout()->addWidget(m_historyPage);
    m_historyPage->setSendPage(m_sendPage);
    connect(m_historyPage, &HistoryPage::pageRequested, this, &Form1::toobarImg_Click);
    m_contactsPage = new ContactsPage(ui->FrameMain3);
    ui->FrameMain3->layout()->addWidget(m_contactsPage);
    connect(m_contactsPage, &ContactsPage::contactsAddedToGrid, this, [this] {
        toobarImg_Click(8);
        m_sendPage->BuildNumGrid();
    });
    connect(m_contactsPage, &ContactsPage::importRequested, this, [this] {
        ImportContact dialog(this);
        dialog.exec();
    });
    connect(m_contactsPage, &ContactsPage::exportRequested, this, [this] {
        ExportContact dialog(this);
        dialog.exec();
    });
    m_phrasePage = new PhrasePage(ui->FrameMain4);
    ui->FrameMain4->layout()->addWidget(m_phrasePage);
    connect(m_phrasePage, &PhrasePage::insertPhrase, this, [this](const QString& text) {
        m_sendPage->setMessage(text);
    });
    connect(m_phrasePage, &PhrasePage::pageRequested, this, &Form1::toobarImg_Click);
    m_settingsPage = new SettingsPage(ui->FrameMain5);
    ui->FrameMain5->layout()->addWidget(m_settingsPage);
}

void Form1::buildStatusBar()
{
    struct Design
    {
        QString text;
        int width; // 0: takes the room that is left
    };
    const Design panels[kPanelCount] = {
        {QStringLiteral("用户名"), 56},
        {QString(), 110},
        {QStringLiteral("余额"), 40},
        {QString(), 100},
        {QString(), 8},
        {kSlogan, 0},
        {QStringLiteral("状态"), 40},
        {QString(), 170},
    };
    m_panels.push_back(nullptr);
    for (int i = 0; i < kPanelCount; ++i) {
        auto* label = new QLabel(panels[i].text, ui->StatusBar1);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setContentsMargins(4, 0, 4, 0);
        if (panels[i].width > 0) {
            label->setMinimumWidth(panels[i].width);
            ui->StatusBar1->addPermanentWidget(label);
        } else {
            label->setAlignment(Qt::AlignCenter);
            ui->StatusBar1->addPermanentWidget(label, 1);
        }
        m_panels.push_back(label);
    }
}

void Form1::load()
{
    FormStat = -1;

    g_TrayForm = this;
    AddTrayIcon(this, [this] { FormStat = -1; });
    SetTrayTip(kProgramTitle);
    g_MenuIdOpen = 100001;
    g_MenuIdExit = 100002;
    g_TrayMenu = std::make_unique<QMenu>();
    g_TrayMenu->addAction(QStringLiteral("打开主界面(&O)"))->setData(g_MenuIdOpen);
    g_TrayMenu->addSeparator();
    g_TrayMenu->addAction(QStringLiteral("退出(&E)"))->setData(g_MenuIdExit);

    // "DEMO" is the user who signed in as "demo" before: the file already there is theirs.
    m_userDatabase = UserFileStem(ProgramFolder(), g_UserName) + QStringLiteral(".mdb");
    if (!QFile::exists(ProgramFile(m_userDatabase)))
        createUserDatabase(m_userDatabase);

    showBlankPages();
    OpenDatabase(m_userDatabase);
    // The white-list queue starts empty at every start.
    SharedConnection().execute(QStringLiteral("DELETE FROM Preference"));

    m_sendPage->prepareForLoad();
    m_historyPage->prepareForLoad();
    m_contactsPage->prepareForLoad();
    toobarImg_Click(1);
    m_sendPage->setLengthRule(g_CharsPerSms.load());

    Timer3->start();
    Timer1->start();
    MouseHook::install([this] { closePopup(); });
}

void Form1::Timer3_Timer()
{
    Timer3->stop();
    setStatusPanel(8, QStringLiteral("正在初始化程序……"));
    // Each loader on its own: a failing one is reported and the sequence goes on with the next.
    RunReported(this, [this] { m_settingsPage->LoadConfig(); });
    RunReported(this, [this] { m_sendPage->BuildNumGrid(); });
    setStatusPanel(8, QStringLiteral("正在初始化通讯录"));
    RunReported(this, [this] { m_contactsPage->LoadContactTree(); });
    RunReported(this, [this] { m_contactsPage->LoadAllContacts(); });
    setStatusPanel(8, QStringLiteral("正在初始化常用短语"));
    RunReported(this, [this] { m_phrasePage->LoadPhraseTree(); });
    RunReported(this, [this] { m_phrasePage->LoadNodePhrases(); });

    m_client = std::make_unique<SmsCtrl>();
    m_client->username = g_UserName;
    m_client->password = g_Password;
    m_settingsPage->setClient(m_client.get());

    if (g_Online)
        startOnline();
    else
        startOffline();

    // Label14 and, through balanceShown, panel 4 (0 offline).
    m_settingsPage->showBalance();
    setStatusPanel(2, g_UserName);
}

void Form1::Timer1_Timer()
{
    Timer1->stop();
    ShowBirthdayReminder();
}

void Form1::startOnline()
{
    setStatusPanel(8, QStringLiteral("正在读取账户……"));
    // Only the balance it leaves in the client matters; a failure leaves the old one.
    m_client->GetBalance();

    setStatusPanel(8, QStringLiteral("正在加载天气信息"));
    ui->WebBrowser2->load(supportPage(QStringLiteral("/parts/public.html")));
    ui->WebBrowser1->load(supportPage(QStringLiteral("/parts/newWeather.html")));

    setStatusPanel(8, QStringLiteral("在线"));
    ShowBalloon(kProgramTitle, g_UserName + QStringLiteral("您好，短信余额：") + QString::number(m_client->Balance), 1);

    SmsCtrl* client = m_client.get();
    const QString userDatabase = m_userDatabase;
    g_Threads(2).Add(
        [client, userDatabase](const MultiThread::StopToken& stop) { WhiteListWorker(stop, client, userDatabase); });
    g_Threads(2).Start();
    g_Threads(3).Add(&KeywordWorker);
    g_Threads(3).Start();
}

void Form1::startOffline()
{
    showBlankPages();
    setStatusPanel(8, QStringLiteral("脱机登陆"));
    m_sendPage->setSendEnabled(false);
    ShowBalloon(kProgramTitle, g_UserName + QStringLiteral("您好，目前处于离线状态不能发送短信"), 1);
}

void Form1::showBlankPages()
{
    ui->WebBrowser1->load(blankPage());
    ui->WebBrowser2->load(blankPage());
}

void Form1::toobarImg_Click(int index)
{
    if (index < 1 || index > kToolbarCount)
        return;
    for (int i = 1; i <= kToolbarCount; ++i)
        m_toolbar[i]->setPixmap(m_imageList1[i]);
    m_toolbar[index]->setPixmap(m_imageList2[index]);

    switch (index) {
    case 1:
        showPage(1);
        m_sendPage->setSendMode(1);
        g_SendMode = 1;
        break;
    case 8:
        showPage(1);
        m_sendPage->setSendMode(2);
        g_SendMode = 2;
        break;
    case 6:
        openHelp();
        break;
    case 7:
        if (confirmExit()) {
            m_shutDown = true;
            ShutDownAndExit(0);
        }
        break;
    case 9:
        showService();
        break;
    default:
        showPage(index);
        break;
    }
}

void Form1::showPage(int page)
{
    ui->FrameMainStack->setCurrentIndex(page - 1);
}

void Form1::openHelp()
{
    if (!Desktop::instance().openUrl(kHelpUrl))
        MsgBox(QStringLiteral("打开帮助失败！"), kProgramTitle, Desktop::Icon::None, Desktop::Buttons::Ok, this);
}

void Form1::showService()
{
    Service service(this, ui->toobarImg9);
    service.exec();
}

bool Form1::confirmExit()
{
    return MsgBox(QStringLiteral("确定退出程序吗？"), QStringLiteral("退出确认"), Desktop::Icon::Question,
                  Desktop::Buttons::YesNo, this) == Desktop::Answer::Yes;
}

void Form1::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    ShutDownProgram();
}

void Form1::closePopup()
{
    if (m_sendPage)
        m_sendPage->closePopup();
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (m_shutDown) {
        event->accept();
        return;
    }
    closePopup();
    if (!confirmExit()) {
        event->ignore();
        return;
    }
    shutdown();
    event->accept();
    // Closing ends the program, also when the window was hidden in the tray: no "last window
    // closed" comes for a window that was not shown.
    QCoreApplication::quit();
}

void Form1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    closePopup();
    // Without a notification area there is no icon to bring a hidden window back: minimising
    // stays an ordinary minimise to the task bar.
    if (isMinimized() && FormStat == -1 && TrayAvailable()) {
        FormStat = 0;
        // Whoever minimised may still be busy showing the window (showMinimized does); hiding
        // comes after that, or it would be undone.
        QMetaObject::invokeMethod(
            this,
            [this] {
                setWindowState(Qt::WindowNoState);
                hide();
            },
            Qt::QueuedConnection);
    }
}

void Form1::resizeEvent(QResizeEvent* event)
{
    closePopup();
    QMainWindow::resizeEvent(event);
}

void Form1::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    const int step = m_imageBg.width();
    if (step <= 0)
        return;
    QPainter painter(this);
    for (int x = 0; x <= width(); x += step)
        painter.drawPixmap(x, 0, m_imageBg);
}

void Form1::setStatusPanel(int panel, const QString& text)
{
    if (panel < 1 || panel > kPanelCount)
        return;
    m_panels[panel]->setText(text);
    // The start-up sequence blocks the window thread between its steps; show each text at once.
    m_panels[panel]->repaint();
}

QString Form1::statusPanel(int panel) const
{
    if (panel < 1 || panel > kPanelCount)
        return QString();
    return m_panels[panel]->text();
}

int Form1::DelRepeat()
{
    return m_sendPage->DelRepeat();
}

void Form1::CountList()
{
    m_sendPage->CountList();
}

void Form1::BuildNumGrid()
{
    m_sendPage->BuildNumGrid();
}

void Form1::AeroButton44_Click()
{
    m_sendPage->AeroButton44_Click();
}

void Form1::AeroButton45_Click()
{
    m_sendPage->AeroButton45_Click();
}

void Form1::AeroButton49_Click()
{
    m_sendPage->AeroButton49_Click();
}

qint16 Form1::smsnumber() const
{
    return m_sendPage->smsnumber();
}

int Form1::currentPage() const
{
    return ui->FrameMainStack->currentIndex() + 1;
}

QPixmap Form1::ImageList1(int index) const
{
    return m_imageList1.value(index);
}

QPixmap Form1::ImageList2(int index) const
{
    return m_imageList2.value(index);
}
