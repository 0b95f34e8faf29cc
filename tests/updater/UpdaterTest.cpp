#include "Controls.h"
#include "updater/FileSize.h"
#include "updater/Form1.h"
#include "updater/Package.h"

#include "CaseName.h"
#include "DataStore.h"
#include "SandboxFixture.h"
#include "ScopedEnv.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <arpa/inet.h>
#include <csignal>
#include <functional>
#include <netinet/in.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Icon = Desktop::Icon;
using Kind = ScriptedDesktop::Kind;

// Nothing listens on port 1 (tcpmux) here: a connection there is refused at once.
const QString kDeadAddress = QStringLiteral("http://127.0.0.1:1/update.php");

struct PackageRow
{
    QString name;
    QByteArray bytes;
};

QByteArray patterned(int size, char seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i * 7 + i / 251);
    return bytes;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UpdaterTest : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ASSERT_TRUE(folder.hasShippedDatabases());
        dataHome.emplace("XDG_DATA_HOME", home.path().toUtf8());
        setInstalled(QStringLiteral("1.0"));
        writeIni(folder.path(QStringLiteral("update.ini")), updateAddress());
        sandbox().setLatestVersion(QStringLiteral("1.1"));
    }

    void TearDown() override
    {
        form.reset();
        SandboxFixture::TearDown();
    }

    QString updateAddress()
    {
        return QStringLiteral("http://127.0.0.1:%1/update.php?username=demo").arg(sandboxPort());
    }
    QString updateFolder() const { return folder.path(QStringLiteral("updates")); }
    QString inUpdate(const QString& name) const { return updateFolder() + QLatin1Char('/') + name; }

    static void writeIni(const QString& path, const QString& line)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(line.toUtf8() + "\r\n");
    }

    void setInstalled(const QString& version)
    {
        auto conn = db::Connection::open(folder.path(QStringLiteral("data.mdb")), QByteArray(kDatabasePassword));
        conn->execute(QStringLiteral("update [config] set [value]='%1' where [key]='Verson'").arg(version));
        conn->checkpoint();
    }

    // A package as the release tooling makes one: an engine file without key.
    QByteArray makePackage(const std::vector<PackageRow>& rows)
    {
        const QString path = home.filePath(QStringLiteral("package-%1.db").arg(++m_packages));
        {
            auto conn = db::Connection::create(path, QByteArray());
            conn->execute(QStringLiteral("create table Files (FileName text, FileStream blob)"));
            auto insert = conn->prepare(QStringLiteral("insert into Files (FileName, FileStream) values (?, ?)"));
            for (const PackageRow& row : rows) {
                insert->bindAll({row.name, row.bytes});
                insert->execute();
            }
        }
        return readAll(path);
    }

    void servePackage(const QByteArray& bytes, const QString& version = QStringLiteral("1.1"))
    {
        sandbox().setLatestVersion(version);
        sandbox().setPackage(version + QStringLiteral(".pag"), bytes);
    }

    // The first second of the program: its load, then the version query of Timer1.
    updater::Form1& start()
    {
        form = std::make_unique<updater::Form1>();
        form->Form_Load();
        form->show();
        EXPECT_TRUE(Control<QTimer>(*form, "Timer1")->isActive());
        form->Timer1_Timer();
        return *form;
    }

    template <typename T> T* control(const char* name) const { return Control<T>(*form, name); }
    QString text(const char* label) const { return control<QLabel>(label)->text(); }
    QPushButton* nextButton() const { return control<QPushButton>("AeroButton2"); }
    QColor latestColour() const { return control<QLabel>("Label4")->palette().color(QPalette::WindowText); }

    TestProgramFolder folder;
    QTemporaryDir home;
    std::optional<ScopedEnv> dataHome;
    ScriptedDesktop desktop;
    std::unique_ptr<updater::Form1> form;

private:
    int m_packages = 0;
};

// --- the version query -------------------------------------------------------------------------

struct OfferCase
{
    const char* name;
    const char* installed;
    const char* latest;
    bool offered;
};

class VersionOfferTest : public UpdaterTest, public ::testing::WithParamInterface<OfferCase>
{
};

