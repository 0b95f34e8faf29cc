#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

// A value that a worker writes and the window thread reads.
template <typename T>
class Guarded
{
public:
    explicit Guarded(T initial = T()) : m_value(std::move(initial)) {}
    T get() const
    {
        QMutexLocker lock(&m_mutex);
        return m_value;
    }
    void set(T value)
    {
        QMutexLocker lock(&m_mutex);
        m_value = std::move(value);
    }

private:
    mutable QMutex m_mutex;
    T m_value;
};

// State of the signed-in session, written by the sign-in, the main window and the workers.
extern QString g_UserName;      // as typed at sign-in
extern QString g_Password;      // as typed at sign-in, replaced by a password change
extern bool g_Online;           // signed in through the platform
extern std::atomic<int> g_CharsPerSms; // characters per message part; 70 until the platform says otherwise
extern int g_SendMode;          // 1 plain number list, 2 personalised grid
extern QString g_EnterpriseSign;
extern int g_BirthdayDays;      // birthday reminder window, 0..365
extern QString g_ExcelPath;     // workbook chosen for an Excel import
extern QString g_VersionText;   // installed version, from data.mdb

// Written by the workers.
extern Guarded<QString> g_RemoteVersion;     // latest version named by the update query, "0" until known
extern std::atomic<bool> g_UpdateChecked;    // the update query succeeded
extern Guarded<std::optional<QStringList>> g_SensitiveWords; // no list until the download has ended

// Resets every value above to its start-of-program default (tests start from a clean slate).
void ResetGlobalState();
