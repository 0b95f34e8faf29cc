#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class SmsCtrl;

namespace Ui {
class SettingsPage;
}

// Page 5 of the main window: balance, password change, enterprise signature, version and
// update check, birthday reminder window, the fixed length table, backup and restore.
class SettingsPage final : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPage(QWidget* parent = nullptr);
    ~SettingsPage() override;

    // The main window's platform client (not owned); nullptr until the start-up sequence made it.
    void setClient(SmsCtrl* client);
    SmsCtrl* client() const { return m_client; }

    // Reads BirthdayNum (added with 7 when missing) and EmpSign from g_Conn into the globals
    // and onto the page. Raises db::DbError when the database fails.
    void LoadConfig();
    // Label14 = the client's Balance + "条" (0 without a client); emits balanceShown.
    void showBalance();

    // Click handlers; the balance refresh is also run by the send page after a send.
    void AeroButton27_Click(); // balance refresh
    void AeroButton28_Click(); // password change
    void AeroButton29_Click(); // enterprise signature
    void AeroButton30_Click(); // update check
    void AeroButton13_Click(); // reminder days
    void AeroButton9_Click();  // backup
    void AeroButton41_Click(); // restore

Q_SIGNALS:
    // The balance text just put into Label14 (e.g. "120条"); the main window shows it in panel 4.
    void balanceShown(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setBalanceText(qint32 balance);

    std::unique_ptr<Ui::SettingsPage> ui;
    SmsCtrl* m_client = nullptr;
};
