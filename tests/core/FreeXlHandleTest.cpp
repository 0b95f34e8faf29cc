// Every handle FreeXL gives out is given back, whichever way a read of an .xls ends. The leak
// check cannot tell: it leaves all of FreeXL's own blocks alone. This test program is linked with
// freexl_open and freexl_close wrapped (see tests/CMakeLists.txt), so the count below sees every
// call the program makes, through whatever code it goes.

#include "Workbook.h"
#include "XlsBook.h"

#include <QString>
#include <QTemporaryDir>
#include <freexl.h>
#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace {

struct HandleCount
{
    int opened = 0;
    std::set<const void*> live;
};

HandleCount& handles()
{
    static HandleCount count;
    return count;
}

} // namespace

extern "C" {
int __real_freexl_open(const char* path, const void** handle);
int __real_freexl_close(const void* handle);

int __wrap_freexl_open(const char* path, const void** handle)
{
    const int result = __real_freexl_open(path, handle);
    if (handle && *handle) {
        ++handles().opened;
        handles().live.insert(*handle);
    }
    return result;
}

int __wrap_freexl_close(const void* handle)
{
    handles().live.erase(handle);
    return __real_freexl_close(handle);
}
}

namespace {

QString workbook(const char* name)
{
    return QStringLiteral(QUORVEL_SOURCE_DIR "/tests/core/workbooks/") + QString::fromLatin1(name);
}

bool readWorkbook(const char* name, qint64 cellLimit = 0)
{
    Workbook book;
    if (cellLimit > 0) {
        Workbook::Limits limits;
        limits.cells = cellLimit;
        book.setLimits(limits);
    }
    return book.open(workbook(name));
}

struct ReadCase
{
    const char* name;
    std::function<bool()> read;
    bool succeeds;
    int opened; // handles FreeXL gives out on the way
};

class FreeXlHandleTest : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(FreeXlHandleTest, EveryHandleOpenedIsClosed)
{
    const ReadCase& c = GetParam();
    handles() = HandleCount();
    EXPECT_EQ(c.read(), c.succeeds);
    EXPECT_EQ(handles().opened, c.opened);
    EXPECT_TRUE(handles().live.empty()) << handles().live.size() << " handle(s) still open";
}

INSTANTIATE_TEST_SUITE_P(
    Reads, FreeXlHandleTest,
    ::testing::Values(
        ReadCase{"ReaderWholeWorkbook", [] { return readWorkbook("people.xls"); }, true, 1},
        ReadCase{"ReaderStopsAtTheCellLimit", [] { return readWorkbook("people.xls", 1); }, false, 1},
        ReadCase{"ReaderFreeXlCannotOpen", [] { return readWorkbook("truncated.xls"); }, false, 0},
        // Refused by the walk of the workbook stream: FreeXL never sees these.
        ReadCase{"CheckRefusesADamagedSheet", [] { return readWorkbook("two-dimensions.xls"); }, false, 0},
        ReadCase{"CheckRefusesAnEncryptedWorkbook", [] { return readWorkbook("encrypted.xls"); }, false, 0},
        ReadCase{"ExportTemplateRead",
                 [] {
                     XlsBook book;
                     return book.load(QStringLiteral(QUORVEL_PROGRAM_DIR "/ExportTem.dat"));
                 },
                 true, 1},
        // The template is read back through the reader too: the walk refuses a text FreeXL would
        // cut short before FreeXL opens the file.
        ReadCase{"ExportTemplateCheckRefusesATextFreeXlCutsShort",
                 [] {
                     QTemporaryDir dir;
                     const QString path = dir.filePath(QStringLiteral("long.xls"));
                     XlsBook written;
                     written.setText(written.addSheet(QStringLiteral("Sheet1")), 0, 0, QString(8300, QChar(0x4E2D)));
                     XlsBook book;
                     return written.save(path) && book.load(path);
                 },
                 false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
