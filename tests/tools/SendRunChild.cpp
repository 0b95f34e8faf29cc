// Runs a grid send on the user database of a program folder, for the tests that end the
// process in the middle of a run:  quorvel-send-child FOLDER USER [batch|merge]
// QUORVEL_CRASH_STEP="S:K" aborts the process right after the K-th recording statement of the
// S-th batch step or merge row (K = 0: once the request has returned, before any statement).
// Requests go out on a worker as in the send dialog, so a step's outcome is written while the
// next step's request is out.
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
        return m_pacing.request(send, meanwhile, {});
    }

private:
    RunPacing m_pacing;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4)
        return 2;
    SetProgramFolder(QString::fromLocal8Bit(argv[1]));
    const QString user = QString::fromLocal8Bit(argv[2]);
    const bool merge = argc == 4 && QByteArray(argv[3]) == "merge";
    OpenDatabaseOrThrow(user + QStringLiteral(".mdb"));
    SmsCtrl client;
    client.username = user;
    client.password = QStringLiteral("demo123");
    Quiet observer;
    SendRun run(client, *g_Conn, observer);

    const QList<QByteArray> crash = qgetenv("QUORVEL_CRASH_STEP").split(':');
    if (crash.size() == 2) {
        const int step = crash.at(0).toInt();
        const int statement = crash.at(1).toInt();
        run.setStepHook([=](int reachedStep, int reached) {
            if (reachedStep == step && reached == statement)
                std::abort();
        });
    }

    SendRun::Input input;
    input.sendMode = 2;
    input.text = merge ? QStringLiteral("{%A列%}，会员日通知") : QStringLiteral("会员日通知");
    run.run(input);
    return 0;
}
