#include "SmsCtrl.h"

#include "GlobalState.h"
#include "HttpClient.h"
#include "PublicFunction.h"

#include <QDomElement>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>

namespace {

const QString kConnectFailed = QStringLiteral("连接平台服务器失败,请检查网络！");
const QString kSuccess = QStringLiteral("操作成功");
const QString kUnknown = QStringLiteral("未知错误");

// Raised inside an operation for every failure that the operation reports as FAIL.
class RequestFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The platform could not be reached or answered with an error status. The user is shown the
// connection text alone; the technical reason goes to the log.
class TransportFailure : public RequestFailure
{
public:
    TransportFailure(const std::string& reason, http::Failure failure, int status, bool mayHaveArrived)
        : RequestFailure(reason), m_failure(failure), m_status(status), m_mayHaveArrived(mayHaveArrived)
    {
    }
    http::Failure failure() const { return m_failure; }
    int status() const { return m_status; }
    // The request left and no answer says what became of it: a time-out or a dropped
    // connection after sending, or a server error while it was being handled.
    bool mayHaveArrived() const { return m_mayHaveArrived; }

private:
    http::Failure m_failure;
    int m_status;
    bool m_mayHaveArrived;
};

Q_LOGGING_CATEGORY(lcPlatform, "quorvel.platform")

[[noreturn]] void fail(const QString& description)
{
    throw RequestFailure(description.toStdString());
}

QString failureText(const std::exception& e)
{
    if (const auto* helper = dynamic_cast<const HelperError*>(&e))
        return helper->description();
    return QString::fromStdString(e.what());
}

// What the user reads about a request that got no usable reply; libcurl's own English text
// stays in the log.
QString transportDescription(const TransportFailure& failure)
{
    if (failure.status() != 0)
        return QStringLiteral("服务器返回错误状态 %1").arg(failure.status());
    switch (failure.failure()) {
    case http::Failure::HostNotFound:
        return QStringLiteral("找不到服务器地址");
    case http::Failure::CouldNotConnect:
        return QStringLiteral("无法连接到服务器");
    case http::Failure::TimedOut:
        return QStringLiteral("连接超时");
    case http::Failure::ConnectionLost:
        return QStringLiteral("与服务器的连接中断");
    case http::Failure::ReplyTooLarge:
        return QStringLiteral("服务器的回复过大");
    case http::Failure::NotAllowed:
        return QStringLiteral("服务器地址无效");
    case http::Failure::Cancelled:
        return QStringLiteral("请求已取消");
    case http::Failure::None:
    case http::Failure::Other:
        break;
    }
    return QStringLiteral("网络错误");
}

// The characters of padding removed from both ends of text, and only those.
QString trimOnly(const QString& text, QStringView padding)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && padding.contains(text.at(begin)))
        ++begin;
    while (end > begin && padding.contains(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// A number reply as the platform writes it, without the blanks and line breaks around it:
// "-2" followed by CR LF is the code "-2".
QString numberReply(const QString& reply)
{
    return trimOnly(reply, u" \r\n");
}

// Posts the body and returns the decoded reply; any transport failure or non-2xx status throws.
QString postForReply(http::Session& session, const QString& query, const QString& body,
                     const http::Options& options = http::Options())
{
    const http::Response response = session.post(SmsCtrl::baseUrl() + query, body.toUtf8(), options);
    if (!response.ok) // logged by the HTTP layer
        throw TransportFailure(response.error.toStdString(), response.failure, 0, response.requestSent);
    if (response.status < 200 || response.status > 299) {
        qCWarning(lcPlatform) << "the platform answered with HTTP status" << response.status;
        // A 4xx refuses the request as such; a 5xx may come from a platform that failed after
        // acting on it, or from a gateway that gave up waiting for it.
        throw TransportFailure("HTTP " + std::to_string(response.status), http::Failure::None, response.status,
                               response.status >= 500);
    }
    return BytesToBstr(response.body);
}

// Reads a reply as a whole number, rounding fractions to the nearest and halves to even,
// as the platform's number replies have always been read. Throws when it is no number or out of range.
qint64 wholeNumber(const QString& text, qint64 minimum, qint64 maximum)
{
    bool isNumber = false;
    const double value = text.trimmed().toDouble(&isNumber);
    if (!isNumber || !std::isfinite(value))
        fail(QStringLiteral("回复不是数字: ") + text);
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0))
        rounded += 1.0;
    if (rounded < static_cast<double>(minimum) || rounded > static_cast<double>(maximum))
        fail(QStringLiteral("数字超出范围: ") + text);
    return static_cast<qint64>(rounded);
}

