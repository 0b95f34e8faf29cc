#include "ImportTXT2.h"
#include "Controls.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "NumberListModel.h"
#include "QtPrinters.h"
#include "ScriptedDesktop.h"
#include "SendPage.h"
#include "TestProgramFolder.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Icon = Desktop::Icon;

const QString kFilter = QStringLiteral("文本文件(*.txt)|*.txt");

enum class Layout
{
    Lines,
    Semicolons
};

void PrintTo(Layout layout, std::ostream* os)
{
    *os << (layout == Layout::Lines ? "one per line" : "separated by ;");
}

class ImportTXT2Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetGlobalState();
        page = std::make_unique<SendPage>();
        dialog = std::make_unique<ImportTXT2>(*page, nullptr);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void TearDown() override
    {
        dialog.reset();
        page.reset();
        folder.reset();
        desktop.verifyAllConsumed();
    }

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("numbers.txt"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            ADD_FAILURE() << "cannot write " << path.toStdString();
        return path;
    }

    // Chooses the file through "…" and sets the layout.
    void choose(const QString& path, Layout layout)
    {
        desktop.expectOpenFile(kFilter, path);
        QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton1"), Qt::LeftButton);
        ASSERT_EQ(Control<QLineEdit>(*dialog, "Text1")->text(), path);
        (layout == Layout::Lines ? Control<QRadioButton>(*dialog, "AeroOptionButton1")
                                 : Control<QRadioButton>(*dialog, "AeroOptionButton2"))
            ->setChecked(true);
    }

    void expectClosingMessage(const ScriptedDesktop::Match& text)
    {
        desktop.expectMessage(text, QStringLiteral("导入完成"), Icon::Information);
    }

    // Runs step at every pause of the import until it returns true.
    void duringImport(std::function<bool()> step)
    {
        dialog->setYieldInterval(0);
        auto* timer = new QTimer(dialog.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
            if (step())
                timer->stop();
        });
        timer->start();
    }

    void pressOk() { QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton2"), Qt::LeftButton); }
    QStringList list() const { return page->numberList()->texts(); }

    ScriptedDesktop desktop;
    QTemporaryDir dir;
    std::unique_ptr<TestProgramFolder> folder;
    std::unique_ptr<SendPage> page;
    std::unique_ptr<ImportTXT2> dialog;
};

struct ImportCase
{
    const char* name;
    Layout layout;
    QByteArray file;
    QStringList before; // already in the list
    QStringList after;
    QString message;
};

void PrintTo(const ImportCase& c, std::ostream* os)
{
    *os << c.name;
}

class ImportTXT2Files : public ImportTXT2Test, public ::testing::WithParamInterface<ImportCase>
{
};

