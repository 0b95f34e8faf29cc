#include "Workbook.h"
#include "XlsBook.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Kind = CellValue::Kind;

QString fixture(const QString& name)
{
    return QStringLiteral(QUORVEL_SOURCE_DIR "/tests/core/workbooks/") + name;
}

// A copy of a fixture under another name, for the cases where the name lies about the content.
QString copyAs(const QTemporaryDir& dir, const QString& name, const QString& as)
{
    const QString target = dir.filePath(as);
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(fixture(name), target));
    return target;
}

// ---- both formats, by content ------------------------------------------------------------

struct FormatCase
{
    const char* name;
    const char* file;
    const char* storedAs; // the file is opened under this name; nullptr: its own
    int activeSheet;
};

class WorkbookFormatTest : public ::testing::TestWithParam<FormatCase>
{
protected:
    void SetUp() override
    {
        const FormatCase& c = GetParam();
        const QString path = c.storedAs ? copyAs(dir, QString::fromLatin1(c.file), QString::fromLatin1(c.storedAs))
                                        : fixture(QString::fromLatin1(c.file));
        ASSERT_TRUE(book.open(path)) << book.errorNumber() << " " << book.errorDescription().toStdString();
    }
    QTemporaryDir dir;
    Workbook book;
};

TEST_P(WorkbookFormatTest, SheetsInWorkbookOrderWithTheActiveOne)
{
    EXPECT_EQ(book.sheetNames(),
              (QStringList{QStringLiteral("号码"), QStringLiteral("空表"), QStringLiteral("Sheet3")}));
    EXPECT_EQ(book.activeSheet(), GetParam().activeSheet);
}

TEST_P(WorkbookFormatTest, UsedRangeStartsWhereTheDataStart)
{
    const UsedRange& used = book.sheet(0).usedRange();
    EXPECT_EQ(used.firstRow, 3);
    EXPECT_EQ(used.firstColumn, 2);
    EXPECT_EQ(used.columnCount, 5);
    EXPECT_GE(used.rowCount, 4);
    EXPECT_EQ(book.sheet(0).Cells(1, 1).text, QStringLiteral("姓名"));
    EXPECT_EQ(book.sheet(0).Cells(1, 1).kind, Kind::Text);
    // Counted from the used range, not from A1.
    EXPECT_EQ(book.sheet(0).cellAt(3, 2).text, QStringLiteral("姓名"));
    EXPECT_TRUE(book.sheet(0).cellAt(1, 1).isEmpty());
    EXPECT_TRUE(book.sheet(0).Cells(1, 6).isEmpty());
    EXPECT_TRUE(book.sheet(0).Cells(0, 1).isEmpty());
}

TEST_P(WorkbookFormatTest, EmptySheetHasNoRowsAndOtherSheetsTheirOwnRange)
{
    EXPECT_TRUE(book.sheet(1).usedRange().isEmpty());
    EXPECT_EQ(book.sheet(1).usedRange().columnCount, 0);
    EXPECT_TRUE(book.sheet(1).Cells(1, 1).isEmpty());
    const UsedRange& third = book.sheet(2).usedRange();
    EXPECT_EQ(third.firstRow, 1);
    EXPECT_EQ(third.firstColumn, 1);
    EXPECT_EQ(third.rowCount, 2);
    EXPECT_EQ(third.columnCount, 3);
    EXPECT_EQ(book.sheet(2).Cells(2, 3).text, QStringLiteral("丙"));
}

TEST_P(WorkbookFormatTest, NumbersReadAsTheUserSeesThem)
{
    const Worksheet& sheet = book.sheet(0);
    struct Expected
    {
        int row, column;
        Kind kind;
        const char* text;
    } expected[] = {
        {2, 2, Kind::Number, "13900139000"},
        {4, 2, Kind::Number, "13800000000"},
        {3, 2, Kind::Text, "+86 138 0013 8000"},
        {2, 5, Kind::Number, "3.14159265358979"},
        {3, 5, Kind::Number, "-0.1"},
        {4, 5, Kind::Number, "1.23456789012346E+17"},
    };
    for (const Expected& e : expected) {
        const CellValue value = sheet.Cells(e.row, e.column);
        EXPECT_EQ(value.kind, e.kind) << e.text;
        EXPECT_EQ(value.text, QString::fromUtf8(e.text));
        EXPECT_EQ(sheet.Text(e.row, e.column), value.text);
    }
    EXPECT_EQ(sheet.Cells(2, 2).number, 13900139000.0);
}

