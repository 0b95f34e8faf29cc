#include "HttpClient.h"

#include <QtGlobal>
#include <atomic>
#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace http {

namespace {

const char kDefaultSmsHost[] = "sms.quorvel.cn";
const char kDefaultSupportHost[] = "www.quorvel.cn";
const char kSmsPort[] = "3000";
constexpr long kMaxRedirects = 5;

std::atomic<long> g_connectOverrideMs{0};
std::atomic<long> g_totalOverrideMs{0};

void initCurlOnce()
{
    // curl_global_init is not thread-safe itself; the workers may make the first request.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t appendBody(char* data, size_t size, size_t count, void* userdata)
{
    auto* body = static_cast<QByteArray*>(userdata);
    const size_t bytes = size * count;
    body->append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

struct CurlDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

long effective(long requested, const std::atomic<long>& override)
{
    const long value = override.load();
    return value > 0 ? value : requested;
}

QString envValue(const char* name)
{
    QString value = qEnvironmentVariable(name).trimmed();
    if (value.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        value.remove(0, 7);
    while (value.endsWith(QLatin1Char('/')))
        value.chop(1);
    return value;
}

bool hasPort(const QString& authority)
{
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        return close >= 0 && authority.mid(close + 1).startsWith(QLatin1Char(':'));
    }
    return authority.count(QLatin1Char(':')) == 1;
}

Response perform(const QString& url, const QByteArray* postBody, const Options& options)
{
    Response response;
    initCurlOnce();
    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle) {
        response.error = QStringLiteral("curl_easy_init failed");
        return response;
    }
    CURL* curl = handle.get();
    char errorBuffer[CURL_ERROR_SIZE] = {0};
    const QByteArray urlBytes = url.toUtf8();

    curl_slist* rawHeaders = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    // A GET carries the length header explicitly; for a POST libcurl derives it from the bytes.
    if (!postBody)
        rawHeaders = curl_slist_append(rawHeaders, "Content-Length: 0");
    // No "Expect: 100-continue" round trip for large send requests.
    rawHeaders = curl_slist_append(rawHeaders, "Expect:");
    std::unique_ptr<curl_slist, SlistDeleter> headers(rawHeaders);

    curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, effective(options.connectTimeoutMs, g_connectOverrideMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, effective(options.totalTimeoutMs, g_totalOverrideMs));
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
    if (postBody) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postBody->constData());
    }

    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        response.body.clear();
        response.error = errorBuffer[0] ? QString::fromUtf8(errorBuffer) : QString::fromUtf8(curl_easy_strerror(code));
        return response;
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<int>(status);
    response.ok = true;
    return response;
}

} // namespace

void setTimeoutOverride(long connectTimeoutMs, long totalTimeoutMs)
{
    g_connectOverrideMs.store(connectTimeoutMs);
    g_totalOverrideMs.store(totalTimeoutMs);
}

void clearTimeoutOverride()
{
    setTimeoutOverride(0, 0);
}

Response post(const QString& url, const QByteArray& body, const Options& options)
{
    return perform(url, &body, options);
}

Response get(const QString& url, const Options& options)
{
    return perform(url, nullptr, options);
}

QString smsPlatformAuthority()
{
    const QString value = envValue("QUORVEL_SMS_HOST");
    if (value.isEmpty())
        return QLatin1String(kDefaultSmsHost) + QLatin1Char(':') + QLatin1String(kSmsPort);
    if (hasPort(value))
        return value;
    // A bare IPv6 address needs brackets before a port can follow it.
    const QString host = value.contains(QLatin1Char(':')) && !value.startsWith(QLatin1Char('['))
                             ? QLatin1Char('[') + value + QLatin1Char(']')
                             : value;
    return host + QLatin1Char(':') + QLatin1String(kSmsPort);
}

QString supportHost()
{
    const QString value = envValue("QUORVEL_SUPPORT_HOST");
    return value.isEmpty() ? QString::fromLatin1(kDefaultSupportHost) : value;
}

} // namespace http