TEST_P(ImportTXT2Files, AddsTheValidNumbersRemovesDuplicatesReportsAndCloses)
{
    const ImportCase& c = GetParam();
    for (const QString& number : c.before)
        page->numberList()->add(number);
    page->DelRepeat();
    choose(write(c.file), c.layout);
    if (c.layout == Layout::Semicolons && c.file.isEmpty())
        desktop.expectMessage(QStringLiteral("你所选择的文件为空文件"), QStringLiteral("找不到号码"), Icon::Information);
    expectClosingMessage(c.message);
    pressOk();
    EXPECT_EQ(list(), c.after);
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共%1个号码").arg(c.after.size()));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

const QString k138 = QStringLiteral("13800138000");
const QString k139 = QStringLiteral("13900139000");
const QString k150 = QStringLiteral("15000150000");

INSTANTIATE_TEST_SUITE_P(
    Files, ImportTXT2Files,
    ::testing::Values(
        // The count is of lines read in one layout and of valid numbers in the other.
        ImportCase{"LinesCountLinesRead", Layout::Lines, "13800138000\r\n\r\n13900139000", {}, {k138, k139},
                   QStringLiteral("共有号码3个")},
        ImportCase{"SemicolonsCountValidNumbers", Layout::Semicolons, "13800138000;13900139000", {}, {k138, k139},
                   QStringLiteral("共有号码2个")},
        ImportCase{"LinesAreNormalised", Layout::Lines, "+86 138 0013 8000\n0013900139000\n  15000150000  \n", {},
                   {k138, k139, k150}, QStringLiteral("共有号码3个")},
        ImportCase{"PiecesAreNormalised", Layout::Semicolons, " +8613800138000 ;00139 0013 9000", {}, {k138, k139},
                   QStringLiteral("共有号码2个")},
        ImportCase{"WrongSecondDigitAndTenDigitsAreSkipped", Layout::Lines, "17012345678\n1380013800\n13800138000",
                   {}, {k138}, QStringLiteral("共有号码3个")},
        ImportCase{"LoneCrPieceIsSkippedLineBreaksInPiecesAreNot", Layout::Semicolons,
                   "13800138000\r;\r\n13900139000\n;15000150000\n", {}, {k139, k150}, QStringLiteral("共有号码2个")},
        ImportCase{"LoneCrInALineIsSkipped", Layout::Lines, "13800138000\r13900139000\n15000150000", {}, {k150},
                   QStringLiteral("共有号码2个")},
        ImportCase{"EmptyFileByLines", Layout::Lines, "", {}, {}, QStringLiteral("共有号码0个")},
        ImportCase{"EmptyFileBySemicolons", Layout::Semicolons, "", {k138}, {k138}, QStringLiteral("共有号码0个")},
        ImportCase{"DuplicatesOfTheListAndTheFileAreRemoved", Layout::Lines, "13800138000\n13900139000\n13800138000",
                   {k138}, {k138, k139}, QStringLiteral("共有号码3个，自动清除重复号码2个")},
        ImportCase{"Utf8MarkFile", Layout::Lines, "\xEF\xBB\xBF" "13800138000\r\n13900139000", {}, {k138, k139},
                   QStringLiteral("共有号码2个")},
        ImportCase{"Utf16LittleEndianFile", Layout::Lines,
                   QByteArray("\xFF\xFE" "1\0" "3\0" "8\0" "0\0" "0\0" "1\0" "3\0" "8\0" "0\0" "0\0" "0\0" "\r\0\n\0",
                              28),
                   {}, {k138}, QStringLiteral("共有号码1个")},
        // Names beside the numbers, as a GBK editor saves them.
        ImportCase{"GbkFile", Layout::Semicolons, "\xD5\xC5\xC8\xFD;13800138000;\xC0\xEE\xCB\xC4;13900139000", {},
                   {k138, k139}, QStringLiteral("共有号码2个")}),
    [](const ::testing::TestParamInfo<ImportCase>& info) { return std::string(info.param.name); });

struct RecordsCase
{
    const char* name;
    QByteArray file;
    int records;
};

class ImportTXT2Records : public ImportTXT2Test, public ::testing::WithParamInterface<RecordsCase>
{
};

// While the lines load, the label names L and the browse button is off.
TEST_P(ImportTXT2Records, TheLoadingLabelCountsTheFinalEmptyLine)
{
    choose(write(GetParam().file), Layout::Lines);
    QString label;
    bool browseEnabled = true;
    duringImport([&] {
        label = Control<QLabel>(*dialog, "Label2")->text();
        browseEnabled = Control<QPushButton>(*dialog, "AeroButton1")->isEnabled();
        return true;
    });
    expectClosingMessage(desktop.anyText());
    pressOk();
    EXPECT_EQ(label, QStringLiteral("检测到%1条记录,正在加载号码到内存……").arg(GetParam().records));
    EXPECT_FALSE(browseEnabled);
}

INSTANTIATE_TEST_SUITE_P(Files, ImportTXT2Records,
                         ::testing::Values(RecordsCase{"TwoLines", "13800138000\r\n13900139000", 2},
                                           RecordsCase{"TwoLinesAndFinalBreak", "13800138000\r\n13900139000\r\n", 3}),
                         [](const ::testing::TestParamInfo<RecordsCase>& info) { return std::string(info.param.name); });

TEST_F(ImportTXT2Test, OkWithoutAFileAsksForOneAndStaysOpen)
{
    desktop.expectMessage(QStringLiteral("请先选择文本文件！"), QStringLiteral("提示"), Icon::Information);
    pressOk();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("号码导入向导"));
    EXPECT_TRUE(Control<QRadioButton>(*dialog, "AeroOptionButton1")->isChecked());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(Control<QPushButton>(*dialog, "AeroButton1")->isEnabled());
    EXPECT_TRUE(Control<QLabel>(*dialog, "Label2")->text().isEmpty());
}

TEST_F(ImportTXT2Test, CancelledBrowseKeepsThePathChosenBefore)
{
    const QString path = write("13800138000");
    choose(path, Layout::Lines);
    desktop.expectOpenFile(kFilter, QString());
    QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton1"), Qt::LeftButton);
    EXPECT_EQ(Control<QLineEdit>(*dialog, "Text1")->text(), path);
}

