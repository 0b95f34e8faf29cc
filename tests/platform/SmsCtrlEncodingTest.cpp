#include "CaseName.h"
#include "QtPrinters.h"
#include "SmsCtrl.h"

#include <gtest/gtest.h>

namespace {

struct EncodeCase
{
    QString input;
    QString encoded;
    QString trimmed; // what the caller's variable holds afterwards
};

void PrintTo(const EncodeCase& c, std::ostream* os)
{
    PrintTo(c.input, os);
}

class UrlEncodeUtf8Test : public ::testing::TestWithParam<EncodeCase>
{
};

TEST_P(UrlEncodeUtf8Test, EncodesAndTrimsTheCallersText)
{
    QString text = GetParam().input;
    EXPECT_EQ(SmsCtrl::UrlEncodeUtf8(text), GetParam().encoded);
    EXPECT_EQ(text, GetParam().trimmed);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, UrlEncodeUtf8Test,
    ::testing::Values(
        EncodeCase{QStringLiteral(" 中文 "), QStringLiteral("%E4%B8%AD%E6%96%87"), QStringLiteral("中文")},
        EncodeCase{QStringLiteral("a b"), QStringLiteral("a%20b"), QStringLiteral("a b")},
        EncodeCase{QStringLiteral("\u00E9"), QStringLiteral("%C3%A9"), QStringLiteral("\u00E9")},
        EncodeCase{QStringLiteral("\u000B"), QStringLiteral("%0B"), QStringLiteral("\u000B")},
        EncodeCase{QStringLiteral("\u0416"), QStringLiteral("%D0%96"), QStringLiteral("\u0416")},
        EncodeCase{QStringLiteral("\t"), QStringLiteral("%09"), QStringLiteral("\t")},
        EncodeCase{QStringLiteral("\n"), QStringLiteral("%0A"), QStringLiteral("\n")},
        EncodeCase{QStringLiteral("\r"), QStringLiteral("%0D"), QStringLiteral("\r")},
        EncodeCase{QStringLiteral("\u00B7"), QStringLiteral("%C2%B7"), QStringLiteral("\u00B7")},
        EncodeCase{QStringLiteral("\u00D7"), QStringLiteral("%C3%97"), QStringLiteral("\u00D7")},
        // Only blanks are trimmed; other white space is encoded.
        EncodeCase{QStringLiteral(" \t x \n "), QStringLiteral("%09%20x%20%0A"), QStringLiteral("\t x \n")},
        EncodeCase{QStringLiteral("   "), QString(), QString()},
        EncodeCase{QStringLiteral("AZaz09"), QStringLiteral("AZaz09"), QStringLiteral("AZaz09")},
        EncodeCase{QStringLiteral("-_.~;+&="), QStringLiteral("%2D%5F%2E%7E%3B%2B%26%3D"), QStringLiteral("-_.~;+&=")},
        EncodeCase{QStringLiteral("\u007F\u0080\u07FF\u0800\uFFFF"),
                   QStringLiteral("%7F%C2%80%DF%BF%E0%A0%80%EF%BF%BF"),
                   QStringLiteral("\u007F\u0080\u07FF\u0800\uFFFF")},
        // Beyond U+FFFF: the pair becomes one four-byte character; a lone half the replacement character.
        EncodeCase{QString::fromUcs4(U"\U0001F600"), QStringLiteral("%F0%9F%98%80"), QString::fromUcs4(U"\U0001F600")},
        EncodeCase{QString(QChar(0xD800)) + QLatin1Char('a'), QStringLiteral("%EF%BF%BDa"),
                   QString(QChar(0xD800)) + QLatin1Char('a')}),
    NameFrom(&EncodeCase::encoded));

struct CodeCase
{
    QString code;
    QString text;
};

void PrintTo(const CodeCase& c, std::ostream* os)
{
    PrintTo(c.code, os);
}

class ResultCodeTextTest : public ::testing::TestWithParam<CodeCase>
{
};

TEST_P(ResultCodeTextTest, MapsTheReplyCode)
{
    EXPECT_EQ(SmsCtrl::ResultCodeText(GetParam().code), GetParam().text);
}

const QString kOk = QStringLiteral("操作成功");
const QString kUnknown = QStringLiteral("未知错误");

INSTANTIATE_TEST_SUITE_P(Table, ResultCodeTextTest,
                         ::testing::Values(CodeCase{QStringLiteral("-1"), QStringLiteral("用户名或密码为空")},
                                           CodeCase{QStringLiteral("-2"), QStringLiteral("用户名或者密码错误")},
                                           CodeCase{QStringLiteral("-3"), QStringLiteral("用户名已经被锁定")},
                                           CodeCase{QStringLiteral("-7"), QStringLiteral("发送内容为空")},
                                           CodeCase{QStringLiteral("-8"), QStringLiteral("余额不足")},
                                           CodeCase{QStringLiteral("-9"), QStringLiteral("没有正确的号码")},
                                           CodeCase{QStringLiteral("-10"), QStringLiteral("LogId错误！")},
                                           CodeCase{QStringLiteral("-11"), QStringLiteral("内容里有关键字")},
                                           CodeCase{QStringLiteral("-12"), QStringLiteral("一次提交的手机号码过多！")},
                                           CodeCase{QStringLiteral("-100"), QStringLiteral("系统错误")}),
                         NameFrom(&CodeCase::code));

// A code counts as success when, as text, it is not smaller than "0".
INSTANTIATE_TEST_SUITE_P(
    TextComparison, ResultCodeTextTest,
    ::testing::Values(CodeCase{QStringLiteral("0"), kOk}, CodeCase{QStringLiteral("1"), kOk},
                      CodeCase{QStringLiteral("2"), kOk}, CodeCase{QStringLiteral("00"), kOk},
                      CodeCase{QStringLiteral("abc"), kOk}, CodeCase{QStringLiteral("Z"), kOk},
                      CodeCase{QStringLiteral("中"), kOk}, CodeCase{QStringLiteral("0-1"), kOk},
                      CodeCase{QString(), kUnknown}, CodeCase{QStringLiteral("-4"), kUnknown},
                      CodeCase{QStringLiteral("-1x"), kUnknown}, CodeCase{QStringLiteral("-100 "), kUnknown},
                      CodeCase{QStringLiteral(" 1"), kUnknown}, CodeCase{QStringLiteral("/"), kUnknown},
                      CodeCase{QStringLiteral("-"), kUnknown}, CodeCase{QStringLiteral("+1"), kUnknown}),
    NameFrom(&CodeCase::code));

} // namespace
