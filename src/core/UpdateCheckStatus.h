#pragma once

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