TEST_P(VersionOfferTest, ComparesTheTextsByCharacterCode)
{
    const OfferCase& c = GetParam();
    setInstalled(QString::fromUtf8(c.installed));
    sandbox().setLatestVersion(QString::fromUtf8(c.latest));
    start();
    EXPECT_EQ(text("Label3"), QString::fromUtf8(c.installed));
    EXPECT_EQ(text("Label4"), QString::fromUtf8(c.latest));
    EXPECT_EQ(text("Label6"), c.offered ? QStringLiteral("可以升级") : QStringLiteral("当前是最新版本，不需要升级！"));
    EXPECT_EQ(latestColour(), c.offered ? QColor(255, 0, 0) : QColor(0, 0, 0));
    EXPECT_EQ(nextButton()->isEnabled(), c.offered);
    EXPECT_FALSE(Control<QTimer>(*form, "Timer1")->isActive());
    const auto request = sandbox().lastRequest(QStringLiteral("update"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(request->contentLength, "0");
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionOfferTest,
                         ::testing::Values(OfferCase{"MinorStepIsOffered", "1.0", "1.1", true},
                                           OfferCase{"TenIsNotAfterNine", "1.0.0.9", "1.0.0.10", false},
                                           OfferCase{"EqualTextsAreUpToDate", "1.0.0.9", "1.0.0.9", false},
                                           OfferCase{"OlderIsNotOffered", "2.0", "1.9", false}),
                         [](const ::testing::TestParamInfo<OfferCase>& info) { return std::string(info.param.name); });

struct IniCase
{
    const char* name;
    bool virtualCopy;      // an update.ini in VirtualPath
    bool virtualReachable; // it names the sandbox (else a dead address)
    bool programReachable; // the program folder's names the sandbox
};

class UpdateIniTest : public UpdaterTest, public ::testing::WithParamInterface<IniCase>
{
};

TEST_P(UpdateIniTest, TheVirtualisedCopyWins)
{
    const IniCase& c = GetParam();
    const QString virtualPath = home.path() + QStringLiteral("/VirtualStore/") +
                                QDir(folder.folder()).absolutePath().section(QLatin1Char('/'), -2, -2) +
                                QLatin1Char('/') + QFileInfo(folder.folder()).fileName();
    writeIni(folder.path(QStringLiteral("update.ini")), c.programReachable ? updateAddress() : kDeadAddress);
    if (c.virtualCopy)
        writeIni(virtualPath + QStringLiteral("/update.ini"), c.virtualReachable ? updateAddress() : kDeadAddress);
    const bool reachable = c.virtualCopy ? c.virtualReachable : c.programReachable;
    if (!reachable)
        desktop.expectMessage("连接平台服务器失败,请检查网络！", "连接失败", Icon::Exclamation);
    start();
    EXPECT_EQ(form->VirtualPath, virtualPath);
    EXPECT_EQ(nextButton()->isEnabled(), reachable);
    EXPECT_EQ(form->isVisible(), reachable); // a failed query ends the updater
}

INSTANTIATE_TEST_SUITE_P(Copies, UpdateIniTest,
                         ::testing::Values(IniCase{"VirtualReachableProgramDead", true, true, false},
                                           IniCase{"VirtualDeadProgramReachable", true, false, true},
                                           IniCase{"OnlyTheProgramFolders", false, false, true}),
                         [](const ::testing::TestParamInfo<IniCase>& info) { return std::string(info.param.name); });

// Start-up cases that leave the updater without what it needs: a message, then the end.
struct LoadCase
{
    const char* name;
    const char* text;
    const char* title;
};

class LoadFailureTest : public UpdaterTest, public ::testing::WithParamInterface<LoadCase>
{
};

TEST_P(LoadFailureTest, ShowsWhyAndEnds)
{
    const std::string name = GetParam().name;
    if (name == "NoUpdateIni")
        QFile::remove(folder.path(QStringLiteral("update.ini")));
    else if (name == "EmptyAddress")
        writeIni(folder.path(QStringLiteral("update.ini")), QString());
    else if (name == "NoVersionRow") {
        auto conn = db::Connection::open(folder.path(QStringLiteral("data.mdb")), QByteArray(kDatabasePassword));
        conn->execute(QStringLiteral("delete from [config] where [key]='Verson'"));
    } else if (name == "NoDataFile")
        QFile::remove(folder.path(QStringLiteral("data.mdb")));
    desktop.expectMessage(ScriptedDesktop::startsWith(QString::fromUtf8(GetParam().text)),
                          QString::fromUtf8(GetParam().title),
                          name == "NoDataFile" ? Icon::Information : Icon::Exclamation);
    form = std::make_unique<updater::Form1>();
    try {
        form->Form_Load();
        ADD_FAILURE() << "the updater went on";
    } catch (const ScriptedDesktop::Exited& exited) {
        EXPECT_EQ(exited.code, 1);
    }
    EXPECT_FALSE(Control<QTimer>(*form, "Timer1")->isActive());
    EXPECT_EQ(sandbox().requestCount(QStringLiteral("update")), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFailureTest,
    ::testing::Values(LoadCase{"NoUpdateIni", "找不到升级配置文件update.ini", "升级失败"},
                      LoadCase{"EmptyAddress", "升级配置文件update.ini中没有升级地址！", "升级失败"},
                      LoadCase{"NoVersionRow", "data.mdb中没有当前版本号，无法检查升级！", "升级失败"},
                      LoadCase{"NoDataFile", "错误号：3024", "打开文件出错"}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

struct ReplyCase
{
    const char* name;
    std::optional<QByteArray> reply; // nullopt: an error status
    const char* text;
};

class ReplyFailureTest : public UpdaterTest, public ::testing::WithParamInterface<ReplyCase>
{
};

TEST_P(ReplyFailureTest, ShowsWhyAndCloses)
{
    if (GetParam().reply)
        sandbox().setUpdateReply(*GetParam().reply);
    else
        sandbox().setHttpStatus(QStringLiteral("update"), 500);
    desktop.expectMessage(GetParam().text, "连接失败", Icon::Exclamation);
    start();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(nextButton()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyFailureTest,
                         ::testing::Values(ReplyCase{"OneLine", QByteArray("1.1"),
                                                     "升级服务器的回复不完整，无法升级！"},
                                           ReplyCase{"Empty", QByteArray(), "升级服务器的回复不完整，无法升级！"},
                                           ReplyCase{"ErrorPage", std::nullopt, "连接平台服务器失败,请检查网络！"}),
                         [](const ::testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

// --- download, unpack, start ---------------------------------------------------------------------

class DownloadTest : public UpdaterTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(DownloadTest, WritesEveryStepAndStartsTheInstaller)
{
    const bool announced = GetParam();
    const QByteArray readme = patterned(40000, 'r');
    const QByteArray package =
        makePackage({{QStringLiteral("setup"), QByteArray("#!/bin/sh\n")}, {QStringLiteral("readme.txt"), readme}});
    servePackage(package);
    sandbox().setPackageChunked(!announced);
    start();

    std::vector<std::pair<qint64, qint64>> steps;
    std::vector<QString> statusTexts;
    QObject::connect(form.get(), &updater::Form1::downloadProgressed, [&](qint64 written, qint64 total) {
        steps.emplace_back(written, total);
        statusTexts.push_back(text("Label6"));
    });
    desktop.expectStartProgram(inUpdate(QStringLiteral("setup")));
    form->AeroButton2_Click();

    ASSERT_FALSE(steps.empty());
    qint64 previous = 0;
    for (const auto& [written, total] : steps) {
        EXPECT_GT(written - previous, 0);
        EXPECT_LE(written - previous, 2048);
        EXPECT_EQ(total, announced ? package.size() : 0);
        previous = written;
    }
    EXPECT_EQ(previous, package.size());
    EXPECT_EQ(statusTexts.back(), QStringLiteral("已下载") + FormatFileSize(package.size()) + QStringLiteral(" / 共") +
                                      (announced ? FormatFileSize(package.size()) : QStringLiteral("0 字节")));
    EXPECT_EQ(text("Label6"), QStringLiteral("共下载 ") + FormatFileSize(package.size()));
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("1.1.pag"))), package);
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("readme.txt"))), readme);
    EXPECT_TRUE(QFileInfo(inUpdate(QStringLiteral("setup"))).isExecutable());
    EXPECT_FALSE(QFileInfo(inUpdate(QStringLiteral("readme.txt"))).isExecutable());
    ASSERT_EQ(desktop.calls(Kind::StartProgram).size(), 1u);
    EXPECT_EQ(desktop.calls(Kind::StartProgram).front().workingFolder, updateFolder());
    EXPECT_FALSE(form->isVisible()); // the updater ends once the installer runs
}

INSTANTIATE_TEST_SUITE_P(ContentLength, DownloadTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Announced" : "Absent");
                         });

TEST_F(UpdaterTest, CloseStopsTheDownloadAfterItsStep)
{
    const QByteArray package = makePackage({{QStringLiteral("setup"), patterned(300000, 's')}});
    servePackage(package);
    start();
    int steps = 0;
    QObject::connect(form.get(), &updater::Form1::downloadProgressed, [&] {
        // The click arrives as the user's would: while the window handles its pending input.
        if (++steps == 1)
            QTimer::singleShot(0, Control<QPushButton>(*nextButton()->parentWidget(), "AeroButton3"),
                               &QPushButton::click);
    });
    form->AeroButton2_Click(); // no start: ScriptedDesktop fails on any call
    EXPECT_EQ(steps, 1);
    EXPECT_TRUE(form->downloadCancelled());
    EXPECT_FALSE(form->isVisible());
    const qint64 kept = QFileInfo(inUpdate(QStringLiteral("1.1.pag"))).size();
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, 2048);
    EXPECT_FALSE(QFile::exists(inUpdate(QStringLiteral("setup"))));
}