TEST_P(WorkbookFormatTest, DatesReadAsDatesRoundedToTheSecond)
{
    const Worksheet& sheet = book.sheet(0);
    const CellValue birthday = sheet.Cells(2, 3);
    EXPECT_EQ(birthday.kind, Kind::Date);
    EXPECT_EQ(birthday.text, QStringLiteral("1985-12-31"));
    EXPECT_EQ(birthday.date, QDateTime(QDate(1985, 12, 31), QTime(0, 0)));
    EXPECT_EQ(sheet.Cells(3, 3).text, QStringLiteral("2000-02-29"));
    EXPECT_EQ(sheet.Cells(4, 3).text, QStringLiteral("1970-01-01"));
    const CellValue stamp = sheet.Cells(2, 4);
    EXPECT_EQ(stamp.kind, Kind::Date);
    EXPECT_EQ(stamp.text, QStringLiteral("1985-12-31 23:59:00"));
    EXPECT_EQ(stamp.date, QDateTime(QDate(1985, 12, 31), QTime(23, 59, 0)));
    EXPECT_EQ(sheet.Cells(3, 4).text, QStringLiteral("2000-02-29 12:00:00"));
}

INSTANTIATE_TEST_SUITE_P(Files, WorkbookFormatTest,
                         ::testing::Values(FormatCase{"Xlsx", "people.xlsx", nullptr, 2},
                                           FormatCase{"Xls", "people.xls", nullptr, 2},
                                           FormatCase{"XlsxNamedXls", "people.xlsx", "people.xls", 2},
                                           FormatCase{"XlsNamedXlsx", "people.xls", "people.xlsx", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- OOXML details ----------------------------------------------------------------------

struct CellCase
{
    const char* name;
    const char* file;
    int sheet;
    int row, column; // A1 terms
    Kind kind;
    const char* text;
};

class XlsxCellTest : public ::testing::TestWithParam<CellCase>
{
};

TEST_P(XlsxCellTest, ReadsTheValue)
{
    const CellCase& c = GetParam();
    Workbook book;
    ASSERT_TRUE(book.open(fixture(QString::fromLatin1(c.file)))) << book.errorDescription().toStdString();
    const CellValue value = book.sheet(c.sheet).cellAt(c.row, c.column);
    EXPECT_EQ(value.kind, c.kind);
    EXPECT_EQ(value.text, QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Cells, XlsxCellTest,
    ::testing::Values(CellCase{"Boolean", "people.xlsx", 0, 7, 2, Kind::Boolean, "TRUE"},
                      CellCase{"ErrorValue", "people.xlsx", 0, 7, 3, Kind::Error, "#N/A"},
                      CellCase{"LetterInQuotesIsNoDate", "people.xlsx", 0, 7, 4, Kind::Number, "45000"},
                      CellCase{"LetterInBracketsIsNoDate", "people.xlsx", 0, 7, 5, Kind::Number, "0.75"},
                      CellCase{"InlineString", "people.xlsx", 2, 2, 1, Kind::Text, "乙"},
                      CellCase{"SharedString", "shared.xlsx", 2, 1, 1, Kind::Text, "共享甲"},
                      CellCase{"SharedRichText", "shared.xlsx", 2, 2, 1, Kind::Text, "共享 乙"},
                      CellCase{"SharedWithoutPhonetic", "shared.xlsx", 2, 2, 3, Kind::Text, "丙"},
                      CellCase{"Date1904", "mac1904.xlsx", 0, 1, 1, Kind::Date, "2011-05-17 08:30:00"},
                      CellCase{"BuiltInFormat14In1904", "mac1904.xlsx", 0, 2, 1, Kind::Date, "1904-01-01"},
                      CellCase{"FarCornerCell", "corner.xlsx", 0, 1048576, 16384, Kind::Number, "7"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkbookRange, ClaimedDimensionIsIgnored)
{
    Workbook book;
    ASSERT_TRUE(book.open(fixture(QStringLiteral("corner.xlsx"))));
    const UsedRange& used = book.sheet(0).usedRange();
    EXPECT_EQ(used.firstRow, 1048576);
    EXPECT_EQ(used.firstColumn, 16384);
    EXPECT_EQ(used.rowCount, 1);
    EXPECT_EQ(used.columnCount, 1);
    EXPECT_EQ(book.sheet(0).storedCellCount(), 1);
}

// ---- failures ---------------------------------------------------------------------------

struct FailureCase
{
    const char* name;
    const char* file; // a fixture; "" for a missing file, "/" for a folder
    int number;
    const char* says;     // part of the description
    qint64 partBytes = 0; // a lower limit on one unpacked part; 0: the usual one
};

class WorkbookFailureTest : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(WorkbookFailureTest, FailsClearly)
{
    const FailureCase& c = GetParam();
    QTemporaryDir dir;
    QString path = fixture(QString::fromLatin1(c.file));
    if (QByteArray(c.file).isEmpty())
        path = dir.filePath(QStringLiteral("missing.xls"));
    else if (QByteArray(c.file) == "/")
        path = dir.path();
    Workbook book;
    if (c.partBytes > 0) {
        Workbook::Limits limits;
        limits.partBytes = c.partBytes;
        book.setLimits(limits);
    }
    EXPECT_FALSE(book.open(path));
    EXPECT_EQ(book.errorNumber(), c.number);
    EXPECT_TRUE(book.errorDescription().contains(QString::fromUtf8(c.says))) << book.errorDescription().toStdString();
    EXPECT_FALSE(book.isOpen());
    EXPECT_EQ(book.sheetCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WorkbookFailureTest,
    ::testing::Values(FailureCase{"Missing", "", Workbook::FileNotFound, "不存在"},
                      FailureCase{"Folder", "/", Workbook::FileUnreadable, "无法读取"},
                      FailureCase{"TextFile", "notes.xlsx", Workbook::NotAWorkbook, "notes.xlsx"},
                      FailureCase{"ZipWithoutWorkbook", "archive.xlsx", Workbook::NotAWorkbook, "不是Excel工作簿"},
                      FailureCase{"TruncatedXlsx", "truncated.xlsx", Workbook::Damaged, "已损坏或不完整"},
                      FailureCase{"TruncatedXls", "truncated.xls", Workbook::Damaged, "已损坏或不完整"},
                      FailureCase{"HostileFormatRecordBehindAPassword", "overlong-format.xls", Workbook::Encrypted, "加密"},
                      FailureCase{"EncryptedXls", "encrypted.xls", Workbook::Encrypted, "加密"},
                      // Refused before FreeXL reads them: the description names no FreeXL error.
                      FailureCase{"NumberFormatLongerThanItsRecord", "format-length.xls", Workbook::Damaged, "不完整。"},
                      FailureCase{"SharedStringLongerThanTheTable", "sst-length.xls", Workbook::Damaged, "不完整。"},
                      FailureCase{"SharedStringRunsPastTheTable", "sst-runs.xls", Workbook::Damaged, "不完整。"},
                      FailureCase{"SharedStringPhoneticPastTheTable", "sst-phonetic.xls", Workbook::Damaged, "不完整。"},
                      FailureCase{"LabelLongerThanItsRecord", "label-length.xls", Workbook::Damaged, "不完整。"},
                      FailureCase{"DirectoryNameLongerThanItsEntry", "directory-name.xls", Workbook::Damaged, "不完整。"},
                      FailureCase{"SheetWithTwoDimensions", "two-dimensions.xls", Workbook::Damaged, "不完整。"},
                      FailureCase{"SheetTallerThanASheetHolds", "tall-dimension.xls", Workbook::Damaged, "不完整。"},
                      FailureCase{"SharedStringIndexPastTheTable", "sst-index.xls", Workbook::Damaged, "不完整（FreeXL）"},
                      FailureCase{"EncryptedXlsx", "encrypted.xlsx", Workbook::Encrypted, "加密"},
                      FailureCase{"MillionColumns", "wide.xlsx", Workbook::SheetUnreadable, "BDWGN1"},
                      FailureCase{"ZipBomb", "bomb.xlsx", Workbook::TooLarge, "超过1 MB", 1 << 20},
                      FailureCase{"ZipBombThatLiesAboutItsSize", "liar.xlsx", Workbook::TooLarge, "超过1 MB", 1 << 20},
                      FailureCase{"PackedBlanks", "blanks.xlsx", Workbook::TooLarge, "连续内容"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkbookRange, RowsOutOfOrderAndARepeatedCell)
{
    Workbook book;
    ASSERT_TRUE(book.open(fixture(QStringLiteral("unordered.xlsx"))));
    const Worksheet& sheet = book.sheet(0);
    EXPECT_EQ(sheet.usedRange().firstRow, 2);
    EXPECT_EQ(sheet.usedRange().firstColumn, 2);
    EXPECT_EQ(sheet.usedRange().rowCount, 4);
    EXPECT_EQ(sheet.usedRange().columnCount, 2);
    EXPECT_EQ(sheet.cellAt(2, 2).text, QStringLiteral("second"));
    EXPECT_EQ(sheet.cellAt(5, 3).text, QStringLiteral("5"));
    EXPECT_EQ(sheet.storedCellCount(), 2);
}

TEST(WorkbookXls, SharedStringsCutAtRecordEndsReadWhole)
{
    Workbook book;
    ASSERT_TRUE(book.open(fixture(QStringLiteral("long-strings.xls")))) << book.errorDescription().toStdString();
    const Worksheet& sheet = book.sheet(0);
    ASSERT_EQ(sheet.usedRange().rowCount, 200);
    for (int i = 0; i < 200; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
        EXPECT_EQ(sheet.Cells(i + 1, 1).text, n + QStringLiteral("号码簿").repeated(10));
        EXPECT_EQ(sheet.Cells(i + 1, 2).text, QStringLiteral("latin-%1-").arg(n) + QString(40, QLatin1Char('x')));
        EXPECT_EQ(sheet.Cells(i + 1, 3).text, QStringLiteral("甲乙") + n);
    }
}

TEST(WorkbookLimits, TheBombFixtureReadsWithinTheUsualLimits)
{
    // The bombs above fail because of the lowered limit, not because they are broken.
    Workbook book;
    ASSERT_TRUE(book.open(fixture(QStringLiteral("bomb.xlsx")))) << book.errorDescription().toStdString();
    EXPECT_EQ(book.sheet(0).Cells(1, 1).text, QStringLiteral("1"));
}

TEST(WorkbookReopen, FailureAfterSuccessLeavesNothingOfTheOldBook)
{
    Workbook book;
    ASSERT_TRUE(book.open(fixture(QStringLiteral("people.xlsx"))));
    EXPECT_FALSE(book.open(fixture(QStringLiteral("truncated.xlsx"))));
    EXPECT_EQ(book.sheetCount(), 0);
    ASSERT_TRUE(book.open(fixture(QStringLiteral("people.xls"))));
    EXPECT_EQ(book.errorNumber(), Workbook::NoError);
    EXPECT_EQ(book.sheetCount(), 3);
}

// ---- value texts ------------------------------------------------------------------------

struct SerialCase
{
    const char* name;
    double serial;
    bool date1904;
    const char* text;
};

class SerialTextTest : public ::testing::TestWithParam<SerialCase>
{
};

TEST_P(SerialTextTest, ReadsAsTheSheetShowsIt)
{
    const SerialCase& c = GetParam();
    EXPECT_EQ(WorkbookDateText(WorkbookSerialToDate(c.serial, c.date1904)), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(Serials, SerialTextTest,
                         ::testing::Values(SerialCase{"LastMinuteOfTheDay", 31412.99930555555, false,
                                                      "1985-12-31 23:59:00"},
                                           SerialCase{"RoundsUpToMidnight", 31412.9999999, false, "1986-01-01"},
                                           SerialCase{"BeforeTheFalseLeapDay", 59, false, "1900-02-28"},
                                           SerialCase{"AfterTheFalseLeapDay", 61, false, "1900-03-01"},
                                           SerialCase{"FirstDay", 1, false, "1900-01-01"},
                                           SerialCase{"MacSystem", 0.5, true, "1904-01-01 12:00:00"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkbookNumberText, WholeNumbersUpToFifteenDigitsHaveNoExponent)
{
    EXPECT_EQ(WorkbookNumberText(999999999999999.0), QStringLiteral("999999999999999"));
    EXPECT_EQ(WorkbookNumberText(1e15), QStringLiteral("1E+15"));
    EXPECT_EQ(WorkbookNumberText(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(WorkbookNumberText(-42), QStringLiteral("-42"));
}

TEST(WorkbookDateFormats, BuiltInAndCustomCodes)
{
    EXPECT_TRUE(WorkbookIsDateFormat(14, QString()));
    EXPECT_TRUE(WorkbookIsDateFormat(22, QString()));
    EXPECT_TRUE(WorkbookIsDateFormat(46, QString()));
    EXPECT_FALSE(WorkbookIsDateFormat(23, QString()));
    EXPECT_FALSE(WorkbookIsDateFormat(0, QStringLiteral("General")));
    EXPECT_TRUE(WorkbookIsDateFormat(180, QStringLiteral("yyyy\"年\"m\"月\"d\"日\"")));
    EXPECT_TRUE(WorkbookIsDateFormat(181, QStringLiteral("[h]:mm:ss")));
    EXPECT_TRUE(WorkbookIsDateFormat(182, QStringLiteral("[$-804]hh:mm")));
    EXPECT_FALSE(WorkbookIsDateFormat(183, QStringLiteral("0.00\\d")));
    EXPECT_FALSE(WorkbookIsDateFormat(184, QStringLiteral("#,##0_);[Red](#,##0)")));
}

// ---- long shared strings of a .xls -------------------------------------------------------

struct LongTextCase
{
    const char* name;
    int before; // characters of a text stored ahead of it
    QString text;
    bool read; // whole; otherwise the workbook is refused
};

class XlsLongTextTest : public ::testing::TestWithParam<LongTextCase>
{
};

TEST_P(XlsLongTextTest, IsReadWholeOrRefused)
{
    const LongTextCase& c = GetParam();
    QTemporaryDir dir;
    XlsBook written;
    const int sheet = written.addSheet(QStringLiteral("S"));
    if (c.before > 0)
        written.setText(sheet, 0, 1, QString(c.before, QLatin1Char('p')));
    written.setText(sheet, 1, 0, c.text);
    ASSERT_TRUE(written.save(dir.filePath(QStringLiteral("long.xls"))));
    Workbook book;
    ASSERT_EQ(book.open(dir.filePath(QStringLiteral("long.xls"))), c.read) << book.errorDescription().toStdString();
    if (c.read)
        EXPECT_EQ(book.sheet(0).textAt(2, 1), c.text);
    else
        EXPECT_EQ(book.errorNumber(), int(Workbook::SheetUnreadable));
}

// A record holds 8224 bytes: a text of two-byte characters over more than two records used to
// come back cut short.
INSTANTIATE_TEST_SUITE_P(
    Texts, XlsLongTextTest,
    ::testing::Values(LongTextCase{"WideOverTwoRecords", 0, QString(8000, QChar(0x4E2D)), true},
                      LongTextCase{"NarrowOverTwoRecordsAfterAnother", 5000, QString(8300, QLatin1Char('a')), true},
                      LongTextCase{"WideOverThreeRecords", 0, QString(8300, QChar(0x4E2D)), false},
                      LongTextCase{"WideOverThreeRecordsAfterAnother", 5000, QString(8000, QChar(0x4E2D)), false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
