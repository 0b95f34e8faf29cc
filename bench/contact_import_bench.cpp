// Figures for the contact import: 20,000 new contacts, all twelve columns mapped, from an .xls
// workbook. Prints the median of several runs beside a baseline of the same rows inserted one
// commit each through a prepared statement, the floor for an import that commits row by row.
#include "BenchSupport.h"
#include "Controls.h"
#include "DataStore.h"
#include "Desktop.h"
#include "GlobalState.h"
#include "ImportContact.h"
#include "TestProgramFolder.h"
#include "XlsBook.h"
#include "db/Connection.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kContacts = 20000;

QStringList contact(int i)
{
    return {QStringLiteral("联系人%1").arg(i),
            QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0')),
            i % 2 ? QStringLiteral("男") : QStringLiteral("女"),
            QStringLiteral("19%1-%2-%3").arg(50 + i % 50).arg(1 + i % 12).arg(1 + i % 28),
            QStringLiteral("行业%1").arg(i % 40),
            QStringLiteral("职位%1").arg(i % 90),
            QStringLiteral("1101011990%1").arg(i, 8, 10, QLatin1Char('0')),
            QStringLiteral("user%1@example.cn").arg(i),
            i % 3 ? QStringLiteral("已婚") : QStringLiteral("未婚"),
            QString::number(100000 + i),
            QStringLiteral("北京市海淀区某某路%1号").arg(i),
            QStringLiteral("备注：第%1位客户").arg(i)};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ResetGlobalState();
    TestProgramFolder folder;
    g_UserName = QStringLiteral("bench");
    folder.makeUserDatabase(g_UserName);
    OpenDatabaseOrThrow(g_UserName + QStringLiteral(".mdb"));
    g_Conn->execute(QStringLiteral("insert into [ContactCategory] (CategoryName, ParentId) values ('客户', 0)"));

    QTemporaryDir out;
    BenchDesktop desktop;
    desktop.path = out.filePath(QStringLiteral("contacts.xls"));
    {
        XlsBook book;
        const int sheet = book.addSheet(QStringLiteral("Sheet1"));
        const QStringList headers = {"姓名", "手机号码", "性别", "生日", "所属行业", "工作",
                                     "身份证号", "电子邮箱", "婚姻状态", "QQ/MSN", "地址", "备注"};
        for (int c = 0; c < 12; ++c)
            book.setText(sheet, 0, c, headers.at(c));
        for (int i = 0; i < kContacts; ++i) {
            const QStringList fields = contact(i);
            for (int c = 0; c < 12; ++c)
                book.setText(sheet, i + 1, c, fields.at(c));
        }
        if (!book.save(desktop.path)) {
            std::printf("cannot write the workbook: %s\n", qPrintable(book.error()));
            return 1;
        }
    }
    Desktop::install(&desktop);

    std::vector<double> baseline;
    for (int r = 0; r < kRuns; ++r) {
        g_Conn->execute(QStringLiteral("delete from [ContactList]"));
        auto insert = g_Conn->prepare(QStringLiteral(
            "insert into [ContactList] (MobilePhone, Name, Sex, Birthday, Vocation, Job, IdCardNum, EMail, Marriage, "
            "Favorite, Address, Remark, CatID) values (?,?,?,?,?,?,?,?,?,?,?,?,1)"));
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kContacts; ++i) {
            QStringList fields = contact(i);
            fields.swapItemsAt(0, 1);
            QVariantList values(fields.begin(), fields.end());
            insert->bindAll(values);
            insert->execute();
        }
        baseline.push_back(timer.nsecsElapsed() / 1e6);
    }

    std::vector<double> runs;
    int stored = 0;
    for (int r = 0; r < kRuns; ++r) {
        g_Conn->execute(QStringLiteral("delete from [ContactList]"));
        ImportContact dialog;
        dialog.AeroButton1_Click();
        dialog.Combo(1)->setCurrentText(QStringLiteral("Sheet1"));
        dialog.Combo1_Click();
        dialog.Combo(2)->setCurrentIndex(0);
        for (int list = 3; list <= 14; ++list)
            dialog.Combo(list)->setCurrentIndex(list - 2);
        QPushButton* start = Control<QPushButton>(dialog, "AeroButton2");
        QElapsedTimer timer;
        timer.start();
        start->click();
        runs.push_back(timer.nsecsElapsed() / 1e6);
        stored = g_Conn->scalar(QStringLiteral("select count(*) from [ContactList]")).toInt();
    }
    Desktop::install(nullptr);

    std::printf("contact import, %d new contacts x 12 columns from .xls (median of %d)\n", kContacts, kRuns);
    std::printf("  one insert a commit, prepared (baseline): %8.1f ms\n", median(baseline));
    std::printf("  import through the dialog:                %8.1f ms  (x%.2f of baseline)\n", median(runs),
                median(runs) / median(baseline));
    std::printf("  rows stored: %d; last box: %s\n", stored, qPrintable(desktop.lastMessage));
    return 0;
}
