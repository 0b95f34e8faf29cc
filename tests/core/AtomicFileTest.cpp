#include "AtomicFile.h"
#include "CaseName.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

// A file put in place without replacing another on file systems that lack hard links (FAT,
// exFAT, several network and FUSE file systems): the calls answer as such a file system does.
namespace {

int g_linkError = 0;
int g_renameError = 0;

int refusedLink(const char*, const char*)
{
    errno = g_linkError;
    return -1;
}

int refusedRename(const char*, const char*)
{
    errno = g_renameError;
    return -1;
}

struct FileSystemCase
{
    const char* name;
    int linkError;
    int renameError; // 0: the system's own exclusive rename answers
    bool placed;     // the new name is filled; otherwise the step fails and leaves nothing
};

class NoHardLinks : public ::testing::TestWithParam<FileSystemCase>
{
protected:
    void SetUp() override
    {
        g_linkError = GetParam().linkError;
        g_renameError = GetParam().renameError;
        atomicfile::PlaceCalls calls;
        calls.link = refusedLink;
        calls.renameNoReplace = g_renameError ? refusedRename : nullptr;
        m_before = atomicfile::setPlaceCalls(calls);
    }
    void TearDown() override { atomicfile::setPlaceCalls(m_before); }

    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    static QByteArray readAll(const QString& file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }
    static void writeFile(const QString& file, const QByteArray& bytes)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }

private:
    QTemporaryDir m_dir;
    atomicfile::PlaceCalls m_before;
};

TEST_P(NoHardLinks, ANewNameGetsTheWholeFileAndATakenOneIsLeftAsItWas)
{
    const FileSystemCase& c = GetParam();
    // Several of the copy's chunks, each byte telling its place.
    QByteArray bytes(3 * (1 << 20) + 17, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 4096);
    writeFile(path("source"), bytes);

    QString error;
    EXPECT_EQ(atomicfile::copy(path("source"), path("copy"), atomicfile::Mode::NoReplace, &error), c.placed)
        << error.toStdString();
    EXPECT_EQ(QFile::exists(path("copy")), c.placed);
    if (c.placed)
        EXPECT_TRUE(readAll(path("copy")) == bytes);
    else
        EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(atomicfile::stagingName(path("copy"))));

    // A name taken after the early check (another program, a second backup) is never replaced.
    writeFile(path("taken"), "kept");
    writeFile(path("staged"), bytes);
    EXPECT_FALSE(atomicfile::commit(path("staged"), path("taken"), atomicfile::Mode::NoReplace));
    EXPECT_EQ(readAll(path("taken")), QByteArray("kept"));
    EXPECT_FALSE(QFile::exists(path("staged")));
}

INSTANTIATE_TEST_SUITE_P(
    FileSystems, NoHardLinks,
    // fusefat and exfat-fuse answer EPERM and EINVAL; the kernel's FAT drivers rename exclusively.
    ::testing::Values(FileSystemCase{"KernelFat", EPERM, 0, true}, FileSystemCase{"FuseFat", EPERM, EINVAL, true},
                      FileSystemCase{"LinkNotSupported", EOPNOTSUPP, EINVAL, true},
                      FileSystemCase{"FuseWithoutEitherCall", ENOSYS, ENOSYS, true},
                      FileSystemCase{"LinkFailsForWantOfSpace", ENOSPC, 0, false},
                      FileSystemCase{"ExclusiveRenameRefusedForWantOfRights", EPERM, EACCES, false}),
    NameFrom(&FileSystemCase::name));

} // namespace
