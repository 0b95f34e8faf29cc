// Figures for the send page at 100,000 recipients: paste + de-duplication of the plain list (also at
// 1,000,000), de-duplication alone, and loading the grid from [DraftBox]. Prints the median of
// several runs.
#include "BenchSupport.h"
#include "DataStore.h"
#include "GlobalState.h"
#include "Controls.h"
#include "ListView.h"
#include "NumberListModel.h"
#include "SendPage.h"
#include "TestProgramFolder.h"
#include "db/Recordset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 5;

QString number(int i)
{
    return QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
}

// The given number of lines, each number twice, in a shuffled order.
QString pasteText(int lines)
{
    std::vector<int> order;
    order.reserve(lines);
    for (int i = 0; i < lines; ++i)
        order.push_back(int((qint64(i) * 7919) % (lines / 2)));
    QStringList text;
    text.reserve(lines);
    for (int i : order)
        text << number(i);
    return text.join(QStringLiteral("\r\n"));
}

double timeMs(const std::function<void()>& setUp, const std::function<void()>& work, const char* check = nullptr)
{
    std::vector<double> runs;
    for (int r = 0; r < kRuns; ++r) {
        setUp();
        QElapsedTimer timer;
        timer.start();
        work();
        runs.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (check)
        std::printf("    (%s)\n", check);
    return median(runs);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ResetGlobalState();

    SendPage page;
    page.resize(900, 520);
    if (!showForBench(page))
        return 1;

    // The cost per number must stay flat from 100,000 to 1,000,000 lines.
    std::vector<double> usPerLine;
    for (int lines : {100000, 1000000}) {
        const QString text = pasteText(lines);
        int removed = 0;
        const double paste = timeMs([&] { page.AeroButton44_Click(); },
                                    [&] {
                                        page.AddNumberLines(text);
                                        removed = page.DelRepeat();
                                    });
        usPerLine.push_back(paste * 1000.0 / lines);
        std::printf("AddNumberLines + DelRepeat, %d lines (half duplicates): %.0f ms median of %d, %.2f us a line; "
                    "%d removed, %d left\n",
                    lines, paste, kRuns, usPerLine.back(), removed, page.numberList()->count());
    }
    std::printf("    cost a line at 1,000,000 / at 100,000: %.2f\n", usPerLine.at(1) / usPerLine.at(0));

    int removed = 0;
    for (int size : {10000, 100000}) {
        const double dedup = timeMs(
            [&] {
                page.AeroButton44_Click();
                for (int i = 0; i < size; ++i)
                    page.numberList()->add(number(i / 2));
            },
            [&] { removed = page.DelRepeat(); });
        std::printf("DelRepeat on %d entries: %.1f ms median of %d; %d removed\n", size, dedup, kRuns, removed);
    }

    TestProgramFolder folder;
    folder.makeUserDatabase(QStringLiteral("bench"));
    OpenDatabaseOrThrow(QStringLiteral("bench.mdb"));
    {
        db::Transaction transaction(*g_Conn);
        auto insert =
            g_Conn->prepare(QStringLiteral("insert into [DraftBox] (MobilePhone,A,B,C,IsRepeat) values (?,?,?,?,0)"));
        for (int i = 0; i < 100000; ++i) {
            insert->bindAll(
                {number(i), QStringLiteral("姓名%1").arg(i), QStringLiteral("先生"), QStringLiteral("备注")});
            insert->execute();
        }
        transaction.commit();
    }
    page.setSendMode(2);
    const double grid = timeMs([] {}, [&] { page.BuildNumGrid(); });
    std::printf("BuildNumGrid of 100,000 rows: %.0f ms median of %d; %s, %d rows shown\n", grid, kRuns,
                qPrintable(Control<QLabel>(page, "Label9")->text()), Control<ListView>(page, "ListView1")->model()->rowCount());

    const double open = timeMs(
        [] {},
        [] {
            db::Recordset rs;
            rs.Open(QStringLiteral("select id,IsSelect,MobilePhone,A,B,C,D,E from [DraftBox] order by id"), *g_Conn);
        });
    std::printf("    of which the query alone: %.0f ms median of %d\n", open, kRuns);

    QScrollBar* bar = Control<ListView>(page, "ListView1")->verticalScrollBar();
    std::vector<double> steps;
    for (int i = 1; i <= 50; ++i) {
        QElapsedTimer timer;
        timer.start();
        bar->setValue(bar->maximum() * i / 50);
        Control<ListView>(page, "ListView1")->viewport()->repaint();
        steps.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("Grid scroll step with repaint: %.2f ms median, %.2f ms worst of 50\n", median(steps),
                *std::max_element(steps.begin(), steps.end()));
    return 0;
}
