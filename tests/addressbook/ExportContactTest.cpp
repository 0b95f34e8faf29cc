#include "ExportContact.h"
#include "AddressBookFixture.h"
#include "Controls.h"
#include "DataStore.h"
#include "XlsBook.h"
#include "db/Connection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdlib>
#include <map>
#include <unistd.h>

namespace {

const QString kFilter = QStringLiteral("Excel文件(*.xls)|*.xls");
const QStringList kCaptions = {"姓名", "手机号码", "性别", "生日", "所属行业", "工作",
                               "身份证号", "电子邮箱", "婚姻状态", "QQ/MSN", "地址", "备注"};

class ExportContactTest : public AddressBookFixture
{
protected:
    void SetUp() override
    {
        AddressBookFixture::SetUp();
        friends = addCategory(QStringLiteral("朋友"));
        empty = addCategory(QStringLiteral("空类别"));
        addContact(QStringLiteral("张三"), QStringLiteral("13800138000"), friends, QStringLiteral("1990-05-06"));
        addContact(QStringLiteral("李四"), QStringLiteral("13900139000"), friends);
        addContact(QStringLiteral("王五"), QStringLiteral("13700137000"), 0);
    }
    QString target(const char* name = "out.xls") const { return out.filePath(QString::fromUtf8(name)); }
    void expectDone(int contacts)
    {
        desktop.expectMessage(QStringLiteral("导出通讯录资料%1个").arg(contacts), QStringLiteral("导出完成"),
                              Icon::Information);
    }
    // Sheet1 of a written file: row index to the texts of columns A to L.
    static std::map<int, QStringList> sheet1(const QString& path, XlsBook& book)
    {
        std::map<int, QStringList> rows;
        EXPECT_TRUE(book.load(path)) << book.error().toStdString();
        for (const XlsBook::Cell& cell : book.cells(book.findSheet(QStringLiteral("Sheet1")))) {
            QStringList& row = rows[cell.row];
            while (row.size() < 12)
                row.append(QString());
            row[cell.column] = cell.text;
        }
        return rows;
    }
    static QStringList names(const std::map<int, QStringList>& rows)
    {
        QStringList result;
        for (const auto& [row, cells] : rows)
            if (row > 0)
                result.append(cells.at(0));
        result.sort();
        return result;
    }

