#include "SandboxServer.h"

#include "CodePage.h"
#include "PublicFunction.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <httplib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

namespace {

constexpr int kMaxNumbersPerSend = 1000;

const char kPublicPage[] = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>公告</title></head>"
                           "<body><h3>平台公告</h3><p>欢迎使用 Quorvel 短信平台（本地测试环境）。</p></body></html>";
const char kWeatherPage[] = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>天气</title></head>"
                            "<body><p>北京 晴 12℃～25℃</p></body></html>";
const char kServicePage[] = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>在线客服</title></head>"
                            "<body><h3>在线客服</h3><p>客服热线：400-000-0000（工作日 9:00～18:00）</p></body></html>";

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray loginReply(int code, qint64 balance = 0, int charsPerSms = 0)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><result><errorcode>" + number(code) + "</errorcode>";
    if (code == 1)
        xml += "<balance>" + number(balance) + "</balance><smsNum>" + number(charsPerSms) + "</smsNum>";
    return xml + "</result>";
}

QByteArray sendReply(int code, const QString& smsId = QString())
{
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sendresult><errorcode>" + number(code) + "</errorcode>";
    if (code == 1)
        xml += "<SMSID>" + smsId.toUtf8() + "</SMSID>";
    return xml + "</sendresult>";
}

bool isValidMobile(const QString& text)
{
    if (text.size() != 11 || !text.startsWith(QLatin1Char('1')))
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

QByteArray decodeComponent(QByteArray text)
{
    text.replace('+', ' ');
    return QByteArray::fromPercentEncoding(text);
}

QString packageName(const QByteArray& path)
{
    static const QByteArray prefix = "/update/";
    return QString::fromUtf8(path.mid(prefix.size()));
}

// The server's threads wait on a kept-alive connection until its client closes it or the
// keep-alive time runs out. A stop must not wait for that: shut down every socket of this
// process whose own end is the server's port (the listening one is closed already).
void endKeptAliveConnections(int port)
{
    QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const int fd = name.toInt(&numeric);
        if (!numeric)
            continue;
        sockaddr_storage address{};
        socklen_t length = sizeof(address);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            continue;
        int localPort = -1;
        if (address.ss_family == AF_INET)
            localPort = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
        else if (address.ss_family == AF_INET6)
            localPort = ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
        if (localPort == port)
            ::shutdown(fd, SHUT_RDWR);
    }
}

bool isLoopback(const QString& host)
{
    return host == QLatin1String("localhost") || host == QLatin1String("::1") || host.startsWith(QLatin1String("127."));
}