TEST_F(UpdaterTest, AnErrorPageSavedAsThePackageFailsToOpen)
{
    sandbox().setLatestVersion(QStringLiteral("1.1")); // no package served: a 404 page
    start();
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：")), "打开文件出错", Icon::Information);
    EXPECT_THROW(form->AeroButton2_Click(), ScriptedDesktop::Exited);
    EXPECT_TRUE(readAll(inUpdate(QStringLiteral("1.1.pag"))).contains("404 Not Found"));
}

TEST_F(UpdaterTest, AnOldPackageOfTheSameVersionIsReplacedWhole)
{
    const QByteArray package = makePackage({{QStringLiteral("setup"), QByteArray("new")}});
    QDir().mkpath(updateFolder());
    QFile old(inUpdate(QStringLiteral("1.1.pag")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(patterned(int(package.size()) * 3, 'o'));
    old.close();
    servePackage(package);
    start();
    desktop.expectStartProgram(inUpdate(QStringLiteral("setup")));
    form->AeroButton2_Click();
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("1.1.pag"))), package);
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("setup"))), QByteArray("new"));
}

TEST_F(UpdaterTest, AnEmptyPackageStillStartsTheInstallerLeftThere)
{
    QDir().mkpath(updateFolder());
    QFile setup(inUpdate(QStringLiteral("setup")));
    ASSERT_TRUE(setup.open(QIODevice::WriteOnly));
    setup.write("#!/bin/sh\n");
    setup.close();
    servePackage(makePackage({}));
    start();
    desktop.expectStartProgram(inUpdate(QStringLiteral("setup")));
    form->AeroButton2_Click();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(UpdaterTest, AnUnreachablePackageCanBeTriedAgain)
{
    sandbox().setLatestVersion(QStringLiteral("1.1"), QStringLiteral("http://127.0.0.1:1/update/1.1.pag"));
    start();
    desktop.expectMessage("下载升级包失败！", "升级失败", Icon::Exclamation);
    form->AeroButton2_Click();
    EXPECT_EQ(text("Label6"), QStringLiteral("打开URL错误"));
    EXPECT_TRUE(nextButton()->isEnabled());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(UpdaterTest, AnInstallerThatCannotStartIsReported)
{
    servePackage(makePackage({{QStringLiteral("setup"), QByteArray("x")}}));
    start();
    desktop.expectStartProgram(inUpdate(QStringLiteral("setup")), false)
        .expectMessage(QStringLiteral("无法启动安装程序：") + inUpdate(QStringLiteral("setup")), "升级失败",
                       Icon::Exclamation);
    form->AeroButton2_Click();
    EXPECT_FALSE(form->isVisible());
}

// Answers the first connection with raw bytes, then hangs up: a package server that dies or
// misreports in ways the sandbox does not.
class RawReplyServer final
{
public:
    explicit RawReplyServer(QByteArray reply) : m_reply(std::move(reply))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serveOnce(); });
    }
    ~RawReplyServer()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }

