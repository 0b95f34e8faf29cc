#include "SendRun.h"

#include "PublicFunction.h"
#include "SmsCtrl.h"
#include "db/Clock.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <QSet>
#include <algorithm>
#include <optional>
#include <vector>

namespace {

const QString kSent = QStringLiteral("已发送");

QString idList(const QList<qint64>& ids)
{
    QStringList numeric;
    numeric.reserve(ids.size());
    for (qint64 id : ids)
        numeric.append(QString::number(id));
    return numeric.join(QLatin1Char(','));
}

// Ids read back as text go into the statement as numbers, whatever the text held.
QString idList(const QStringList& ids)
{
    QList<qint64> numeric;
    numeric.reserve(ids.size());
    for (const QString& id : ids)
        numeric.append(id.toLongLong());
    return idList(numeric);
}

// Databases made before the marks existed get their table on first use.
void ensureMarksTable(db::Connection& conn)
{
    conn.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS SendMarks (id INTEGER PRIMARY KEY, MsgId INTEGER "
                                "DEFAULT 0, SubmitTime TEXT, Message TEXT, Numbers TEXT, DraftIds TEXT)"));
}

// The one commit that must survive a power loss: it says that requests are about to go out.
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

// A request whose reply is in and whose outcome is still to be written.
struct SendRun::Replied
{
    int step = 0;
    int statements = 0; // statements its step wrote before the request (its marks)
    qint64 runId = 0;   // 0 for a merge row, whose own history row is written with it
    QString message;    // merge rows: the text as the request sent it
    QDateTime stamp;    // merge rows: when the reply came
    QStringList numbers;
    QStringList draftIds;
    qint64 markId = 0;
    bool ok = false;
    QString state;
};

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
    ensureMarksTable(conn);
    struct Mark
    {
        qint64 id, runId;
        QVariant submitTime;
        QString message, numbers, draftIds;
    };
    std::vector<Mark> marks;
    {
        auto read = conn.prepare(
            QStringLiteral("select id,MsgId,SubmitTime,Message,Numbers,DraftIds from [SendMarks] order by id"));
        while (read->next())
            marks.push_back({read->value(0).toLongLong(), read->value(1).toLongLong(), read->value(2),
                             read->value(3).toString(), read->value(4).toString(), read->value(5).toString()});
    }
    if (marks.empty())
        return 0;

    // Their requests may have been accepted: they join the history as unconfirmed, and only
    // the user's resend from there sends them again.
    db::Transaction tx(conn);
    auto insertFinish = conn.prepare(QStringLiteral("insert into [Finish](PhoneNumber,MsgId,State) values(?,?,?)"));
    auto insertRow = conn.prepare(QStringLiteral("insert into [Messages](Message,SubmitTime,Amount) values(?,?,1)"));
    QSet<qint64> runs;
    int settled = 0;
    for (const Mark& mark : marks) {
        qint64 runId = mark.runId;
        if (runId == 0) {
            insertRow->bindAll({mark.message, mark.submitTime});
            insertRow->execute();
            runId = conn.lastInsertId();
        } else {
            runs.insert(runId);
        }
        for (const QString& number : mark.numbers.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            insertFinish->bindAll({number, runId, unconfirmedState()});
            insertFinish->execute();
            ++settled;
        }
        if (!mark.draftIds.isEmpty())
            conn.execute("delete from [DraftBox] where id in (" + idList(mark.draftIds.split(QLatin1Char(','))) + ")");
    }
    conn.execute("delete from [SendMarks] where id<=" + QString::number(marks.back().id));
    // A run that ended this way never counted what it carried.
    for (qint64 runId : std::as_const(runs)) {
        const QString id = QString::number(runId);
        conn.execute("update [Messages] set Amount=(select count(*) from [Finish] where MsgId=" + id +
                     "),FailNum=(select count(*) from [Finish] where MsgId=" + id + " and State<>'" + kSent +
                     "' and State<>'" + unconfirmedState() + "') where id=" + id);
    }
    tx.commit();
    return settled;
}

