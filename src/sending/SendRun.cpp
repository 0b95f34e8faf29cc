#include "SendRun.h"

#include "PublicFunction.h"
#include "SmsCtrl.h"
#include "db/Clock.h"
#include "db/Connection.h"
#include "db/Recordset.h"

namespace {

const QString kSent = QStringLiteral("已发送");

} // namespace

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

void SendRun::stepReached(int statement)
{
    if (m_stepHook)
        m_stepHook(statement);
}

QString SendRun::now()
{
    return db::Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

SendRun::Outcome SendRun::run(const Input& input)
{
    m_sent = m_fail = m_success = 0;
    m_lastSmsId.clear();
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

// The run's [Messages] row exists from the start; it gets its end time and counts only when
// the run completes. Written as a plain insert: opening "select * from [Messages]" would
// fetch the whole history for one new row.
qint64 SendRun::addRunRow(const QString& message)
{
    m_conn.execute("insert into [Messages](Message,SubmitTime) values('" + SqlQuote(message) + "',#" + now() +
                   "#)");
    return m_conn.lastInsertId();
}

void SendRun::completeRunRow(qint64 runId)
{
    m_conn.execute("update [Messages] set FinishTime=#" + now() + "# where id=" + QString::number(runId));
    m_conn.execute("update [Messages] set Amount=" + QString::number(m_sent) + ",FailNum=" +
                   QString::number(m_fail) + " where id=" + QString::number(runId));
}

void SendRun::recordOutcome(const QString& number, qint64 runId, bool ok)
{
    // "insert into [Finish](PhoneNumber,MsgId,State) values('<number>',<run>,'<state>')", prepared
    // once per run: a run records up to 100,000 numbers.
    if (!m_insertFinish)
        m_insertFinish = m_conn.prepare(QStringLiteral("insert into [Finish](PhoneNumber,MsgId,State) values(?,?,?)"));
    m_insertFinish->bindAll({number, runId, ok ? kSent : m_client.ErrMsg});
    m_insertFinish->execute();
    if (ok)
        m_observer.successChanged(++m_success);
    else
        m_observer.failChanged(++m_fail);
}

void SendRun::deleteDraftRow(const QString& id)
{
    if (!m_deleteDraft)
        m_deleteDraft = m_conn.prepare(QStringLiteral("delete from [DraftBox] where id=?"));
    m_deleteDraft->bind(1, id.toLongLong());
    m_deleteDraft->execute();
}

// One request for the gathered numbers, then one [Finish] row per number (and, in a grid
// run, the delete of each sent row). The statements of one batch commit together: a crash
// between a number's "已发送" and the delete of its row must not leave it queued to go out
// a second time.
void SendRun::sendBatch(const QString& text, Batch& batch, qint64 runId, const QString& sendTime)
{
    stepReached(-1);
    QString message = text;
    QString numbers = batch.numbers.join(QLatin1Char(';'));
    const bool ok = m_client.SendMessage(message, numbers, sendTime);
    if (ok)
        m_lastSmsId = m_client.ReturnSmsID;

    stepReached(0);

    db::Transaction tx(m_conn);
    int statement = 0;
    for (int k = 0; k < batch.numbers.size(); ++k) {
        recordOutcome(batch.numbers.at(k), runId, ok);
        stepReached(++statement);
        if (ok && k < batch.draftIds.size()) {
            deleteDraftRow(batch.draftIds.at(k));
            stepReached(++statement);
        }
    }
    tx.commit();

    m_observer.sentChanged(m_sent);
    batch = Batch();
}

SendRun::Outcome SendRun::runList(const Input& input)
{
    const qint64 runId = addRunRow(input.text);
    m_total = input.listNumbers.size();
    m_observer.totalChanged(m_total);
    m_client.MobileCount = m_total;

    Batch batch;
    for (const QString& number : input.listNumbers) {
        if (m_observer.stopRequested())
            return Outcome::Stopped;
        batch.numbers.append(number);
        ++m_sent;
        m_client.SmsID = m_lastSmsId;
        if (batch.numbers.size() == kBatchSize)
            sendBatch(input.text, batch, runId, input.sendTime);
        m_observer.yield();
    }
    if (!batch.numbers.isEmpty())
        sendBatch(input.text, batch, runId, input.sendTime);
    completeRunRow(runId);
    return Outcome::Completed;
}

SendRun::Outcome SendRun::runGridBatch(const Input& input)
{
    const qint64 runId = addRunRow(input.text);
    db::Recordset rows;
    rows.Open(QStringLiteral("select * from [DraftBox] order by Preference"), m_conn, db::LockType::ReadOnly);
    m_total = rows.RecordCount();
    m_observer.totalChanged(m_total);
    m_client.MobileCount = m_total;

    Batch batch;
    while (!rows.IsEOF()) {
        if (m_observer.stopRequested())
            return Outcome::Stopped;
        batch.draftIds.append(NullToEmpty(rows.Field(QStringLiteral("id"))));
        batch.numbers.append(NullToEmpty(rows.Field(QStringLiteral("MobilePhone"))));
        ++m_sent;
        m_client.SmsID = m_lastSmsId;
        if (batch.numbers.size() == kBatchSize)
            sendBatch(input.text, batch, runId, input.sendTime);
        rows.MoveNext();
        m_observer.yield();
    }
    if (!batch.numbers.isEmpty())
        sendBatch(input.text, batch, runId, input.sendTime);
    completeRunRow(runId);
    return Outcome::Completed;
}

SendRun::Outcome SendRun::runMerge(const Input& input)
{
    db::Recordset rows;
    rows.Open(QStringLiteral("select * from [DraftBox] order by Preference"), m_conn, db::LockType::Optimistic);
    m_total = rows.RecordCount();
    m_observer.totalChanged(m_total);
    m_client.MobileCount = 1;

    while (!rows.IsEOF()) {
        if (m_observer.stopRequested())
            return Outcome::Stopped;
        QStringList columns;
        for (const char* name : {"A", "B", "C", "D", "E"})
            columns.append(NullToEmpty(rows.Field(QString::fromLatin1(name))));
        QString message = fillVariables(input.text, columns);
        QString number = NullToEmpty(rows.Field(QStringLiteral("MobilePhone")));
        m_client.SmsID.clear();
        stepReached(-1);
        const bool ok = m_client.SendMessage(message, number, input.sendTime);
        stepReached(0);

        // The recipient's history row, its outcome and the removal of its grid row go
        // together, for the same reason as a batch.
        db::Transaction tx(m_conn);
        const QString stamp = now();
        m_conn.execute("insert into [Messages](Message,SubmitTime,FinishTime,Amount,FailNum) values('" +
                       SqlQuote(message) + "',#" + stamp + "#,#" + stamp + "#,1," + (ok ? "0" : "1") + ")");
        stepReached(1);
        const qint64 runId = m_conn.lastInsertId();
        recordOutcome(number, runId, ok);
        stepReached(2);
        if (ok) {
            rows.Delete();
            stepReached(3);
        }
        tx.commit();

        m_observer.sentChanged(++m_sent);
        rows.MoveNext();
        m_observer.yield();
    }
    return Outcome::Completed;
}
