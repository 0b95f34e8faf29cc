#include "SendLedger.h"

#include "db/Clock.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <QSet>
#include <utility>

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

// What this process could not write when the database failed under a run; see keepForLater.
struct Leftovers
{
    std::vector<SendAnswer> answers;
    QList<qint64> discards;
    QSet<qint64> runs;
    bool runActive = false;
};

Leftovers& leftovers()
{
    static Leftovers kept;
    return kept;
}

struct Mark
{
    qint64 id = 0;
    qint64 runId = 0;
    QVariant submitTime;
    QString message;
    QString numbers;
    QString draftIds;
    bool queued = false;
};

std::vector<Mark> readMarks(db::Connection& conn)
{
    std::vector<Mark> marks;
    auto read = conn.prepare(
        QStringLiteral("select id,MsgId,SubmitTime,Message,Numbers,DraftIds,Queued from [SendMarks] order by id"));
    while (read->next())
        marks.push_back({read->value(0).toLongLong(), read->value(1).toLongLong(), read->value(2),
                         read->value(3).toString(), read->value(4).toString(), read->value(5).toString(),
                         read->value(6).toInt() != 0});
    return marks;
}

} // namespace

const QString& SendLedger::unconfirmedState()
{
    static const QString text = QStringLiteral("发送中断，结果未确认");
    return text;
}

const QString& SendLedger::unsentState()
{
    static const QString text = QStringLiteral("发送中断，未发出");
    return text;
}

SendLedger::SendLedger(db::Connection& conn, std::function<void()> statementDone)
    : m_conn(conn), m_statementDone(std::move(statementDone))
{
}

SendLedger::~SendLedger() = default;

// The definition in the shipped schema is the same; databases made before the table, or
// before its Queued column, get them here. Marks of the older program are requests that may
// have gone out, which is what a missing Queued (0) says.
void SendLedger::ensureTable(db::Connection& conn)
{
    conn.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS SendMarks (id INTEGER PRIMARY KEY, MsgId INTEGER "
                                "DEFAULT 0, SubmitTime TEXT, Message TEXT, Numbers TEXT, DraftIds TEXT, Queued "
                                "INTEGER DEFAULT 0)"));
    auto columns = conn.prepare(QStringLiteral("PRAGMA table_info(SendMarks)"));
    while (columns->next()) {
        if (columns->value(1).toString() == QLatin1String("Queued"))
            return;
    }
    columns.reset();
    conn.execute(QStringLiteral("ALTER TABLE SendMarks ADD COLUMN Queued INTEGER DEFAULT 0"));
}

db::Statement& SendLedger::statement(std::unique_ptr<db::Statement>& slot, const char* sql)
{
    if (!slot)
        slot = m_conn.prepare(QString::fromUtf8(sql));
    return *slot;
}

void SendLedger::done()
{
    if (m_statementDone)
        m_statementDone();
}

// The run's [Messages] row exists from the start; it gets its end time and counts when the
// run ends.
qint64 SendLedger::addRun(const QString& message)
{
    auto insert = m_conn.prepare(QStringLiteral("insert into [Messages](Message,SubmitTime) values(?,?)"));
    insert->bindAll({message, db::Clock::now()});
    insert->execute();
    done();
    return m_conn.lastInsertId();
}

void SendLedger::completeRun(qint64 runId, int amount, int failed)
{
    auto update = m_conn.prepare(QStringLiteral("update [Messages] set FinishTime=?,Amount=?,FailNum=? where id=?"));
    update->bindAll({db::Clock::now(), amount, failed, runId});
    update->execute();
    done();
}

void SendLedger::queue(qint64 runId, std::vector<SendRequest>& requests, size_t from)
{
    db::Statement& insert =
        statement(m_insertMark, "insert into [SendMarks](MsgId,SubmitTime,Message,Numbers,DraftIds,Queued) "
                                "values(?,?,?,?,?,?)");
    for (size_t k = from; k < requests.size(); ++k) {
        insert.bindAll({runId, QVariant(), QVariant(), requests[k].numbers.join(QLatin1Char(';')), QVariant(), 1});
        insert.execute();
        requests[k].markId = m_conn.lastInsertId();
        done();
    }
}

void SendLedger::mark(qint64 runId, SendRequest& request)
{
    if (request.markId != 0) {
        db::Statement& flip = statement(m_flipMark, "update [SendMarks] set Queued=0 where id=?");
        flip.bind(1, request.markId);
        flip.execute();
        done();
        return;
    }
    db::Statement& insert =
        statement(m_insertMark, "insert into [SendMarks](MsgId,SubmitTime,Message,Numbers,DraftIds,Queued) "
                                "values(?,?,?,?,?,?)");
    const bool ownRow = runId == 0;
    insert.bindAll({runId, ownRow ? QVariant(request.submitted) : QVariant(),
                    ownRow ? QVariant(request.message) : QVariant(), request.numbers.join(QLatin1Char(';')),
                    request.draftIds.isEmpty() ? QVariant() : QVariant(idList(request.draftIds)), 0});
    insert.execute();
    request.markId = m_conn.lastInsertId();
    done();
}

