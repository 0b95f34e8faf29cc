#include "Form1.h"
#include "ui_Form1.h"

#include "DataStore.h"
#include "Desktop.h"
#include "ErrorBoxes.h"
#include "FileSize.h"
#include "HttpClient.h"
#include "Package.h"
#include "PackageDownload.h"
#include "VersionReply.h"
#include "PublicFunction.h"
#include "UpdateConfig.h"
#include "db/DbError.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QTimer>
#include <climits>

// The picture lives in this static library's resources, which are registered by hand, outside
// any namespace, as Qt asks.
static void initUpdaterResources()
{
    Q_INIT_RESOURCE(updater);
}

namespace {

constexpr int kQueryDelayMs = 1000;
const QString kLineBreak = QStringLiteral("\r\n");

const QString kFailTitle = QStringLiteral("升级失败");
const QString kNoticeTitle = QStringLiteral("升级提示");
const QString kConnectTitle = QStringLiteral("连接失败");
const QString kOpenFileTitle = QStringLiteral("打开文件出错");
const QString kConnectFailed = QStringLiteral("连接平台服务器失败,请检查网络！");

// Cases the old program never reported; without them it could not go on either.
const QString kNoIni = QStringLiteral("找不到升级配置文件update.ini，请先运行Quorvel并登录一次后再升级！");
const QString kNoAddress = QStringLiteral("升级配置文件update.ini中没有升级地址！");
const QString kNoVersion = QStringLiteral("data.mdb中没有当前版本号，无法检查升级！");
const QString kShortReply = QStringLiteral("升级服务器的回复不完整，无法升级！");
const QString kBadVersion = QStringLiteral("升级服务器返回的版本号不能用作文件名，无法升级！");
const QString kNoInstaller = QStringLiteral("无法启动安装程序：");
const QString kWriteFailed = QStringLiteral("写入文件出错：");
const QString kSkipped = QStringLiteral("升级包中以下文件名不安全，已跳过：");

QColor versionColour(bool newer)
{
    return newer ? QColor(255, 0, 0) : QColor(0, 0, 0);
}

bool isSuccessStatus(int status)
{
    return status >= 200 && status < 300;
}

void yieldToWindow()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void showDatabaseError(const db::DbError& error, QWidget* parent)
{
    MsgBox(ErrorBoxText(error.number(), error.description()), kOpenFileTitle, Desktop::Icon::Information,
           Desktop::Buttons::Ok, parent);
}

} // namespace

namespace updater {

Form1::Form1(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::UpdaterForm1>())
{
    initUpdaterResources();
    ui->setupUi(this);
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kQueryDelayMs);
    connect(m_timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &Form1::AeroButton2_Click);
    connect(ui->AeroButton3, &QPushButton::clicked, this, &Form1::AeroButton3_Click);
}

Form1::~Form1() = default;

QString Form1::updateFolder()
{
    // Not "update": that is the name of this program's own file in the same folder, and a
    // folder cannot share it here.
    return ProgramFile(QStringLiteral("updates"));
}

QString Form1::packageFile(const QString& version)
{
    return updateFolder() + QLatin1Char('/') + version + QStringLiteral(".pag");
}

QString Form1::installerFile()
{
    return updateFolder() + QLatin1Char('/') + kInstallerName;
}