// The library's own choice is SO_REUSEPORT alone: a restart then fails while connections of the
// previous run wait in TIME-WAIT, and a second sandbox on a busy port is let in to share it.
// SO_REUSEADDR gives the restart and refuses the second one.
void reuseAddress(socket_t sock)
{
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

// The web panels ask for it beside every page; the program's envelope answers.
QByteArray favicon()
{
    QFile file(QStringLiteral(":/sandbox/favicon.png"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

struct SandboxServer::Impl
{
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    std::atomic<bool> finished{false};
};

SandboxServer::SandboxServer() : m_impl(std::make_unique<Impl>())
{
    // The icon lives in a static library: its resources are registered by hand.
    Q_INIT_RESOURCE(sandbox);
    m_accounts.insert(QStringLiteral("demo"), Account{QStringLiteral("demo"), QStringLiteral("demo123"), 100000, 70});
    m_keywords = {QStringLiteral("代开发票"), QStringLiteral("赌博"), QStringLiteral("六合彩")};
}

SandboxServer::~SandboxServer()
{
    stop();
}

int SandboxServer::start(int port, const QString& host)
{
    stop();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listenError.clear();
    }
    if (!isLoopback(host)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listenError = QStringLiteral("only loopback addresses are allowed");
        return 0;
    }
    auto server = std::make_unique<httplib::Server>();
    server->set_socket_options(reuseAddress);
    const auto serveBody = [this](const httplib::Request& req, httplib::Response& res, const std::string& bodyText) {
        const Reply reply =
            handle(QByteArray::fromStdString(req.method), QByteArray::fromStdString(req.target),
                   QByteArray::fromStdString(bodyText), QByteArray::fromStdString(req.get_header_value("Content-Type")),
                   QByteArray::fromStdString(req.get_header_value("Content-Length")), req.remote_port);
        res.status = reply.status;
        if (!reply.location.isEmpty())
            res.set_header("Location", reply.location.toStdString());
        const std::string type = reply.contentType.toStdString();
        auto body = std::make_shared<std::string>(reply.body.toStdString());
        if (reply.drop) {
            // Announce the whole body, send half of it, then hang up.
            res.set_content_provider(body->size() + 16, type, [body](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 0 && !body->empty())
                    sink.write(body->data(), body->size() / 2);
                return false;
            });
        } else if (reply.chunked) {
            res.set_chunked_content_provider(type, [body](size_t, httplib::DataSink& sink) {
                sink.write(body->data(), body->size());
                sink.done();
                return true;
            });
        } else {
            res.set_content(*body, type);
        }
    };
    server->Get(".*",
                [serveBody](const httplib::Request& req, httplib::Response& res) { serveBody(req, res, req.body); });
    // The library refuses form bodies over 8 KiB unless the handler reads the body itself, and a
    // send of 1000 numbers is about 14 KiB.
    server->Post(
        ".*", [serveBody](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
            std::string bodyText;
            reader([&bodyText](const char* data, size_t length) {
                bodyText.append(data, length);
                return true;
            });
            serveBody(req, res, bodyText);
        });
    // Connections stay open for a client that keeps them, as the platform's do; an idle one is
    // closed soon, so that abandoned clients do not hold the server's threads.
    server->set_keep_alive_max_count(100000);
    server->set_keep_alive_timeout(2);
    // Header and body go out in separate writes; without this a kept-alive connection waits
    // for the client's delayed acknowledgement on every reply.
    server->set_tcp_nodelay(true);

    const std::string hostText = host.toStdString();
    int bound = 0;
    // The library closes the failed socket and returns; errno still holds what socket(), bind()
    // or listen() said.
    errno = 0;
    if (port == 0)
        bound = server->bind_to_any_port(hostText);
    else if (server->bind_to_port(hostText, port))
        bound = port;
    if (bound <= 0) {
        const int error = errno;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listenError = error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                   : QStringLiteral("the address cannot be resolved");
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
        m_port = bound;
        m_host = host;
    }
    httplib::Server* raw = server.get();
    m_impl->server = std::move(server);
    m_impl->finished = false;
    m_impl->thread = std::thread([raw, impl = m_impl.get()] {
        raw->listen_after_bind();
        impl->finished = true;
    });
    // A stop() before the accept loop runs would be lost, so start() returns once it runs.
    while (!raw->is_running() && !m_impl->finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return bound;
}

void SandboxServer::stop()
{
    if (!m_impl->server)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_impl->server->stop();
    endKeptAliveConnections(m_port);
    if (m_impl->thread.joinable())
        m_impl->thread.join();
    m_impl->server.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_port = 0;
}

int SandboxServer::port() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port;
}

QString SandboxServer::listenError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_listenError;
}

QString SandboxServer::authority() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString host = m_host.contains(QLatin1Char(':')) ? QLatin1Char('[') + m_host + QLatin1Char(']') : m_host;
    return host + QLatin1Char(':') + QString::number(m_port);
}

void SandboxServer::addAccount(const Account& account)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_accounts.insert(account.name, account);
}

std::optional<SandboxServer::Account> SandboxServer::account(const QString& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_accounts.constFind(name);
    if (it == m_accounts.constEnd())
        return std::nullopt;
    return *it;
}

void SandboxServer::setBalance(const QString& name, qint64 balance)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_accounts.find(name);
    if (it != m_accounts.end())
        it->balance = balance;
}

void SandboxServer::setLatestVersion(const QString& version, const QString& packageUrl)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_latestVersion = version;
    m_packageUrl = packageUrl;
    m_updateReply.reset();
}

QString SandboxServer::latestVersion() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_latestVersion;
}

void SandboxServer::setUpdateReply(const QByteArray& raw)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_updateReply = raw;
}

void SandboxServer::setKeywords(const QStringList& words)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keywords = words;
}

QStringList SandboxServer::keywords() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_keywords;
}

void SandboxServer::setPackage(const QString& fileName, const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packages.insert(fileName, bytes);
}

void SandboxServer::setPackageChunked(bool chunked)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packageChunked = chunked;
}