// The outcome of every number the request carried (for a merge row with its own history
// row), the grid rows that leave the queue, and the end of the request's mark. Rows the
// platform refused, or whose request never reached it, stay queued; rows that may have been
// sent leave it, so that only the user's resend from the history can send them again.
void SendLedger::record(const SendAnswer& answer)
{
    qint64 runId = answer.runId;
    if (runId == 0) {
        db::Statement& insertRow = statement(
            m_insertRowMessage, "insert into [Messages](Message,SubmitTime,FinishTime,Amount,FailNum) values(?,?,?,1,?)");
        insertRow.bindAll({answer.request.message, answer.answered, answer.answered, answer.sent ? 0 : 1});
        insertRow.execute();
        done();
        runId = m_conn.lastInsertId();
    }
    db::Statement& insert = statement(m_insertFinish, "insert into [Finish](PhoneNumber,MsgId,State) values(?,?,?)");
    for (const QString& number : answer.request.numbers) {
        insert.bindAll({number, runId, answer.state});
        insert.execute();
        done();
    }
    const QStringList& drafts = answer.request.draftIds;
    if ((answer.sent || answer.unconfirmed) && drafts.size() == 1) {
        db::Statement& remove = statement(m_deleteDraft, "delete from [DraftBox] where id=?");
        remove.bind(1, drafts.first().toLongLong());
        remove.execute();
        done();
    } else if ((answer.sent || answer.unconfirmed) && !drafts.isEmpty()) {
        // A batch's rows leave in one statement: a thousand single deletes cost a third of a
        // grid run.
        m_conn.execute("delete from [DraftBox] where id in (" + idList(drafts) + ")");
        done();
    }
    if (answer.request.markId != 0) {
        db::Statement& unmark = statement(m_deleteMark, "delete from [SendMarks] where id=?");
        unmark.bind(1, answer.request.markId);
        unmark.execute();
        done();
    }
}

void SendLedger::discard(const QList<qint64>& markIds)
{
    if (markIds.isEmpty())
        return;
    m_conn.execute("delete from [SendMarks] where id in (" + idList(markIds) + ")");
    done();
}

void SendLedger::keepForLater(std::vector<SendAnswer> answers, const QList<qint64>& discards, qint64 runId)
{
    Leftovers& kept = leftovers();
    for (SendAnswer& answer : answers) {
        if (answer.runId != 0)
            kept.runs.insert(answer.runId);
        kept.answers.push_back(std::move(answer));
    }
    kept.discards += discards;
    if (runId != 0)
        kept.runs.insert(runId);
}

void SendLedger::setRunActive(bool active)
{
    leftovers().runActive = active;
}

int SendLedger::settle(db::Connection& conn)
{
    Leftovers& kept = leftovers();
    if (kept.runActive)
        return 0;
    ensureTable(conn);
    const std::vector<Mark> marks = readMarks(conn);
    if (marks.empty() && kept.runs.isEmpty()) {
        kept = Leftovers();
        return 0;
    }

    db::Transaction tx(conn);
    SendLedger ledger(conn, {});
    QSet<qint64> open;
    for (const Mark& mark : marks)
        open.insert(mark.id);
    QSet<qint64> runs = kept.runs;
    int settled = 0;

    // What this process knew but could not write goes in as it was known.
    for (const SendAnswer& answer : kept.answers) {
        if (!open.remove(answer.request.markId))
            continue;
        ledger.record(answer);
        settled += int(answer.request.numbers.size());
    }
    QList<qint64> discards;
    for (qint64 id : std::as_const(kept.discards)) {
        if (open.remove(id))
            discards.append(id);
    }
    ledger.discard(discards);

    // The rest was left by a process that ended in the middle: a marked request may have been
    // accepted, a queued one certainly was not.
    auto insertFinish = conn.prepare(QStringLiteral("insert into [Finish](PhoneNumber,MsgId,State) values(?,?,?)"));
    auto insertRow = conn.prepare(
        QStringLiteral("insert into [Messages](Message,SubmitTime,FinishTime,Amount,FailNum) values(?,?,?,?,?)"));
    const QDateTime now = db::Clock::now();
    QList<qint64> settledMarks;
    for (const Mark& mark : marks) {
        if (!open.contains(mark.id))
            continue;
        const QStringList numbers = mark.numbers.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        qint64 runId = mark.runId;
        if (runId == 0) {
            insertRow->bindAll({mark.message, mark.submitTime, now, int(numbers.size()), int(numbers.size())});
            insertRow->execute();
            runId = conn.lastInsertId();
        } else {
            runs.insert(runId);
        }
        const QString& state = mark.queued ? unsentState() : unconfirmedState();
        for (const QString& number : numbers) {
            insertFinish->bindAll({number, runId, state});
            insertFinish->execute();
            ++settled;
        }
        if (!mark.queued && !mark.draftIds.isEmpty())
            conn.execute("delete from [DraftBox] where id in (" + idList(mark.draftIds.split(QLatin1Char(','))) + ")");
        settledMarks.append(mark.id);
    }
    ledger.discard(settledMarks);

    // A run that ended this way never counted what it carried. Every state but "已发送" is a
    // failure, as the send details count them.
    auto recount = conn.prepare(QStringLiteral(
        "update [Messages] set Amount=(select count(*) from [Finish] where MsgId=?),FailNum=(select count(*) from "
        "[Finish] where MsgId=? and State<>?),FinishTime=coalesce(FinishTime,?) where id=?"));
    for (qint64 runId : std::as_const(runs)) {
        recount->bindAll({runId, runId, kSent, now, runId});
        recount->execute();
    }
    tx.commit();
    kept = Leftovers();
    return settled;
}
