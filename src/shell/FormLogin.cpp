#include "FormLogin.h"
#include "ui_FormLogin.h"

#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "Form1.h"
#include "GlobalState.h"
#include "HttpClient.h"
#include "PendingRestore.h"
#include "PublicFunction.h"
#include "Shutdown.h"
#include "SmsCtrl.h"
#include "Startup.h"
#include "UpdateCheckStatus.h"
#include "UpdateConfig.h"
#include "UserFiles.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <QKeyEvent>
#include <QShortcut>
#include <QTimer>
#include <stdexcept>

namespace {

const QString kRunErrorTitle = QStringLiteral("程序运行错误");
constexpr int kUpdateWatchMs = 600;

// Closes the shared recordset on every way out of a short read.
class SharedRecordset final
{
public:
    explicit SharedRecordset(const QString& sql) { g_Rs->Open(sql, SharedConnection(), db::LockType::ReadOnly); }
    ~SharedRecordset()
    {
        if (g_Rs && g_Rs->IsOpen())
            g_Rs->Close();
    }
    SharedRecordset(const SharedRecordset&) = delete;
    SharedRecordset& operator=(const SharedRecordset&) = delete;
    db::Recordset& operator*() const { return *g_Rs; }
    db::Recordset* operator->() const { return g_Rs.get(); }
};

const QString kBadUserNameText = QStringLiteral("用户名不能包含“/”、“\\”、“..”或空字符！");
const QString kReservedUserNameText = QStringLiteral("用户名不能是“data”或“user”！");

// The name becomes the file name of the user's database and of a pending restore in the
// program folder: one that could name a place outside it, or one of the program's own files
// (the template, the user list), is no name at all. Empty when the name may be used.
QString userNameRefusal(const QString& user)
{
    if (user.contains(QLatin1Char('/')) || user.contains(QLatin1Char('\\')) || user.contains(QLatin1String("..")) ||
        user.contains(QChar(0)))
        return kBadUserNameText;
    if (IsReservedUserName(user.trimmed()))
        return kReservedUserNameText;
    return QString();
}

QString userWhere(const QString& user)
{
    return QStringLiteral("username='") + SqlQuote(user) + QLatin1Char('\'');
}

void endWithRunError(const QString& description, QWidget* parent)
{
    MsgBox(description, kRunErrorTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, parent);
    Desktop::instance().exitNow(1);
}

} // namespace

FormLogin::FormLogin(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::FormLogin>())
{
    ui->setupUi(this);
    ui->Label1->setBuddy(ui->AeroTextBox1);
    ui->Label2->setBuddy(ui->AeroTextBox2);
    // The captions show their access keys as "(U)" and "(P)" without an ampersand.
    connect(new QShortcut(QKeySequence(QStringLiteral("Alt+U")), this), &QShortcut::activated, ui->AeroTextBox1,
            [this] { ui->AeroTextBox1->setFocus(); });
    connect(new QShortcut(QKeySequence(QStringLiteral("Alt+P")), this), &QShortcut::activated, ui->AeroTextBox2,
            [this] { ui->AeroTextBox2->setFocus(); });
    ui->AeroTextBox1->installEventFilter(this);
    ui->AeroTextBox2->installEventFilter(this);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &FormLogin::AeroButton1_Click);
    // Queued from the worker's thread; only the window thread writes the label.
    connect(&UpdateCheckStatus::instance(), &UpdateCheckStatus::statusChanged, this, &FormLogin::showStatus);

    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(kUpdateWatchMs);
    connect(m_timer2, &QTimer::timeout, this, &FormLogin::Timer2_Timer);

    load();
    m_timer2->start();
}

FormLogin::~FormLogin() = default;

bool FormLogin::allowLogin() const
{
    return UpdateCheckStatus::instance().allowLogin();
}

void FormLogin::load()
{
    ApplyPendingRestore(ProgramFolder());
    UpdateCheckStatus::instance().setAllowLogin(false);
    g_UpdateChecked.store(false);
    m_client = std::make_unique<SmsCtrl>();
    try {
        InitSystem();
    } catch (const db::DbError& error) {
        // Only opening data.mdb raises the engine's own error here.
        MsgBox(ErrorBoxText(error.number(), error.description()), QStringLiteral("打开本地数据库出错"),
               Desktop::Icon::Information, Desktop::Buttons::Ok, this);
        Desktop::instance().exitNow(1);
    } catch (const std::exception& error) {
        endWithRunError(QString::fromStdString(error.what()), this);
    }
    OpenDatabase(QStringLiteral("user.mdb"));
    try {
        SharedRecordset last(QStringLiteral("select * from [User] where LastLogin=true"));
        if (last->RecordCount() > 0) {
            ui->AeroTextBox1->setText(NullToEmpty(last->Field(QStringLiteral("username"))));
            if (last->Field(QStringLiteral("remember")).toBool()) {
                ui->AeroTextBox2->setText(NullToEmpty(last->Field(QStringLiteral("password"))));
                ui->AeroCheckBox1->setChecked(true);
            }
        }
    } catch (const db::DbError& error) {
        endWithRunError(error.description(), this);
    }
    g_CharsPerSms.store(70);
}

void FormLogin::showStatus(const QString& text)
{
    // A status that arrives after the offer was decided would bring back a stale text.
    if (!m_updateHandled)
        ui->Label3->setText(text);
}

void FormLogin::writeUpdateConfig(const QString& username)
{
    WriteUpdateUrl(QStringLiteral("http://") + http::supportHost() + QStringLiteral("/update.php?username=") +
                   username);
}