void SandboxServer::injectFault(const QString& op, const Fault& fault, int times)
{
    if (times == 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.append(PendingFault{op, fault, times < 0 ? -1 : times});
}

void SandboxServer::scriptReply(const QString& op, const QByteArray& raw, int times)
{
    Fault fault;
    fault.reply = raw;
    injectFault(op, fault, times);
}

void SandboxServer::setDelay(const QString& op, int delayMs, int times)
{
    Fault fault;
    fault.delayMs = delayMs;
    injectFault(op, fault, times);
}

void SandboxServer::holdReply(const QString& op, int delayMs, int times)
{
    Fault fault;
    fault.delayAfterMs = delayMs;
    injectFault(op, fault, times);
}

void SandboxServer::dropConnection(const QString& op, int times)
{
    Fault fault;
    fault.drop = true;
    injectFault(op, fault, times);
}

void SandboxServer::setHttpStatus(const QString& op, int status, int times)
{
    Fault fault;
    fault.status = status;
    injectFault(op, fault, times);
}

void SandboxServer::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

void SandboxServer::setTrafficLog(std::function<void(const QByteArray&)> log)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trafficLog = std::move(log);
}

int SandboxServer::connectionCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QSet<int> ports;
    for (const RequestRecord& request : m_requests)
        ports.insert(request.clientPort);
    return static_cast<int>(ports.size());
}

void SandboxServer::logTraffic(const QString& op, const Form& form, const Reply& reply)
{
    std::function<void(const QByteArray&)> log;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        log = m_trafficLog;
    }
    if (!log)
        return;
    // The platform's code: the errorcode of an XML answer, a plain number as it is, else the status.
    QByteArray code;
    const qsizetype open = reply.body.indexOf("<errorcode>");
    const qsizetype close = reply.body.indexOf("</errorcode>");
    if (reply.status != 200)
        code = "HTTP" + number(reply.status);
    else if (open >= 0 && close > open)
        code = reply.body.mid(open + 11, close - open - 11);
    else if (reply.body.size() <= 16)
        code = reply.body.trimmed();
    else
        code = "-";
    const QString mobiles = form.value(QStringLiteral("mobiles"), form.value(QStringLiteral("mobile")));
    const auto numbers = mobiles.split(QLatin1Char(';'), Qt::SkipEmptyParts).size();
    const QString user = form.value(QStringLiteral("username"));
    log(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toUtf8() + " op=" +
        op.toUtf8() + " user=" + (user.isEmpty() ? QByteArray("-") : user.toUtf8()) + " numbers=" + number(numbers) +
        " length=" + number(form.value(QStringLiteral("content")).size()) + " code=" + code);
}

int SandboxServer::requestCount(const QString& op) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int count = 0;
    for (const RequestRecord& record : m_requests) {
        if (record.op == op)
            ++count;
    }
    return count;
}

QList<SandboxServer::RequestRecord> SandboxServer::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::optional<SandboxServer::RequestRecord> SandboxServer::lastRequest(const QString& op) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_requests.crbegin(); it != m_requests.crend(); ++it) {
        if (it->op == op)
            return *it;
    }
    return std::nullopt;
}

QList<SandboxServer::SendRecord> SandboxServer::sends() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sends;
}

QStringList SandboxServer::whiteList() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_whiteList;
}

void SandboxServer::clearRecords()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
    m_sends.clear();
    m_whiteList.clear();
    m_faults.clear();
}

QList<std::pair<QString, QString>> SandboxServer::parseForm(const QByteArray& text)
{
    QList<std::pair<QString, QString>> fields;
    for (const QByteArray& part : text.split('&')) {
        if (part.isEmpty())
            continue;
        const qsizetype eq = part.indexOf('=');
        const QByteArray key = eq < 0 ? part : part.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : part.mid(eq + 1);
        fields.append({QString::fromUtf8(decodeComponent(key)), QString::fromUtf8(decodeComponent(value))});
    }
    return fields;
}

QString SandboxServer::opOf(const QByteArray& path, const Form& query)
{
    if (path == "/index.php")
        return query.value(QStringLiteral("op"));
    if (path == "/update.php")
        return QStringLiteral("update");
    if (path.startsWith("/keyword/"))
        return QStringLiteral("keyword");
    if (path.startsWith("/parts/") || path == "/favicon.ico")
        return QStringLiteral("parts");
    if (path.startsWith("/update/"))
        return QStringLiteral("package");
    return QString();
}

