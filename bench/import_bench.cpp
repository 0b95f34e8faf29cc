// Figures for the imports into [DraftBox], each median of five runs:
// - the workbook import of a 100,000-row .xlsx (number + five variables, 10 % repeats) into an
//   empty queue, from opening the workbook to the grid rebuilt (BuildNumGrid);
// - the database import of a 100,000-row table of an unencrypted engine file with the same
//   rows into an empty queue, and with 100,000 rows already queued, so that every repeat check
//   finds its number (also as a ratio to the empty-queue time, measured in the same run).
// The workbook is written by make_grid_bench_workbook.py (python3-openpyxl) when missing.
#include "BenchSupport.h"
#include "Controls.h"
#include "DataStore.h"
#include "Desktop.h"
#include "DraftBoxWriter.h"
#include "GlobalState.h"
#include "ImportAccess.h"
#include "ImportExcel2.h"
#include "SendPage.h"
#include "TestProgramFolder.h"
#include "Workbook.h"
#include "db/Connection.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kRows = 100000;

QString number(int i)
{
    return QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
}

// Row i holds number i, except that every tenth row repeats the number of the row before it.
int numberOf(int row)
{
    return row % 10 == 9 ? row - 1 : row;
}

void fillQueue(int rows)
{
    g_Conn->execute(QStringLiteral("delete from [DraftBox]"));
    db::Transaction transaction(*g_Conn);
    auto insert = g_Conn->prepare(QStringLiteral("insert into [DraftBox] (MobilePhone,IsRepeat) values (?,0)"));
    for (int i = 0; i < rows; ++i) {
        insert->bind(1, number(numberOf(i)));
        insert->execute();
    }
    transaction.commit();
    g_Conn->checkpoint();
}

double importMs(BenchDesktop& desktop, int queued)
{
    std::vector<double> runs;
    for (int r = 0; r < kRuns; ++r) {
        fillQueue(queued);
        ImportAccess dialog;
        dialog.show();
        QElapsedTimer timer;
        timer.start();
        dialog.AeroButton1_Click();
        dialog.Combo(7)->setCurrentIndex(0);
        for (int combo = 1; combo <= 6; ++combo)
            dialog.Combo(combo)->setCurrentIndex(combo);
        dialog.AeroButton2_Click();
        runs.push_back(timer.nsecsElapsed() / 1e6);
    }
    const int rows = g_Conn->scalar(QStringLiteral("select count(*) from [DraftBox]")).toInt();
    const int repeats = g_Conn->scalar(QStringLiteral("select count(*) from [DraftBox] where IsRepeat")).toInt();
    std::printf("    (%s; %d rows queued, %d of them repeats)\n", qPrintable(desktop.lastMessage), rows, repeats);
    return median(runs);
}

double workbookMs(BenchDesktop& desktop, SendPage& page)
{
    std::vector<double> runs;
    double importOnly = 0;
    double loadOnly = 0;
    double gridOnly = 0;
    for (int r = 0; r < kRuns; ++r) {
        fillQueue(0);
        QElapsedTimer timer;
        timer.start();
        ImportExcel2 dialog;
        if (!dialog.Form_Load())
            return -1;
        loadOnly += timer.nsecsElapsed() / 1e6;
        dialog.show();
        dialog.Timer1_Timer();
        for (int combo = 1; combo <= 6; ++combo)
            dialog.Combo(combo)->setCurrentIndex(combo);
        QElapsedTimer import;
        import.start();
        dialog.AeroButton2_Click();
        importOnly += import.nsecsElapsed() / 1e6;
        QElapsedTimer grid;
        grid.start();
        page.BuildNumGrid();
        gridOnly += grid.nsecsElapsed() / 1e6;
        runs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("    (%s; %s; on average: opening the workbook %.0f ms, the import loop %.0f ms, BuildNumGrid "
                "%.0f ms)\n",
                qPrintable(desktop.lastMessage), qPrintable(Control<QLabel>(page, "Label9")->text()), loadOnly / kRuns,
                importOnly / kRuns, gridOnly / kRuns);
    return median(runs);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ResetGlobalState();
    BenchDesktop desktop;
    Desktop::install(&desktop);

    TestProgramFolder folder;
    folder.makeUserDatabase(QStringLiteral("bench"));
    OpenDatabaseOrThrow(QStringLiteral("bench.mdb"));

    desktop.path = folder.path(QStringLiteral("source.db"));
    {
        auto source = db::Connection::create(desktop.path, QByteArray());
        source->execute(QStringLiteral("create table list (phone text, a text, b text, c text, d text, e text)"));
        db::Transaction transaction(*source);
        auto insert = source->prepare(QStringLiteral("insert into list values (?,?,?,?,?,?)"));
        for (int i = 0; i < kRows; ++i) {
            insert->bindAll({number(numberOf(i)), QStringLiteral("姓名%1").arg(i), QStringLiteral("先生"),
                             QStringLiteral("备注 %1").arg(i), QString::number(i * 3), QStringLiteral("E")});
            insert->execute();
        }
        transaction.commit();
        source->checkpoint();
    }

    g_ExcelPath = folder.path(QStringLiteral("grid.xlsx"));
    const QString maker = QStringLiteral(QUORVEL_SOURCE_DIR "/bench/make_grid_bench_workbook.py");
    if (QProcess::execute(QStringLiteral("/usr/bin/python3"), {maker, g_ExcelPath}) != 0 || !QFile::exists(g_ExcelPath)) {
        std::printf("ImportExcel2: skipped, %s did not write the workbook\n", qPrintable(maker));
    } else {
        std::vector<double> reads;
        for (int r = 0; r < kRuns; ++r) {
            QElapsedTimer timer;
            timer.start();
            Workbook book;
            book.open(g_ExcelPath);
            reads.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf("    (the workbook reader alone: %.0f ms median of %d)\n", median(reads), kRuns);
        SendPage page;
        page.setSendMode(2);
        const double workbook = workbookMs(desktop, page);
        std::printf("ImportExcel2 of a %d-row .xlsx + BuildNumGrid, empty [DraftBox]: %.0f ms median of %d\n", kRows,
                    workbook, kRuns);
    }

    const double empty = importMs(desktop, 0);
    std::printf("ImportAccess of %d rows into an empty [DraftBox]: %.0f ms median of %d\n", kRows, empty, kRuns);
    const double full = importMs(desktop, kRows);
    std::printf("ImportAccess of %d rows with %d already queued: %.0f ms median of %d, %.2f x the empty-queue time\n",
                kRows, kRows, full, kRuns, full / empty);

    // For comparison: what one commit per row costs on this machine (20,000 rows).
    std::vector<double> perRow;
    for (int r = 0; r < kRuns; ++r) {
        fillQueue(0);
        QElapsedTimer timer;
        timer.start();
        DraftBoxWriter writer(*g_Conn);
        for (int i = 0; i < 20000; ++i) {
            writer.add(number(numberOf(i)));
            writer.commit();
        }
        perRow.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("    one commit per row instead, 20,000 rows: %.0f ms median of %d\n", median(perRow), kRuns);
    Desktop::install(nullptr);
    return 0;
}
