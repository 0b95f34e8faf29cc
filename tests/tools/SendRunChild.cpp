// Runs a grid batch send on the user database of a program folder, for the test that ends the
// process in the middle of a run:  quorvel-send-child FOLDER USER
#include "DataStore.h"
#include "SendRun.h"
#include "SmsCtrl.h"

#include <QCoreApplication>
#include <cstdio>

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
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    SetProgramFolder(QString::fromLocal8Bit(argv[1]));
    const QString user = QString::fromLocal8Bit(argv[2]);
    OpenDatabaseOrThrow(user + QStringLiteral(".mdb"));
    SmsCtrl client;
    client.username = user;
    client.password = QStringLiteral("demo123");
    Quiet observer;
    SendRun run(client, *g_Conn, observer);
    SendRun::Input input;
    input.sendMode = 2;
    input.text = QStringLiteral("会员日通知");
    run.run(input);
    return 0;
}
