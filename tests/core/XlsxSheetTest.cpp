// Sheet XML as other writers spell it: the values must come out the same.

#include "Workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <zip.h>

namespace {

using Kind = CellValue::Kind;

void addPart(zip_t* archive, const char* name, const QByteArray& data)
{
    void* copy = std::malloc(size_t(data.size()));
    std::memcpy(copy, data.constData(), size_t(data.size()));
    zip_file_add(archive, name, zip_source_buffer(archive, copy, zip_uint64_t(data.size()), 1), ZIP_FL_ENC_UTF_8);
}

// A one-sheet workbook whose sheetData holds the given rows.
QString writeBook(const QTemporaryDir& dir, const QByteArray& rows)
{
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    const QByteArray ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    addPart(archive, "_rels/.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
            "Id=\"rId1\" Type=\"" + ns + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    addPart(archive, "xl/_rels/workbook.xml.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
            "Id=\"rId1\" Type=\"" + ns + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
    addPart(archive, "xl/workbook.xml",
            "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" + ns +
                "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    addPart(archive, "xl/worksheets/sheet1.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<x:worksheet "
            "xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>" + rows +
                "</x:sheetData></x:worksheet>");
    zip_close(archive);
    return path;
}

struct SheetCase
{
    const char* name;
    const char* rows;
    int row, column;
    Kind kind;
    const char* text;
};

class XlsxSheetTest : public ::testing::TestWithParam<SheetCase>
{
};

TEST_P(XlsxSheetTest, ReadsTheCell)
{
    const SheetCase& c = GetParam();
    QTemporaryDir dir;
    Workbook book;
    ASSERT_TRUE(book.open(writeBook(dir, c.rows))) << book.errorDescription().toStdString();
    const CellValue value = book.sheet(0).cellAt(c.row, c.column);
    EXPECT_EQ(value.kind, c.kind);
    EXPECT_EQ(value.text, QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, XlsxSheetTest,
    ::testing::Values(
        SheetCase{"EntitiesInInlineText", "<x:row r='1'><x:c r='A1' t='inlineStr'><x:is><x:t>a&lt;b&amp;c&gt;&quot;&apos;"
                                          "</x:t></x:is></x:c></x:row>", 1, 1, Kind::Text, "a<b&c>\"'"},
        SheetCase{"CharacterReferences", "<x:row><x:c t=\"inlineStr\"><x:is><x:t>&#20013;&#x6587;&#x1F600;</x:t></x:is></x:c>"
                                         "</x:row>", 1, 1, Kind::Text, "中文\xF0\x9F\x98\x80"},
        SheetCase{"SpacesKeptAndRunsJoined", "<x:row r=\"2\"><x:c r=\"B2\" t=\"inlineStr\"><x:is><x:r><x:t xml:space="
                                             "\"preserve\"> a </x:t></x:r><x:r><x:t>b</x:t></x:r></x:is></x:c></x:row>",
                  2, 2, Kind::Text, " a b"},
        SheetCase{"AttributesInOtherOrderAndQuotes", "<x:row r='3'><x:c\ns='0'\tt = 'str' r='C3' ><x:f>A1</x:f><x:v>x&amp;y"
                                                     "</x:v></x:c></x:row>", 3, 3, Kind::Text, "x&y"},
        SheetCase{"SelfClosingCellKeepsTheColumnCount", "<x:row r='1'><x:c r='A1'/><x:c><x:v>5</x:v></x:c></x:row>", 1, 2,
                  Kind::Number, "5"},
        SheetCase{"CommentsAndCdata", "<!-- a <c> in a comment --><x:row r='1'><x:c r='A1' t='str'><x:v><![CDATA[<1>]]>"
                                      "</x:v></x:c></x:row>", 1, 1, Kind::Text, "<1>"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BrokenCase
{
    const char* name;
    const char* rows;
};

class XlsxBrokenSheetTest : public ::testing::TestWithParam<BrokenCase>
{
};

TEST_P(XlsxBrokenSheetTest, IsReportedDamaged)
{
    QTemporaryDir dir;
    Workbook book;
    EXPECT_FALSE(book.open(writeBook(dir, GetParam().rows)));
    EXPECT_EQ(book.errorNumber(), int(Workbook::Damaged));
}

INSTANTIATE_TEST_SUITE_P(
    Broken, XlsxBrokenSheetTest,
    ::testing::Values(BrokenCase{"UnknownEntity", "<x:row><x:c t='str'><x:v>&nbsp;</x:v></x:c></x:row>"},
                      BrokenCase{"MismatchedEndTag", "<x:row><x:c><x:v>1</x:c></x:v></x:row>"},
                      BrokenCase{"ForbiddenCharacterReference", "<x:row><x:c t='str'><x:v>&#1;</x:v></x:c></x:row>"},
                      BrokenCase{"UnquotedAttribute", "<x:row r=1><x:c><x:v>1</x:v></x:c></x:row>"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
