#include "SettingsPage.h"
#include "ui_SettingsPage.h"

#include "Backup.h"
#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "GlobalState.h"
#include "HintBox.h"
#include "ProgramLook.h"
#include "PublicFunction.h"
#include "Shutdown.h"
#include "SmsCtrl.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <QEvent>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMutexLocker>
#include <algorithm>
#include <exception>

namespace {

const QString kHintTitle = QStringLiteral("提示");
const QString kBackupFilter = QStringLiteral("Brenlo备份文件(*.qbk)|*.qbk");
const QString kBirthdayKey = QStringLiteral("BirthdayNum");
const QString kSignatureKey = QStringLiteral("EmpSign");
constexpr int kDefaultBirthdayDays = 7;
constexpr int kMaxBirthdayDays = 365;

db::Connection& sharedConnection()
{
    return SharedConnection();
}

QString configSql(const QString& key)
{
    return QStringLiteral("select * from [config] where key='%1'").arg(SqlQuote(key));
}

// Writes a config row, adding it when the database lacks it (a signature or a reminder window
// that silently went nowhere would be reported as saved).
void saveConfigValue(const QString& key, const QString& value)
{
    db::Recordset rs;
    rs.Open(configSql(key), sharedConnection(), db::LockType::Optimistic);
    if (rs.IsEOF()) {
        rs.AddNew();
        rs.SetField(QStringLiteral("key"), key);
    }
    rs.SetField(QStringLiteral("value"), value);
    rs.Update();
    rs.Close();
}

// The whole number at the start of a text, after leading blanks; 0 when it starts with none.
// Values past the reminder limit are capped just above it, so that a long run of digits
// cannot overflow and is still refused.
int leadingNumber(const QString& text)
{
    int value = 0;
    int i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
        value = std::min(value * 10 + (text.at(i).unicode() - '0'), kMaxBirthdayDays + 1);
    return value;
}

// Version texts compare as plain text, code unit by code unit: "1.0.10" is older than "1.0.9".
bool isNewerVersion(const QString& remote, const QString& installed)
{
    return QString::compare(remote, installed, Qt::CaseSensitive) > 0;
}

// A name typed without an extension gets the backup extension, as the filter suggests.
QString withBackupSuffix(const QString& path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".qbk") : path;
}

bool isDigitsOnly(const QString& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

bool isReminderKey(const QKeyEvent& key)
{
    if (key.key() == Qt::Key_Backspace)
        return true;
    if (key.matches(QKeySequence::Paste))
        return true;
    const QString text = key.text();
    // Keys that type nothing (arrows, Home, Delete, Tab) move or edit as usual.
    if (text.isEmpty())
        return true;
    return text.size() == 1 && isDigitsOnly(text);
}

} // namespace

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::SettingsPage>())
{
    ui->setupUi(this);
    ui->Text3->installEventFilter(this);
    connect(ui->AeroButton27, &QPushButton::clicked, this, &SettingsPage::AeroButton27_Click);
    connect(ui->AeroButton28, &QPushButton::clicked, this, &SettingsPage::AeroButton28_Click);
    connect(ui->AeroButton29, &QPushButton::clicked, this, &SettingsPage::AeroButton29_Click);
    connect(ui->AeroButton30, &QPushButton::clicked, this, &SettingsPage::AeroButton30_Click);
    connect(ui->AeroButton13, &QPushButton::clicked, this, &SettingsPage::AeroButton13_Click);
    connect(ui->AeroButton9, &QPushButton::clicked, this, &SettingsPage::AeroButton9_Click);
    connect(ui->AeroButton41, &QPushButton::clicked, this, &SettingsPage::AeroButton41_Click);
}

SettingsPage::~SettingsPage() = default;

void SettingsPage::setClient(SmsCtrl* client)
{
    m_client = client;
}