db::Statement& SendRun::statement(std::unique_ptr<db::Statement>& slot, const char* sql)
{
    if (!slot)
        slot = m_conn.prepare(QString::fromUtf8(sql));
    return *slot;
}

void SendRun::beginStep(int step)
{
    m_step = step;
    m_stepStatement = 0;
    stepReached(step, -1);
}

void SendRun::stepReached(int step, int statement)
{
    if (m_stepHook)
        m_stepHook(step, statement);
}

void SendRun::statementDone()
{
    stepReached(m_step, ++m_stepStatement);
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
// run ends.
qint64 SendRun::addRunRow(const QString& message)
{
    auto insert = m_conn.prepare(QStringLiteral("insert into [Messages](Message,SubmitTime) values(?,?)"));
    insert->bindAll({message, db::Clock::now()});
    insert->execute();
    return m_conn.lastInsertId();
}

// A stopped run says what went out: the numbers that requests carried, not those gathered
// for a batch that was never sent.
void SendRun::completeRunRow(qint64 runId, int amount)
{
    auto update = m_conn.prepare(QStringLiteral("update [Messages] set FinishTime=?,Amount=?,FailNum=? where id=?"));
    update->bindAll({db::Clock::now(), amount, m_fail, runId});
    update->execute();
}

SendRun::Outcome SendRun::stopped(qint64 runId)
{
    if (runId > 0)
        completeRunRow(runId, carriedCount());
    return Outcome::Stopped;
}

qint64 SendRun::addMark(qint64 runId, const QString& message, const QString& numbers, const QStringList& draftIds)
{
    db::Statement& insert = statement(
        m_insertMark, "insert into [SendMarks](MsgId,SubmitTime,Message,Numbers,DraftIds) values(?,?,?,?,?)");
    insert.bindAll({runId, runId == 0 ? QVariant(db::Clock::now()) : QVariant(), runId == 0 ? message : QString(),
                    numbers, draftIds.isEmpty() ? QString() : idList(draftIds)});
    insert.execute();
    statementDone();
    return m_conn.lastInsertId();
}

// Marks of requests that never went out (a stop, a failed statement): without them the
// numbers stay queued for the next run.
void SendRun::dropMarks(const QList<qint64>& markIds)
{
    if (markIds.isEmpty())
        return;
    db::Transaction tx(m_conn);
    m_conn.execute("delete from [SendMarks] where id in (" + idList(markIds) + ")");
    tx.commit();
}

void SendRun::countReply(const Replied& reply)
{
    for (qsizetype k = 0; k < reply.numbers.size(); ++k) {
        if (reply.ok)
            m_observer.successChanged(++m_success);
        else
            m_observer.failChanged(++m_fail);
    }
}

// Inside one transaction: the outcome of every number the request carried (for a merge row
// with its own history row), the grid rows that leave the queue (sent), and the end of the
// request's mark. Refused grid rows stay queued.
void SendRun::record(std::optional<Replied>& reply)
{
    if (!reply)
        return;
    m_step = reply->step;
    m_stepStatement = reply->statements;
    db::Transaction tx(m_conn);
    recordOutcome(*reply);
    tx.commit();
    reply.reset();
}

void SendRun::recordOutcome(const Replied& reply)
{
    qint64 runId = reply.runId;
    if (runId == 0) {
        db::Statement& insertRow = statement(
            m_insertRowMessage, "insert into [Messages](Message,SubmitTime,FinishTime,Amount,FailNum) values(?,?,?,1,?)");
        insertRow.bindAll({reply.message, reply.stamp, reply.stamp, reply.ok ? 0 : 1});
        insertRow.execute();
        statementDone();
        runId = m_conn.lastInsertId();
    }
    db::Statement& insert = statement(m_insertFinish, "insert into [Finish](PhoneNumber,MsgId,State) values(?,?,?)");
    for (const QString& number : reply.numbers) {
        insert.bindAll({number, runId, reply.state});
        insert.execute();
        statementDone();
    }
    if (reply.ok && reply.draftIds.size() == 1) {
        db::Statement& remove = statement(m_deleteDraft, "delete from [DraftBox] where id=?");
        remove.bind(1, reply.draftIds.first().toLongLong());
        remove.execute();
        statementDone();
    } else if (reply.ok && !reply.draftIds.isEmpty()) {
        // A batch's rows leave in one statement: a thousand single deletes cost a third of a
        // grid run.
        m_conn.execute("delete from [DraftBox] where id in (" + idList(reply.draftIds) + ")");
        statementDone();
    }
    db::Statement& unmark = statement(m_deleteMark, "delete from [SendMarks] where id=?");
    unmark.bind(1, reply.markId);
    unmark.execute();
    statementDone();
}

// While the request is out, the reply before it is recorded.
bool SendRun::request(QString& message, QString& numbers, const QString& sendTime, std::optional<Replied>& previous)
{
    return m_observer.request([&] { return m_client.SendMessage(message, numbers, sendTime); },
                              [&] { record(previous); });
}

// A request that the platform accepted is never sent a second time: a mark with its numbers
// is committed, durably, before it goes out, and the outcome replaces that mark in one
// transaction after the reply. Whatever stops the process in between leaves the mark. One
// synchronous disk flush per request would cost more than the request itself, so the marks
// are made durable for a window of batches at once; a stop or a failed statement drops those
// of the batches not sent, a crash leaves them to be settled as unconfirmed with the rest.
SendRun::Outcome SendRun::runBatches(const Input& input, const QStringList& numbers, const QStringList& draftIds)
{
    const qint64 runId = addRunRow(input.text);
    m_total = numbers.size();
    m_observer.totalChanged(m_total);
    m_client.MobileCount = m_total;

    QList<qint64> unsentMarks;     // of the marked batches not requested yet, in order
    std::optional<Replied> replied; // the last batch, its outcome not written yet
    try {
        qsizetype batchStart = 0;
        int step = 0;
        for (qsizetype i = 0; i < numbers.size(); ++i) {
            if (m_observer.stopRequested()) {
                record(replied);
                dropMarks(unsentMarks);
                return stopped(runId);
            }
            ++m_sent;
            const qsizetype batchSize = i + 1 - batchStart;
            if (batchSize == kBatchSize || i + 1 == numbers.size()) {
                beginStep(++step);
                if (unsentMarks.isEmpty()) {
                    const qsizetype windowEnd =
                        std::min(numbers.size(), batchStart + qsizetype(kBatchSize) * kBatchMarkWindow);
                    DurableCommit durable(m_conn);
                    db::Transaction tx(m_conn);
                    QList<qint64> marks;
                    for (qsizetype from = batchStart; from < windowEnd; from += kBatchSize) {
                        const qsizetype size = std::min<qsizetype>(kBatchSize, windowEnd - from);
                        marks.append(addMark(runId, QString(), numbers.mid(from, size).join(QLatin1Char(';')),
                                             draftIds.mid(from, draftIds.isEmpty() ? 0 : size)));
                    }
                    tx.commit();
                    unsentMarks = marks;
                }
                Replied reply;
                reply.step = step;
                reply.statements = m_stepStatement;
                reply.runId = runId;
                reply.markId = unsentMarks.takeFirst();
                reply.numbers = numbers.mid(batchStart, batchSize);
                reply.draftIds = draftIds.mid(batchStart, draftIds.isEmpty() ? 0 : batchSize);

                m_client.SmsID = m_lastSmsId;
                QString message = input.text;
                QString joined = reply.numbers.join(QLatin1Char(';'));
                reply.ok = request(message, joined, input.sendTime, replied);
                reply.state = reply.ok ? kSent : m_client.ErrMsg;
                if (reply.ok)
                    m_lastSmsId = m_client.ReturnSmsID;
                stepReached(step, 0);
                countReply(reply);
                replied = std::move(reply);
                m_observer.sentChanged(m_sent);
                batchStart = i + 1;
            }
            m_observer.yield();
        }
        record(replied);
    } catch (const db::DbError&) {
        try {
            dropMarks(unsentMarks);
        } catch (const db::DbError&) {
            // Left for the settling: at worst unsent numbers count as unconfirmed.
        }
        throw;
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
    auto rows = m_conn.prepare(QStringLiteral("select id,MobilePhone from [DraftBox] order by Preference"));
    while (rows->next()) {
        ids.append(rows->value(0).toString());
        numbers.append(rows->value(1).toString());
    }
    rows.reset();
    return runBatches(input, numbers, ids);
}

struct SendRun::MergeRow
{
    QString id;
    QString number;
    QString message;
    qint64 markId = 0;
};

SendRun::Outcome SendRun::runMerge(const Input& input)
{
    std::vector<MergeRow> rows;
    {
        auto rs = m_conn.prepare(QStringLiteral("select id,MobilePhone,A,B,C,D,E from [DraftBox] order by Preference"));
        while (rs->next()) {
            QStringList columns;
            for (int c = 2; c < 7; ++c)
                columns.append(rs->value(c).toString());
            rows.push_back({rs->value(0).toString(), rs->value(1).toString(), fillVariables(input.text, columns)});
        }
    }
    m_total = static_cast<int>(rows.size());
    m_observer.totalChanged(m_total);
    m_client.MobileCount = 1;

    // One request per row would mean one synchronous disk flush per row; the marks are made
    // durable for a window of rows at once instead. Rows of the window that a stop or a failed
    // statement leaves unsent lose their marks again; after a crash they count as unconfirmed,
    // like the row whose request was out.
    size_t markedUpTo = 0;
    size_t next = 0; // the first marked row not requested yet
    const auto unsentMarks = [&] {
        QList<qint64> ids;
        for (size_t k = next; k < markedUpTo; ++k)
            ids.append(rows[k].markId);
        return ids;
    };
    std::optional<Replied> replied; // the last row, its outcome not written yet
    try {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (m_observer.stopRequested()) {
                record(replied);
                dropMarks(unsentMarks());
                return Outcome::Stopped;
            }
            const int step = int(i) + 1;
            beginStep(step);
            MergeRow& row = rows[i];
            if (i == markedUpTo) {
                const size_t windowEnd = std::min(rows.size(), i + size_t(kMergeMarkWindow));
                DurableCommit durable(m_conn);
                db::Transaction tx(m_conn);
                for (size_t k = i; k < windowEnd; ++k)
                    rows[k].markId = addMark(0, rows[k].message, rows[k].number, {rows[k].id});
                tx.commit();
                markedUpTo = windowEnd;
            }
            next = i + 1;

            Replied reply;
            reply.step = step;
            reply.statements = m_stepStatement;
            reply.markId = row.markId;
            reply.draftIds = QStringList{row.id};
            m_client.SmsID.clear();
            reply.ok = request(row.message, row.number, input.sendTime, replied);
            // The recipient's own history row, with the text as the request sent it (trimmed).
            reply.numbers = QStringList{row.number};
            reply.message = row.message;
            reply.stamp = db::Clock::now();
            reply.state = reply.ok ? kSent : m_client.ErrMsg;
            stepReached(step, 0);
            countReply(reply);
            replied = std::move(reply);
            m_observer.sentChanged(++m_sent);
            m_observer.yield();
        }
        record(replied);
    } catch (const db::DbError&) {
        try {
            dropMarks(unsentMarks());
        } catch (const db::DbError&) {
            // Left for the settling: at worst unsent rows count as unconfirmed.
        }
        throw;
    }
    return Outcome::Completed;
}
