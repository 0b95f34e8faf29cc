// Figures for the contact export: 60,000 contacts with all twelve columns filled, written into
// a copy of the shipped template. Prints the median of several runs and the peak memory growth,
// beside a baseline of reading the same rows through a recordset.
#include "BenchSupport.h"
#include "Controls.h"
#include "DataStore.h"
#include "Desktop.h"
#include "ExportContact.h"
#include "GlobalState.h"
#include "TestProgramFolder.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kContacts = 60000;

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

long currentRssKb()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * 4 : 0;
}

// Answers the save dialog with the next file and every box with Ok.
class ExportDesktop final : public Desktop
{
public:
    QString next;
    int boxes = 0;
    Answer message(const QString&, const QString&, Icon, Buttons, QWidget*) override
    {
        ++boxes;
        return Answer::Ok;
    }
    QString openFile(const QString&, QWidget*) override { return QString(); }
    QString saveFile(const QString&, QWidget*) override { return next; }
    bool startProgram(const QString&) override { return false; }
    bool openUrl(const QString&) override { return false; }
    [[noreturn]] void exitNow(int code) override { std::exit(code); }
};

void fillContacts()
{
    db::Transaction transaction(*g_Conn);
    auto insert = g_Conn->prepare(QStringLiteral(
        "insert into [ContactList] (Name, MobilePhone, Sex, Birthday, Vocation, Job, IdCardNum, EMail, Marriage, "
        "Favorite, Address, Remark, CatID) values (?,?,?,?,?,?,?,?,?,?,?,?,1)"));
    for (int i = 0; i < kContacts; ++i) {
        insert->bindAll({QStringLiteral("联系人%1").arg(i), QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0')),
                         i % 2 ? QStringLiteral("男") : QStringLiteral("女"),
                         QStringLiteral("19%1-%2-%3 00:00:00")
                             .arg(50 + i % 50)
                             .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                             .arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                         QStringLiteral("行业%1").arg(i % 40), QStringLiteral("职位%1").arg(i % 90),
                         QStringLiteral("1101011990%1").arg(i, 8, 10, QLatin1Char('0')),
                         QStringLiteral("user%1@example.cn").arg(i), i % 3 ? QStringLiteral("已婚") : QStringLiteral("未婚"),
                         QString::number(100000 + i), QStringLiteral("北京市海淀区某某路%1号").arg(i),
                         QStringLiteral("备注：第%1位客户").arg(i)});
        insert->execute();
    }
    transaction.commit();
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
    fillContacts();

    ExportDesktop desktop;
    Desktop::install(&desktop);
    // A folder given on the command line keeps the written workbooks, to open them elsewhere.
    QTemporaryDir temporary;
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());

    std::vector<double> runs;
    std::vector<double> cpu;
    long growthKb = 0;
    qint64 fileSize = 0;
    for (int r = 0; r < kRuns; ++r) {
        desktop.next = out.filePath(QStringLiteral("contacts%1.xls").arg(r));
        ExportContact dialog;
        QPushButton* start = Control<QPushButton>(dialog, "AeroButton1");
        const long before = currentRssKb();
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = cpuMs();
        start->click();
        runs.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMs() - cpuBefore);
        // The first run sets the peak; later runs reuse memory freed by the one before.
        if (r == 0)
            growthKb = peakRssKb() - before;
        fileSize = QFile(desktop.next).size();
    }
    std::vector<double> baseline;
    for (int r = 0; r < kRuns; ++r) {
        QElapsedTimer timer;
        timer.start();
        db::Recordset rs;
        rs.Open(QStringLiteral("select * from [ContactList]"), *g_Conn);
        int n = 0;
        for (; !rs.IsEOF(); rs.MoveNext())
            n += rs.Field(1).isNull() ? 0 : 1;
        baseline.push_back(timer.nsecsElapsed() / 1e6);
    }

    Desktop::install(nullptr);

    std::printf("contact export, %d contacts x 12 columns (median of %d)\n", kContacts, kRuns);
    std::printf("  read the rows through a recordset (baseline): %8.1f ms\n", median(baseline));
    std::printf("  export to .xls:                               %8.1f ms  (x%.2f of baseline)\n", median(runs),
                median(runs) / median(baseline));
    std::printf("  processor time of the export:                 %8.1f ms\n", median(cpu));
    std::printf("  peak memory growth during the first export:   %8.1f MB\n", growthKb / 1024.0);
    std::printf("  file size: %.1f MB, boxes shown: %d (one a run)\n", fileSize / 1048576.0, desktop.boxes);
    return 0;
}