void SettingsPage::LoadConfig()
{
    db::Recordset rs;
    rs.Open(configSql(kBirthdayKey), sharedConnection(), db::LockType::Optimistic);
    if (!rs.IsEOF()) {
        g_BirthdayDays = std::min(leadingNumber(NullToEmpty(rs.Field(QStringLiteral("value")))), kMaxBirthdayDays);
    } else {
        g_BirthdayDays = kDefaultBirthdayDays;
        rs.AddNew();
        rs.SetField(QStringLiteral("key"), kBirthdayKey);
        rs.SetField(QStringLiteral("value"), QString::number(kDefaultBirthdayDays));
        rs.Update();
    }
    rs.Close();

    rs.Open(configSql(kSignatureKey), sharedConnection(), db::LockType::ReadOnly);
    g_EnterpriseSign = rs.IsEOF() ? QString() : NullToEmpty(rs.Field(QStringLiteral("value")));
    rs.Close();

    ui->Label22->setText(g_VersionText);
    ui->Text9->setText(g_EnterpriseSign);
    ui->Text3->setText(QString::number(g_BirthdayDays));
}

void SettingsPage::showBalance()
{
    qint32 balance = 0;
    if (m_client) {
        QMutexLocker lock(&m_client->mutex());
        balance = m_client->Balance;
    }
    setBalanceText(balance);
}

void SettingsPage::setBalanceText(qint32 balance)
{
    const QString text = QString::number(balance) + QStringLiteral("条");
    ui->Label14->setText(text);
    Q_EMIT balanceShown(text);
}

void SettingsPage::AeroButton27_Click()
{
    if (!m_client)
        return;
    bool ok = false;
    qint32 balance = 0;
    QString error;
    {
        // The white-list worker shares the client: read the outcome of our own request.
        QMutexLocker lock(&m_client->mutex());
        ok = m_client->GetBalance();
        balance = m_client->Balance;
        error = m_client->ErrMsg;
    }
    if (ok)
        setBalanceText(balance);
    else
        MsgBox(QStringLiteral("查询错误：") + error, kProgramTitle, Desktop::Icon::None, Desktop::Buttons::Ok, this);
}

void SettingsPage::AeroButton28_Click()
{
    QString oldPassword = ui->Text6->text();
    QString newPassword = ui->Text7->text();
    const QString repeated = ui->Text8->text();
    if (oldPassword.trimmed().isEmpty())
        return ShowHint(QStringLiteral("请输入旧密码！"), this, ui->Text6);
    if (newPassword.trimmed().isEmpty())
        return ShowHint(QStringLiteral("请输入新密码！"), this, ui->Text7);
    if (repeated.trimmed().isEmpty())
        return ShowHint(QStringLiteral("请重复输入新密码！"), this, ui->Text8);
    if (newPassword != repeated)
        return ShowHint(QStringLiteral("两次输入的新密码不一致，请查证！"), this, ui->Text8);
    if (oldPassword != g_Password)
        return ShowHint(QStringLiteral("旧密码错误！"), this, ui->Text6);
    if (!m_client)
        return;

    const QString chosen = newPassword;
    bool ok = false;
    QString error;
    {
        QMutexLocker lock(&m_client->mutex());
        ok = m_client->ChangePassword(oldPassword, newPassword);
        error = m_client->ErrMsg;
        // Switch the shared client over under the same lock, so that the worker's next
        // request already signs with the new password.
        if (ok)
            m_client->password = chosen;
    }
    if (!ok) {
        MsgBox(error, QStringLiteral("修改密码失败"), Desktop::Icon::Information, Desktop::Buttons::Ok, this);
        return;
    }
    g_Password = chosen;
    ui->Text6->clear();
    ui->Text7->clear();
    ui->Text8->clear();
    MsgBox(QStringLiteral("修改密码成功！"), QStringLiteral("Quorvel"), Desktop::Icon::Information,
           Desktop::Buttons::Ok, this);
}