private:
    void serveOnce()
    {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n")) {
            const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            request.append(buffer, qsizetype(got));
        }
        for (qsizetype sent = 0; sent < m_reply.size();) {
            const ssize_t put = ::send(client, m_reply.constData() + sent, size_t(m_reply.size() - sent), MSG_NOSIGNAL);
            if (put <= 0)
                break;
            sent += put;
        }
        ::close(client);
    }

    QByteArray m_reply;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

QByteArray chunked(const QByteArray& body, bool ended)
{
    return QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n" + (ended ? "0\r\n\r\n" : "");
}

struct CutCase
{
    const char* name;
    std::function<QByteArray(const QByteArray& package)> reply;
};

class DownloadCutTest : public UpdaterTest, public ::testing::WithParamInterface<CutCase>
{
};

// A fragment may still open as a package and be unpacked in part: it is a failed download,
// never opened, unpacked or started, and the user may try again.
TEST_P(DownloadCutTest, IsAFailedDownloadThatCanBeTriedAgain)
{
    const QByteArray package = makePackage({{QStringLiteral("setup"), patterned(60000, 's')}});
    RawReplyServer server(GetParam().reply(package));
    ASSERT_GT(server.port(), 0);
    sandbox().setLatestVersion(QStringLiteral("1.1"),
                               QStringLiteral("http://127.0.0.1:%1/update/1.1.pag").arg(server.port()));
    start();
    desktop.expectMessage("下载升级包失败！", "升级失败", Icon::Exclamation);

    form->AeroButton2_Click();

    desktop.verifyAllConsumed();
    EXPECT_TRUE(text("Label6").startsWith(QStringLiteral("下载中断"))) << text("Label6").toStdString();
    EXPECT_TRUE(nextButton()->isEnabled());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(QFile::exists(inUpdate(QStringLiteral("setup"))));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DownloadCutTest,
    ::testing::Values(
        CutCase{"HangsUpHalfWay",
                [](const QByteArray& package) {
                    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(package.size()) + "\r\n\r\n" +
                           package.left(package.size() / 2);
                }},
        // no length announced: only the transfer's own error tells
        CutCase{"ChunksEndWithoutTheLastOne",
                [](const QByteArray& package) {
                    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked(package, false);
                }},
        // a transfer that ends cleanly, with fewer bytes than the length the server announced
        CutCase{"FewerBytesThanAnnounced",
                [](const QByteArray& package) {
                    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: " +
                           QByteArray::number(package.size() * 2) + "\r\n\r\n" + chunked(package, true);
                }}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return std::string(info.param.name); });

