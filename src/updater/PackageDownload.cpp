#include "PackageDownload.h"

#include <QFile>
#include <curl/curl.h>
#include <memory>

namespace updater {

namespace {

// A stalled server must not hold the download forever; a slow one may take as long as it needs.
constexpr long kConnectTimeoutMs = 10000;
constexpr long kLowSpeedBytesPerSecond = 1;
constexpr long kLowSpeedSeconds = 30;
constexpr long kMaxRedirects = 5;

struct CurlDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Transfer
{
    QString targetFile;
    const OpenedCallback* opened = nullptr;
    const StepCallback* step = nullptr;
    QByteArray headers; // of the reply being received; a redirect starts a new block
    bool headersDone = false;
    qint64 total = 0;
    QFile file;
    bool fileFailed = false;
    DownloadResult result;

    // The moment the server has answered: the old file goes, a new one is made.
    bool openTarget()
    {
        if (file.isOpen())
            return true;
        if (QFile::exists(targetFile) && !QFile::remove(targetFile)) {
            result.error = QStringLiteral("无法删除旧文件 ") + targetFile;
            return false;
        }
        file.setFileName(targetFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            result.error = file.errorString();
            return false;
        }
        return true;
    }

    void headersComplete()
    {
        headersDone = true;
        total = GetContentLength(headers);
        if (*opened)
            (*opened)(total);
    }
};

size_t onHeader(char* data, size_t size, size_t count, void* userdata)
{
    auto* t = static_cast<Transfer*>(userdata);
    const size_t bytes = size * count;
    const QByteArray line(data, static_cast<qsizetype>(bytes));
    if (line.startsWith("HTTP/")) {
        t->headers.clear();
        t->headersDone = false;
    }
    t->headers.append(line);
    return bytes;
}

size_t onBody(char* data, size_t size, size_t count, void* userdata)
{
    auto* t = static_cast<Transfer*>(userdata);
    const size_t bytes = size * count;
    if (!t->headersDone)
        t->headersComplete();
    if (!t->openTarget()) {
        t->fileFailed = true;
        return 0;
    }
    if (t->file.write(data, static_cast<qint64>(bytes)) != static_cast<qint64>(bytes)) {
        t->result.error = t->file.errorString();
        t->fileFailed = true;
        return 0;
    }
    // Each step reaches the disk before the next read, as the progress text promises.
    t->file.flush();
    t->result.written += static_cast<qint64>(bytes);
    if (*t->step && !(*t->step)(t->result.written, t->total)) {
        t->result.stopped = true;
        return 0; // libcurl ends the transfer with CURLE_WRITE_ERROR
    }
    return bytes;
}

void initCurlOnce()
{
    static const bool initialised = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    Q_UNUSED(initialised);
}

} // namespace

qint64 GetContentLength(const QByteArray& rawHeaders)
{
    for (const QByteArray& line : rawHeaders.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        // Header names are case-insensitive on the wire (HTTP/2 sends them in lower case).
        if (line.left(colon).trimmed().compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        const qint64 value = line.mid(colon + 1).trimmed().toLongLong(&ok);
        return ok && value > 0 ? value : 0;
    }
    return 0;
}

DownloadResult download(const QString& url, const QString& targetFile, const OpenedCallback& opened,
                        const StepCallback& step)
{
    initCurlOnce();
    Transfer t;
    t.targetFile = targetFile;
    t.opened = &opened;
    t.step = &step;
    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle) {
        t.result.error = QStringLiteral("curl_easy_init failed");
        return t.result;
    }
    CURL* curl = handle.get();
    char errorBuffer[CURL_ERROR_SIZE] = {0};
    const QByteArray urlBytes = url.toUtf8();
    // Always from the server, never from a cache on the way.
    std::unique_ptr<curl_slist, SlistDeleter> headers(
        curl_slist_append(curl_slist_append(nullptr, "Cache-Control: no-cache"), "Pragma: no-cache"));

    curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quorvel Update");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    // Only the web: an address from the update reply must not reach local files or other schemes.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    t.result.opened = status > 0;
    if (t.result.opened && !t.headersDone)
        t.headersComplete();
    // An answer without a body still replaces the old file with an empty one.
    if (t.result.opened && !t.fileFailed && !t.openTarget())
        t.fileFailed = true;
    if (code != CURLE_OK && !t.result.stopped && t.result.error.isEmpty())
        t.result.error = errorBuffer[0] ? QString::fromUtf8(errorBuffer) : QString::fromUtf8(curl_easy_strerror(code));
    t.result.complete = code == CURLE_OK && !t.fileFailed && !t.result.stopped &&
                        (t.total == 0 || t.result.written == t.total);
    if (code == CURLE_OK && !t.result.complete && t.result.error.isEmpty())
        t.result.error = QStringLiteral("%1 of %2 announced bytes arrived").arg(t.result.written).arg(t.total);
    t.file.close();
    return t.result;
}

} // namespace updater
