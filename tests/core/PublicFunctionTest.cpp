#include "PublicFunction.h"
#include "CaseName.h"
#include "CodePage.h"
#include "DataStore.h"
#include "TestProgramFolder.h"
#include "db/DbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

// ---- IsMobileNumber --------------------------------------------------------------------

struct MobileCase
{
    const char* name;
    std::optional<QString> input; // nullopt: a null text
    bool valid;
    std::optional<QString> after;
};

class IsMobileNumberTest : public ::testing::TestWithParam<MobileCase>
{
};

TEST_P(IsMobileNumberTest, ChecksAndNormalisesInPlace)
{
    const MobileCase& c = GetParam();
    QString value = c.input ? *c.input : QString();
    EXPECT_EQ(IsMobileNumber(value), c.valid);
    if (c.after) {
        EXPECT_EQ(value, *c.after);
    } else {
        EXPECT_TRUE(value.isNull());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, IsMobileNumberTest,
    ::testing::Values(MobileCase{"PlusPrefixWithBlanks", u"+86 138 0013 8000"_qs, true, u"13800138000"_qs},
                      MobileCase{"LeadingZero", u"013800138000"_qs, true, u"13800138000"_qs},
                      MobileCase{"PrefixWithoutPlus", u"8613800138000"_qs, false, u"8613800138000"_qs},
                      MobileCase{"DoubleZeroPrefixKeeps86", u"008613800138000"_qs, false, u"8613800138000"_qs},
                      MobileCase{"SecondDigitSeven", u"17012345678"_qs, false, u"17012345678"_qs},
                      MobileCase{"BlanksOnlyUnchanged", u"   "_qs, false, u"   "_qs},
                      MobileCase{"EmptyUnchanged", u""_qs, false, u""_qs},
                      MobileCase{"NullUnchanged", std::nullopt, false, std::nullopt},
                      MobileCase{"PlusPrefixAndZeros", u"+8600013912345678"_qs, true, u"13912345678"_qs},
                      MobileCase{"Second4", u"14512345678"_qs, true, u"14512345678"_qs},
                      MobileCase{"Second5", u"15012345678"_qs, true, u"15012345678"_qs},
                      MobileCase{"Second8", u"18912345678"_qs, true, u"18912345678"_qs},
                      MobileCase{"TenDigits", u"1381234567"_qs, false, u"1381234567"_qs},
                      MobileCase{"TwelveDigits", u"138001380001"_qs, false, u"138001380001"_qs},
                      MobileCase{"PrefixRemovedOnlyOnce", u"+86+8613800138000"_qs, false, u"+8613800138000"_qs},
                      MobileCase{"ZeroBeforePlusNotAPrefix", u"0+8613800138000"_qs, false, u"+8613800138000"_qs},
                      MobileCase{"TrailingLineBreak", u"13800138000\n"_qs, false, u"13800138000\n"_qs},
                      MobileCase{"TabIsNoBlank", u"138\t00138000"_qs, false, u"138\t00138000"_qs},
                      MobileCase{"FullWidthDigits", u"１３８００１３８０００"_qs, false, u"１３８００１３８０００"_qs},
                      MobileCase{"LettersInside", u"1380013800a"_qs, false, u"1380013800a"_qs}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- CountSmsParts ---------------------------------------------------------------------

struct PartsCase
{
    int length;
    int charsPerSms;
    int parts;
};

class CountSmsPartsTest : public ::testing::TestWithParam<PartsCase>
{
};

TEST_P(CountSmsPartsTest, CountsParts)
{
    const PartsCase& c = GetParam();
    EXPECT_EQ(CountSmsParts(c.length, c.charsPerSms), c.parts) << c.length << " at " << c.charsPerSms;
}

INSTANTIATE_TEST_SUITE_P(Lengths, CountSmsPartsTest,
                         ::testing::Values(PartsCase{70, 70, 1}, PartsCase{71, 70, 2}, PartsCase{130, 70, 2},
                                           PartsCase{131, 70, 3}, PartsCase{0, 70, 1}, PartsCase{1, 70, 1},
                                           PartsCase{195, 70, 3}, PartsCase{196, 70, 4}, PartsCase{0, 60, 0},
                                           PartsCase{60, 60, 1}, PartsCase{61, 60, 2}, PartsCase{5, 1, 5},
                                           PartsCase{65, 65, 1}, PartsCase{66, 65, 2},
                                           PartsCase{32767 * 65, 70, 32767}),
                         NameFrom(&PartsCase::length));

struct PartsErrorCase
{
    int length;
    int charsPerSms;
    int number;
};

class CountSmsPartsErrorTest : public ::testing::TestWithParam<PartsErrorCase>
{
};

TEST_P(CountSmsPartsErrorTest, Raises)
{
    const PartsErrorCase& c = GetParam();
    try {
        CountSmsParts(c.length, c.charsPerSms);
        FAIL() << "no error for " << c.length << " at " << c.charsPerSms;
    } catch (const HelperError& e) {
        EXPECT_EQ(e.number(), c.number);
        EXPECT_FALSE(e.description().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Invalid, CountSmsPartsErrorTest,
                         ::testing::Values(PartsErrorCase{10, 0, 11}, PartsErrorCase{0, 0, 11},
                                           // past the 16-bit range
                                           PartsErrorCase{32767 * 65 + 1, 70, 6}, PartsErrorCase{40000, 1, 6}),
                         NameFrom(&PartsErrorCase::length));

// ---- ToUnixTime ------------------------------------------------------------------------

struct UnixCase
{
    const char* zone;
    QDateTime local;
    qint64 seconds;
};

class ToUnixTimeTest : public ::testing::TestWithParam<UnixCase>
{
protected:
    void SetUp() override
    {
        m_oldTz = qgetenv("TZ");
        m_hadTz = qEnvironmentVariableIsSet("TZ");
        qputenv("TZ", GetParam().zone);
        tzset();
    }
    void TearDown() override
    {
        if (m_hadTz)
            qputenv("TZ", m_oldTz);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_oldTz;
    bool m_hadTz = false;
};

TEST_P(ToUnixTimeTest, TakesLocalTimeAsUtcPlus8)
{
    const UnixCase& c = GetParam();
    // Built in the machine's zone, as the date pickers hand them over.
    const QDateTime local(c.local.date(), c.local.time());
    EXPECT_EQ(ToUnixTime(local), c.seconds) << c.zone;
}

const QDateTime kEpochPlus8(QDate(1970, 1, 1), QTime(8, 0, 0));
const QDateTime kMidsummer(QDate(2011, 6, 15), QTime(12, 30, 45));
const QDateTime kWithMillis(QDate(1970, 1, 1), QTime(8, 0, 1, 999));
const QDateTime kMidnight1970(QDate(1970, 1, 1), QTime(0, 0, 0));

INSTANTIATE_TEST_SUITE_P(
    Zones, ToUnixTimeTest,
    ::testing::Values(UnixCase{"UTC", kEpochPlus8, 0}, UnixCase{"America/New_York", kEpochPlus8, 0},
                      UnixCase{"Asia/Shanghai", kEpochPlus8, 0}, UnixCase{"Australia/Lord_Howe", kEpochPlus8, 0},
                      UnixCase{"America/New_York", kMidsummer, 1308112245},
                      UnixCase{"Europe/Berlin", kMidsummer, 1308112245}, UnixCase{"UTC", kWithMillis, 1},
                      UnixCase{"Asia/Tokyo", kMidnight1970, -28800}),
    NameFrom(&UnixCase::zone));

TEST(ToUnixTimeInvalid, Raises)
{
    EXPECT_THROW(ToUnixTime(QDateTime()), HelperError);
}

// ---- small text helpers ----------------------------------------------------------------

struct TextCase
{
    QString input;
    QString expected;
};

class GetSalutationTest : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(GetSalutationTest, MapsSex)
{
    EXPECT_EQ(GetSalutation(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sexes, GetSalutationTest,
                         ::testing::Values(TextCase{u""_qs, u""_qs}, TextCase{u"男"_qs, u"先生"_qs},
                                           TextCase{u"女"_qs, u"女士"_qs}, TextCase{u"未知"_qs, u"未知"_qs},
                                           TextCase{u" 男"_qs, u" 男"_qs}, TextCase{u"男女"_qs, u"男女"_qs}),
                         NameFrom(&TextCase::expected));

class SqlQuoteTest : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(SqlQuoteTest, DoublesQuotes)
{
    EXPECT_EQ(SqlQuote(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, SqlQuoteTest,
                         ::testing::Values(TextCase{u"O'Brien"_qs, u"O''Brien"_qs}, TextCase{u""_qs, u""_qs},
                                           TextCase{u"''"_qs, u"''''"_qs}, TextCase{u"'; drop"_qs, u"''; drop"_qs},
                                           TextCase{u"\"x\""_qs, u"\"x\""_qs}),
                         NameFrom(&TextCase::input));

struct VariantCase
{
    const char* name;
    QVariant value;
    QString expected;
};

class NullToEmptyTest : public ::testing::TestWithParam<VariantCase>
{
};

TEST_P(NullToEmptyTest, GivesText)
{
    const QString text = NullToEmpty(GetParam().value);
    EXPECT_EQ(text, GetParam().expected);
    // A null text would be stored as Null again when it is written back.
    EXPECT_FALSE(text.isNull());
}

INSTANTIATE_TEST_SUITE_P(Values, NullToEmptyTest,
                         ::testing::Values(VariantCase{"Invalid", QVariant(), u""_qs},
                                           VariantCase{"NullText", QVariant(QMetaType::fromType<QString>()), u""_qs},
                                           VariantCase{"Integer", QVariant(7), u"7"_qs},
                                           VariantCase{"LongInteger", QVariant(qint64(13800138000)), u"13800138000"_qs},
                                           VariantCase{"Double", QVariant(2.5), u"2.5"_qs},
                                           VariantCase{"Text", QVariant(u"张三"_qs), u"张三"_qs},
                                           VariantCase{"EmptyText", QVariant(u""_qs), u""_qs},
                                           VariantCase{"TextVariantHoldingNullText", QVariant(QString()), u""_qs},
                                           VariantCase{"DateTime",
                                                       QVariant(QDateTime(QDate(2011, 6, 15), QTime(9, 5, 7))),
                                                       u"2011-06-15 09:05:07"_qs}),
                         [](const auto& info) { return std::string(info.param.name); });

class RemoveSpacesTest : public ::testing::TestWithParam<VariantCase>
{
};

TEST_P(RemoveSpacesTest, RemovesEveryBlank)
{
    EXPECT_EQ(RemoveSpaces(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, RemoveSpacesTest,
                         ::testing::Values(VariantCase{"Inner", QVariant(u" 138 0013 8000 "_qs), u"13800138000"_qs},
                                           VariantCase{"TabStays", QVariant(u"a\tb"_qs), u"a\tb"_qs},
                                           VariantCase{"IdeographicSpaceStays", QVariant(u"a　b"_qs), u"a　b"_qs},
                                           VariantCase{"Number", QVariant(1234), u"1234"_qs},
                                           VariantCase{"Empty", QVariant(u""_qs), u""_qs}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- TrimBlanks ------------------------------------------------------------------------

struct TrimCase
{
    const char* name;
    QString input;
    QString expected;
};

class TrimBlanksTest : public ::testing::TestWithParam<TrimCase>
{
};

// The send checks, the number lists and the platform's address encoding all rely on this: a
// text of line breaks or tabs is not empty, and only U+0020 comes off.
TEST_P(TrimBlanksTest, TakesBlanksOffBothEndsOnly)
{
    EXPECT_EQ(TrimBlanks(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, TrimBlanksTest,
                         ::testing::Values(TrimCase{"BothEnds", u"  138 0013 8000  "_qs, u"138 0013 8000"_qs},
                                           TrimCase{"BlanksOnly", u"   "_qs, u""_qs}, TrimCase{"Empty", u""_qs, u""_qs},
                                           TrimCase{"LineBreaksStay", u" \r\n "_qs, u"\r\n"_qs},
                                           TrimCase{"TabsStay", u"\t138\t"_qs, u"\t138\t"_qs},
                                           TrimCase{"IdeographicSpaceStays", u"　张三　"_qs, u"　张三　"_qs}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RemoveSpacesNull, Raises)
{
    for (const QVariant& null : {QVariant(), QVariant(QMetaType::fromType<QString>())}) {
        try {
            RemoveSpaces(null);
            ADD_FAILURE() << "no error for a null value";
        } catch (const HelperError& e) {
            EXPECT_EQ(e.number(), 94);
        }
    }
}

// ---- SaveNumberList --------------------------------------------------------------------

struct SaveCase
{
    const char* name;
    QStringList entries;
    QByteArray fileBytes;
};

class SaveNumberListTest : public ::testing::TestWithParam<SaveCase>
{
protected:
    QTemporaryDir m_dir;
};

TEST_P(SaveNumberListTest, WritesEntriesWithCrLfInGbk)
{
    ASSERT_TRUE(m_dir.isValid());
    const QString path = m_dir.filePath(QStringLiteral("numbers.txt"));
    {
        // An older, longer file of that name is replaced, not partly overwritten.
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(200, 'x'));
    }
    SaveNumberList(path, GetParam().entries);
    EXPECT_EQ(readAll(path), GetParam().fileBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SaveNumberListTest,
    ::testing::Values(
        SaveCase{"TwoNumbers", {u"13800138000"_qs, u"13900139000"_qs}, QByteArray("13800138000\r\n13900139000\r\n")},
        SaveCase{"Empty", {}, QByteArray()},
        SaveCase{
            "ChineseEntry", {u"张三13800138000"_qs}, bytes({0xD5, 0xC5, 0xC8, 0xFD}) + QByteArray("13800138000\r\n")},
        SaveCase{"EmptyEntryKeepsItsLine", {u""_qs, u"1"_qs}, QByteArray("\r\n1\r\n")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaveNumberListFailure, RaisesAndWritesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missingFolder = dir.filePath(QStringLiteral("no/such/folder/list.txt"));
    const QString aFolder = dir.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));

    for (const QString& path : {missingFolder, aFolder}) {
        try {
            SaveNumberList(path, {u"13800138000"_qs});
            ADD_FAILURE() << "no error for " << path.toStdString();
        } catch (const HelperError& e) {
            EXPECT_EQ(e.number(), 75);
            EXPECT_TRUE(e.description().contains(path));
        }
    }
    EXPECT_FALSE(QFile::exists(missingFolder));
    EXPECT_TRUE(QFileInfo(aFolder).isDir());
    // Nothing left behind in the folder but the sub-folder itself.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u"sub"_qs});
}

// ---- BytesToBstr -----------------------------------------------------------------------

struct DecodeCase
{
    const char* name;
    QByteArray input;
    QString expected;
};

class BytesToBstrTest : public ::testing::TestWithParam<DecodeCase>
{
};

TEST_P(BytesToBstrTest, Decodes)
{
    EXPECT_EQ(BytesToBstr(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, BytesToBstrTest,
    ::testing::Values(DecodeCase{"Empty", QByteArray(), u""_qs},
                      DecodeCase{"Ascii", QByteArray("<a>1</a>"), u"<a>1</a>"_qs},
                      DecodeCase{"DigitThenDoubleByte", bytes({0x31, 0xC4, 0xE3}), u"1你"_qs},
                      DecodeCase{"TwoDoubleBytes", bytes({0xC4, 0xE3, 0xD5, 0xC5}), u"你张"_qs},
                      DecodeCase{"TrailInAsciiRange", bytes({0x81, 0x40}), u"丂"_qs},
                      DecodeCase{"TrailFrom80To9F", bytes({0x81, 0x80, 0x31}), u"亐1"_qs},
                      DecodeCase{"ControlCharacters", bytes({0x0D, 0x0A, 0x00}), u"\r\n"_qs + QChar(0)},
                      // A lead byte takes the next byte whatever it is: one character for the pair.
                      DecodeCase{"PairWithoutGbkCode", bytes({0x81, 0x30, 0x41}),
                                 QString(QChar::ReplacementCharacter) + u'A'}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BytesToBstrRoundTrip, DecodesWhatTheCodePageEncodes)
{
    const QString text = u"<errorcode>-8</errorcode>余额不足,连接平台服务器失败,请检查网络！"_qs;
    EXPECT_EQ(BytesToBstr(codepage::encode(text)), text);
}

TEST(BytesToBstrTruncated, RaisesOnLeadByteWithoutTrail)
{
    for (const QByteArray& body : {bytes({0x31, 0xC4}), bytes({0x80}), bytes({0xC4, 0xE3, 0xFF})})
        EXPECT_THROW(BytesToBstr(body), HelperError) << body.toHex().toStdString();
}

// ---- UrlEncodeAnsi ---------------------------------------------------------------------

class UrlEncodeAnsiTest : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(UrlEncodeAnsiTest, Encodes)
{
    EXPECT_EQ(UrlEncodeAnsi(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, UrlEncodeAnsiTest,
                         ::testing::Values(TextCase{u"ab c:"_qs, u"ab%20c%3A"_qs}, TextCase{u"Az09"_qs, u"Az09"_qs},
                                           TextCase{u"\n\r*"_qs, u"%0A%0D%2A"_qs},
                                           TextCase{u"-_.~&=+%"_qs, u"%2D%5F%2E%7E%26%3D%2B%25"_qs},
                                           TextCase{u"你"_qs, u"%C4%E3"_qs}, TextCase{u"张三"_qs, u"%D5%C5%C8%FD"_qs},
                                           TextCase{u"丂"_qs, u"%81@"_qs},   // trail 0x40
                                           TextCase{u"乤"_qs, u"%81a"_qs},   // trail 0x61
                                           TextCase{u"亐"_qs, u"%81%80"_qs}, // trail 0x80
                                           TextCase{u"仧"_qs, u"%81%9F"_qs}, // trail 0x9F
                                           TextCase{u"a亐b"_qs, u"a%81%80b"_qs}, TextCase{u""_qs, u""_qs},
                                           TextCase{u"😀"_qs, u"%3F"_qs}),
                         NameFrom(&TextCase::expected)); // no GBK code: written as "?"

} // namespace

// ---- IsInDraftBox ----------------------------------------------------------------------

namespace {

class IsInDraftBoxTest : public ::testing::TestWithParam<std::pair<QString, bool>>
{
protected:
    void SetUp() override
    {
        m_folder.createDatabase(u"draft.mdb"_qs, u"CREATE TABLE DraftBox (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                                 "MobilePhone TEXT COLLATE NOCASE);"
                                                 "INSERT INTO DraftBox (MobilePhone) VALUES ('13800138000');"
                                                 "INSERT INTO DraftBox (MobilePhone) VALUES ('13800138000');"
                                                 "INSERT INTO DraftBox (MobilePhone) VALUES ('O''Brien');"_qs);
        OpenDatabaseOrThrow(u"draft.mdb"_qs);
    }
    TestProgramFolder m_folder;
};

TEST_P(IsInDraftBoxTest, LooksTheNumberUp)
{
    EXPECT_EQ(IsInDraftBox(GetParam().first), GetParam().second) << GetParam().first.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Numbers, IsInDraftBoxTest,
                         ::testing::Values(std::pair{u"13800138000"_qs, true}, std::pair{u"13900139000"_qs, false},
                                           std::pair{u"1380013800"_qs, false}, std::pair{u"O'Brien"_qs, true},
                                           std::pair{u"x' or '1'='1"_qs, false}, std::pair{u""_qs, false}),
                         NameFrom(&std::pair<QString, bool>::first));

TEST(IsInDraftBoxFailure, RaisesWithoutConnectionOrTable)
{
    TestProgramFolder folder;
    CloseDatabase();
    EXPECT_THROW(IsInDraftBox(u"13800138000"_qs), db::DbError);

    folder.createDatabase(u"empty.mdb"_qs, u"CREATE TABLE Other (id INTEGER PRIMARY KEY);"_qs);
    OpenDatabaseOrThrow(u"empty.mdb"_qs);
    EXPECT_THROW(IsInDraftBox(u"13800138000"_qs), db::DbError);
}

} // namespace
