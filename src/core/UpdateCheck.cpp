#include "UpdateCheck.h"

#include "GlobalState.h"
#include "TextDownload.h"
#include "UpdateCheckStatus.h"
#include "UpdateConfig.h"

bool FetchLatestVersion(const std::function<bool()>& stopRequested)
{
    bool haveUrl = false;
    const QString url = ReadUpdateUrl(&haveUrl);
    if (!haveUrl || url.isEmpty())
        return false;
    const QString text = DownloadText(url, stopRequested);
    if (text.isEmpty())
        return false;
    g_RemoteVersion.set(text.split(QStringLiteral("\r\n")).first());
    return true;
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