    qint64 friends = 0;
    qint64 empty = 0;
    QTemporaryDir out;
};

struct ScopeCase
{
    const char* name;
    const char* category; // picked in the list, or empty
    bool all;             // the box ticked when "开始" is pressed
    QStringList exported;
};

class ExportScope : public ExportContactTest, public ::testing::WithParamInterface<ScopeCase>
{
};

TEST_P(ExportScope, WritesTheContactsOfTheChoiceBelowTheTemplatesCaptions)
{
    const ScopeCase& c = GetParam();
    ExportContact dialog(page.get());
    EXPECT_TRUE(Control<QCheckBox>(dialog, "AeroCheckBox1")->isChecked());
    EXPECT_FALSE(Control<QComboBox>(dialog, "Combo1")->isEnabled());
    Control<QCheckBox>(dialog, "AeroCheckBox1")->setChecked(false);
    EXPECT_TRUE(Control<QComboBox>(dialog, "Combo1")->isEnabled());
    if (*c.category)
        Control<QComboBox>(dialog, "Combo1")->setCurrentText(QString::fromUtf8(c.category));
    Control<QCheckBox>(dialog, "AeroCheckBox1")->setChecked(c.all);
    EXPECT_EQ(Control<QComboBox>(dialog, "Combo1")->isEnabled(), !c.all);

    desktop.expectSaveFile(kFilter, target());
    expectDone(int(c.exported.size()));
    Control<QPushButton>(dialog, "AeroButton1")->click();

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const int n = int(c.exported.size());
    EXPECT_EQ(Control<QLabel>(dialog, "Label2")->text(), n ? QStringLiteral("%1/%1").arg(n) : QString());
    EXPECT_EQ(Control<QProgressBar>(dialog, "AeroProgressBar1")->maximum(), n + 1);
    if (n) {
        EXPECT_EQ(Control<QProgressBar>(dialog, "AeroProgressBar1")->value(), n + 1);
    }
    XlsBook book;
    const auto rows = sheet1(target(), book);
    EXPECT_EQ(names(rows), c.exported);
    ASSERT_TRUE(rows.count(0));
    EXPECT_EQ(rows.at(0), kCaptions) << "row 1 stays as shipped";
    EXPECT_EQ(rows.rbegin()->first, n) << "one contact a row from row 2 on";
    ASSERT_EQ(book.sheetCount(), 3) << "the template's other sheets stay";
    EXPECT_EQ(book.sheetName(1), QStringLiteral("Sheet2"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportScope,
    ::testing::Values(ScopeCase{"All", "", true, {"张三", "李四", "王五"}},
                      ScopeCase{"AllThoughACategoryIsPicked", "朋友", true, {"张三", "李四", "王五"}},
                      ScopeCase{"OneCategory", "朋友", false, {"张三", "李四"}},
                      ScopeCase{"AnEmptyCategory", "空类别", false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExportContactTest, EveryFieldGoesToItsColumnAsStored)
{
    g_Conn->execute(QStringLiteral("delete from [ContactList]"));
    const QString remark = QString(10000, QLatin1Char('r'));
    auto insert = g_Conn->prepare(QStringLiteral(
        "insert into [ContactList] (Name, MobilePhone, Sex, Birthday, Vocation, Job, IdCardNum, EMail, Marriage, "
        "Favorite, Address, Remark, CatID) values (?,?,?,?,?,?,?,?,?,?,?,?,0)"));
    insert->bindAll({"O'Neil", "13800138000", "男", "1990-05-06 00:00:00", "IT", "--", "110101199005060011",
                     "a@b.cn", "已婚", "12345", "北京'; drop table x --", remark});
    insert->execute();
    insert->bindAll({"无生日", "13900139000", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                     QVariant(), QVariant(), QVariant(), QVariant()});
    insert->execute();
    insert.reset();

    ExportContact dialog(page.get());
    desktop.expectSaveFile(kFilter, target());
    expectDone(2);
    Control<QPushButton>(dialog, "AeroButton1")->click();

    XlsBook book;
    auto rows = sheet1(target(), book);
    ASSERT_EQ(rows.size(), 3u);
    const QStringList full = rows[1].at(0) == QStringLiteral("O'Neil") ? rows[1] : rows[2];
    const QStringList bare = rows[1].at(0) == QStringLiteral("O'Neil") ? rows[2] : rows[1];
    EXPECT_EQ(full, QStringList({"O'Neil", "13800138000", "男", "1990-05-06", "IT", "--", "110101199005060011",
                                 "a@b.cn", "已婚", "12345", "北京'; drop table x --", remark}));
    EXPECT_EQ(bare, QStringList({"无生日", "13900139000", "", "", "", "", "", "", "", "", "", ""}));
}

TEST_F(ExportContactTest, AnExistingNameIsAskedAgainAndTheFileLeftAlone)
{
    QFile existing(target("old.xls"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();

    ExportContact dialog(page.get());
    desktop.expectSaveFile(kFilter, target("old.xls"));
    desktop.expectMessage("已存在一个同名的文件，请修改要保存的文件名！", "提示", Icon::Information);
    desktop.expectSaveFile(kFilter, target());
    expectDone(3);
    Control<QPushButton>(dialog, "AeroButton1")->click();

    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep me"));
    EXPECT_TRUE(QFile::exists(target()));
}

// An install that keeps its program files read-only: the workbook made from the template is the
// user's to fill. The export runs in a child process under an ordinary user's id, as root would
// write into a read-only file anyway.
TEST_F(ExportContactTest, AReadOnlyTemplateStillGivesAFilledWorkbook)
{
    GTEST_FLAG_SET(death_test_style, "fast"); // the child works on this test's folders
    const QString templatePath = folder.path(QStringLiteral("ExportTem.dat"));
    ASSERT_TRUE(
        QFile::setPermissions(templatePath, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    EXPECT_EXIT(
        {
            if (geteuid() == 0) {
                for (const QString& open : {folder.folder(), out.path()})
                    QFile::setPermissions(open, QFileDevice::Permissions(0x7777));
                if (setgid(65534) != 0 || setuid(65534) != 0)
                    std::_Exit(2);
            }
            ExportContact dialog(page.get());
            desktop.expectSaveFile(kFilter, target());
            expectDone(3);
            Control<QPushButton>(dialog, "AeroButton1")->click();
            XlsBook book;
            std::_Exit(book.load(target()) && book.cells(book.findSheet(QStringLiteral("Sheet1"))).size() > 12 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ExportContactTest, NoCategoryOrACancelledDialogWritesNothing)
{
    ExportContact dialog(page.get());
    dialog.show();
    Control<QCheckBox>(dialog, "AeroCheckBox1")->setChecked(false);
    desktop.expectMessage("请先选择要导出的类别！", "导出提示", Icon::Information);
    Control<QPushButton>(dialog, "AeroButton1")->click();
    EXPECT_EQ(dialog.focusWidget(), Control<QComboBox>(dialog, "Combo1"));

    Control<QCheckBox>(dialog, "AeroCheckBox1")->setChecked(true);
    desktop.expectSaveFile(kFilter, QString());
    Control<QPushButton>(dialog, "AeroButton1")->click();
    EXPECT_TRUE(QDir(out.path()).isEmpty());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ExportContactTest, MoreContactsThanASheetHoldsAreRefusedBeforeAFileIsChosen)
{
    {
        db::Transaction transaction(*g_Conn);
        auto insert = g_Conn->prepare(QStringLiteral("insert into [ContactList] (Name, MobilePhone) values (?, ?)"));
        for (int i = 3; i <= ExportContact::kMaxContacts; ++i) {
            insert->bindAll({QString::number(i), QString::number(13800000000LL + i)});
            insert->execute();
        }
        transaction.commit();
    }
    desktop.expectMessage(ScriptedDesktop::contains(QStringLiteral("65536")), "导出提示", Icon::Information);
    ExportContact dialog(page.get());
    Control<QPushButton>(dialog, "AeroButton1")->click();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

struct FailureCase
{
    const char* name;
    std::function<void(const TestProgramFolder&)> spoil;
    const char* targetName;
    int number;
    bool copyRemains;
};

class ExportFailure : public ExportContactTest, public ::testing::WithParamInterface<FailureCase>
{
};

void writeTemplate(const TestProgramFolder& folder, const QByteArray& bytes)
{
    QFile file(folder.path(QStringLiteral("ExportTem.dat")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

TEST_P(ExportFailure, IsShownAsAProgramErrorAndLeavesNoHalfWrittenWorkbook)
{
    const FailureCase& c = GetParam();
    c.spoil(folder);
    ExportContact dialog(page.get());
    const QString path = target(c.targetName);
    desktop.expectSaveFile(kFilter, path);
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：%1\r\n错误描述：").arg(c.number)),
                          "程序出错", Icon::Information);
    Control<QPushButton>(dialog, "AeroButton1")->click();

    EXPECT_TRUE(Control<QPushButton>(dialog, "AeroButton2")->isEnabled());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(QFile::exists(path), c.copyRemains);
    if (c.copyRemains) {
        QFile copy(path), shipped(folder.path(QStringLiteral("ExportTem.dat")));
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && shipped.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), shipped.readAll()) << "the copy stays as the template was";
    }
    const QStringList left = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.size(), c.copyRemains ? 1 : 0) << left.join(QLatin1Char(' ')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportFailure,
    ::testing::Values(
        FailureCase{"TemplateMissing",
                    [](const TestProgramFolder& f) { QFile::remove(f.path(QStringLiteral("ExportTem.dat"))); },
                    "a.xls", 53, false},
        FailureCase{"TemplateIsNoWorkbook",
                    [](const TestProgramFolder& f) { writeTemplate(f, QByteArray(2048, 'z')); }, "a.xls", 1004,
                    true},
        FailureCase{"TemplateWithoutSheet1",
                    [](const TestProgramFolder& f) {
                        XlsBook other;
                        other.addSheet(QStringLiteral("Contacts"));
                        ASSERT_TRUE(other.save(f.path(QStringLiteral("ExportTem.dat"))));
                    },
                    "a.xls", 9, true},
        FailureCase{"TargetFolderNotWritable", [](const TestProgramFolder&) {}, "no-such-folder/a.xls", 75, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