qint32 toLong(const QString& text)
{
    return static_cast<qint32>(
        wholeNumber(text, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

qint16 toInteger(const QString& text)
{
    return static_cast<qint16>(
        wholeNumber(text, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
}

// Text of the element at an absolute path such as "/result/balance"; throws when it is missing.
QString nodeText(const QDomDocument& document, const QString& path)
{
    const QStringList steps = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QDomElement element = document.documentElement();
    if (element.isNull() || element.tagName() != steps.value(0))
        fail(QStringLiteral("回复中没有节点 ") + path);
    for (qsizetype i = 1; i < steps.size(); ++i) {
        element = element.firstChildElement(steps.at(i));
        if (element.isNull())
            fail(QStringLiteral("回复中没有节点 ") + path);
    }
    return element.text().trimmed();
}

// A variant as it appears in the form: whole numbers without a fraction part, Null as "".
QString variantText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 9.0e15)
            return QString::number(static_cast<qint64>(number));
    }
    return value.toString();
}

void appendEscaped(QString& out, const QByteArray& utf8)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        out += QLatin1Char('%');
        out += QLatin1Char(hex[byte >> 4]);
        out += QLatin1Char(hex[byte & 0x0F]);
    }
}

bool isPlain(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

} // namespace

SmsCtrl::SmsCtrl() : m_http(std::make_unique<http::Session>()) {}
SmsCtrl::~SmsCtrl() = default;

QString SmsCtrl::baseUrl()
{
    return QStringLiteral("http://") + http::smsPlatformAuthority() + QStringLiteral("/index.php?");
}

QString SmsCtrl::UrlEncodeUtf8(QString& text)
{
    text = TrimBlanks(text);
    QString out;
    out.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isPlain(c)) {
            out += c;
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            // A pair is one character beyond U+FFFF: its four UTF-8 bytes.
            appendEscaped(out, text.mid(i, 2).toUtf8());
            ++i;
        } else if (c.isSurrogate()) {
            // A lone half has no UTF-8 form; send the replacement character rather than bytes
            // that the platform cannot decode.
            appendEscaped(out, QStringLiteral("\uFFFD").toUtf8());
        } else {
            appendEscaped(out, QString(c).toUtf8());
        }
    }
    return out;
}

QString SmsCtrl::ResultCodeText(const QString& code)
{
    // Plain text comparison, first match wins: "abc" or "2" count as success, "" and "-4" do not.
    if (QString::compare(code, QLatin1String("0"), Qt::CaseSensitive) >= 0)
        return kSuccess;
    static const struct
    {
        const char* code;
        const char* text;
    } table[] = {
        {"-1", "用户名或密码为空"}, {"-2", "用户名或者密码错误"}, {"-3", "用户名已经被锁定"},
        {"-7", "发送内容为空"},     {"-8", "余额不足"},           {"-9", "没有正确的号码"},
        {"-10", "LogId错误！"},     {"-11", "内容里有关键字"},    {"-12", "一次提交的手机号码过多！"},
        {"-100", "系统错误"},
    };
    for (const auto& row : table) {
        if (code == QLatin1String(row.code))
            return QString::fromUtf8(row.text);
    }
    return kUnknown;
}

void SmsCtrl::SetErrorMessage(const QString& code)
{
    ErrMsg = ResultCodeText(code);
}

bool SmsCtrl::SendMessage(QString& Message, QString& PhoneNumbers, const QVariant& sendtime)
{
    QMutexLocker lock(&m_mutex);
    m_sendUnconfirmed = false;
    try {
        QString user = username;
        QString pass = password;
        const QString body = QStringLiteral("username=") + UrlEncodeUtf8(user) + QStringLiteral("&userpwd=") +
                             UrlEncodeUtf8(pass) + QStringLiteral("&mobiles=") + UrlEncodeUtf8(PhoneNumbers) +
                             QStringLiteral("&content=") + UrlEncodeUtf8(Message) + QStringLiteral("&logid=") + SmsID +
                             QStringLiteral("&mobilecount=") + QString::number(MobileCount) +
                             QStringLiteral("&sendtime=") + variantText(sendtime);
        const QString reply = postForReply(*m_http, QStringLiteral("action=interface&op=sendmess"), body);
        if (!m_xml)
            m_xml = std::make_unique<QDomDocument>();
        QString reason;
        if (!m_xml->setContent(reply, &reason)) {
            ErrMsg = reason;
            return false;
        }
        const QString code = nodeText(*m_xml, QStringLiteral("/sendresult/errorcode"));
        if (code != QLatin1String("1")) {
            SetErrorMessage(code);
            return false;
        }
        ReturnSmsID = nodeText(*m_xml, QStringLiteral("/sendresult/SMSID"));
        return true;
    } catch (const TransportFailure& failure) {
        m_sendUnconfirmed = failure.mayHaveArrived();
        ErrMsg = kConnectFailed;
        return false;
    } catch (...) {
        ErrMsg = kConnectFailed;
        return false;
    }
}

