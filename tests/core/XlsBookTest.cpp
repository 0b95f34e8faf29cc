// The .xls workbook: what it writes is read back by FreeXL directly, so a fault of the writer
// cannot hide behind the same fault in our own reading.

#include "XlsBook.h"

#include <QFile>
#include <QTemporaryDir>
#include <freexl.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace {

// What FreeXL finds in a file: per sheet its name, its size and every non-empty cell as text
// ("n:" and the number for numbers).
struct Seen
{
    struct Sheet
    {
        QString name;
        unsigned rows = 0;
        unsigned columns = 0;
        std::map<std::pair<unsigned, unsigned>, QString> cells;
    };
    int opened = -1;
    std::vector<Sheet> sheets;
};

Seen readWithFreeXl(const QString& path)
{
    Seen seen;
    const void* handle = nullptr;
    seen.opened = freexl_open(QFile::encodeName(path).constData(), &handle);
    if (seen.opened != FREEXL_OK)
        return seen;
    unsigned count = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count);
    for (unsigned s = 0; s < count; ++s) {
        Seen::Sheet sheet;
        const char* name = nullptr;
        freexl_get_worksheet_name(handle, quint16(s), &name);
        sheet.name = QString::fromUtf8(name);
        freexl_select_active_worksheet(handle, quint16(s));
        unsigned short columns = 0;
        freexl_worksheet_dimensions(handle, &sheet.rows, &columns);
        sheet.columns = columns;
        for (unsigned r = 0; r < sheet.rows; ++r)
            for (unsigned c = 0; c < columns; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(handle, r, quint16(c), &v) != FREEXL_OK)
                    continue;
                if (v.type == FREEXL_CELL_TEXT || v.type == FREEXL_CELL_SST_TEXT)
                    sheet.cells[{r, c}] = QString::fromUtf8(v.value.text_value);
                else if (v.type == FREEXL_CELL_DOUBLE)
                    sheet.cells[{r, c}] = QStringLiteral("n:") + QString::number(v.value.double_value, 'g', 17);
                else if (v.type == FREEXL_CELL_INT)
                    sheet.cells[{r, c}] = QStringLiteral("n:") + QString::number(v.value.int_value);
            }
        seen.sheets.push_back(sheet);
    }
    freexl_close(handle);
    return seen;
}

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct RoundTripCase
{
    const char* name;
    std::function<void(XlsBook&)> fill;
    std::function<void(const Seen&)> check;
};

class XlsBookRoundTrip : public ::testing::TestWithParam<RoundTripCase>
{
protected:
    QTemporaryDir dir;
};

TEST_P(XlsBookRoundTrip, FreeXlReadsBackWhatWasWritten)
{
    XlsBook book;
    GetParam().fill(book);
    const QString path = dir.filePath(QStringLiteral("out.xls"));
    ASSERT_TRUE(book.save(path)) << book.error().toStdString();
    const Seen seen = readWithFreeXl(path);
    ASSERT_EQ(seen.opened, FREEXL_OK);
    GetParam().check(seen);
}

// Unique texts of a few characters, one-byte or Chinese: enough of them overflow the string
// table into continuation records, where some strings break across two records.
QString numbered(int i, bool chinese)
{
    return (chinese ? text("联系人") : QStringLiteral("contact-")) + QString::number(i);
}

