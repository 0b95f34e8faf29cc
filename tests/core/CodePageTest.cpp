#include "CodePage.h"
#include "CaseName.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CodePageFileTest : public ::testing::Test
{
protected:
    QString write(const QByteArray& content)
    {
        const QString path = m_dir.filePath(QStringLiteral("f.txt"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            ADD_FAILURE() << "cannot prepare " << path.toStdString();
        return path;
    }
    QTemporaryDir m_dir;
};

struct FirstLineCase
{
    const char* name;
    QByteArray content;
    QString line;
};

class ReadFirstLineTest : public CodePageFileTest, public ::testing::WithParamInterface<FirstLineCase>
{
};

TEST_P(ReadFirstLineTest, StopsAtTheLineBreak)
{
    QString line = u"unchanged"_qs;
    ASSERT_TRUE(codepage::readFirstLine(write(GetParam().content), &line));
    EXPECT_EQ(line, GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Files, ReadFirstLineTest,
                         ::testing::Values(FirstLineCase{"CrLf", QByteArray("http://a/b\r\nsecond\r\n"),
                                                         u"http://a/b"_qs},
                                           FirstLineCase{"Lf", QByteArray("first\nsecond"), u"first"_qs},
                                           FirstLineCase{"NoBreak", QByteArray("only"), u"only"_qs},
                                           FirstLineCase{"Empty", QByteArray(), u""_qs},
                                           FirstLineCase{"Gbk", QByteArray("\xC4\xE3\xBA\xC3\r\n"), u"你好"_qs}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CodePageFileTest, ReadsWholeFileInGbk)
{
    QString text;
    ASSERT_TRUE(codepage::readTextFile(write(QByteArray("a\r\n\xD5\xC5\xC8\xFD\r\n")), &text));
    EXPECT_EQ(text, u"a\r\n张三\r\n"_qs);
}

TEST_F(CodePageFileTest, WritesGbkAndReplacesTheOldFile)
{
    const QString path = write(QByteArray(100, 'x'));
    QString error;
    ASSERT_TRUE(codepage::writeTextFile(path, u"你\r\n"_qs, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\xC4\xE3\r\n"));
}

TEST_F(CodePageFileTest, MissingFilesAndFoldersFailWithAReason)
{
    const QString missing = m_dir.filePath(QStringLiteral("none/f.txt"));
    QString text = u"unchanged"_qs;
    QString error;
    EXPECT_FALSE(codepage::readTextFile(missing, &text, &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(codepage::readFirstLine(missing, &text, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(text, u"unchanged"_qs);
    error.clear();
    EXPECT_FALSE(codepage::writeTextFile(missing, u"x"_qs, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(missing));
}

struct EncodeCase
{
    QString text;
    QByteArray bytes;
    bool lossy;
};

class EncodeTest : public ::testing::TestWithParam<EncodeCase>
{
};

TEST_P(EncodeTest, EncodesAndReportsLoss)
{
    bool lossy = !GetParam().lossy;
    EXPECT_EQ(codepage::encode(GetParam().text, &lossy), GetParam().bytes);
    EXPECT_EQ(lossy, GetParam().lossy);
    if (!GetParam().lossy) {
        EXPECT_EQ(codepage::decode(GetParam().bytes), GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, EncodeTest,
                         ::testing::Values(EncodeCase{u"abc"_qs, QByteArray("abc"), false},
                                           EncodeCase{u"你"_qs, QByteArray("\xC4\xE3"), false},
                                           EncodeCase{u""_qs, QByteArray(), false},
                                           EncodeCase{u"a😀"_qs, QByteArray("a?"), true},
                                           EncodeCase{u"한"_qs, QByteArray("?"), true}),
                         NameFrom(&EncodeCase::text));

} // namespace