void FormLogin::Timer2_Timer()
{
    if (!g_UpdateChecked.load())
        return;
    m_timer2->stop();
    m_updateHandled = true;
    // The check is over: its "正在检查更新...." must not stand under the question.
    ui->Label3->clear();
    // Plain text order, as the updater compares: "1.0.10" is not newer than "1.0.9".
    if (QString::compare(g_RemoteVersion.get(), g_VersionText, Qt::CaseSensitive) > 0) {
        const Desktop::Answer answer =
            MsgBox(QStringLiteral("系统检测到升级，现在立刻升级吗？"), QStringLiteral("升级确认"),
                   Desktop::Icon::Question, Desktop::Buttons::YesNo, this);
        if (answer == Desktop::Answer::Yes)
            Desktop::instance().startProgram(ProgramFile(QStringLiteral("update")));
        ShutDownAndExit(0);
    }
}

void FormLogin::AeroButton1_Click()
{
    if (!allowLogin()) {
        MsgBox(QStringLiteral("请先等待程序检查更新完再登录！"), QStringLiteral("正在检查更新"),
               Desktop::Icon::Information, Desktop::Buttons::Ok, this);
        return;
    }
    const QString user = ui->AeroTextBox1->text();
    const QString password = ui->AeroTextBox2->text();
    if (user.trimmed().isEmpty()) {
        MsgBox(QStringLiteral("请输入用户名！"), QStringLiteral("提示"), Desktop::Icon::Exclamation,
               Desktop::Buttons::Ok, this);
        ui->AeroTextBox1->setFocus();
        return;
    }
    if (password.trimmed().isEmpty()) {
        MsgBox(QStringLiteral("请输入密码！"), QStringLiteral("提示"), Desktop::Icon::Exclamation, Desktop::Buttons::Ok,
               this);
        ui->AeroTextBox2->setFocus();
        return;
    }
    if (const QString refusal = userNameRefusal(user); !refusal.isEmpty()) {
        MsgBox(refusal, QStringLiteral("提示"), Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        ui->AeroTextBox1->setFocus();
        return;
    }
    writeUpdateConfig(UrlEncodeAnsi(user.trimmed()));

    try {
        const bool offline = ui->AeroCheckBox2->isChecked();
        g_Online = !offline;
        if (!(offline ? verifyOffline(user, password) : verifyOnline(user, password)))
            return;
        g_UserName = user;
        g_Password = password;
        SaveLoginUser(user, password);
    } catch (const db::DbError& error) {
        if (error.number() == db::ErrReadOnly || error.number() == db::ErrDiskFull)
            MsgBox(QStringLiteral("无法写入数据，请检查是否有权限写入当前程序路径！"), QStringLiteral("写入失败"),
                   Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        else
            MsgBox(error.description(), kRunErrorTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        return;
    } catch (const HelperError& error) {
        MsgBox(error.description(), kRunErrorTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        return;
    } catch (const std::exception& error) {
        MsgBox(QString::fromStdString(error.what()), kRunErrorTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok,
               this);
        return;
    }
    // Outside the handlers above: the main window reports its own load failures and ends.
    openMainWindow();
}

bool FormLogin::verifyOffline(const QString& user, const QString& password)
{
    SharedRecordset rs(QStringLiteral("select * from [User] where ") + userWhere(user));
    if (rs->RecordCount() == 0) {
        MsgBox(QStringLiteral("本地验证用户名错误！"), QStringLiteral("验证失败"), Desktop::Icon::Exclamation,
               Desktop::Buttons::Ok, this);
        return false;
    }
    if (NullToEmpty(rs->Field(QStringLiteral("password"))) != password) {
        MsgBox(QStringLiteral("本地密码验证错误！"), QStringLiteral("验证失败"), Desktop::Icon::Exclamation,
               Desktop::Buttons::Ok, this);
        return false;
    }
    return true;
}

bool FormLogin::verifyOnline(const QString& user, const QString& password)
{
    // Login trims what it is given; the globals keep the texts as typed.
    QString loginUser = user;
    QString loginPassword = password;
    if (m_client->Login(loginUser, loginPassword))
        return true;
    MsgBox(m_client->ErrMsg, QStringLiteral("登陆失败"), Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
    return false;
}

void FormLogin::SaveLoginUser(const QString& user, const QString& password)
{
    // Rows are stored under the trimmed name, so that is the name to find and to keep: looking
    // up the name as typed would add a second row for " a " and then clear the marks of both.
    const QString name = user.trimmed();
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [User] where ") + userWhere(name), SharedConnection(),
            db::LockType::Optimistic);
    if (rs.RecordCount() == 0)
        rs.AddNew();
    rs.SetField(QStringLiteral("username"), name);
    rs.SetField(QStringLiteral("password"), password.trimmed());
    rs.SetField(QStringLiteral("LastLogin"), 1);
    rs.SetField(QStringLiteral("remember"), ui->AeroCheckBox1->isChecked() ? 1 : 0);
    rs.Update();
    rs.Close();
    SharedConnection().execute(QStringLiteral("update [User] set remember=false,LastLogin=false where username<>'") +
                               SqlQuote(name) + QLatin1Char('\''));
}

void FormLogin::openMainWindow()
{
    // The dialog is done: no offer may come up once the main window is open.
    m_timer2->stop();
    m_updateHandled = true;
    auto* form = new Form1();
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    m_client.reset();
    close();
}

bool FormLogin::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == ui->AeroTextBox1) {
                ui->AeroTextBox2->setFocus();
                return true;
            }
            if (watched == ui->AeroTextBox2) {
                AeroButton1_Click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
