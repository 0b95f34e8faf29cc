#include "ImportContact.h"
#include "AddressBookFixture.h"
#include "Controls.h"
#include "DataStore.h"
#include "ExportContact.h"
#include "Workbook.h"
#include "XlsBook.h"
#include "db/Connection.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QString kFilter = QStringLiteral("Excel文件(*.xls)|*.xls");
using Rows = std::vector<QStringList>;

class ImportContactTest : public AddressBookFixture
{
protected:
    void SetUp() override
    {
        AddressBookFixture::SetUp();
        friends = addCategory(QStringLiteral("朋友"));
        work = addCategory(QStringLiteral("同事"));
    }
    // A workbook whose sheet "通讯录" holds the rows from the given cell on; a text starting
    // "#" is written as that number.
    QString workbook(const Rows& rows, int firstRow = 0, int firstColumn = 0)
    {
        XlsBook book;
        book.addSheet(QStringLiteral("说明"));
        const int sheet = book.addSheet(QStringLiteral("通讯录"));
        for (size_t r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c) {
                const QString& text = rows[r].at(c);
                if (text.startsWith(QLatin1Char('#')))
                    book.setNumber(sheet, firstRow + int(r), firstColumn + c, text.mid(1).toDouble());
                else
                    book.setText(sheet, firstRow + int(r), firstColumn + c, text);
            }
        const QString path = out.filePath(QStringLiteral("in%1.xls").arg(++m_files));
        EXPECT_TRUE(book.save(path)) << book.error().toStdString();
        return path;
    }
    // Chooses the file and the sheet, the category and the mapping (list numbers 3 to 14 to
    // column numbers of the used range).
    void prepare(ImportContact& dialog, const QString& path, const std::map<int, int>& mapping,
                 const QString& sheet = QStringLiteral("通讯录"), const QString& category = QStringLiteral("朋友"))
    {
        desktop.expectOpenFile(kFilter, path);
        dialog.AeroButton1_Click();
        ASSERT_EQ(Control<QLineEdit>(dialog, "Text1")->text(), path);
        dialog.Combo(1)->setCurrentText(sheet);
        dialog.Combo1_Click();
        dialog.Combo(2)->setCurrentText(category);
        for (const auto& [list, column] : mapping)
            dialog.Combo(list)->setCurrentIndex(column);
    }
    void expectSummary(int imported, int wrong)
    {
        desktop.expectMessage(QStringLiteral("成功导入联系人%1个，存在错误号码%2个").arg(imported).arg(wrong),
                              QStringLiteral("导入完成"), Icon::Information);
    }
    void expectOverwrite(const QString& number, Answer answer)
    {
        desktop.expectMessage(number + QStringLiteral("已经存在，是否覆盖更新？"), QStringLiteral("存在重复号码"),
                              Icon::Question, Buttons::YesNo, answer);
    }
    static QStringList contacts(const char* columns = "Name, MobilePhone")
    {
        QStringList rows;
        db::Recordset rs;
        rs.Open(QStringLiteral("select ") + QString::fromLatin1(columns) +
                    QStringLiteral(" from [ContactList] order by id"),
                *g_Conn);
        for (; !rs.IsEOF(); rs.MoveNext()) {
            QStringList fields;
            for (int i = 0; i < rs.FieldCount(); ++i)
                fields << (rs.Field(i).isNull() ? QStringLiteral("<null>") : rs.Field(i).toString());
            rows << fields.join(QLatin1Char('|'));
        }
        return rows;
    }

    qint64 friends = 0;
    qint64 work = 0;
    QTemporaryDir out;
    int m_files = 0;
};

const Rows kPeople = {{"姓名", "手机", "性别", "无"}, {"张 三", "13800138000", "男", "x"}};

struct CheckCase
{
    const char* name;
    bool file, sheet, category;
    int nameColumn, numberColumn;
    const char* message;
    const char* focus; // objectName, or empty
};

class ImportChecks : public ImportContactTest, public ::testing::WithParamInterface<CheckCase>
{
};