class UnsafeNameTest : public UpdaterTest, public ::testing::WithParamInterface<std::pair<const char*, const char*>>
{
};

TEST_P(UnsafeNameTest, IsSkippedAndReported)
{
    const QString name = QString::fromUtf8(GetParam().second);
    servePackage(makePackage({{name, QByteArray("escaped")}, {QStringLiteral("setup"), QByteArray("x")}}));
    start();
    desktop
        .expectMessage(ScriptedDesktop::startsWith(QStringLiteral("升级包中以下文件名不安全，已跳过：\r\n") +
                                                   (name.isEmpty() ? QStringLiteral("（空文件名）") : name)),
                       "升级提示", Icon::Exclamation)
        .expectStartProgram(inUpdate(QStringLiteral("setup")));
    form->AeroButton2_Click();
    // Nothing landed beside the update folder, in the program folder or at the root.
    for (const QString& path : {folder.path(QStringLiteral("escaped")), folder.path(QStringLiteral("x")),
                                QStringLiteral("/tmp/quorvel-escaped")})
        EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
    EXPECT_EQ(QDir(updateFolder()).entryList(QDir::Files | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("1.1.pag"), QStringLiteral("setup")}));
}

INSTANTIATE_TEST_SUITE_P(Names, UnsafeNameTest,
                         ::testing::Values(std::make_pair("Empty", ""), std::make_pair("Parent", "../escaped"),
                                           std::make_pair("Absolute", "/tmp/quorvel-escaped"),
                                           std::make_pair("Subfolder", "sub/escaped"),
                                           std::make_pair("Backslash", "..\\escaped"), std::make_pair("Dots", ".."),
                                           std::make_pair("Dot", ".")),
                         [](const auto& info) { return std::string(info.param.first); });

// --- unpacking over the files of an earlier run --------------------------------------------------

