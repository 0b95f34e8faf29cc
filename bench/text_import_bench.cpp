// Figures for the text-file import into the plain number list at 100,000 lines, DelRepeat
// included, in both layouts; the paste road of the same numbers is the baseline. Prints the
// median of several runs.
#include "BenchSupport.h"
#include "Controls.h"
#include "Desktop.h"
#include "GlobalState.h"
#include "ImportTXT2.h"
#include "NumberListModel.h"
#include "SendPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kLines = 100000;

// kLines numbers in a scattered order, every tenth one a repeat of an earlier number.
QStringList numbers()
{
    QStringList list;
    list.reserve(kLines);
    const int distinct = kLines - kLines / 10;
    for (int i = 0; i < kLines; ++i) {
        const int n = i % 10 == 9 ? (i * 7) % distinct : (i - i / 10);
        list << QStringLiteral("138%1").arg((qint64(n) * 7919) % 100000000, 8, 10, QLatin1Char('0'));
    }
    return list;
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

    SendPage page;
    page.resize(900, 520);
    if (!showForBench(page))
        return 1;

    const QStringList list = numbers();
    QTemporaryDir dir;
    struct Layout
    {
        const char* name;
        const char* separator;
        bool lines;
    };
    std::vector<double> baseline;
    for (int r = 0; r < kRuns; ++r) {
        page.AeroButton44_Click();
        const QString text = list.join(QStringLiteral("\r\n"));
        QElapsedTimer timer;
        timer.start();
        page.AddNumberLines(text);
        page.DelRepeat();
        baseline.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double base = median(baseline);
    std::printf("Baseline, paste road (AddNumberLines + DelRepeat) of the same %d lines: %.0f ms median of %d\n",
                kLines, base, kRuns);

    for (const Layout& layout : {Layout{"one per line (CR LF)", "\r\n", true}, Layout{"separated by ;", ";", false}}) {
        desktop.path = dir.filePath(QStringLiteral("numbers.txt"));
        QFile file(desktop.path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(list.join(QString::fromLatin1(layout.separator)).toLatin1());
        file.close();

        std::vector<double> runs;
        for (int r = 0; r < kRuns; ++r) {
            page.AeroButton44_Click();
            ImportTXT2 dialog(page, nullptr);
            dialog.show();
            dialog.AeroButton1_Click();
            Control<QRadioButton>(dialog, layout.lines ? "AeroOptionButton1" : "AeroOptionButton2")->setChecked(true);
            QElapsedTimer timer;
            timer.start();
            dialog.AeroButton2_Click();
            runs.push_back(timer.nsecsElapsed() / 1e6);
        }
        const double ms = median(runs);
        std::printf("ImportTXT2 %s, %d lines (10 %% duplicates), DelRepeat included: %.0f ms median of %d, %.2fx "
                    "baseline; \"%s\", %d in the list\n",
                    layout.name, kLines, ms, kRuns, ms / base, qPrintable(desktop.lastMessage),
                    page.numberList()->count());
    }
    Desktop::install(nullptr);
    return 0;
}
