#pragma once

#include <QDomDocument>
#include <QRecursiveMutex>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace http {
class Session;
}

// Client of the SMS platform's HTTP interface. Every operation posts one form-encoded
// request, blocks until the reply (or a time-out) and reports its outcome as a bool plus,
// on failure, a text in ErrMsg. No failure escapes an operation.
//
// One object may be shared by two threads (the main window and the white-list worker):
// every operation holds the object's lock for its whole request. The object's requests share
// one kept-alive connection.
class SmsCtrl
{
public:
    SmsCtrl();
    ~SmsCtrl();

    // Properties, readable and writable.
    QString username;
    QString password;
    QString ErrMsg;
    qint32 Balance = 0;
    QString SmsID;
    QString ReturnSmsID;
    qint32 MobileCount = 0;

    bool SendMessage(QString& Message, QString& PhoneNumbers, const QVariant& sendtime);
    // After a SendMessage that returned false: the request may have reached the platform and
    // been charged (it left, and no reply says what became of it). False after a refusal by
    // the platform and after a request that never left.
    bool sendUnconfirmed() const { return m_sendUnconfirmed; }
    bool GetBalance();
    bool ChangePassword(QString& oldpass, QString& newpass);
    bool Login(QString& user, QString& pass);
    // stopRequested, when given, is polled while the request runs; true ends it as a failure.
    bool addWhite(const QVariant& mobile, const std::function<bool()>& stopRequested = {});

    // Percent-encodes the trimmed text as UTF-8; the text comes back trimmed.
    static QString UrlEncodeUtf8(QString& text);
    // The text of the result-code table for a reply code.
    static QString ResultCodeText(const QString& code);

    // "http://" + platform host + ":3000/index.php?"
    static QString baseUrl();

    // Lock for callers that read or write properties while another thread may use the object.
    QRecursiveMutex& mutex() { return m_mutex; }

private:
    void SetErrorMessage(const QString& code);

    QRecursiveMutex m_mutex;
    bool m_sendUnconfirmed = false;
    // One connection for all requests of this object, kept alive between them.
    std::unique_ptr<http::Session> m_http;
    std::unique_ptr<QDomDocument> m_xml; // made on the first XML reply, kept for later ones
};
