#include "SendAction.h"

#include "Desktop.h"
#include "GlobalState.h"
#include "NumberListModel.h"
#include "PublicFunction.h"
#include "SendChecks.h"
#include "SendMsg.h"
#include "SendPage.h"
#include "SmsCtrl.h"
#include "db/Clock.h"

#include <QMutexLocker>

bool RunSendButton(SendPage& page, SmsCtrl* mainClient, QWidget* mainWindow)
{
    const bool timed = page.isScheduled();
    const QDateTime scheduled = page.scheduledMoment();

    SendCheckInput check;
    check.timed = timed;
    check.scheduled = scheduled;
    check.now = db::Clock::now();
    check.text = page.message();
    check.recipients = page.recipientCount();
    check.parts = page.smsnumber();
    if (mainClient) {
        QMutexLocker lock(&mainClient->mutex());
        check.balance = mainClient->Balance;
    }
    check.sensitiveWords = g_SensitiveWords.get();

    if (const auto failure = CheckSend(check)) {
        MsgBox(failure->message, failure->title, Desktop::Icon::Information, Desktop::Buttons::Ok, mainWindow);
        if (failure->focusEditor)
            page.focusMessage();
        return false;
    }

    SendMsg::Request request;
    request.input.sendMode = g_SendMode;
    request.input.text = check.text;
    if (g_SendMode == 1)
        request.input.listNumbers = page.numberList()->texts();
    request.input.sendTime = timed ? QString::number(ToUnixTime(scheduled)) : QStringLiteral("0");
    request.recipients = check.recipients;
    request.parts = check.parts;

    SendMsg dialog(request, mainWindow);
    QObject::connect(&dialog, &SendMsg::listRunCompleted, &page, [&page] {
        page.numberList()->clear();
        page.CountList();
    });
    // The numbers that requests carried are in the history now; only the rest stay to be sent.
    QObject::connect(&dialog, &SendMsg::listRunStopped, &page, [&page](int carried) {
        page.numberList()->removeFirst(carried);
        page.CountList();
    });
    dialog.exec();
    return true;
}
