#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// A local stand-in for the SMS platform and the support host, served from one port on the
// loopback interface. Tests run it in-process; quorvel-sandbox wraps it as a program.
//
// Every request is filed under an operation name, used for counting and fault injection:
// the SMS platform's "login", "getbalance", "sendmess", "changepassword", "putwhitelist"
// (the op parameter of /index.php), and the support host's "update" (/update.php),
// "keyword" (/keyword/...), "parts" (/parts/... and the pages' /favicon.ico) and "package"
// (/update/...).
// Every public member is thread-safe.
class SandboxServer final
{
public:
    struct Account
    {
        QString name;
        QString password;
        qint64 balance = 0;
        int charsPerSms = 70;
        bool locked = false;
    };

    struct SendRecord
    {
        QString username;
        QString content;     // decoded text
        QStringList numbers; // valid numbers, in order
        QString logid;
        QString mobilecount;
        QString sendtime;
        QString smsId;
        int parts = 0;
    };

    struct RequestRecord
    {
        QString op;
        QByteArray method;
        QByteArray target; // path and query as sent
        QByteArray body;   // raw bytes as sent
        QByteArray contentType;
        QByteArray contentLength; // the header's text; empty when absent
        int clientPort = 0;       // the client's end of the connection that carried it
    };

    // What to do instead of (or before) the normal reply.
    struct Fault
    {
        std::optional<QByteArray> reply; // raw body sent with status 200
        int delayMs = 0;                 // wait before answering
        int delayAfterMs = 0;            // act on the request, then wait this long before answering
        bool drop = false;               // send headers, then close the connection mid-body
        int status = 0;                  // answer with this HTTP status and a short body
        QByteArray redirectTo;           // answer "302 Found" with this Location
    };

    SandboxServer();
    ~SandboxServer(); // stop()
    SandboxServer(const SandboxServer&) = delete;
    SandboxServer& operator=(const SandboxServer&) = delete;

    // Listens on host (loopback only) and port (0: a free one) in a thread of its own.
    // Returns the port, or 0 when it could not listen.
    int start(int port = 0, const QString& host = QStringLiteral("127.0.0.1"));
    void stop();
    int port() const;
    // "127.0.0.1:<port>"
    QString authority() const;
    // Why the last start() could not listen (the system's words); empty after a start that could.
    QString listenError() const;

    // Accounts. The built-in one is demo / demo123 with 100000 messages and 70 characters each.
    void addAccount(const Account& account); // replaces one of the same name
    std::optional<Account> account(const QString& name) const;
    void setBalance(const QString& name, qint64 balance);

    // Support host content.
    void setLatestVersion(const QString& version,
                          const QString& packageUrl = QString()); // "": /update/<version>.pag here
    QString latestVersion() const;
    void setUpdateReply(const QByteArray& raw); // replaces the two-line reply altogether
    void setKeywords(const QStringList& words);
    QStringList keywords() const;
    void setPackage(const QString& fileName, const QByteArray& bytes); // served as /update/<fileName>
    void setPackageChunked(bool chunked);                              // no Content-Length for packages

    // Fault injection: the next `times` requests of op (-1: all of them until cleared; op "*": any op).
    void injectFault(const QString& op, const Fault& fault, int times = -1);
    void scriptReply(const QString& op, const QByteArray& raw, int times = -1);
    void setDelay(const QString& op, int delayMs, int times = -1);
    // The request is acted on at once (a send is charged) and its reply held back.
    void holdReply(const QString& op, int delayMs, int times = -1);
    void dropConnection(const QString& op, int times = -1);
    void setHttpStatus(const QString& op, int status, int times = -1);
    void clearFaults();

    // One line per answered request: time, operation, user, number count, message length and
    // the answer's code. quorvel-sandbox prints them on standard output.
    void setTrafficLog(std::function<void(const QByteArray& line)> log);

    // What arrived.
    int requestCount(const QString& op) const;
    // TCP connections that carried the requests so far (kept-alive ones count once).
    int connectionCount() const;
    QList<RequestRecord> requests() const;
    std::optional<RequestRecord> lastRequest(const QString& op) const;
    QList<SendRecord> sends() const;
    QStringList whiteList() const;
    // Forgets requests, sends, white list and faults; accounts and content stay.
    void clearRecords();

    // The form fields of a query or body, '+' as blank and percent escapes read as UTF-8.
    static QList<std::pair<QString, QString>> parseForm(const QByteArray& text);

    struct Reply
    {
        int status = 200;
        QByteArray contentType;
        QByteArray body;
        bool chunked = false;
        bool drop = false;
        QByteArray location; // a redirect's target
    };
    // Answers one request without the network (the HTTP layer calls this).
    Reply handle(const QByteArray& method, const QByteArray& target, const QByteArray& body,
                 const QByteArray& contentType, const QByteArray& contentLength, int clientPort = 0);

private:
    struct PendingFault
    {
        QString op;
        Fault fault;
        int remaining; // -1: until cleared
    };
    using Form = QHash<QString, QString>; // body fields win over query fields

    static QString opOf(const QByteArray& path, const Form& query);
    std::optional<Fault> takeFault(const QString& op);
    bool waitInterruptible(int ms);
    void logTraffic(const QString& op, const Form& form, const Reply& reply);

    Reply answer(const QString& op, const QByteArray& path, const Form& query, const Form& form);
    Reply platformReply(const QString& op, const Form& form);
    Reply supportReply(const QString& op, const QByteArray& path);
    QByteArray login(const Form& form);
    QByteArray getBalance(const Form& form);
    QByteArray sendMessage(const Form& form);
    QByteArray changePassword(const Form& form);
    QByteArray putWhiteList(const Form& form);
    // 1 when the account exists and the password matches, otherwise the platform's code.
    int authenticate(const QString& name, const QString& password) const;

    struct Impl;
    std::unique_ptr<Impl> m_impl;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    QHash<QString, Account> m_accounts;
    QString m_latestVersion = QStringLiteral("1.0.0.1");
    QString m_packageUrl;
    std::optional<QByteArray> m_updateReply;
    QStringList m_keywords;
    QHash<QString, QByteArray> m_packages;
    bool m_packageChunked = false;
    QList<PendingFault> m_faults;
    QList<RequestRecord> m_requests;
    std::function<void(const QByteArray&)> m_trafficLog;
    QList<SendRecord> m_sends;
    QStringList m_whiteList;
    QHash<QString, QString> m_issuedSmsIds; // SMSID -> user
    qint64 m_nextSmsId = 10001;
    int m_port = 0;
    QString m_host;
    QString m_listenError;
};