void Form1::Form_Load()
{
    QDir().mkpath(updateFolder());
    GetVirtualPath();
    bool found = false;
    VerURL = ReadVerUrl(&found);
    if (!found || VerURL.isEmpty()) {
        MsgBox(found ? kNoAddress : kNoIni, kFailTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        Desktop::instance().exitNow(1);
    }
    if (!readInstalledVersion())
        Desktop::instance().exitNow(1);
    m_timer1->start();
}

bool Form1::readInstalledVersion()
{
    QVariant value;
    try {
        // A connection of the updater's own: the program's shared one belongs to Quorvel.
        auto conn = db::Connection::open(ProgramFile(QStringLiteral("data.mdb")), QByteArray(kDatabasePassword));
        value = conn->scalar(QStringLiteral("select [value] from [config] where key='Verson'"));
    } catch (const db::DbError& error) {
        showDatabaseError(error, this);
        return false;
    }
    if (value.isNull()) {
        MsgBox(kNoVersion, kFailTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        return false;
    }
    ui->Label3->setText(value.toString());
    return true;
}

void Form1::GetVirtualPath()
{
    // The two last parts of the program folder, as the system names a virtualised copy of it.
    QStringList parts = QDir::cleanPath(ProgramFolder()).split(QLatin1Char('/'));
    const QString last = parts.isEmpty() ? QString() : parts.takeLast().remove(QLatin1Char(':'));
    const QString beforeLast = parts.isEmpty() ? QString() : parts.takeLast().remove(QLatin1Char(':'));
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    VirtualPath = QDir::cleanPath(dataHome + QStringLiteral("/VirtualStore/") + beforeLast + QLatin1Char('/') + last);
}

QString Form1::ReadVerUrl(bool* found)
{
    return ReadUpdateUrl(found, VirtualPath);
}

bool Form1::GetVerData(const QString& url)
{
    const http::Response response = http::get(url);
    // An error page is no answer: its first line would pass for a version.
    if (!response.ok || !isSuccessStatus(response.status)) {
        ErrMsg = kConnectFailed;
        return false;
    }
    try {
        VerData = SplitVersionReply(response.body);
    } catch (const HelperError&) {
        ErrMsg = kConnectFailed;
        return false;
    }
    return true;
}

void Form1::finish(const QString& text, const QString& title)
{
    MsgBox(text, title, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
    close();
}

void Form1::Timer1_Timer()
{
    m_timer1->stop();
    if (!GetVerData(VerURL)) {
        finish(ErrMsg, kConnectTitle);
        return;
    }
    if (VerData.size() < 2) {
        finish(kShortReply, kConnectTitle);
        return;
    }
    ui->Label4->setText(VerData.at(0));
    // Plain text order by character code, so "1.0.0.10" is not after "1.0.0.9".
    const bool newer = QString::compare(ui->Label4->text(), ui->Label3->text(), Qt::CaseSensitive) > 0;
    QPalette palette = ui->Label4->palette();
    palette.setColor(QPalette::WindowText, versionColour(newer));
    ui->Label4->setPalette(palette);
    if (!newer) {
        ui->Label6->setText(QStringLiteral("当前是最新版本，不需要升级！"));
        return;
    }
    // The version names the package file; a name with folders in it would write elsewhere.
    if (!isSafeFileName(VerData.at(0) + QStringLiteral(".pag"))) {
        finish(kBadVersion, kFailTitle);
        return;
    }
    ui->AeroButton2->setEnabled(true);
    ui->Label6->setText(QStringLiteral("可以升级"));
}

void Form1::showProgress(qint64 written, qint64 total)
{
    ui->Label6->setText(QStringLiteral("已下载") + FormatFileSize(written) + QStringLiteral(" / 共") +
                        FormatFileSize(total));
    ui->Label6->repaint();
    QProgressBar* bar = ui->AeroProgressBar1;
    // Without a total the bar shows that something is moving; past the total it stays full.
    if (total > 0) {
        if (written > total)
            bar->setMaximum(int(written / m_barUnit));
        bar->setValue(int(written / m_barUnit));
    }
    bar->repaint();
}

qint64 Form1::DownloadFile(const QString& surl, const QString& strFile)
{
    ui->Label6->setText(QStringLiteral("正在连接服务器......"));
    ui->Label6->repaint();
    QProgressBar* bar = ui->AeroProgressBar1;
    const auto opened = [this, bar](qint64 total) {
        m_barUnit = total > INT_MAX ? total / INT_MAX + 1 : 1;
        bar->setRange(0, total > 0 ? int(total / m_barUnit) : 0);
        bar->setValue(0);
    };
    const auto step = [this](qint64 written, qint64 total) {
        showProgress(written, total);
        Q_EMIT downloadProgressed(written, total);
        // Here a click on "关闭" is handled; it stops the download after this step.
        yieldToWindow();
        return !DownloadCancelled;
    };
    const DownloadResult result = download(surl, strFile, opened, step);
    if (!result.opened) {
        ui->Label6->setText(QStringLiteral("打开URL错误"));
        return 0;
    }
    // A transfer cut short leaves a fragment that may still open as a package and be unpacked
    // in part: it counts as no download at all. The bar stays where the bytes stopped.
    if (!result.complete && !result.stopped) {
        qWarning().noquote() << "package download incomplete:" << result.error;
        ui->Label6->setText(QStringLiteral("下载中断，已下载") + FormatFileSize(result.written));
        return 0;
    }
    bar->setRange(0, result.written > 0 ? int(result.written / m_barUnit) : 1);
    bar->setValue(int(result.written / m_barUnit));
    ui->Label6->setText(QStringLiteral("共下载 ") + FormatFileSize(result.written));
    return result.written;
}

void Form1::AeroButton2_Click()
{
    if (VerData.size() < 2)
        return;
    ui->AeroButton2->setEnabled(false);
    const qint64 size = DownloadFile(VerData.at(1), packageFile(VerData.at(0)));
    // Closed during the download: the partial file stays, nothing is unpacked or started.
    if (DownloadCancelled)
        return;
    if (size == 0) {
        MsgBox(QStringLiteral("下载升级包失败！"), kFailTitle, Desktop::Icon::Exclamation, Desktop::Buttons::Ok, this);
        ui->AeroButton2->setEnabled(true);
        return;
    }

    UnpackResult unpacked;
    try {
        auto package = openPackage(packageFile(VerData.at(0)));
        unpacked = unpackPackage(*package, updateFolder(), [this] {
            yieldToWindow();
            return !DownloadCancelled;
        });
    } catch (const db::DbError& error) {
        showDatabaseError(error, this);
        Desktop::instance().exitNow(1);
    } catch (const WriteError& error) {
        finish(kWriteFailed + QDir::toNativeSeparators(error.path()) + kLineBreak + error.reason(), kFailTitle);
        return;
    }
    if (unpacked.stopped || DownloadCancelled)
        return;
    if (!unpacked.skipped.isEmpty()) {
        QStringList names;
        for (const QString& name : unpacked.skipped)
            names.append(name.isEmpty() ? QStringLiteral("（空文件名）") : name);
        // The upgrade goes on without them: a note, not a failure.
        MsgBox(kSkipped + kLineBreak + names.join(kLineBreak), kNoticeTitle, Desktop::Icon::Exclamation,
               Desktop::Buttons::Ok, this);
    }
    if (!Desktop::instance().startProgramIn(installerFile(), updateFolder())) {
        finish(kNoInstaller + QDir::toNativeSeparators(installerFile()), kFailTitle);
        return;
    }
    close();
}

void Form1::AeroButton3_Click()
{
    DownloadCancelled = true;
    close();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // The close box ends a download as "关闭" does.
    DownloadCancelled = true;
    QWidget::closeEvent(event);
}

} // namespace updater
