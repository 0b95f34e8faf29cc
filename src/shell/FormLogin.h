#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QTimer;
class SmsCtrl;

namespace Ui {
class FormLogin;
}

// The first window of the program: puts a pending restore in place, runs the start-up step,
// fills in the last user, waits for the update check (offering the updater when it found a
// newer version) and signs in online or offline. A successful sign-in opens Form1 and closes
// this dialog. A failure of the load ends the program (in the constructor).
class FormLogin final : public QWidget
{
    Q_OBJECT
public:
    explicit FormLogin(QWidget* parent = nullptr);
    ~FormLogin() override;

    // True once the update check has ended, successfully or not.
    bool allowLogin() const;
    // Replaces update.ini with the update address for the given (already encoded) user name.
    // Reports nothing: a folder that cannot be written keeps the old file.
    void writeUpdateConfig(const QString& username);

    void AeroButton1_Click(); // sign-in
    void Timer2_Timer();      // update offer

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load();
    void showStatus(const QString& text);
    // False when the sign-in was refused (its message has been shown).
    bool verifyOffline(const QString& user, const QString& password);
    bool verifyOnline(const QString& user, const QString& password);
    void SaveLoginUser(const QString& user, const QString& password);
    void openMainWindow();

    std::unique_ptr<Ui::FormLogin> ui;
    std::unique_ptr<SmsCtrl> m_client;
    QTimer* m_timer2 = nullptr;
    bool m_updateHandled = false;
};
