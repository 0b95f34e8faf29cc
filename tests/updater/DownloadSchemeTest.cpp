#include "updater/PackageDownload.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Scheme
{
    const char* name;
    const char* prefix;
};

class DownloadSchemeTest : public ::testing::TestWithParam<Scheme>
{
};

// An address that the update reply names must never read a local file or any other scheme:
// the download reports that the address could not be opened and writes nothing.
TEST_P(DownloadSchemeTest, RefusesAddressesOutsideTheWeb)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString secret = dir.filePath(QStringLiteral("secret.txt"));
    QFile source(secret);
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("not for download");
    source.close();
    const QString target = dir.filePath(QStringLiteral("1.0.1.pag"));

    const updater::DownloadResult result = updater::download(
        QString::fromLatin1(GetParam().prefix) + secret, target, [](qint64) {}, [](qint64, qint64) { return true; });

    EXPECT_FALSE(result.opened);
    EXPECT_EQ(result.written, 0);
    EXPECT_FALSE(QFile::exists(target));
}

INSTANTIATE_TEST_SUITE_P(Schemes, DownloadSchemeTest,
                         ::testing::Values(Scheme{"File", "file://"}, Scheme{"FileInCapitals", "FILE://"}),
                         [](const ::testing::TestParamInfo<Scheme>& info) { return std::string(info.param.name); });

} // namespace
