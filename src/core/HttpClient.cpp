#include "HttpClient.h"

#include <QLoggingCategory>
#include <QUrl>
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

Q_LOGGING_CATEGORY(lcHttp, "quorvel.http")

std::atomic<long> g_connectOverrideMs{0};
std::atomic<long> g_totalOverrideMs{0};

void initCurlOnce()
{
    // curl_global_init is not thread-safe itself; the workers may make the first request.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink
{
    QByteArray* body;
    qsizetype limit;
    bool overflow = false;
};

size_t appendBody(char* data, size_t size, size_t count, void* userdata)
{
    auto* sink = static_cast<Sink*>(userdata);
    const size_t bytes = size * count;
    if (static_cast<qsizetype>(bytes) > sink->limit - sink->body->size()) {
        sink->overflow = true;
        return 0; // libcurl ends the transfer with a write error
    }
    sink->body->append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

int checkStop(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* stopRequested = static_cast<const std::function<bool()>*>(userdata);
    return (*stopRequested)() ? 1 : 0; // non-zero: libcurl ends with CURLE_ABORTED_BY_CALLBACK
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

// Scheme, host and path only: queries and bodies of the platform carry the password.
QString forLog(const QString& url)
{
    return QUrl(url).toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo | QUrl::RemoveFragment);
}

Response failed(const QString& url, Failure failure, const QString& reason, bool requestSent = false)
{
    Response response;
    response.error = reason;
    response.failure = failure;
    response.requestSent = requestSent;
    qCWarning(lcHttp).noquote() << "request to" << forLog(url) << "failed:" << reason
                                << (requestSent ? "(after the request was sent)" : "");
    return response;
}

Failure failureOf(CURLcode code)
{
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return Failure::NotAllowed;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Failure::HostNotFound;
    case CURLE_COULDNT_CONNECT:
        return Failure::CouldNotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return Failure::TimedOut;
    case CURLE_FILESIZE_EXCEEDED:
        return Failure::ReplyTooLarge;
    case CURLE_ABORTED_BY_CALLBACK:
        return Failure::Cancelled;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return Failure::ConnectionLost;
    default:
        return Failure::Other;
    }
}

Response perform(CURL* curl, const QString& url, const QByteArray* postBody, const Options& options)
{
    const QString scheme = QUrl(url).scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return failed(url, Failure::NotAllowed, QStringLiteral("only http and https addresses are allowed"));
    if (options.stopRequested && options.stopRequested())
        return failed(url, Failure::Cancelled, QStringLiteral("stopped before the request"));

    Response response;
    char errorBuffer[CURL_ERROR_SIZE] = {0};
    const QByteArray urlBytes = url.toUtf8();

    curl_slist* rawHeaders = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    // A GET carries the length header explicitly; for a POST libcurl derives it from the bytes.
    if (!postBody)
        rawHeaders = curl_slist_append(rawHeaders, "Content-Length: 0");
    // No "Expect: 100-continue" round trip for large send requests.
    rawHeaders = curl_slist_append(rawHeaders, "Expect:");
    std::unique_ptr<curl_slist, SlistDeleter> headers(rawHeaders);
    Sink sink{&response.body, options.maxReplyBytes};

    // A reset forgets the previous request's options but keeps the handle's open connection.
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, effective(options.connectTimeoutMs, g_connectOverrideMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, effective(options.totalTimeoutMs, g_totalOverrideMs));
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxReplyBytes));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    if (options.stopRequested) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &checkStop);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &options.stopRequested);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
    if (postBody) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postBody->constData());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode code = curl_easy_perform(curl);
    // The header list and the error buffer die with this call: the handle must not keep them.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    if (code != CURLE_OK) {
        // libcurl counts the request bytes it has written for this transfer (a retry on a fresh
        // connection included): none means the server cannot have seen the request.
        long requestBytes = 0;
        curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &requestBytes);
        const bool sent = requestBytes > 0;
        if (sink.overflow || code == CURLE_FILESIZE_EXCEEDED)
            return failed(url, Failure::ReplyTooLarge, QStringLiteral("reply larger than %1 bytes").arg(options.maxReplyBytes),
                          sent);
        return failed(url, failureOf(code),
                      errorBuffer[0] ? QString::fromUtf8(errorBuffer) : QString::fromUtf8(curl_easy_strerror(code)), sent);
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<int>(status);
    response.ok = true;
    response.requestSent = true;
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

struct Session::Impl
{
    std::unique_ptr<CURL, CurlDeleter> handle;
};

Session::Session() : m_impl(std::make_unique<Impl>())
{
    initCurlOnce();
    m_impl->handle.reset(curl_easy_init());
}

Session::~Session() = default;

Response Session::post(const QString& url, const QByteArray& body, const Options& options)
{
    if (!m_impl->handle)
        return failed(url, Failure::Other, QStringLiteral("curl_easy_init failed"));
    return perform(m_impl->handle.get(), url, &body, options);
}

Response Session::get(const QString& url, const Options& options)
{
    if (!m_impl->handle)
        return failed(url, Failure::Other, QStringLiteral("curl_easy_init failed"));
    return perform(m_impl->handle.get(), url, nullptr, options);
}

Response post(const QString& url, const QByteArray& body, const Options& options)
{
    return Session().post(url, body, options);
}

Response get(const QString& url, const Options& options)
{
    return Session().get(url, options);
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
