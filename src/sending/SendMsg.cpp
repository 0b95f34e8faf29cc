#include "SendMsg.h"
#include "ui_SendMsg.h"

#include "DataStore.h"
#include "ErrorBoxes.h"
#include "GlobalState.h"
#include "InputHold.h"
#include "ProgramLook.h"
#include "SmsCtrl.h"

#include <QCoreApplication>
#include <QPalette>

SendMsg::SendMsg(const Request& request, QWidget* mainWindow)
    : QDialog(mainWindow), ui(std::make_unique<Ui::SendMsg>()), m_client(std::make_unique<SmsCtrl>()),
      m_request(request)
{
    ui->setupUi(this);
    setModal(true);
    if (mainWindow) {
        const QPoint topLeft = mainWindow->frameGeometry().topLeft();
        move(topLeft + QPoint(4500 / kTwipsPerPixel, 2500 / kTwipsPerPixel));
    }
    m_client->username = g_UserName;
    m_client->password = g_Password;
    showCount(ui->Label6, m_request.recipients);
    ui->Label1->setText(QStringLiteral("确定开始发送短信吗？"));

    connect(ui->AeroButton2, &QPushButton::clicked, this, &SendMsg::AeroButton2_Click);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &SendMsg::AeroButton1_Click);
}

SendMsg::~SendMsg() = default;

void SendMsg::showCount(QLabel* label, int count)
{
    if (m_stopFlag)
        return;
    label->setText(QString::number(qint64(count) * m_request.parts) + QStringLiteral(" 条"));
}

void SendMsg::AeroButton2_Click()
{
    ui->AeroButton2->setEnabled(false);
    ui->Label1->setText(QStringLiteral("正在发送短信……"));
    m_started = true;
    // Until the run returns, input reaches this dialog alone, and nothing once "取 消" has
    // closed it: the main window's lists and buttons wait for the run to let go of them.
    InputHold hold(this);
    SendRun run(*m_client, SharedConnection(), *this);
    const bool listRun = SendRun::modeFor(m_request.input.sendMode, m_request.input.text) == SendRun::Mode::List;
    try {
        m_outcome = run.run(m_request.input);
    } catch (const db::DbError& e) {
        // The run ends where the database failed; what it wrote before stays.
        m_outcome = SendRun::Outcome::Stopped;
        if (listRun)
            Q_EMIT listRunStopped(run.carriedCount());
        ShowProgramError(e);
        return;
    }
    if (m_outcome != SendRun::Outcome::Completed) {
        if (listRun)
            Q_EMIT listRunStopped(run.carriedCount());
        return;
    }
    if (listRun)
        Q_EMIT listRunCompleted();
    if (!m_stopFlag)
        showEndState();
}

void SendMsg::showEndState()
{
    if (m_failed > 0) {
        QPalette palette = ui->Label10->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        ui->Label10->setPalette(palette);
    }
    ui->AeroButton1->setText(QStringLiteral("关 闭"));
    ui->Label1->setText(QStringLiteral("短信息发送操作完成"));
}

void SendMsg::AeroButton1_Click()
{
    // A run still on the stack returns at its next recipient; from now on it touches no control.
    m_stopFlag = true;
    QDialog::reject();
}

void SendMsg::reject()
{
    AeroButton1_Click();
}

void SendMsg::totalChanged(int total)
{
    showCount(ui->Label6, total);
    if (!m_stopFlag)
        ui->AeroProgressBar1->setMaximum(qMax(1, total));
}

void SendMsg::sentChanged(int sent)
{
    showCount(ui->Label5, sent);
    if (!m_stopFlag)
        ui->AeroProgressBar1->setValue(sent);
}

void SendMsg::successChanged(int success)
{
    showCount(ui->Label9, success);
}

void SendMsg::failChanged(int failed)
{
    m_failed = failed;
    showCount(ui->Label10, failed);
}

void SendMsg::yield()
{
    m_pacing.yield();
}

// The request goes out on the worker while this thread records the reply before it, then
// keeps painting the windows and taking "取 消"; the run itself goes on only when the reply is
// in, so requests stay one at a time. Other input is dropped meanwhile (see InputHold).
bool SendMsg::request(const std::function<bool()>& send, const std::function<void()>& meanwhile)
{
    return m_pacing.request(send, meanwhile);
}
