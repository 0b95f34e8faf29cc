// Send-loop throughput against the in-process sandbox platform.
//   bench_send_bench [runs]
// Prints the median of several runs for a list run of 100,000 numbers, a grid batch run of
// 100,000 rows and a merge run of 10,000 rows, with the share of a list run spent in HTTP,
// in yielding to the window and (the rest) in the database.
#include "BenchSupport.h"
#include "DataStore.h"
#include "SandboxFixture.h"
#include "SendRun.h"
#include "SmsCtrl.h"
#include "TestProgramFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class TimingObserver final : public SendRunObserver
{
public:
    qint64 yieldNs = 0;
    void totalChanged(int) override {}
    void sentChanged(int) override {}
    void successChanged(int) override {}
    void failChanged(int) override {}
    void yield() override
    {
        QElapsedTimer t;
        t.start();
        QCoreApplication::processEvents();
        yieldNs += t.nsecsElapsed();
    }
    bool stopRequested() const override { return false; }
};

QStringList numbers(int count)
{
    QStringList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(QString::number(13800000000LL + i));
    return list;
}

void fillDraftBox(int rows)
{
    db::Transaction tx(*g_Conn);
    auto insert = g_Conn->prepare(QStringLiteral("insert into [DraftBox](MobilePhone,A,B,IsRepeat) values(?,?,?,0)"));
    for (int i = 0; i < rows; ++i) {
        insert->bindAll({QString::number(13800000000LL + i), QStringLiteral("客户%1").arg(i), QStringLiteral("先生")});
        insert->execute();
    }
    tx.commit();
}

struct Sample
{
    double seconds = 0;
    double yieldSeconds = 0;
};

Sample timeRun(SmsCtrl& client, const SendRun::Input& input)
{
    TimingObserver observer;
    SendRun run(client, *g_Conn, observer);
    QElapsedTimer t;
    t.start();
    run.run(input);
    return {t.nsecsElapsed() / 1e9, observer.yieldNs / 1e9};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    ScopedSandbox sandbox;
    sandbox.server().setBalance(QStringLiteral("demo"), 1000000000);
    SmsCtrl client;
    client.username = QStringLiteral("demo");
    client.password = QStringLiteral("demo123");

    std::vector<double> list, listYield, http, grid, merge;
    int connections = 0;
    const QStringList listNumbers = numbers(100000);
    for (int r = 0; r < runs; ++r) {
        TestProgramFolder folder;
        folder.makeUserDatabase(QStringLiteral("demo"));
        OpenDatabaseOrThrow(QStringLiteral("demo.mdb"));

        SendRun::Input in;
        in.text = QStringLiteral("会员日通知：全场八折");
        in.listNumbers = listNumbers;
        const Sample s = timeRun(client, in);
        list.push_back(s.seconds);
        listYield.push_back(s.yieldSeconds);

        // The same 100 requests alone: the HTTP share of the list run.
        QElapsedTimer t;
        t.start();
        for (int b = 0; b < 100; ++b) {
            QString text = in.text;
            QString batch = listNumbers.mid(b * 1000, 1000).join(QLatin1Char(';'));
            client.SendMessage(text, batch, QStringLiteral("0"));
        }
        http.push_back(t.nsecsElapsed() / 1e9);

        fillDraftBox(100000);
        in.sendMode = 2;
        in.listNumbers.clear();
        grid.push_back(timeRun(client, in).seconds);

        fillDraftBox(10000);
        in.text = QStringLiteral("{%A列%}{%B列%}您好，会员日全场八折");
        merge.push_back(timeRun(client, in).seconds);
        connections = sandbox.server().connectionCount();
        sandbox.server().clearRecords();
    }

    const double listS = median(list), httpS = median(http), yieldS = median(listYield);
    std::printf("list run, 100000 numbers, 100 requests: %.3f s (median of %d)\n", listS, runs);
    std::printf("  HTTP %.0f%%, yielding %.0f%%, database and loop %.0f%%\n", 100 * httpS / listS,
                100 * yieldS / listS, 100 * (listS - httpS - yieldS) / listS);
    std::printf("grid batch run, 100000 rows: %.3f s\n", median(grid));
    const double mergeS = median(merge);
    std::printf("merge run, 10000 rows: %.3f s (%.0f us per row)\n", mergeS, mergeS / 10000 * 1e6);
    std::printf("connections opened for the last run's requests: %d\n", connections);
    return 0;
}
