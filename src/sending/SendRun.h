#pragma once

#include "SendLedger.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class SmsCtrl;
namespace db {
class Connection;
class Statement;
}

// What a run reports while it goes, and how it asks whether to stop. The send dialog
// implements it; once the dialog has closed it ignores the counts.
class SendRunObserver
{
public:
    virtual ~SendRunObserver() = default;
    virtual void totalChanged(int total) = 0;
    virtual void sentChanged(int sent) = 0;     // numbers taken into the run so far (also the progress)
    virtual void successChanged(int success) = 0;
    virtual void failChanged(int failed) = 0;
    // Processes waiting window events, so that the dialog paints and its cancel answers.
    virtual void yield() = 0;
    virtual bool stopRequested() const = 0;
    // Makes one platform request and, while it is out, runs `meanwhile` on this thread (the
    // run records the previous request's outcome then). The send dialog makes the request on a
    // worker and keeps its window alive; the default makes it here and now, then runs
    // `meanwhile`. What `meanwhile` throws comes out once the request has returned.
    virtual bool request(const std::function<bool()>& send, const std::function<void()>& meanwhile)
    {
        const bool ok = send();
        meanwhile();
        return ok;
    }
};

// One send run: the plain list in batches, the grid in batches, or the grid merged row by
// row with its column variables. Everything the run writes is kept even when it stops or a
// database statement fails (the failure is raised as db::DbError after what could be written).
//
// No recipient is charged twice: before a request leaves, a mark holding its numbers is
// durable in [SendMarks]; after the reply one transaction records the outcome and drops the
// mark (see SendLedger). A request is marked right after the reply before it, and that reply
// is recorded while the request is out, so that the database and the platform work at the
// same time; requests still go out one at a time. A crash thus leaves at most two requests
// unconfirmed: the one out (or marked and about to leave) and the one whose outcome was being
// written. A plain-list run also queues its later requests at its start, so that after a
// crash their numbers are in the history as never sent, ready for a resend.
class SendRun
{
public:
    enum class Mode { List, GridBatch, Merge };
    enum class Outcome { Completed, Stopped };

    static constexpr int kBatchSize = 1000;

    struct Input
    {
        int sendMode = 1;          // 1 plain list, otherwise the grid
        QString text;              // the editor's text
        QStringList listNumbers;   // the plain list, in its own order (list runs)
        QString sendTime = QStringLiteral("0"); // "0" or the scheduled moment as seconds
        int batchSize = kBatchSize; // numbers per request of a batch run
    };

    SendRun(SmsCtrl& client, db::Connection& conn, SendRunObserver& observer);
    ~SendRun();

    static Mode modeFor(int sendMode, const QString& text);
    // The text with "{%A列%}" … "{%E列%}" replaced by the given column values, in that order.
    static QString fillVariables(const QString& text, const QStringList& columnsAtoE);
    // "[Finish]".State of a number whose request may have reached the platform while no reply
    // says what became of it: a time-out or a dropped connection after sending, or a crash.
    static const QString& unconfirmedState() { return SendLedger::unconfirmedState(); }
    // "[Finish]".State of a plain-list number whose request never went out (a crash came
    // first): a resend of the failed numbers sends it.
    static const QString& unsentState() { return SendLedger::unsentState(); }
    // Settles what an interrupted run left. Returns how many numbers entered the history.
    static int settleInterrupted(db::Connection& conn) { return SendLedger::settle(conn); }

    Outcome run(const Input& input);

    // Called at every point a run can be ended at, as (step, point): step 0 is everything
    // before the first request; step s (from 1) is request s: point -1 just before it leaves,
    // then 1, 2, … after each statement written while it is out, and 0 once its reply is in;
    // the step after the last request holds the run's closing statements. A process that ends
    // a run on purpose in tests hangs its crash point here; a hook may also throw db::DbError.
    void setStepHook(std::function<void(int step, int point)> hook) { m_stepHook = std::move(hook); }

    int totalCount() const { return m_total; }
    int sentCount() const { return m_sent; }
    int successCount() const { return m_success; }
    int failCount() const { return m_fail; }
    // The numbers whose requests went out, recorded or not: a plain list gives these up.
    int carriedCount() const { return m_carried; }

private:
    Outcome send(const Input& input, Mode mode, std::vector<SendRequest>& requests);
    SendAnswer answerFor(SendRequest& request, qint64 runId, bool ok, const QString& numbers,
                         const QString& message) const;
    void count(const SendAnswer& answer);
    Outcome stop(SendLedger& ledger, qint64 runId, std::vector<SendRequest>& requests);
    void keepWhatIsKnown(SendLedger& ledger, qint64 runId, std::vector<SendRequest>& requests);
    QList<qint64> unsentMarks(const std::vector<SendRequest>& requests) const;
    void beginStep(int step);
    void reached(int point);
    void statementDone();

    SmsCtrl& m_client;
    db::Connection& m_conn;
    SendRunObserver& m_observer;
    std::function<void(int, int)> m_stepHook;
    int m_step = 0;
    int m_stepStatement = 0;
    QString m_lastSmsId;
    std::vector<SendAnswer> m_known; // replies in, their outcomes not written yet
    size_t m_next = 0;               // the first request that has not gone out
    int m_total = 0;
    int m_sent = 0;
    int m_carried = 0;
    int m_success = 0;
    int m_fail = 0;
};