void SettingsPage::AeroButton29_Click()
{
    const QString signature = ui->Text9->text();
    if (!RunReported(this, [&signature] { saveConfigValue(kSignatureKey, signature); }))
        return;
    g_EnterpriseSign = signature;
    MsgBox(QStringLiteral("修改企业签名成功！"), kProgramTitle, Desktop::Icon::None, Desktop::Buttons::Ok, this);
}

void SettingsPage::AeroButton30_Click()
{
    if (!isNewerVersion(g_RemoteVersion.get(), g_VersionText)) {
        MsgBox(QStringLiteral("当前已经是最新版本！"), QStringLiteral("升级提示"), Desktop::Icon::Information,
               Desktop::Buttons::Ok, this);
        return;
    }
    const Desktop::Answer answer =
        MsgBox(QStringLiteral("系统检测到升级，现在立刻升级吗？"), QStringLiteral("升级确认"), Desktop::Icon::Question,
               Desktop::Buttons::YesNo, this);
    if (answer != Desktop::Answer::Yes)
        return;
    // Ending the program without an updater running would leave the user with nothing.
    if (!Desktop::instance().startProgram(ProgramFile(QStringLiteral("update")))) {
        MsgBox(QStringLiteral("启动升级程序失败！"), QStringLiteral("升级提示"), Desktop::Icon::Exclamation,
               Desktop::Buttons::Ok, this);
        return;
    }
    ShutDownAndExit(0);
}

void SettingsPage::AeroButton13_Click()
{
    const QString text = ui->Text3->text();
    if (text.trimmed().isEmpty()) {
        ShowHint(QStringLiteral("提醒天数不能为空！"), this);
        return;
    }
    const int days = leadingNumber(text);
    if (days > kMaxBirthdayDays) {
        ShowHint(QStringLiteral("提醒天数不能超过1年！"), this);
        return;
    }
    // What is stored is the number in effect, so a pasted "30天" is kept as 30.
    const QString stored = QString::number(days);
    if (!RunReported(this, [&stored] { saveConfigValue(kBirthdayKey, stored); }))
        return;
    g_BirthdayDays = days;
    ui->Text3->setText(stored);
    MsgBox(QStringLiteral("修改成功！"), kProgramTitle, Desktop::Icon::None, Desktop::Buttons::Ok, this);
}

void SettingsPage::AeroButton9_Click()
{
    QString target;
    for (;;) {
        target = Desktop::instance().saveFile(kBackupFilter, this);
        if (target.isEmpty())
            return; // cancelled: no message
        target = withBackupSuffix(target);
        if (!QFileInfo::exists(target))
            break;
        MsgBox(QStringLiteral("已经存在一个相同名字的文件，请更换其他名字！"), QStringLiteral("文件已存在"),
               Desktop::Icon::Information, Desktop::Buttons::Ok, this);
    }
    bool copied = false;
    if (!RunReported(this, [&copied, &target] { copied = BackupUserDatabase(target); }))
        return;
    ShowHint(copied ? QStringLiteral("备份完成") : QStringLiteral("备份失败"), this);
}

void SettingsPage::AeroButton41_Click()
{
    const QString source = Desktop::instance().openFile(kBackupFilter, this);
    // A cancelled dialog and a failed copy both end without a message.
    if (source.isEmpty())
        return;
    const RestoreOutcome outcome = RestoreUserDatabase(source);
    if (outcome == RestoreOutcome::NotABackup)
        MsgBox(kNotABackupText, kHintTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
    if (outcome != RestoreOutcome::Pending)
        return;
    ShowHint(QStringLiteral("已经恢复备份数据，重新启动程序后生效！"), this);
}

bool SettingsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Text3) {
        if (event->type() == QEvent::KeyPress && !isReminderKey(*static_cast<QKeyEvent*>(event)))
            return true;
        // Text composed by an input method is typed too: only digits get through.
        if (event->type() == QEvent::InputMethod &&
            !isDigitsOnly(static_cast<QInputMethodEvent*>(event)->commitString()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
