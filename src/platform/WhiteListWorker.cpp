#include "WhiteListWorker.h"

#include "DataStore.h"
#include "PublicFunction.h"
#include "SmsCtrl.h"
#include "db/Recordset.h"

#include <QMutexLocker>

namespace {
constexpr int kWhiteListPauseMs = 3000;
}

void AddPreference(const QString& number)
{
    db::Recordset rs;
    rs.Open(QStringLiteral("select * from [Preference] where MobilePhone='") + SqlQuote(number) + QLatin1Char('\''),
            SharedConnection(), db::LockType::Optimistic);
    if (rs.RecordCount() == 0) {
        rs.AddNew();
        rs.SetField(QStringLiteral("MobilePhone"), number);
        rs.SetField(QStringLiteral("isUpload"), 0);
        rs.Update();
    }
    rs.Close();
}

void WhiteListWorker(const MultiThread::StopToken& stop, SmsCtrl* client, const QString& userDatabase)
{
    if (!client)
        return;
    // SQLite connections belong to one thread: the worker keeps its own and reopens it after
    // a failed pass.
    std::unique_ptr<db::Connection> conn;
    while (!stop.stopRequested()) {
        try {
            if (!conn)
                conn = OpenWorkerConnection(userDatabase);
            db::Recordset rs;
            rs.Open(QStringLiteral("select * from [Preference] where isUpload = false"), *conn,
                    db::LockType::Optimistic);
            while (!rs.IsEOF() && !stop.stopRequested()) {
                const QVariant mobile = rs.Field(QStringLiteral("MobilePhone"));
                bool uploaded = false;
                {
                    QMutexLocker lock(&client->mutex());
                    // The exit waits for this worker: its stop ends a request that a silent host holds.
                    uploaded = client->addWhite(mobile, [&stop] { return stop.stopRequested(); });
                }
                if (uploaded) {
                    rs.SetField(QStringLiteral("isUpload"), 1);
                    rs.Update();
                }
                rs.MoveNext();
            }
            rs.Close();
        } catch (const std::exception&) {
            // The pass is left; the next one starts on a fresh connection.
            conn.reset();
        }
        if (!stop.waitFor(kWhiteListPauseMs))
            break;
    }
}