std::optional<SandboxServer::Fault> SandboxServer::takeFault(const QString& op)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        PendingFault& pending = m_faults[i];
        if (pending.op != op && pending.op != QLatin1String("*"))
            continue;
        const Fault fault = pending.fault;
        if (pending.remaining > 0 && --pending.remaining == 0)
            m_faults.removeAt(i);
        return fault;
    }
    return std::nullopt;
}

bool SandboxServer::waitInterruptible(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

SandboxServer::Reply SandboxServer::handle(const QByteArray& method, const QByteArray& target, const QByteArray& body,
                                           const QByteArray& contentType, const QByteArray& contentLength,
                                           int clientPort)
{
    const qsizetype mark = target.indexOf('?');
    const QByteArray path = QByteArray::fromPercentEncoding(mark < 0 ? target : target.left(mark));
    const QByteArray queryText = mark < 0 ? QByteArray() : target.mid(mark + 1);

    Form query;
    for (const auto& [key, value] : parseForm(queryText))
        query.insert(key, value);
    const QString op = opOf(path, query);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.append(RequestRecord{op, method, target, body, contentType, contentLength, clientPort});
    }
    Form form = query;
    for (const auto& [key, value] : parseForm(body))
        form.insert(key, value);
    const Reply reply = answer(op, path, query, form);
    logTraffic(op, form, reply);
    return reply;
}

SandboxServer::Reply SandboxServer::answer(const QString& op, const QByteArray& path, const Form& query,
                                           const Form& form)
{
    Reply reply;
    const std::optional<Fault> fault = takeFault(op);
    if (fault && fault->delayMs > 0 && !waitInterruptible(fault->delayMs)) {
        reply.status = 503;
        return reply;
    }
    if (fault && !fault->redirectTo.isEmpty()) {
        reply.status = 302;
        reply.location = fault->redirectTo;
        reply.contentType = "text/html; charset=utf-8";
        return reply;
    }
    if (fault && fault->status > 0) {
        reply.status = fault->status;
        reply.contentType = "text/html; charset=utf-8";
        reply.body = "<html><body>error " + number(fault->status) + "</body></html>";
        return reply;
    }
    if (fault && fault->reply) {
        reply.contentType = "text/plain";
        reply.body = *fault->reply;
        reply.drop = fault->drop;
        return reply;
    }

    if (path == "/index.php" && query.value(QStringLiteral("action")) == QLatin1String("interface")) {
        reply = platformReply(op, form);
    } else {
        reply = supportReply(op, path);
    }
    if (fault)
        reply.drop = reply.drop || fault->drop;
    if (fault && fault->delayAfterMs > 0)
        waitInterruptible(fault->delayAfterMs);
    return reply;
}

SandboxServer::Reply SandboxServer::platformReply(const QString& op, const Form& form)
{
    Reply reply;
    reply.contentType = "text/html; charset=utf-8";
    if (op == QLatin1String("login"))
        reply.body = login(form);
    else if (op == QLatin1String("getbalance"))
        reply.body = getBalance(form);
    else if (op == QLatin1String("sendmess"))
        reply.body = sendMessage(form);
    else if (op == QLatin1String("changepassword"))
        reply.body = changePassword(form);
    else if (op == QLatin1String("putwhitelist"))
        reply.body = putWhiteList(form);
    else
        reply.body = "-100";
    return reply;
}