bool SmsCtrl::GetBalance()
{
    QMutexLocker lock(&m_mutex);
    try {
        QString user = username;
        QString pass = password;
        const QString body = QStringLiteral("action=interface&op=getbalance&username=") + UrlEncodeUtf8(user) +
                             QStringLiteral("&userpwd=") + UrlEncodeUtf8(pass);
        const QString reply = numberReply(postForReply(*m_http, body, body));
        const qint32 value = toLong(reply);
        if (value < 0) {
            SetErrorMessage(reply);
            Balance = 0;
            return false;
        }
        Balance = value;
        return true;
    } catch (...) {
        ErrMsg = kConnectFailed;
        return false;
    }
}

bool SmsCtrl::ChangePassword(QString& oldpass, QString& newpass)
{
    QMutexLocker lock(&m_mutex);
    try {
        QString user = username;
        const QString body = QStringLiteral("username=") + UrlEncodeUtf8(user) + QStringLiteral("&userpwd=") +
                             UrlEncodeUtf8(oldpass) + QStringLiteral("&newpwd=") + UrlEncodeUtf8(newpass);
        const QString reply =
            numberReply(postForReply(*m_http, QStringLiteral("action=interface&op=changepassword&") + body, body));
        if (toInteger(reply) == 1)
            return true;
        SetErrorMessage(reply);
        return false;
    } catch (...) {
        ErrMsg = kConnectFailed;
        return false;
    }
}

bool SmsCtrl::Login(QString& user, QString& pass)
{
    QMutexLocker lock(&m_mutex);
    try {
        const QString body = QStringLiteral("action=interface&op=login&username=") + UrlEncodeUtf8(user) +
                             QStringLiteral("&userpwd=") + UrlEncodeUtf8(pass);
        const QString reply = postForReply(*m_http, body, body);
        if (!m_xml)
            m_xml = std::make_unique<QDomDocument>();
        QString reason;
        if (!m_xml->setContent(reply, &reason)) {
            ErrMsg = QStringLiteral("服务器错误: ") + reason;
            return false;
        }
        if (nodeText(*m_xml, QStringLiteral("/result/errorcode")) != QLatin1String("1")) {
            ErrMsg = QStringLiteral("帐号或者密码错误！");
            return false;
        }
        Balance = toLong(nodeText(*m_xml, QStringLiteral("/result/balance")));
        const qint16 charsPerSms = toInteger(nodeText(*m_xml, QStringLiteral("/result/smsNum")));
        // Every message-part count divides by this; a platform that sends 0 must not break the editor later.
        if (charsPerSms < 1)
            fail(QStringLiteral("每条短信字数无效: ") + QString::number(charsPerSms));
        g_CharsPerSms.store(charsPerSms);
        return true;
    } catch (const TransportFailure& failure) {
        ErrMsg = kConnectFailed + QStringLiteral("\r\n") + transportDescription(failure);
        return false;
    } catch (const std::exception& e) {
        ErrMsg = kConnectFailed + QStringLiteral("\r\n") + failureText(e);
        return false;
    } catch (...) {
        ErrMsg = kConnectFailed;
        return false;
    }
}

bool SmsCtrl::addWhite(const QVariant& mobile, const std::function<bool()>& stopRequested)
{
    QMutexLocker lock(&m_mutex);
    try {
        QString user = username;
        QString pass = password;
        const QString body = QStringLiteral("action=interface&op=putwhitelist&username=") + UrlEncodeUtf8(user) +
                             QStringLiteral("&userpwd=") + UrlEncodeUtf8(pass) + QStringLiteral("&mobile=") +
                             variantText(mobile);
        http::Options options;
        options.stopRequested = stopRequested;
        const QString reply = postForReply(*m_http, body, body, options);
        bool isNumber = false;
        const double value = reply.trimmed().toDouble(&isNumber);
        return isNumber && value == 1.0;
    } catch (...) {
        // An upload reports nothing but its result; the worker tries the number again on its next pass.
        return false;
    }
}
