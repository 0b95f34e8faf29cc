#include "Startup.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "MultiThread.h"
#include "UpdateCheck.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <stdexcept>
#include <thread>

namespace {

// The descriptions the old runtime gave for these two failures; users and support know them.
const QString kNoCurrentRecord =
    QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。");
const QString kInvalidNull = QStringLiteral("无效使用 Null");

} // namespace

void InitSystem()
{
    g_UpdateChecked.store(false);
    g_RemoteVersion.set(QStringLiteral("0"));
    ReadLocalVersion();
    MultiThread& worker = g_Threads(1);
    // A check left over from an earlier dialog ends on its own; wait for it so the slot is free.
    worker.Terminal();
    worker.Add(UpdateCheckWorker, 0);
    worker.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void ReadLocalVersion()
{
    OpenDatabaseOrThrow(QStringLiteral("data.mdb"));
    // Past the open, every failure is a fault of the file's content, not of opening it:
    // the caller reports those differently.
    QVariant value;
    bool found = false;
    try {
        g_Rs->Open(QStringLiteral("select * from [config] where key='Verson'"), SharedConnection(),
                   db::LockType::ReadOnly);
        found = !g_Rs->IsEOF();
        if (found)
            value = g_Rs->Field(QStringLiteral("value"));
        g_Rs->Close();
    } catch (const db::DbError& error) {
        throw std::runtime_error(error.description().toStdString());
    }
    if (!found)
        throw std::runtime_error(kNoCurrentRecord.toStdString());
    if (value.isNull())
        throw std::runtime_error(kInvalidNull.toStdString());
    g_VersionText = value.toString();
}
