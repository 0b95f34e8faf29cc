#include "SendRun.h"

#include "PublicFunction.h"
#include "SmsCtrl.h"
#include "db/Clock.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"

#include <algorithm>
#include <vector>

namespace {

const QString kSent = QStringLiteral("已发送");

// [DraftBox].IsSelect of a row whose request may have reached the platform: set, durably,
// before the request, and cleared (or the row deleted) together with the recorded outcome.
constexpr int kInFlight = 1;

QString idList(const QStringList& ids)
{
    QStringList numeric;
    numeric.reserve(ids.size());
    for (const QString& id : ids)
        numeric.append(QString::number(id.toLongLong()));
    return numeric.join(QLatin1Char(','));
}

// The one commit that must survive a power loss: it says that a request is about to go out.
class DurableCommit
{
public:
    explicit DurableCommit(db::Connection& conn) : m_conn(conn)
    {
        m_conn.execute(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    ~DurableCommit()
    {
        try {
            m_conn.execute(QStringLiteral("PRAGMA synchronous=NORMAL"));
        } catch (const db::DbError&) {
            // Only slower commits follow; the failure that matters is already on its way up.
        }
    }

private:
    db::Connection& m_conn;
};

} // namespace

const QString& SendRun::unconfirmedState()
{
    static const QString text = QStringLiteral("发送中断，结果未确认");
    return text;
}

SendRun::SendRun(SmsCtrl& client, db::Connection& conn, SendRunObserver& observer)
    : m_client(client), m_conn(conn), m_observer(observer)
{
}

SendRun::~SendRun() = default;

SendRun::Mode SendRun::modeFor(int sendMode, const QString& text)
{
    if (sendMode == 1)
        return Mode::List;
    return text.contains(QStringLiteral("{%")) ? Mode::Merge : Mode::GridBatch;
}

QString SendRun::fillVariables(const QString& text, const QStringList& columnsAtoE)
{
    static const char* const kVariables[] = {"{%A列%}", "{%B列%}", "{%C列%}", "{%D列%}", "{%E列%}"};
    QString message = text;
    for (int i = 0; i < 5; ++i)
        message.replace(QString::fromUtf8(kVariables[i]), columnsAtoE.value(i), Qt::CaseSensitive);
    return message;
}

int SendRun::settleInterrupted(db::Connection& conn)
{
    // Their requests may have been accepted: the history already lists them as unconfirmed,
    // and only the user's resend from there sends them again.
    return conn.execute(QStringLiteral("delete from [DraftBox] where IsSelect=") + QString::number(kInFlight));
}

void SendRun::stepReached(int statement)
{
    if (m_stepHook)
        m_stepHook(statement);
}

void SendRun::statementDone()
{
    stepReached(++m_stepStatement);
}

QString SendRun::now()
{
    return db::Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

SendRun::Outcome SendRun::run(const Input& input)
{
    m_sent = m_fail = m_success = 0;
    m_lastSmsId.clear();
    settleInterrupted(m_conn);
    switch (modeFor(input.sendMode, input.text)) {
    case Mode::List:
        return runList(input);
    case Mode::GridBatch:
        return runGridBatch(input);
    case Mode::Merge:
        return runMerge(input);
    }
    return Outcome::Stopped;
}

// The run's [Messages] row exists from the start; it gets its end time and counts when the
// run ends. Written as a plain insert: opening "select * from [Messages]" would fetch the
// whole history for one new row.
qint64 SendRun::addRunRow(const QString& message)
{
    m_conn.execute("insert into [Messages](Message,SubmitTime) values('" + SqlQuote(message) + "',#" + now() +
                   "#)");
    return m_conn.lastInsertId();
}

// A stopped run says what went out: the numbers that requests carried, not those gathered
// for a batch that was never sent.
void SendRun::completeRunRow(qint64 runId, int amount)
{
    m_conn.execute("update [Messages] set FinishTime=#" + now() + "# where id=" + QString::number(runId));
    m_conn.execute("update [Messages] set Amount=" + QString::number(amount) + ",FailNum=" +
                   QString::number(m_fail) + " where id=" + QString::number(runId));
}

SendRun::Outcome SendRun::stopped(qint64 runId)
{
    if (runId > 0)
        completeRunRow(runId, carriedCount());
    return Outcome::Stopped;
}

qint64 SendRun::markInFlight(const QStringList& numbers, const QStringList& draftIds, qint64 runId)
{
    if (!m_insertFinish)
        m_insertFinish = m_conn.prepare(QStringLiteral("insert into [Finish](PhoneNumber,MsgId,State) values(?,?,?)"));
    qint64 firstId = 0;
    for (const QString& number : numbers) {
        m_insertFinish->bindAll({number, runId, unconfirmedState()});
        m_insertFinish->execute();
        if (firstId == 0)
            firstId = m_conn.lastInsertId();
        statementDone();
    }
    if (!draftIds.isEmpty()) {
        m_conn.execute("update [DraftBox] set IsSelect=" + QString::number(kInFlight) + " where id in (" +
                       idList(draftIds) + ")");
        statementDone();
    }
    return firstId;
}

// Inside one transaction: the outcome of every number the request carried, and the grid rows
// that leave the queue (sent) or return to it (refused).
void SendRun::recordOutcome(qint64 firstId, const QStringList& numbers, const QStringList& draftIds, bool ok)
{
    if (!m_updateFinish)
        m_updateFinish = m_conn.prepare(QStringLiteral("update [Finish] set State=? where ID between ? and ?"));
    m_updateFinish->bindAll({ok ? kSent : m_client.ErrMsg, firstId, firstId + numbers.size() - 1});
    m_updateFinish->execute();
    statementDone();
    if (ok) {
        if (!m_deleteDraft)
            m_deleteDraft = m_conn.prepare(QStringLiteral("delete from [DraftBox] where id=?"));
        for (const QString& id : draftIds) {
            m_deleteDraft->bind(1, id.toLongLong());
            m_deleteDraft->execute();
            statementDone();
        }
    } else if (!draftIds.isEmpty()) {
        m_conn.execute("update [DraftBox] set IsSelect=0 where id in (" + idList(draftIds) + ")");
        statementDone();
    }
    for (qsizetype k = 0; k < numbers.size(); ++k) {
        if (ok)
            m_observer.successChanged(++m_success);
        else
            m_observer.failChanged(++m_fail);
    }
}

bool SendRun::request(QString& message, QString& numbers, const QString& sendTime)
{
    return m_observer.request([&] { return m_client.SendMessage(message, numbers, sendTime); });
}

// A request that the platform accepted is never sent a second time: its numbers are recorded
// as unconfirmed, durably, before it goes out, and the outcome replaces that mark in one
// transaction after the reply. Whatever stops the process in between leaves the mark. One
// synchronous disk flush per request would cost more than the request itself, so the marks
// are made durable for a window of batches at once; a stop gives back those of the batches
// not sent, a crash leaves them unconfirmed with the rest.
SendRun::Outcome SendRun::runBatches(const Input& input, const QStringList& numbers, const QStringList& draftIds)
{
    const qint64 runId = addRunRow(input.text);
    m_total = numbers.size();
    m_observer.totalChanged(m_total);
    m_client.MobileCount = m_total;

    const qsizetype window = qsizetype(kBatchSize) * kBatchMarkWindow;
    qsizetype markedFrom = 0, markedUpTo = 0;
    qint64 firstMarkedId = 0;
    const auto finishId = [&](qsizetype item) { return firstMarkedId + (item - markedFrom); };
    const auto unmarkRest = [&](qsizetype from) {
        if (from >= markedUpTo)
            return;
        db::Transaction tx(m_conn);
        m_conn.execute("delete from [Finish] where ID between " + QString::number(finishId(from)) + " and " +
                       QString::number(finishId(markedUpTo - 1)));
        if (!draftIds.isEmpty())
            m_conn.execute("update [DraftBox] set IsSelect=0 where id in (" +
                           idList(draftIds.mid(from, markedUpTo - from)) + ")");
        tx.commit();
    };

    qsizetype batchStart = 0;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (m_observer.stopRequested()) {
            unmarkRest(batchStart);
            return stopped(runId);
        }
        ++m_sent;
        m_client.SmsID = m_lastSmsId;
        const qsizetype batchSize = i + 1 - batchStart;
        if (batchSize == kBatchSize || i + 1 == numbers.size()) {
            m_stepStatement = 0;
            stepReached(-1);
            const QStringList batchNumbers = numbers.mid(batchStart, batchSize);
            const QStringList batchIds = draftIds.mid(batchStart, draftIds.isEmpty() ? 0 : batchSize);
            if (batchStart == markedUpTo) {
                markedFrom = batchStart;
                markedUpTo = std::min(numbers.size(), batchStart + window);
                DurableCommit durable(m_conn);
                db::Transaction tx(m_conn);
                firstMarkedId = markInFlight(numbers.mid(markedFrom, markedUpTo - markedFrom),
                                             draftIds.mid(markedFrom, draftIds.isEmpty() ? 0 : markedUpTo - markedFrom),
                                             runId);
                tx.commit();
            }

            QString message = input.text;
            QString joined = batchNumbers.join(QLatin1Char(';'));
            const bool ok = request(message, joined, input.sendTime);
            if (ok)
                m_lastSmsId = m_client.ReturnSmsID;
            stepReached(0);

            db::Transaction tx(m_conn);
            recordOutcome(finishId(batchStart), batchNumbers, batchIds, ok);
            tx.commit();
            m_observer.sentChanged(m_sent);
            batchStart = i + 1;
        }
        m_observer.yield();
    }
    completeRunRow(runId, m_sent);
    return Outcome::Completed;
}

SendRun::Outcome SendRun::runList(const Input& input)
{
    return runBatches(input, input.listNumbers, {});
}

SendRun::Outcome SendRun::runGridBatch(const Input& input)
{
    QStringList numbers, ids;
    db::Recordset rows;
    rows.Open(QStringLiteral("select * from [DraftBox] order by Preference"), m_conn, db::LockType::ReadOnly);
    numbers.reserve(rows.RecordCount());
    ids.reserve(rows.RecordCount());
    for (; !rows.IsEOF(); rows.MoveNext()) {
        ids.append(NullToEmpty(rows.Field(QStringLiteral("id"))));
        numbers.append(NullToEmpty(rows.Field(QStringLiteral("MobilePhone"))));
    }
    rows.Close();
    return runBatches(input, numbers, ids);
}

SendRun::Outcome SendRun::runMerge(const Input& input)
{
    struct Row
    {
        QString id;
        QString number;
        QString message;
        qint64 runId = 0;
        qint64 finishId = 0;
    };
    std::vector<Row> rows;
    {
        db::Recordset rs;
        rs.Open(QStringLiteral("select * from [DraftBox] order by Preference"), m_conn, db::LockType::ReadOnly);
        rows.reserve(static_cast<size_t>(rs.RecordCount()));
        for (; !rs.IsEOF(); rs.MoveNext()) {
            QStringList columns;
            for (const char* name : {"A", "B", "C", "D", "E"})
                columns.append(NullToEmpty(rs.Field(QString::fromLatin1(name))));
            rows.push_back({NullToEmpty(rs.Field(QStringLiteral("id"))),
                            NullToEmpty(rs.Field(QStringLiteral("MobilePhone"))),
                            fillVariables(input.text, columns)});
        }
    }
    m_total = static_cast<int>(rows.size());
    m_observer.totalChanged(m_total);
    m_client.MobileCount = 1;

    // One request per row would mean one synchronous disk flush per row; the in-flight marks
    // are made durable for a window of rows at once instead. Rows of the window that a stop
    // leaves unsent lose their marks again; after a crash they count as unconfirmed, like the
    // row whose request was out.
    size_t markedUpTo = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (m_observer.stopRequested()) {
            unmarkMergeRows(rows, i, markedUpTo);
            return Outcome::Stopped;
        }
        m_stepStatement = 0;
        stepReached(-1);
        Row& row = rows[i];
        m_client.SmsID.clear();
        if (i == markedUpTo) {
            markedUpTo = std::min(rows.size(), i + kMergeMarkWindow);
            DurableCommit durable(m_conn);
            db::Transaction tx(m_conn);
            const QString stamp = now();
            for (size_t k = i; k < markedUpTo; ++k) {
                // The recipient's own history row comes with the mark; its times, failure count
                // and the text as the request sent it (trimmed) are written with the outcome.
                m_conn.execute("insert into [Messages](Message,SubmitTime,Amount) values('" +
                               SqlQuote(rows[k].message) + "',#" + stamp + "#,1)");
                rows[k].runId = m_conn.lastInsertId();
                statementDone();
                rows[k].finishId = markInFlight({rows[k].number}, {rows[k].id}, rows[k].runId);
            }
            tx.commit();
        }

        const bool ok = request(row.message, row.number, input.sendTime);
        stepReached(0);

        db::Transaction tx(m_conn);
        const QString stamp = now();
        m_conn.execute("update [Messages] set Message='" + SqlQuote(row.message) + "',SubmitTime=#" + stamp +
                       "#,FinishTime=#" + stamp + "#,FailNum=" + (ok ? "0" : "1") + " where id=" +
                       QString::number(row.runId));
        statementDone();
        recordOutcome(row.finishId, {row.number}, {row.id}, ok);
        tx.commit();

        m_observer.sentChanged(++m_sent);
        m_observer.yield();
    }
    return Outcome::Completed;
}

template <typename Rows>
void SendRun::unmarkMergeRows(const Rows& rows, size_t from, size_t to)
{
    if (from >= to)
        return;
    QStringList runIds, finishIds, draftIds;
    for (size_t k = from; k < to; ++k) {
        runIds.append(QString::number(rows[k].runId));
        finishIds.append(QString::number(rows[k].finishId));
        draftIds.append(rows[k].id);
    }
    db::Transaction tx(m_conn);
    m_conn.execute("delete from [Finish] where ID in (" + finishIds.join(QLatin1Char(',')) + ")");
    m_conn.execute("delete from [Messages] where id in (" + runIds.join(QLatin1Char(',')) + ")");
    m_conn.execute("update [DraftBox] set IsSelect=0 where id in (" + idList(draftIds) + ")");
    tx.commit();
}
