// The platform's replies, as the program reads them: each input is served by a loopback HTTP
// server to one of the operations of SmsCtrl, which decodes it, reads its XML or its number and
// turns the result code into a text. The first byte picks the operation and the status line.
#include "FuzzSupport.h"
#include "SmsCtrl.h"

#include <QVariant>
#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::mutex g_replyMutex;
QByteArray g_reply;
int g_status = 200;

bool sendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Reads one request (headers and a Content-Length body) and answers with the current reply.
void serveOne(int fd)
{
    std::string request;
    char buffer[4096];
    size_t headerEnd = std::string::npos;
    size_t bodyLength = 0;
    while (true) {
        if (headerEnd == std::string::npos) {
            headerEnd = request.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                std::string lower = request.substr(0, headerEnd);
                for (char& c : lower)
                    c = char(std::tolower(static_cast<unsigned char>(c)));
                const size_t at = lower.find("content-length:");
                if (at != std::string::npos)
                    bodyLength = std::strtoul(lower.c_str() + at + 15, nullptr, 10);
            }
        }
        if (headerEnd != std::string::npos && request.size() >= headerEnd + 4 + bodyLength)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, size_t(n));
    }
    QByteArray body;
    int status;
    {
        std::lock_guard<std::mutex> lock(g_replyMutex);
        body = g_reply;
        status = g_status;
    }
    const std::string head = "HTTP/1.1 " + std::to_string(status) +
                             " X\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
    if (sendAll(fd, head.data(), head.size()))
        sendAll(fd, body.constData(), size_t(body.size()));
}

void startServer()
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        std::abort();
    const std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    ::setenv("QUORVEL_SMS_HOST", host.c_str(), 1);
    for (const char* proxy : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        ::unsetenv(proxy);
    std::thread([listener] {
        while (true) {
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            serveOne(fd);
            ::close(fd);
        }
    }).detach();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::once_flag started;
    std::call_once(started, startServer);
    // One object for every input, as the program keeps one for its whole session.
    static SmsCtrl* sms = new SmsCtrl;
    if (size == 0)
        return 0;
    const uint8_t selector = data[0];
    {
        std::lock_guard<std::mutex> lock(g_replyMutex);
        g_reply = fuzz::bytes(data + 1, size - 1);
        g_status = (selector & 0x80) ? 500 : 200;
    }
    sms->username = QStringLiteral("user");
    sms->password = QStringLiteral("pass");
    sms->SmsID = QStringLiteral("7");
    sms->MobileCount = 1;
    QString message = QStringLiteral("你好");
    QString numbers = QStringLiteral("13800138000");
    switch (selector % 5) {
    case 0: {
        const bool ok = sms->SendMessage(message, numbers, QVariant());
        if (!ok && sms->ErrMsg.isEmpty())
            std::abort(); // a failure always says why
        break;
    }
    case 1: {
        const bool ok = sms->GetBalance();
        // A negative reply is an error code, never a balance.
        if (ok && sms->Balance < 0)
            std::abort();
        break;
    }
    case 2: {
        QString oldPass = QStringLiteral("a");
        QString newPass = QStringLiteral("b");
        sms->ChangePassword(oldPass, newPass);
        break;
    }
    case 3: {
        QString user = QStringLiteral("user");
        QString pass = QStringLiteral("pass");
        sms->Login(user, pass);
        break;
    }
    default:
        sms->addWhite(QVariant(13800138000.0));
        break;
    }
    SmsCtrl::ResultCodeText(QString::fromLatin1(fuzz::bytes(data + 1, size - 1)));
    return 0;
}