struct FailureCase
{
    const char* name;
    std::function<QString(QTemporaryDir&)> path;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class ImportTXT2Failures : public ImportTXT2Test, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(ImportTXT2Failures, CloseTheDialogWithoutAMessageAndLeaveTheList)
{
    page->numberList()->add(k150);
    choose(GetParam().path(dir), Layout::Lines);
    pressOk();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(list(), QStringList{k150});
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ImportTXT2Failures,
    ::testing::Values(FailureCase{"Missing", [](QTemporaryDir& d) { return d.filePath(QStringLiteral("gone.txt")); }},
                      FailureCase{"LargerThanTheLimit",
                                  [](QTemporaryDir& d) {
                                      const QString path = d.filePath(QStringLiteral("big.txt"));
                                      QFile file(path);
                                      if (!file.open(QIODevice::WriteOnly) ||
                                          !file.resize(ImportTXT2::kMaxFileBytes + 1))
                                          ADD_FAILURE() << "cannot make " << path.toStdString();
                                      return path;
                                  }}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// A file the user may read but not write imports like any other.
TEST_F(ImportTXT2Test, AReadOnlyFileImports)
{
    const QString path = write("13800138000\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    choose(path, Layout::Lines);
    expectClosingMessage(QStringLiteral("共有号码1个"));
    pressOk();
    EXPECT_EQ(list(), QStringList{k138});
}

TEST_F(ImportTXT2Test, ImportedNumbersAreNotQueuedForTheWhiteListWhenOnline)
{
    folder = std::make_unique<TestProgramFolder>();
    ASSERT_TRUE(folder->hasShippedDatabases());
    folder->makeUserDatabase(QStringLiteral("tester"));
    OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
    g_Online = true;
    choose(write("13800138000;13900139000"), Layout::Semicolons);
    expectClosingMessage(QStringLiteral("共有号码2个"));
    pressOk();
    EXPECT_EQ(list().size(), 2);
    EXPECT_EQ(g_Conn->scalar(QStringLiteral("select count(*) from [Preference]")).toInt(), 0);
}

QByteArray manyNumbers(int count, char separator)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += QByteArray::number(13800000000LL + i) + separator;
    return bytes;
}

class ImportTXT2Cancel : public ImportTXT2Test, public ::testing::WithParamInterface<Layout>
{
};

// "取消" during an import stops it at once: what reached the list stays, de-duplicated, and no
// count is reported.
TEST_P(ImportTXT2Cancel, StopsTheImportAndClosesWithoutACount)
{
    page->numberList()->add(k150);
    const Layout layout = GetParam();
    // The first two numbers are equal, so the list holds a duplicate when the cancel comes.
    const char separator = layout == Layout::Lines ? '\n' : ';';
    choose(write("13800000000" + QByteArray(1, separator) + manyNumbers(2000, separator)), layout);
    int pauses = 0;
    duringImport([&] {
        if (layout == Layout::Semicolons && page->numberList()->count() < 3)
            return false;
        ++pauses;
        QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton3"), Qt::LeftButton);
        return true;
    });
    pressOk();
    EXPECT_EQ(pauses, 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->importRunning());
    if (layout == Layout::Lines) {
        EXPECT_EQ(list(), QStringList{k150}); // the lines were still loading
    } else {
        EXPECT_EQ(list().count(QStringLiteral("13800000000")), 1);
        EXPECT_LT(list().size(), 2001);
    }
    EXPECT_EQ(Control<QLabel>(*page, "Label5")->text(), QStringLiteral("一共%1个号码").arg(list().size()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ImportTXT2Cancel, ::testing::Values(Layout::Lines, Layout::Semicolons),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return info.param == Layout::Lines ? std::string("Lines") : std::string("Semicolons");
                         });

TEST_F(ImportTXT2Test, OkPressedAgainDuringAnImportStartsNoSecondOne)
{
    choose(write(manyNumbers(50, '\n')), Layout::Lines);
    duringImport([&] {
        QTest::mouseClick(Control<QPushButton>(*dialog, "AeroButton2"), Qt::LeftButton);
        return true;
    });
    expectClosingMessage(QStringLiteral("共有号码50个"));
    pressOk();
    EXPECT_EQ(list().size(), 50);
}

} // namespace
