#include "KeywordWorker.h"

#include "GlobalState.h"
#include "HttpClient.h"
#include "TextDownload.h"

void KeywordWorker(const MultiThread::StopToken& stop)
{
    // The exit waits for this worker: a stop ends the request at once rather than at its time-out.
    const QString text =
        DownloadText(QStringLiteral("http://") + http::supportHost() + QStringLiteral("/keyword/2011.txt"),
                     [&stop] { return stop.stopRequested(); });
    g_SensitiveWords.set(text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n")));
}