const RoundTripCase kRoundTrips[] = {
    {"SheetsKeepTheirNamesAndOrder",
     [](XlsBook& b) {
         b.addSheet(text("通讯录"));
         b.addSheet(QStringLiteral("Sheet2"));
         b.addSheet(QStringLiteral("x"));
     },
     [](const Seen& s) {
         ASSERT_EQ(s.sheets.size(), 3u);
         EXPECT_EQ(s.sheets[0].name, text("通讯录"));
         EXPECT_EQ(s.sheets[1].name, QStringLiteral("Sheet2"));
         EXPECT_EQ(s.sheets[2].name, QStringLiteral("x"));
         EXPECT_EQ(s.sheets[0].rows, 0u);
     }},
    {"TextNumbersAndGapsLandInTheirCells",
     [](XlsBook& b) {
         const int s = b.addSheet(QStringLiteral("Sheet1"));
         b.setText(s, 0, 0, text("张三"));
         b.setText(s, 0, 2, QStringLiteral("O'Brien -- é"));
         b.setNumber(s, 1, 1, 13900139000.0);
         b.setNumber(s, 3, 0, -2.5);
         b.setText(s, 3, 3, text("𠀋 beyond the BMP"));
         b.setText(s, 1, 2, QString()); // left empty
     },
     [](const Seen& s) {
         const auto& c = s.sheets.at(0).cells;
         EXPECT_EQ(s.sheets[0].rows, 4u);
         EXPECT_EQ(s.sheets[0].columns, 4u);
         EXPECT_EQ(c.at({0, 0}), text("张三"));
         EXPECT_EQ(c.at({0, 2}), QStringLiteral("O'Brien -- é"));
         EXPECT_EQ(c.at({1, 1}), QStringLiteral("n:13900139000"));
         EXPECT_EQ(c.at({3, 0}), QStringLiteral("n:-2.5"));
         EXPECT_EQ(c.at({3, 3}), text("𠀋 beyond the BMP"));
         EXPECT_EQ(c.size(), 5u);
     }},
    {"ALaterValueReplacesAnEarlierOneAndAnEmptyTextClearsTheCell",
     [](XlsBook& b) {
         const int s = b.addSheet(QStringLiteral("Sheet1"));
         b.setText(s, 2, 1, QStringLiteral("old"));
         b.setText(s, 0, 0, QStringLiteral("first"));
         b.setNumber(s, 2, 1, 7);
         b.setText(s, 0, 1, QStringLiteral("gone"));
         b.setText(s, 0, 1, QString());
     },
     [](const Seen& s) {
         const auto& c = s.sheets.at(0).cells;
         EXPECT_EQ(c.at({0, 0}), QStringLiteral("first"));
         EXPECT_EQ(c.at({2, 1}), QStringLiteral("n:7"));
         EXPECT_EQ(c.count({0, 1}), 0u);
         EXPECT_EQ(c.size(), 2u);
     }},
    // FreeXL reads a string over two records, no further: the longer ones are checked by hand.
    {"LongTextsBreakAcrossRecords",
     [](XlsBook& b) {
         const int s = b.addSheet(QStringLiteral("Sheet1"));
         b.setText(s, 0, 0, QString(10000, QLatin1Char('a')));
         b.setText(s, 1, 0, QString(4000, QChar(0x4E2D)));
         b.setText(s, 2, 0, QStringLiteral("after"));
     },
     [](const Seen& s) {
         const auto& c = s.sheets.at(0).cells;
         EXPECT_EQ(c.at({0, 0}), QString(10000, QLatin1Char('a')));
         EXPECT_EQ(c.at({1, 0}), QString(4000, QChar(0x4E2D)));
         EXPECT_EQ(c.at({2, 0}), QStringLiteral("after"));
     }},
    {"ManyStringsAcrossContinuationsAndTwoSheets",
     [](XlsBook& b) {
         const int first = b.addSheet(QStringLiteral("A"));
         const int second = b.addSheet(QStringLiteral("B"));
         for (int i = 0; i < 6000; ++i) {
             b.setText(first, i, 0, numbered(i, i % 3 == 0));
             b.setText(second, i, 1, numbered(i, i % 3 != 0));
         }
     },
     [](const Seen& s) {
         ASSERT_EQ(s.sheets.size(), 2u);
         for (unsigned i = 0; i < 6000; ++i) {
             ASSERT_EQ(s.sheets[0].cells.at({i, 0}), numbered(int(i), i % 3 == 0)) << i;
             ASSERT_EQ(s.sheets[1].cells.at({i, 1}), numbered(int(i), i % 3 != 0)) << i;
         }
     }},
    {"AFullHeightSheetNeedsTheExtendedSectorIndex",
     [](XlsBook& b) {
         const int s = b.addSheet(QStringLiteral("Sheet1"));
         for (int r = 0; r < XlsBook::kMaxRows; ++r)
             for (int c = 0; c < 8; ++c)
                 b.setNumber(s, r, c, r * 8 + c);
         b.setText(s, XlsBook::kMaxRows - 1, XlsBook::kMaxColumns - 1, QStringLiteral("corner"));
     },
     [](const Seen& s) {
         const auto& sheet = s.sheets.at(0);
         EXPECT_EQ(sheet.rows, unsigned(XlsBook::kMaxRows));
         EXPECT_EQ(sheet.columns, unsigned(XlsBook::kMaxColumns));
         for (unsigned r = 0; r < unsigned(XlsBook::kMaxRows); r += 997)
             ASSERT_EQ(sheet.cells.at({r, 5}), QStringLiteral("n:") + QString::number(r * 8 + 5)) << r;
         EXPECT_EQ(sheet.cells.at({65535, 7}), QStringLiteral("n:524287"));
         EXPECT_EQ(sheet.cells.at({65535, 255}), QStringLiteral("corner"));
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, XlsBookRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

struct LimitCase
{
    const char* name;
    std::function<bool(XlsBook&, int sheet)> call;
    bool accepted;
};

class XlsBookLimits : public ::testing::TestWithParam<LimitCase>
{
};

TEST_P(XlsBookLimits, TheFormatsBoundsAreRefusedWithAReason)
{
    XlsBook book;
    const int sheet = book.addSheet(QStringLiteral("Sheet1"));
    ASSERT_EQ(sheet, 0);
    const bool ok = GetParam().call(book, sheet);
    EXPECT_EQ(ok, GetParam().accepted);
    EXPECT_EQ(book.error().isEmpty(), GetParam().accepted);
    if (ok)
        return;
    // A refused call leaves the book as it was: what is written holds only what went in.
    QTemporaryDir dir;
    ASSERT_TRUE(book.save(dir.filePath(QStringLiteral("b.xls"))));
    const Seen seen = readWithFreeXl(dir.filePath(QStringLiteral("b.xls")));
    ASSERT_EQ(seen.opened, FREEXL_OK);
    EXPECT_EQ(seen.sheets.size(), 1u);
    EXPECT_TRUE(seen.sheets.at(0).cells.empty());
}

const LimitCase kLimits[] = {
    {"LastRowFits", [](XlsBook& b, int s) { return b.setText(s, 65535, 0, QStringLiteral("x")); }, true},
    {"RowPastTheEnd", [](XlsBook& b, int s) { return b.setText(s, 65536, 0, QStringLiteral("x")); }, false},
    {"NegativeRow", [](XlsBook& b, int s) { return b.setNumber(s, -1, 0, 1); }, false},
    {"LastColumnFits", [](XlsBook& b, int s) { return b.setNumber(s, 0, 255, 1); }, true},
    {"ColumnPastTheEnd", [](XlsBook& b, int s) { return b.setNumber(s, 0, 256, 1); }, false},
    {"LongestText", [](XlsBook& b, int s) { return b.setText(s, 0, 0, QString(32767, QLatin1Char('x'))); }, true},
    {"TextTooLong", [](XlsBook& b, int s) { return b.setText(s, 0, 0, QString(32768, QLatin1Char('x'))); }, false},
    {"NotANumber", [](XlsBook& b, int s) { return b.setNumber(s, 0, 0, std::nan("")); }, false},
    {"NoSuchSheet", [](XlsBook& b, int) { return b.setText(1, 0, 0, QStringLiteral("x")); }, false},
    {"SheetNameOf31", [](XlsBook& b, int) { return b.addSheet(QString(31, QLatin1Char('s'))) == 1; }, true},
    {"SheetNameOf32", [](XlsBook& b, int) { return b.addSheet(QString(32, QLatin1Char('s'))) >= 0; }, false},
    {"EmptySheetName", [](XlsBook& b, int) { return b.addSheet(QString()) >= 0; }, false},
    {"SlashInSheetName", [](XlsBook& b, int) { return b.addSheet(QStringLiteral("a/b")) >= 0; }, false},
    {"BracketInSheetName", [](XlsBook& b, int) { return b.addSheet(QStringLiteral("[a")) >= 0; }, false},
    {"LeadingApostrophe", [](XlsBook& b, int) { return b.addSheet(QStringLiteral("'a")) >= 0; }, false},
    {"SameNameOtherCase", [](XlsBook& b, int) { return b.addSheet(QStringLiteral("SHEET1")) >= 0; }, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, XlsBookLimits, ::testing::ValuesIn(kLimits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XlsBookLoad, AWrittenBookLoadsWithEverySheetAndCell)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.xls"));
    XlsBook written;
    const int s = written.addSheet(text("表一"));
    written.addSheet(QStringLiteral("Empty"));
    written.setText(s, 0, 1, text("手机号码"));
    written.setNumber(s, 4, 0, 3.25);
    ASSERT_TRUE(written.save(path));

    XlsBook read;
    ASSERT_TRUE(read.load(path)) << read.error().toStdString();
    ASSERT_EQ(read.sheetCount(), 2);
    EXPECT_EQ(read.sheetName(0), text("表一"));
    EXPECT_EQ(read.findSheet(QStringLiteral("empty")), 1);
    const auto cells = read.cells(0);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].row, 0);
    EXPECT_EQ(cells[0].column, 1);
    EXPECT_EQ(cells[0].text, text("手机号码"));
    EXPECT_EQ(cells[1].row, 4);
    EXPECT_EQ(cells[1].type, XlsBook::CellType::Number);
    EXPECT_EQ(cells[1].number, 3.25);
    EXPECT_TRUE(read.cells(1).empty());
}

// The export reads its template back and writes it out again: a text FreeXL would give back cut
// short is refused as the imports refuse it, never written back shortened.
TEST(XlsBookLoad, ATextFreeXlWouldCutShortIsRefusedNotReadBackCut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.xls"));
    XlsBook written;
    const int s = written.addSheet(QStringLiteral("Sheet1"));
    ASSERT_TRUE(written.setText(s, 0, 0, QString(8300, QChar(0x4E2D)))); // over three records
    ASSERT_TRUE(written.save(path));

    XlsBook read;
    EXPECT_FALSE(read.load(path));
    EXPECT_EQ(read.error(), text("工作簿“long.xls”中有单元格的文字过长或含有无效字符，无法读取。"));
    EXPECT_EQ(read.sheetCount(), 0);
}

TEST(XlsBookLoad, WhatIsNoWorkbookIsRefusedAndASaveFailureLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString junk = dir.filePath(QStringLiteral("junk.xls"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();

    XlsBook book;
    EXPECT_FALSE(book.load(junk));
    EXPECT_FALSE(book.error().isEmpty());
    EXPECT_FALSE(book.load(dir.filePath(QStringLiteral("missing.xls"))));
    EXPECT_EQ(book.sheetCount(), 0);

    // No sheet at all is no workbook Excel opens: the file of that name stays as it was.
    EXPECT_FALSE(book.save(junk));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(4096, 'x'));
    EXPECT_FALSE(XlsBook().save(dir.filePath(QStringLiteral("no/such/folder.xls"))));
}

} // namespace
