// Send-loop throughput against the in-process sandbox platform.
//   bench_send_bench [runs]
// Prints the median of several runs for a list run of 100,000 numbers, a grid batch run of
// 100,000 rows and a merge run of 10,000 rows, with the share of a list run spent in HTTP,
// in yielding to the window and (the rest) in the database. The run yields and hands its
// requests to a worker thread as the send dialog does; the engine's own pace on the same
// database is the baseline.
#include "BenchSupport.h"
#include "DataStore.h"
#include "RequestWorker.h"
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

// Paces its yields and makes its requests as the send dialog does.
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
        m_pacing.yield();
        yieldNs += t.nsecsElapsed();
    }
    bool stopRequested() const override { return false; }
    bool request(const std::function<bool()>& send, const std::function<void()>& meanwhile) override
    {
        return m_pacing.request(send, meanwhile);
    }

private:
    RunPacing m_pacing;
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

// The engine's own pace on the same keyed database: 100,000 prepared inserts into [Finish]
// in transactions of one batch each, and (for the merge run) one transaction per row.
double engineInserts(int rows, int perTransaction)
{
    auto insert = g_Conn->prepare(QStringLiteral("insert into [Finish](PhoneNumber,MsgId,State) values(?,?,?)"));
    QElapsedTimer t;
    t.start();
    for (int done = 0; done < rows;) {
        db::Transaction tx(*g_Conn);
        for (int k = 0; k < perTransaction && done < rows; ++k, ++done) {
            insert->bindAll({QString::number(13800000000LL + done), 1, QStringLiteral("已发送")});
            insert->execute();
        }
        tx.commit();
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    g_Conn->execute(QStringLiteral("delete from [Finish]"));
    return seconds;
}

// One durable commit as a run makes it before each request: a mark row written and committed
// with a full sync.
double durableCommitMicros()
{
    g_Conn->execute(QStringLiteral("PRAGMA synchronous=FULL"));
    auto insert = g_Conn->prepare(QStringLiteral("insert into [SendMarks](MsgId,Numbers,Queued) values(1,?,0)"));
    std::vector<double> micros;
    for (int k = 0; k < 200; ++k) {
        QElapsedTimer t;
        t.start();
        db::Transaction tx(*g_Conn);
        insert->bind(1, QString::number(13800000000LL + k));
        insert->execute();
        tx.commit();
        micros.push_back(t.nsecsElapsed() / 1e3);
    }
    insert.reset();
    g_Conn->execute(QStringLiteral("delete from [SendMarks]"));
    g_Conn->execute(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return median(micros);
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

    std::vector<double> list, listYield, http, grid, merge, mergeHttp, engine, engineRows, durable;
    int connections = 0;
    const QStringList listNumbers = numbers(100000);
    for (int r = 0; r < runs; ++r) {
        TestProgramFolder folder;
        folder.makeUserDatabase(QStringLiteral("demo"));
        OpenDatabaseOrThrow(QStringLiteral("demo.mdb"));

        engine.push_back(engineInserts(100000, SendRun::kBatchSize));
        engineRows.push_back(engineInserts(10000, 1));
        durable.push_back(durableCommitMicros());

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

        // The merge run's 10,000 one-number requests alone.
        t.restart();
        for (int k = 0; k < 10000; ++k) {
            QString text = QStringLiteral("客户%1先生您好，会员日全场八折").arg(k);
            QString number = listNumbers.at(k);
            client.SendMessage(text, number, QStringLiteral("0"));
        }
        mergeHttp.push_back(t.nsecsElapsed() / 1e9);
        connections = sandbox.server().connectionCount();
        sandbox.server().clearRecords();
    }

    const double listS = median(list), httpS = median(http), yieldS = median(listYield);
    const double engineS = median(engine);
    std::printf("engine: 100000 prepared inserts in batches of %d: %.3f s; 10000 one-row transactions: %.0f us each\n",
                SendRun::kBatchSize, engineS, median(engineRows) / 10000 * 1e6);
    std::printf("list run, 100000 numbers, 100 requests: %.3f s (median of %d, %.1fx the engine)\n", listS, runs,
                listS / engineS);
    std::printf("  HTTP %.0f%%, yielding %.0f%%, database and loop %.0f%%\n", 100 * httpS / listS,
                100 * yieldS / listS, 100 * (listS - httpS - yieldS) / listS);
    std::printf("grid batch run, 100000 rows: %.3f s (%.1fx the engine)\n", median(grid), median(grid) / engineS);
    const double mergeS = median(merge);
    std::printf("merge run, 10000 rows: %.3f s (%.0f us per row; requests alone %.0f us)\n", mergeS,
                mergeS / 10000 * 1e6, median(mergeHttp) / 10000 * 1e6);
    std::printf("connections opened for the last run's requests: %d\n", connections);
    const double durableUs = median(durable);
    std::printf("durable commit: %.0f us\n", durableUs);
    std::printf("merge row against the requests alone + one durable commit: %+.0f us\n",
                mergeS / 10000 * 1e6 - median(mergeHttp) / 10000 * 1e6 - durableUs);
    return 0;
}