SandboxServer::Reply SandboxServer::supportReply(const QString& op, const QByteArray& path)
{
    Reply reply;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (op == QLatin1String("update")) {
        reply.contentType = "text/plain; charset=gbk";
        if (m_updateReply) {
            reply.body = *m_updateReply;
        } else {
            const QString url =
                m_packageUrl.isEmpty()
                    ? QStringLiteral("http://%1:%2/update/%3.pag").arg(m_host).arg(m_port).arg(m_latestVersion)
                    : m_packageUrl;
            reply.body = codepage::encode(m_latestVersion + QStringLiteral("\r\n") + url);
        }
    } else if (path == "/keyword/2011.txt") {
        reply.contentType = "text/plain; charset=gbk";
        reply.body = codepage::encode(m_keywords.join(QStringLiteral("\r\n")));
    } else if (path == "/parts/public.html" || path == "/parts/newWeather.html" || path == "/parts/service.html") {
        reply.contentType = "text/html; charset=utf-8";
        reply.body = path == "/parts/public.html"       ? QByteArray(kPublicPage)
                     : path == "/parts/newWeather.html" ? QByteArray(kWeatherPage)
                                                        : QByteArray(kServicePage);
    } else if (path == "/favicon.ico") {
        reply.contentType = "image/png";
        reply.body = favicon();
    } else if (op == QLatin1String("package") && m_packages.contains(packageName(path))) {
        reply.contentType = "application/octet-stream";
        reply.body = m_packages.value(packageName(path));
        reply.chunked = m_packageChunked;
    } else {
        reply.status = 404;
        reply.contentType = "text/html; charset=utf-8";
        reply.body = "<html><body><h1>404 Not Found</h1></body></html>";
    }
    return reply;
}

int SandboxServer::authenticate(const QString& name, const QString& password) const
{
    if (name.isEmpty() || password.isEmpty())
        return -1;
    const auto it = m_accounts.constFind(name);
    if (it == m_accounts.constEnd() || it->password != password)
        return -2;
    return it->locked ? -3 : 1;
}

QByteArray SandboxServer::login(const Form& form)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString name = form.value(QStringLiteral("username"));
    const int code = authenticate(name, form.value(QStringLiteral("userpwd")));
    if (code != 1)
        return loginReply(code);
    const Account& account = m_accounts[name];
    return loginReply(1, account.balance, account.charsPerSms);
}

QByteArray SandboxServer::getBalance(const Form& form)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString name = form.value(QStringLiteral("username"));
    const int code = authenticate(name, form.value(QStringLiteral("userpwd")));
    return code == 1 ? number(m_accounts[name].balance) : number(code);
}

QByteArray SandboxServer::sendMessage(const Form& form)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString name = form.value(QStringLiteral("username"));
    const int code = authenticate(name, form.value(QStringLiteral("userpwd")));
    if (code != 1)
        return sendReply(code);
    const QString content = form.value(QStringLiteral("content"));
    if (content.isEmpty())
        return sendReply(-7);
    const QStringList given = form.value(QStringLiteral("mobiles")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (given.size() > kMaxNumbersPerSend)
        return sendReply(-12);
    QStringList numbers;
    for (const QString& entry : given) {
        const QString trimmed = entry.trimmed();
        if (isValidMobile(trimmed))
            numbers.append(trimmed);
    }
    if (numbers.isEmpty())
        return sendReply(-9);
    const QString logid = form.value(QStringLiteral("logid"));
    if (!logid.isEmpty() && m_issuedSmsIds.value(logid) != name)
        return sendReply(-10);
    for (const QString& word : m_keywords) {
        if (!word.isEmpty() && content.contains(word))
            return sendReply(-11);
    }
    Account& account = m_accounts[name];
    int parts = 0;
    try {
        parts = CountSmsParts(static_cast<int>(content.size()), account.charsPerSms);
    } catch (const std::exception&) {
        return sendReply(-100);
    }
    const qint64 cost = static_cast<qint64>(numbers.size()) * parts;
    if (account.balance < cost)
        return sendReply(-8);
    account.balance -= cost;
    const QString smsId = QString::number(m_nextSmsId++);
    m_issuedSmsIds.insert(smsId, name);
    m_sends.append(SendRecord{name, content, numbers, logid, form.value(QStringLiteral("mobilecount")),
                              form.value(QStringLiteral("sendtime")), smsId, parts});
    return sendReply(1, smsId);
}

QByteArray SandboxServer::changePassword(const Form& form)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString name = form.value(QStringLiteral("username"));
    const QString newPassword = form.value(QStringLiteral("newpwd"));
    const int code = authenticate(name, form.value(QStringLiteral("userpwd")));
    if (code != 1)
        return number(code);
    if (newPassword.isEmpty())
        return number(-1);
    m_accounts[name].password = newPassword;
    return "1";
}

QByteArray SandboxServer::putWhiteList(const Form& form)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int code = authenticate(form.value(QStringLiteral("username")), form.value(QStringLiteral("userpwd")));
    if (code != 1)
        return number(code);
    m_whiteList.append(form.value(QStringLiteral("mobile")));
    return "1";
}
