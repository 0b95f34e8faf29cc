#pragma once

#include "MultiThread.h"

#include <QObject>
#include <QString>
#include <atomic>


// What the update-check worker reports to the login dialog. The worker never touches a
// widget: it writes here, and the dialog picks the status text up through a queued signal.
class UpdateCheckStatus final : public QObject
{
    Q_OBJECT
public:
    static UpdateCheckStatus& instance();

    bool allowLogin() const { return m_allowLogin.load(); }
    void setAllowLogin(bool allow) { m_allowLogin.store(allow); }
    void setStatus(const QString& text); // emits statusChanged (queued to receivers' threads)

Q_SIGNALS:
    void statusChanged(const QString& text);

private:
    UpdateCheckStatus() = default;
    std::atomic<bool> m_allowLogin{false};
};

// The start-up step of the login dialog's load: resets the update state, reads the installed
// version (opening data.mdb; throws db::DbError and std::runtime_error, e.g. no 'Verson' row)
// and starts the update-check worker.
void InitSystem();
void ReadLocalVersion();
// The update query: GET of the address in update.ini; sets g_RemoteVersion to the reply's
// first line. False on any failure (no update.ini, unreachable host, empty reply), and when
// stopRequested (polled while the request runs) says to stop.
bool FetchLatestVersion(const std::function<bool()>& stopRequested = {});
// Queues a typed or pasted number for the white list (window thread, g_Conn).
void AddPreference(const QString& number);

// Thread procedures.
void UpdateCheckWorker(const MultiThread::StopToken& stop);
void KeywordWorker(const MultiThread::StopToken& stop);
