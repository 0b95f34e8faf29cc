#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

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
// database statement fails (the failure is raised as db::DbError after what was written).
//
// No request that the platform may have accepted is sent twice: before each request a mark
// holding its numbers (and its grid rows) is committed durably to [SendMarks]; after the
// reply one transaction records the outcome as a normal run does and drops the mark. That
// transaction runs while the next request is out, so the database and the platform work at
// the same time; requests still go out one at a time, each after the reply before it. Marks
// that outlive their run (a crash, a failed commit) are settled later: their numbers go into
// the history with the state unconfirmedState(), their grid rows leave the queue, and they go
// out again only when the user resends them.
class SendRun
{
public:
    enum class Mode { List, GridBatch, Merge };
    enum class Outcome { Completed, Stopped };

    static constexpr int kBatchSize = 1000;
    // Batches, and merge rows, whose marks are made durable together.
    static constexpr int kBatchMarkWindow = 10;
    static constexpr int kMergeMarkWindow = 64;

    struct Input
    {
        int sendMode = 1;          // 1 plain list, otherwise the grid
        QString text;              // the editor's text
        QStringList listNumbers;   // the plain list, in its own order (list runs)
        QString sendTime = QStringLiteral("0"); // "0" or the scheduled moment as seconds
    };

    SendRun(SmsCtrl& client, db::Connection& conn, SendRunObserver& observer);
    ~SendRun();

    static Mode modeFor(int sendMode, const QString& text);
    // The text with "{%A列%}" … "{%E列%}" replaced by the given column values, in that order.
    static QString fillVariables(const QString& text, const QStringList& columnsAtoE);
    // "[Finish]".State of a number whose request may have gone out but whose outcome was never
    // recorded (the run ended between the two).
    static const QString& unconfirmedState();
    // Settles the marks an interrupted run left: their numbers enter the history as unconfirmed
    // and their grid rows leave the queue. Returns how many numbers that were.
    static int settleInterrupted(db::Connection& conn);

    Outcome run(const Input& input);

    // Called with the batch step (or merge row), counted from 1, and -1 when it begins; then
    // after each statement that writes for it (the marks it makes, then its outcome), numbered
    // 1, 2, … through the step, and with 0 once its request has returned. A step's outcome is
    // written while the next step's request is out. The process that ends a run on purpose in
    // tests hangs its crash point here.
    void setStepHook(std::function<void(int step, int statement)> hook) { m_stepHook = std::move(hook); }

    int totalCount() const { return m_total; }
    int sentCount() const { return m_sent; }
    int successCount() const { return m_success; }
    int failCount() const { return m_fail; }
    // The numbers that requests have carried (a stop leaves the gathered rest unsent).
    int carriedCount() const { return m_success + m_fail; }

private:
    struct MergeRow;
    struct Replied;
    Outcome runBatches(const Input& input, const QStringList& numbers, const QStringList& draftIds);
    Outcome runList(const Input& input);
    Outcome runGridBatch(const Input& input);
    Outcome runMerge(const Input& input);
    qint64 addRunRow(const QString& message);
    void completeRunRow(qint64 runId, int amount);
    Outcome stopped(qint64 runId);
    qint64 addMark(qint64 runId, const QString& message, const QString& numbers, const QStringList& draftIds);
    void dropMarks(const QList<qint64>& markIds);
    void countReply(const Replied& reply);
    void record(std::optional<Replied>& reply);
    void recordOutcome(const Replied& reply);
    bool request(QString& message, QString& numbers, const QString& sendTime, std::optional<Replied>& previous);
    db::Statement& statement(std::unique_ptr<db::Statement>& slot, const char* sql);
    void beginStep(int step);
    void stepReached(int step, int statement);
    void statementDone();

    SmsCtrl& m_client;
    db::Connection& m_conn;
    SendRunObserver& m_observer;
    std::unique_ptr<db::Statement> m_insertMark;
    std::unique_ptr<db::Statement> m_deleteMark;
    std::unique_ptr<db::Statement> m_insertFinish;
    std::unique_ptr<db::Statement> m_insertRowMessage;
    std::unique_ptr<db::Statement> m_deleteDraft;
    int m_step = 0;           // the step whose statements are being counted
    int m_stepStatement = 0;
    std::function<void(int, int)> m_stepHook;
    QString m_lastSmsId;
    int m_total = 0;
    int m_sent = 0;
    int m_success = 0;
    int m_fail = 0;
};
