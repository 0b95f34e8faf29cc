#include "TextDownload.h"

#include "HttpClient.h"
#include "PublicFunction.h"

namespace {

bool isSuccessStatus(int status)
{
    return status >= 200 && status < 300;
}

} // namespace

QString DownloadText(const QString& url, const std::function<bool()>& stopRequested)
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
