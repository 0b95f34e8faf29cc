#include "SandboxServer.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

const char kUsage[] =
    "Usage: quorvel-sandbox [--listen HOST:PORT] [--accounts FILE] [--keywords FILE]\n"
    "                       [--latest VERSION] [--package FILE]\n"
    "\n"
    "A local stand-in for the SMS platform (/index.php?action=interface&op=...) and the\n"
    "support host (/update.php, /keyword/2011.txt, /parts/*.html, /update/*), on loopback only.\n"
    "\n"
    "  --listen HOST:PORT  where to listen (default 127.0.0.1:18080; HOST must be a loopback address)\n"
    "  --accounts FILE     accounts, UTF-8, one per line: NAME PASSWORD BALANCE [CHARS [locked]]\n"
    "                      separated by blanks or tabs; CHARS is the characters per message (default 70);\n"
    "                      lines starting with # and empty lines are skipped. The accounts are added to\n"
    "                      the built-in one (demo / demo123, balance 100000, 70 characters).\n"
    "  --keywords FILE     sensitive words, UTF-8, one per line (replaces the built-in list)\n"
    "  --latest VERSION    the latest version that the update query names (default 1.0.0.1)\n"
    "  --package FILE      bytes served as /update/VERSION.pag\n"
    "\n"
    "Prints \"listening on HOST:PORT\" when ready; stops on SIGTERM or SIGINT.\n";

int usageError(const QString& message)
{
    std::fprintf(stderr, "quorvel-sandbox: %s\n\n%s", message.toLocal8Bit().constData(), kUsage);
    return 2;
}

bool readLines(const QString& path, QStringList* lines, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        lines->append(line);
    }
    return true;
}

bool loadAccounts(const QString& path, SandboxServer& server, QString* error)
{
    QStringList lines;
    if (!readLines(path, &lines, error))
        return false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("[ \\t]+")));
        SandboxServer::Account account;
        bool balanceOk = fields.size() >= 3;
        bool charsOk = true;
        if (balanceOk) {
            account.name = fields.at(0);
            account.password = fields.at(1);
            account.balance = fields.at(2).toLongLong(&balanceOk);
        }
        if (fields.size() >= 4)
            account.charsPerSms = fields.at(3).toInt(&charsOk);
        account.locked = fields.size() >= 5 && fields.at(4) == QLatin1String("locked");
        if (!balanceOk || !charsOk || account.charsPerSms < 1 || fields.size() > 5) {
            *error = QStringLiteral("%1:%2: expected NAME PASSWORD BALANCE [CHARS [locked]]").arg(path).arg(i + 1);
            return false;
        }
        server.addAccount(account);
    }
    return true;
}

bool splitListen(const QString& text, QString* host, int* port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    *host = text.left(colon);
    if (host->startsWith(QLatin1Char('[')) && host->endsWith(QLatin1Char(']')))
        *host = host->mid(1, host->size() - 2);
    bool ok = false;
    *port = text.mid(colon + 1).toInt(&ok);
    return ok && *port > 0 && *port < 65536;
}

} // namespace

int main(int argc, char** argv)
{
    QString host = QStringLiteral("127.0.0.1");
    int port = 18080;
    QString accountsFile;
    QString keywordsFile;
    QString latestVersion;
    QString packageFile;

    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc)
            return usageError(QStringLiteral("unknown option or missing value: %1").arg(arg));
        const QString value = QString::fromLocal8Bit(argv[++i]);
        if (arg == QLatin1String("--listen")) {
            if (!splitListen(value, &host, &port))
                return usageError(QStringLiteral("--listen wants HOST:PORT, got %1").arg(value));
        } else if (arg == QLatin1String("--accounts")) {
            accountsFile = value;
        } else if (arg == QLatin1String("--keywords")) {
            keywordsFile = value;
        } else if (arg == QLatin1String("--latest")) {
            latestVersion = value;
        } else if (arg == QLatin1String("--package")) {
            packageFile = value;
        } else {
            return usageError(QStringLiteral("unknown option: %1").arg(arg));
        }
    }

    SandboxServer server;
    QString error;
    if (!accountsFile.isEmpty() && !loadAccounts(accountsFile, server, &error))
        return usageError(error);
    if (!keywordsFile.isEmpty()) {
        QStringList words;
        if (!readLines(keywordsFile, &words, &error))
            return usageError(error);
        words.removeAll(QString());
        server.setKeywords(words);
    }
    if (!latestVersion.isEmpty())
        server.setLatestVersion(latestVersion);
    if (!packageFile.isEmpty()) {
        QFile file(packageFile);
        if (!file.open(QIODevice::ReadOnly))
            return usageError(QStringLiteral("cannot read %1: %2").arg(packageFile, file.errorString()));
        server.setPackage(server.latestVersion() + QStringLiteral(".pag"), file.readAll());
    }

    // Block the stop signals before the server's threads start, so that they inherit the mask
    // and only the main thread takes them (in sigwait below).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    server.setTrafficLog([](const QByteArray& line) {
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    const int bound = server.start(port, host);
    if (bound == 0) {
        std::fprintf(stderr, "quorvel-sandbox: cannot listen on %s:%d: %s\n", host.toLocal8Bit().constData(), port,
                     server.listenError().toLocal8Bit().constData());
        return 1;
    }
    std::printf("listening on %s\n", server.authority().toLocal8Bit().constData());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}
