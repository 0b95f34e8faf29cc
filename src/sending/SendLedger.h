#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace db {
class Connection;
class Statement;
}

// One platform request of a send run: its numbers, the grid rows they came from, and for a
// merge row the text as filled in for it.
struct SendRequest
{
    QStringList numbers;
    QStringList draftIds;  // grid runs; empty for the plain list
    QString message;       // merge rows: the filled-in text (it gets a history row of its own)
    QDateTime submitted;   // merge rows: when it was marked
    qint64 markId = 0;     // its row in [SendMarks]
};

// A request whose reply is in (or known never to come).
struct SendAnswer
{
    SendRequest request;
    qint64 runId = 0;      // 0 for a merge row, whose own history row is written with its outcome
    bool sent = false;     // "已发送"
    bool unconfirmed = false; // it left and nothing says what became of it
    QString state;         // [Finish].State of each of its numbers
    QDateTime answered;
};

// What the database knows of a send run's requests, kept in [SendMarks]:
// - a queued row: numbers of a plain-list run whose request has not gone out yet;
// - a mark: a request that may go out or may have gone out. It is durable before the request
//   leaves, and the transaction that records the request's outcome removes it.
// Whatever a run leaves behind (the process died, the database failed under it) is settled
// later: a queued number enters the history as unsentState(), a marked one as
// unconfirmedState(); marked grid rows leave the queue, unmarked ones stay for the next run.
class SendLedger
{
public:
    // `statementDone` is called after every statement the ledger writes for the run.
    SendLedger(db::Connection& conn, std::function<void()> statementDone);
    ~SendLedger();

    static const QString& unconfirmedState();
    static const QString& unsentState();

    // Creates [SendMarks] (and its newer columns) in databases made before them.
    static void ensureTable(db::Connection& conn);

    qint64 addRun(const QString& message);
    void completeRun(qint64 runId, int amount, int failed);
    // Queues plain-list requests that have not gone out; sets their mark ids.
    void queue(qint64 runId, std::vector<SendRequest>& requests, size_t from);
    // Marks a request as about to go out: a queued one is flipped, any other is written.
    void mark(qint64 runId, SendRequest& request);
    void record(const SendAnswer& answer);
    // Marks and queued rows of requests that never went out and stay wherever they came from
    // (the plain list, the grid).
    void discard(const QList<qint64>& markIds);

    // What a run could not write because the database failed under it: known outcomes, rows
    // to discard and the run whose counts are to be made. The next settle of this process
    // writes them; should the process end first, the marks left in the file settle as
    // unconfirmed, which is still safe.
    static void keepForLater(std::vector<SendAnswer> answers, const QList<qint64>& discards, qint64 runId);
    // A run is on the stack: its marks are live, not leftovers.
    static void setRunActive(bool active);
    // Writes what this process kept for later, then settles what an interrupted run left.
    // Returns how many numbers entered the history by it.
    static int settle(db::Connection& conn);

private:
    db::Statement& statement(std::unique_ptr<db::Statement>& slot, const char* sql);
    void done();

    db::Connection& m_conn;
    std::function<void()> m_statementDone;
    std::unique_ptr<db::Statement> m_insertMark;
    std::unique_ptr<db::Statement> m_flipMark;
    std::unique_ptr<db::Statement> m_deleteMark;
    std::unique_ptr<db::Statement> m_insertFinish;
    std::unique_ptr<db::Statement> m_insertRowMessage;
    std::unique_ptr<db::Statement> m_deleteDraft;
};