class UnpackTest : public UpdaterTest
{
protected:
    // Unpacks the rows into the update folder; fileSizeLimit, when given, is the most bytes
    // any file may grow to while the rows are written, as on a full disk.
    void unpack(const std::vector<PackageRow>& rows, rlim_t fileSizeLimit = RLIM_INFINITY)
    {
        const QString path = home.filePath(QStringLiteral("unpack.db"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(makePackage(rows));
        file.close();
        QDir().mkpath(updateFolder());
        auto package = updater::openPackage(path);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limited{fileSizeLimit, saved.rlim_max};
        const auto previous = std::signal(SIGXFSZ, SIG_IGN); // a failed write instead of the end of the process
        setrlimit(RLIMIT_FSIZE, &limited);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previous);
        });
        updater::unpackPackage(*package, updateFolder(), {});
    }
    QStringList files() const { return QDir(updateFolder()).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(UnpackTest, AFileNamedLikeAnotherOnesStagingFileIsKept)
{
    unpack({{QStringLiteral("readme.part"), QByteArray("first")}, {QStringLiteral("readme"), QByteArray("second")}});
    EXPECT_EQ(files(), QStringList({QStringLiteral("readme"), QStringLiteral("readme.part")}));
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("readme.part"))), QByteArray("first"));
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("readme"))), QByteArray("second"));
}

TEST_F(UnpackTest, AWriteFailingHalfWayLeavesTheEarlierFileAndNoStagingFile)
{
    ASSERT_TRUE(QDir().mkpath(updateFolder()));
    QFile old(inUpdate(QStringLiteral("readme")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier");
    old.close();
    EXPECT_THROW(unpack({{QStringLiteral("readme"), patterned(300000, 'n')}}, 100000), updater::WriteError);
    EXPECT_EQ(files(), QStringList{QStringLiteral("readme")});
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("readme"))), QByteArray("earlier"));
}

// A process that dies while it puts a file of the package in place (abort(), as a crash or a kill
// ends it) leaves that file as it was or whole, the installer never without its execute
// permission, and nothing that stops the next run from unpacking the package again.
class UnpackCrashTest : public UnpackTest, public ::testing::WithParamInterface<const char*>
{
protected:
    void TearDown() override
    {
        qunsetenv("QUORVEL_CRASH_AT");
        UnpackTest::TearDown();
    }
    void earlier(const QString& name, const QByteArray& bytes, QFileDevice::Permissions extra = {})
    {
        QFile file(inUpdate(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        ASSERT_TRUE(file.setPermissions(file.permissions() | extra));
    }
};

TEST_P(UnpackCrashTest, LeavesEachFileOldOrWholeAndTheNextRunUnpacksAll)
{
    // Forked, so the child writes into this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    ASSERT_TRUE(QDir().mkpath(updateFolder()));
    earlier(QStringLiteral("setup"), "earlier setup", QFileDevice::ExeOwner);
    earlier(QStringLiteral("readme"), "earlier readme");
    const std::vector<PackageRow> rows = {{QStringLiteral("setup"), patterned(300000, 's')},
                                          {QStringLiteral("readme"), patterned(1000, 'r')}};
    const QString path = home.filePath(QStringLiteral("crash.db"));
    QFile package(path);
    ASSERT_TRUE(package.open(QIODevice::WriteOnly));
    package.write(makePackage(rows));
    package.close();

    qputenv("QUORVEL_CRASH_AT", GetParam());
    EXPECT_DEATH(updater::unpackPackage(*updater::openPackage(path), updateFolder(), {}), "");
    qunsetenv("QUORVEL_CRASH_AT");

    // It died at the first file, the installer.
    const QByteArray setup = readAll(inUpdate(QStringLiteral("setup")));
    EXPECT_TRUE(setup == "earlier setup" || setup == rows[0].bytes) << setup.size();
    EXPECT_TRUE(QFileInfo(inUpdate(QStringLiteral("setup"))).isExecutable());
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("readme"))), QByteArray("earlier readme"));

    unpack(rows);
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("setup"))), rows[0].bytes);
    EXPECT_TRUE(QFileInfo(inUpdate(QStringLiteral("setup"))).isExecutable());
    EXPECT_EQ(readAll(inUpdate(QStringLiteral("readme"))), rows[1].bytes);
    EXPECT_EQ(files(), QStringList({QStringLiteral("readme"), QStringLiteral("setup")}));
}

INSTANTIATE_TEST_SUITE_P(Steps, UnpackCrashTest,
                         ::testing::Values("commit-before-rename", "commit-rename", "commit-after-rename"), ByValue());

} // namespace