TEST_P(ImportChecks, TheFirstMissingChoiceIsNamedAndNothingIsRead)
{
    const CheckCase& c = GetParam();
    ImportContact dialog(page.get());
    dialog.show();
    if (c.file) {
        desktop.expectOpenFile(kFilter, workbook(kPeople));
        dialog.AeroButton1_Click();
    }
    if (c.sheet) {
        dialog.Combo(1)->setCurrentText(QStringLiteral("通讯录"));
        dialog.Combo1_Click();
    }
    if (c.category)
        dialog.Combo(2)->setCurrentText(QStringLiteral("朋友"));
    if (c.sheet) {
        dialog.Combo(3)->setCurrentIndex(c.nameColumn);
        dialog.Combo(4)->setCurrentIndex(c.numberColumn);
    }
    desktop.expectMessage(QString::fromUtf8(c.message), QStringLiteral("提示"), Icon::Information);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    if (*c.focus) {
        ASSERT_NE(dialog.focusWidget(), nullptr);
        EXPECT_EQ(dialog.focusWidget()->objectName(), QString::fromLatin1(c.focus));
    }
    EXPECT_EQ(count(QStringLiteral("select * from [ContactList]")), 0);
    EXPECT_EQ(Control<QLabel>(dialog, "Label5")->text(), c.sheet ? QStringLiteral("0/2") : QStringLiteral("0/0"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportChecks,
    ::testing::Values(CheckCase{"NoFile", false, false, false, 0, 0, "请先选择目标Excel文件！", ""},
                      CheckCase{"NoSheet", true, false, true, 0, 0, "请先选择目标工作簿！", "Combo1"},
                      CheckCase{"NoCategory", true, true, false, 1, 2, "请选择通讯录分类！", "Combo2"},
                      CheckCase{"NoNameColumn", true, true, true, 0, 2, "请选择姓名列！", "Combo3"},
                      CheckCase{"AHeaderNamedNoneAsName", true, true, true, 4, 2, "请选择姓名列！", "Combo3"},
                      CheckCase{"AHeaderNamedNoneAsNumber", true, true, true, 1, 4, "请选择手机号码列！", "Combo4"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RowsCase
{
    const char* name;
    Rows rows;
    int firstRow, firstColumn;
    std::map<int, int> mapping;
    int imported, wrong;
    QStringList stored; // Name|MobilePhone|Sex|Birthday|Remark
};

class ImportRows : public ImportContactTest, public ::testing::WithParamInterface<RowsCase>
{
};

TEST_P(ImportRows, StoresEveryRowWithAValidNumber)
{
    const RowsCase& c = GetParam();
    ImportContact dialog(page.get());
    prepare(dialog, workbook(c.rows, c.firstRow, c.firstColumn), c.mapping);
    expectSummary(c.imported, c.wrong);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(contacts("Name, MobilePhone, Sex, Birthday, Remark"), c.stored);
    EXPECT_EQ(count(QStringLiteral("select * from [ContactList] where CatID=") + QString::number(friends)),
              int(c.stored.size()));
    const int rows = int(c.rows.size());
    EXPECT_EQ(Control<QLabel>(dialog, "Label5")->text(), QStringLiteral("%1/%2").arg(rows > 1 ? rows : 0).arg(rows));
}

const QString kLong = QString(10000, QLatin1Char('x'));

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportRows,
    ::testing::Values(
        RowsCase{"HeaderOnly", {{"姓名", "手机"}}, 0, 0, {{3, 1}, {4, 2}}, 0, 0, {}},
        RowsCase{"NumbersAreNormalisedOrCountedAsWrong",
                 {{"姓名", "手机"}, {"甲", "+86 138 0013 8000"}, {"乙", "12345"}, {"丙", "#13900139000"}, {"丁", ""}},
                 0, 0, {{3, 1}, {4, 2}}, 2, 2,
                 {"甲|13800138000|<null>|<null>|<null>", "丙|13900139000|<null>|<null>|<null>"}},
        // As the other imports trim: blanks only, so a tab or a full-width blank makes the number wrong.
        RowsCase{"OnlyBlanksAroundTheNumberAreTrimmed",
                 {{"姓名", "手机"}, {"甲", "  13800138000  "}, {"乙", "\t13900139000"}, {"丙", u8"13700137000\u3000"}},
                 0, 0, {{3, 1}, {4, 2}}, 1, 2,
                 {"甲|13800138000|<null>|<null>|<null>"}},
        RowsCase{"AUsedRangeAwayFromA1CountsFromItsCorner",
                 {{"备注", "手机", "姓名"}, {"它's -- 好", "13800138000", "王 五"}, {kLong, "13700137000", ""}},
                 2, 3, {{3, 3}, {4, 2}, {14, 1}}, 2, 0,
                 {"王五|13800138000|<null>|<null>|它's -- 好", "|13700137000|<null>|<null>|" + kLong}},
        RowsCase{"SexAndBirthdayRules",
                 {{"姓名", "手机", "性别", "生日"},
                  {"a", "13800138001", "男", "1990-5-6"},
                  {"b", "13800138002", "男 ", "1990年5月6日"},
                  {"c", "13800138003", "M", "明天"},
                  {"d", "13800138004", "", "1990/13/01"}},
                 0, 0, {{3, 1}, {4, 2}, {5, 3}, {6, 4}}, 4, 0,
                 {"a|13800138001|男|1990-05-06 00:00:00|<null>", "b|13800138002||1990-05-06 00:00:00|<null>",
                  "c|13800138003||<null>|<null>", "d|13800138004||<null>|<null>"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct DuplicateCase
{
    const char* name;
    Desktop::Answer answer;
    QStringList stored; // Name|Sex|CatID of the stored contacts, in id order
};

class ImportDuplicates : public ImportContactTest, public ::testing::WithParamInterface<DuplicateCase>
{
};

TEST_P(ImportDuplicates, AStoredNumberIsOverwrittenOnlyWhenTheUserAgrees)
{
    const DuplicateCase& c = GetParam();
    addContact(QStringLiteral("旧一"), QStringLiteral("13800138000"), work, QString(), QStringLiteral("女"));
    addContact(QStringLiteral("旧二"), QStringLiteral("13800138000"), work, QString(), QStringLiteral("女"));
    ImportContact dialog(page.get());
    prepare(dialog, workbook({{"姓名", "手机", "性别"}, {"新名", "+8613800138000", "男"}}), {{3, 1}, {4, 2}});
    expectOverwrite(QStringLiteral("13800138000"), c.answer);
    expectSummary(1, 0);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    const QString catFriends = QString::number(friends), catWork = QString::number(work);
    QStringList expected;
    for (const QString& row : c.stored)
        expected << QString(row).replace(QStringLiteral("F"), catFriends).replace(QStringLiteral("W"), catWork);
    EXPECT_EQ(contacts("Name, Sex, CatID"), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportDuplicates,
                         ::testing::Values(DuplicateCase{"No", Desktop::Answer::No, {"旧一|女|W", "旧二|女|W"}},
                                           DuplicateCase{"YesWithNameAndNumberMapped", Desktop::Answer::Yes,
                                                         {"新名|女|F", "旧二|女|W"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImportContactTest, CloseDuringAnImportStopsBeforeTheNextRowAndStillSums)
{
    Rows rows = {{"姓名", "手机"}};
    for (int i = 0; i < 50; ++i)
        rows.push_back({QStringLiteral("人%1").arg(i), QStringLiteral("1380013%1").arg(i, 4, 10, QLatin1Char('0'))});
    ImportContact dialog(page.get());
    dialog.show();
    prepare(dialog, workbook(rows), {{3, 1}, {4, 2}});
    bool disabledWhileRunning = false;
    QTimer::singleShot(0, &dialog, [&] {
        disabledWhileRunning = !Control<QPushButton>(dialog, "AeroButton2")->isEnabled() &&
                               !Control<QPushButton>(dialog, "AeroButton1")->isEnabled() &&
                               !dialog.Combo(3)->isEnabled() &&
                               Control<QPushButton>(dialog, "AeroButton3")->isEnabled();
        Control<QPushButton>(dialog, "AeroButton3")->click();
    });
    expectSummary(1, 0);
    Control<QPushButton>(dialog, "AeroButton2")->click();
    EXPECT_TRUE(disabledWhileRunning);
    EXPECT_EQ(contacts(), QStringList({"人0|13800130000"}));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(ImportContactTest, AFileThatIsNoWorkbookIsReportedAndLeavesTheListsReset)
{
    const QString junk = out.filePath(QStringLiteral("junk.xls"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(3000, 'j'));
    file.close();
    ImportContact dialog(page.get());
    prepare(dialog, workbook(kPeople), {{3, 1}});
    desktop.expectOpenFile(kFilter, junk);
    desktop.expectMessage(ScriptedDesktop::startsWith(QStringLiteral("错误号：")), "程序出错", Icon::Information);
    dialog.AeroButton1_Click();
    EXPECT_EQ(Control<QLineEdit>(dialog, "Text1")->text(), junk);
    EXPECT_EQ(dialog.Combo(3)->count(), 1);
    EXPECT_EQ(dialog.Combo(3)->currentText(), QStringLiteral("无"));
}

TEST_F(ImportContactTest, WhatTheExportWritesImportsAsTheSameContacts)
{
    g_Conn->execute(QStringLiteral(
        "insert into [ContactList] (Name, MobilePhone, Sex, Birthday, Vocation, Job, IdCardNum, EMail, Marriage, "
        "Favorite, Address, Remark, CatID) values ('张三','13800138000','男','1990-05-06 00:00:00','IT','--',"
        "'110101199005060011','a@b.cn','已婚','12345','北京''s 路','备注一',1)"));
    addContact(QStringLiteral("李四"), QStringLiteral("13900139000"), friends);
    const char* fields = "Name, MobilePhone, Sex, Birthday, Vocation, Job, IdCardNum, EMail, Marriage, Favorite, "
                         "Address, Remark";
    const QStringList before = contacts(fields);

    const QString path = out.filePath(QStringLiteral("book.xls"));
    {
        ExportContact exporter(page.get());
        desktop.expectSaveFile(kFilter, path);
        desktop.expectMessage("导出通讯录资料2个", "导出完成", Icon::Information);
        Control<QPushButton>(exporter, "AeroButton1")->click();
    }
    g_Conn->execute(QStringLiteral("delete from [ContactList]"));

    ImportContact importer(page.get());
    std::map<int, int> all;
    for (int list = 3; list <= 14; ++list)
        all[list] = list - 2;
    prepare(importer, path, all, QStringLiteral("Sheet1"));
    expectSummary(2, 0);
    Control<QPushButton>(importer, "AeroButton2")->click();
    EXPECT_EQ(contacts(fields), before);
}

struct ValueCase
{
    const char* name;
    CellValue value;
    const char* sex;
    const char* date; // stored text, or empty for Null
};

class ImportValueRules : public ::testing::TestWithParam<ValueCase>
{
};

TEST_P(ImportValueRules, SexAndDateOfACell)
{
    const ValueCase& c = GetParam();
    EXPECT_EQ(ImportContact::ToSexText(c.value), QString::fromUtf8(c.sex));
    const QVariant date = ImportContact::ToDateOrNull(c.value);
    if (*c.date)
        EXPECT_EQ(date.toString(), QString::fromUtf8(c.date));
    else
        EXPECT_TRUE(date.isNull()) << date.toString().toStdString();
}

CellValue text(const char* utf8)
{
    CellValue v;
    v.kind = CellValue::Kind::Text;
    v.text = QString::fromUtf8(utf8);
    return v;
}

CellValue dateCell()
{
    CellValue v;
    v.kind = CellValue::Kind::Date;
    v.date = QDateTime(QDate(1990, 5, 6), QTime(13, 30));
    v.text = QStringLiteral("1990-05-06 13:30:00");
    return v;
}

CellValue numberCell(double n)
{
    CellValue v;
    v.kind = CellValue::Kind::Number;
    v.number = n;
    v.text = QString::number(n);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportValueRules,
    ::testing::Values(ValueCase{"Male", text("男"), "男", ""}, ValueCase{"Female", text("女"), "女", ""},
                      ValueCase{"MaleWithABlank", text("男 "), "", ""}, ValueCase{"Latin", text("M"), "", ""},
                      ValueCase{"Empty", CellValue{}, "", ""},
                      ValueCase{"Dashes", text("1990-5-6"), "", "1990-05-06 00:00:00"},
                      ValueCase{"Slashes", text("1990/05/06"), "", "1990-05-06 00:00:00"},
                      ValueCase{"Dots", text("1990.5.6"), "", "1990-05-06 00:00:00"},
                      ValueCase{"Chinese", text("1990年5月6日"), "", "1990-05-06 00:00:00"},
                      ValueCase{"WithATime", text("1990-05-06 08:15"), "", "1990-05-06 00:00:00"},
                      ValueCase{"ADateCellLosesItsTime", dateCell(), "", "1990-05-06 00:00:00"},
                      ValueCase{"MixedSeparators", text("1990-5/6"), "", ""},
                      ValueCase{"NoSuchDay", text("1990-02-30"), "", ""},
                      ValueCase{"FreeText", text("生日"), "", ""},
                      ValueCase{"APlainNumber", numberCell(32999), "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
