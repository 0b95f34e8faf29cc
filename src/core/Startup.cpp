#include "Startup.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "HttpClient.h"
#include "PublicFunction.h"
#include "UpdateConfig.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <stdexcept>
#include <thread>

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

// The descriptions the old runtime gave for these two failures; users and support know them.
const QString kNoCurrentRecord =
    QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。");
const QString kInvalidNull = QStringLiteral("无效使用 Null");

bool isSuccessStatus(int status)
{
    return status >= 200 && status < 300;
}

// Body of a GET as text; empty when the request failed, the host refused it, the bytes do not
// decode or the caller stopped it. An error page must never pass for a version or a word list.
QString fetchText(const QString& url, const std::function<bool()>& stopRequested)
{
    http::Options options;
    options.stopRequested = stopRequested;
    const http::Response response = http::get(url, options);
    if (!response.ok || !isSuccessStatus(response.status))
        return QString();
    try {
        return BytesToBstr(response.body);
    } catch (const HelperError&) {
        return QString();
    }
}

} // namespace

UpdateCheckStatus& UpdateCheckStatus::instance()
{
    static UpdateCheckStatus status;
    return status;
}

void UpdateCheckStatus::setStatus(const QString& text)
{
    Q_EMIT statusChanged(text);
}

void InitSystem()
{
    g_UpdateChecked.store(false);
    g_RemoteVersion.set(QStringLiteral("0"));
    ReadLocalVersion();
    MultiThread& worker = g_Threads(1);
    // A check left over from an earlier dialog ends on its own; wait for it so the slot is free.
    worker.Terminal();
    worker.Add(UpdateCheckWorker, 0);
    worker.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void ReadLocalVersion()
{
    OpenDatabaseOrThrow(QStringLiteral("data.mdb"));
    // Past the open, every failure is a fault of the file's content, not of opening it:
    // the caller reports those differently.
    QVariant value;
    bool found = false;
    try {
        g_Rs->Open(QStringLiteral("select * from [config] where key='Verson'"), SharedConnection(),
                   db::LockType::ReadOnly);
        found = !g_Rs->IsEOF();
        if (found)
            value = g_Rs->Field(QStringLiteral("value"));
        g_Rs->Close();
    } catch (const db::DbError& error) {
        throw std::runtime_error(error.description().toStdString());
    }
    if (!found)
        throw std::runtime_error(kNoCurrentRecord.toStdString());
    if (value.isNull())
        throw std::runtime_error(kInvalidNull.toStdString());
    g_VersionText = value.toString();
}

bool FetchLatestVersion(const std::function<bool()>& stopRequested)
{
    bool haveUrl = false;
    const QString url = ReadUpdateUrl(&haveUrl);
    if (!haveUrl || url.isEmpty())
        return false;
    const QString text = fetchText(url, stopRequested);
    if (text.isEmpty())
        return false;
    g_RemoteVersion.set(text.split(kLineBreak).first());
    return true;
}

void AddPreference(const QString& number)
{
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [Preference] where MobilePhone='") + SqlQuote(number) + QLatin1Char('\''),
            SharedConnection(), db::LockType::Optimistic);
    if (rs.RecordCount() == 0) {
        rs.AddNew();
        rs.SetField(QStringLiteral("MobilePhone"), number);
        rs.SetField(QStringLiteral("isUpload"), 0);
        rs.Update();
    }
    rs.Close();
}

void UpdateCheckWorker(const MultiThread::StopToken& stop)
{
    UpdateCheckStatus& status = UpdateCheckStatus::instance();
    status.setStatus(QStringLiteral("正在检查更新...."));
    // A login dialog closed while a silent host holds the query must not keep the process alive.
    const bool checked = FetchLatestVersion([&stop] { return stop.stopRequested(); });
    g_UpdateChecked.store(checked);
    if (!checked)
        status.setStatus(QStringLiteral("检查更新失败！"));
    status.setAllowLogin(true);
}

void KeywordWorker(const MultiThread::StopToken& stop)
{
    // The exit waits for this worker: a stop ends the request at once rather than at its time-out.
    const QString text = fetchText(QStringLiteral("http://") + http::supportHost() + QStringLiteral("/keyword/2011.txt"),
                                   [&stop] { return stop.stopRequested(); });
    g_SensitiveWords.set(text.isEmpty() ? QStringList() : text.split(kLineBreak));
}
