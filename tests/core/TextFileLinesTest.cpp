#include "TextFileLines.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct LinesCase
{
    const char* name;
    QByteArray bytes;
    QStringList lines;
    qint64 lineNumberAtEnd;
};

void PrintTo(const LinesCase& c, std::ostream* os)
{
    *os << c.name;
}

class TextFileLinesTest : public ::testing::TestWithParam<LinesCase>
{
};

TEST_P(TextFileLinesTest, GivesTheLinesReadAndTheLineNumberAtTheEnd)
{
    const textfile::Lines result = textfile::splitLines(GetParam().bytes);
    EXPECT_EQ(result.lines, GetParam().lines);
    EXPECT_EQ(result.lineNumberAtEnd, GetParam().lineNumberAtEnd);
}

QByteArray utf16(const QString& text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes;
}

const QString kZhang = QStringLiteral("张三");

INSTANTIATE_TEST_SUITE_P(
    Texts, TextFileLinesTest,
    ::testing::Values(
        LinesCase{"Empty", QByteArray(), {}, 1},
        LinesCase{"OneLineWithoutBreak", "13800138000", {"13800138000"}, 1},
        LinesCase{"CrLfAndLfBreaks", "a\r\nb\nc", {"a", "b", "c"}, 3},
        LinesCase{"FinalBreakAddsNoLineButCounts", "a\r\nb\r\n", {"a", "b"}, 3},
        LinesCase{"OnlyBreaks", "\n\r\n", {"", ""}, 3},
        LinesCase{"LoneCrStaysInItsLine", "a\rb\nc\r", {"a\rb", "c\r"}, 2},
        LinesCase{"CrCrLfKeepsOneCr", "a\r\r\nb", {"a\r", "b"}, 2},
        LinesCase{"Utf8MarkIsDropped", "\xEF\xBB\xBF" "13800138000\r\n" "\xE5\xBC\xA0\xE4\xB8\x89",
                  {"13800138000", kZhang}, 2},
        LinesCase{"Utf8MarkOnly", "\xEF\xBB\xBF", {}, 1},
        LinesCase{"Utf16LittleEndian", utf16(QStringLiteral("张三\r\n13800138000\n"), false),
                  {kZhang, "13800138000"}, 3},
        LinesCase{"Utf16BigEndian", utf16(QStringLiteral("13800138000\r\n张三"), true), {"13800138000", kZhang}, 2},
        LinesCase{"GbkWithoutMark", "\xD5\xC5\xC8\xFD\r\n13800138000", {kZhang, "13800138000"}, 2},
        // A lead byte cut off by a line break must not swallow the break and the next line.
        LinesCase{"GbkStrayLeadByteKeepsTheBreak", "\xD5\n13800138000", {QString(QChar(0xFFFD)), "13800138000"},
                  2},
        // Mark bytes count only at the very start: later they are GBK text.
        LinesCase{"MarkBytesLaterAreText", "a\n\xEF\xBB", {"a", QStringLiteral("锘")}, 2}),
    [](const ::testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

} // namespace
