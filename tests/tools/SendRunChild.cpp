// Runs a send on the user database of a program folder, for the tests that end the process in
// the middle of a run:
//   quorvel-send-child FOLDER USER [list|batch|merge] [BATCH-SIZE] [LIST-COUNT]
// list: LIST-COUNT numbers from 13800000000 on; batch and merge send the grid.
// QUORVEL_CRASH_STEP="S:P" aborts the process at point P of step S of the run (see
// SendRun::setStepHook); QUORVEL_TRACE_STEPS=1 prints "point S P" at every point instead.
// Requests go out on a worker as in the send dialog, so a step's statements are written while
// its request is out.
#include "DataStore.h"
#include "RequestWorker.h"
#include "SendRun.h"
#include "SmsCtrl.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

class Quiet final : public SendRunObserver
{
public:
    void totalChanged(int) override {}
    void sentChanged(int sent) override
    {
        std::printf("sent %d\n", sent);
        std::fflush(stdout);
    }
    void successChanged(int) override {}
    void failChanged(int) override {}
    void yield() override {}
    bool stopRequested() const override { return false; }
    bool request(const std::function<bool()>& send, const std::function<void()>& meanwhile) override
    {
        return m_pacing.request(send, meanwhile);
    }

private:
    RunPacing m_pacing;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3 || argc > 6)
        return 2;
    SetProgramFolder(QString::fromLocal8Bit(argv[1]));
    const QString user = QString::fromLocal8Bit(argv[2]);
    const QByteArray mode = argc > 3 ? QByteArray(argv[3]) : QByteArray("batch");
    OpenDatabaseOrThrow(user + QStringLiteral(".mdb"));
    SmsCtrl client;
    client.username = user;
    client.password = QStringLiteral("demo123");
    Quiet observer;
    SendRun run(client, *g_Conn, observer);

    const QList<QByteArray> crash = qgetenv("QUORVEL_CRASH_STEP").split(':');
    const bool trace = qgetenv("QUORVEL_TRACE_STEPS") == "1";
    if (crash.size() == 2 || trace) {
        const int step = crash.value(0).toInt();
        const int point = crash.value(1).toInt();
        run.setStepHook([=](int reachedStep, int reached) {
            if (trace) {
                std::printf("point %d %d\n", reachedStep, reached);
                std::fflush(stdout);
            } else if (reachedStep == step && reached == point) {
                std::abort();
            }
        });
    }

    SendRun::Input input;
    input.sendMode = mode == "list" ? 1 : 2;
    input.text = mode == "merge" ? QStringLiteral("{%A列%}，会员日通知") : QStringLiteral("会员日通知");
    if (argc > 4)
        input.batchSize = QByteArray(argv[4]).toInt();
    if (mode == "list") {
        const int count = argc > 5 ? QByteArray(argv[5]).toInt() : 0;
        for (int i = 0; i < count; ++i)
            input.listNumbers.append(QString::number(13800000000LL + i));
    }
    run.run(input);
    return 0;
}
