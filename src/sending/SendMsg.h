#pragma once

#include "RequestWorker.h"
#include "SendRun.h"

#include <QDialog>
#include <QStringList>
#include <memory>

class QLabel;
class SmsCtrl;
namespace Ui {
class SendMsg;
}

// The modal send dialog: shows the run's counts and progress, starts the run on "开始" and
// stops it with "取 消" before its next recipient.
class SendMsg final : public QDialog, private SendRunObserver
{
    Q_OBJECT
public:
    struct Request
    {
        SendRun::Input input;
        int recipients = 0; // items of the list of the current send mode
        int parts = 1;      // smsnumber of the editor's text
    };

    SendMsg(const Request& request, QWidget* mainWindow);
    ~SendMsg() override;

    SendRun::Outcome outcome() const { return m_outcome; }

Q_SIGNALS:
    // A list run has completed: the plain list is to be emptied.
    void listRunCompleted();
    // A list run was stopped after requests had carried the first `carried` numbers of the
    // list: those leave it, the rest stay for a later send.
    void listRunStopped(int carried);

private:
    void AeroButton2_Click();
    void AeroButton1_Click();
    void showCount(QLabel* label, int count);
    void showEndState();

    // SendRunObserver
    void totalChanged(int total) override;
    void sentChanged(int sent) override;
    void successChanged(int success) override;
    void failChanged(int failed) override;
    void yield() override;
    bool stopRequested() const override { return m_stopFlag; }
    bool request(const std::function<bool()>& send, const std::function<void()>& meanwhile) override;

    void reject() override;

    std::unique_ptr<Ui::SendMsg> ui;
    std::unique_ptr<SmsCtrl> m_client;
    RunPacing m_pacing;
    Request m_request;
    // Set by closing the dialog: the run stops and the controls are left alone.
    bool m_stopFlag = false;
    bool m_started = false;
    int m_failed = 0;
    SendRun::Outcome m_outcome = SendRun::Outcome::Stopped;
};
