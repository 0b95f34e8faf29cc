#include "SendRun.h"

#include "SmsCtrl.h"
#include "db/Clock.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

const QString kSent = QStringLiteral("已发送");

// The commit that marks a request must outlive a power loss, not only the process: one flush
// per request, a fraction of a millisecond beside a platform tens of milliseconds away. The
// outcome commits, made while a request is out, need no flush of their own: the next mark's
// flushes them too.
class DurableCommit
{
public:
    explicit DurableCommit(db::Connection& conn) : m_conn(conn) { m_conn.setSynchronous(db::Connection::Sync::Full); }
    ~DurableCommit()
    {
        try {
            m_conn.setSynchronous(db::Connection::Sync::Normal);
        } catch (const db::DbError&) {
            // Deliberately silent: only slower commits follow, and a failure that matters is
            // already on its way up.
        }
    }
    DurableCommit(const DurableCommit&) = delete;
    DurableCommit& operator=(const DurableCommit&) = delete;

private:
    db::Connection& m_conn;
};

// While a run is on the stack its marks are live: a settle meanwhile must not take them for
// the leftovers of a crash.
class ActiveRun
{
public:
    ActiveRun() { SendLedger::setRunActive(true); }
    ~ActiveRun() { SendLedger::setRunActive(false); }
    ActiveRun(const ActiveRun&) = delete;
    ActiveRun& operator=(const ActiveRun&) = delete;
};

std::vector<SendRequest> inBatches(const QStringList& numbers, const QStringList& draftIds, int size)
{
    std::vector<SendRequest> requests;
    requests.reserve(size_t(numbers.size() / size + 1));
    for (qsizetype from = 0; from < numbers.size(); from += size) {
        SendRequest request;
        request.numbers = numbers.mid(from, size);
        if (!draftIds.isEmpty())
            request.draftIds = draftIds.mid(from, size);
        requests.push_back(std::move(request));
    }
    return requests;
}

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

void SendRun::beginStep(int step)
{
    m_step = step;
    m_stepStatement = 0;
}

void SendRun::reached(int point)
{
    if (m_stepHook)
        m_stepHook(m_step, point);
}

void SendRun::statementDone()
{
    reached(++m_stepStatement);
}

SendRun::Outcome SendRun::run(const Input& input)
{
    m_sent = m_carried = m_fail = m_success = 0;
    m_lastSmsId.clear();
    m_known.clear();
    m_next = 0;
    SendLedger::settle(m_conn);

    const Mode mode = modeFor(input.sendMode, input.text);
    const int batchSize = std::max(1, input.batchSize);
    std::vector<SendRequest> requests;
    if (mode == Mode::List) {
        requests = inBatches(input.listNumbers, {}, batchSize);
    } else {
        auto rows = m_conn.prepare(QStringLiteral("select id,MobilePhone,A,B,C,D,E from [DraftBox] order by Preference"));
        QStringList numbers, ids;
        while (rows->next()) {
            if (mode == Mode::GridBatch) {
                ids.append(rows->value(0).toString());
                numbers.append(rows->value(1).toString());
                continue;
            }
            QStringList columns;
            for (int c = 2; c < 7; ++c)
                columns.append(rows->value(c).toString());
            SendRequest request;
            request.numbers = QStringList{rows->value(1).toString()};
            request.draftIds = QStringList{rows->value(0).toString()};
            request.message = fillVariables(input.text, columns);
            requests.push_back(std::move(request));
        }
        if (mode == Mode::GridBatch)
            requests = inBatches(numbers, ids, batchSize);
    }

    ActiveRun active;
    return send(input, mode, requests);
}

SendRun::Outcome SendRun::send(const Input& input, Mode mode, std::vector<SendRequest>& requests)
{
    const bool merge = mode == Mode::Merge;
    m_total = 0;
    for (const SendRequest& request : requests)
        m_total += int(request.numbers.size());
    m_observer.totalChanged(m_total);
    m_client.MobileCount = merge ? 1 : m_total;

    SendLedger ledger(m_conn, [this] { statementDone(); });
    qint64 runId = 0;

    // Before anything leaves: the run's history row, a plain list's later requests queued,
    // and the first request's mark. Should this fail, nothing has gone out and nothing stays.
    beginStep(0);
    {
        DurableCommit durable(m_conn);
        db::Transaction tx(m_conn);
        if (!merge)
            runId = ledger.addRun(input.text);
        if (mode == Mode::List)
            ledger.queue(runId, requests, 1);
        if (!requests.empty()) {
            requests.front().submitted = db::Clock::now();
            ledger.mark(runId, requests.front());
        }
        tx.commit();
    }

    try {
        while (m_next < requests.size()) {
            const size_t k = m_next;
            SendRequest& request = requests[k];
            // The numbers are taken one by one; a stop before the last of them leaves the
            // request unsent.
            const int size = int(request.numbers.size());
            for (int taken = 1;; ++taken) {
                if (m_observer.stopRequested())
                    return stop(ledger, runId, requests);
                ++m_sent;
                if (taken == size)
                    break;
                m_observer.yield();
            }

            beginStep(int(k) + 1);
            reached(-1);
            m_carried += size;
            m_next = k + 1;
            m_client.SmsID = merge ? QString() : m_lastSmsId;
            QString message = merge ? request.message : input.text;
            QString numbers = request.numbers.join(QLatin1Char(';'));
            std::exception_ptr failure;
            const bool ok = m_observer.request(
                [&] { return m_client.SendMessage(message, numbers, input.sendTime); },
                [&] {
                    // While the request is out, the reply before it is recorded.
                    try {
                        db::Transaction tx(m_conn);
                        for (const SendAnswer& known : m_known)
                            ledger.record(known);
                        tx.commit();
                        m_known.clear();
                    } catch (const db::DbError&) {
                        failure = std::current_exception();
                    }
                });
            if (ok)
                m_lastSmsId = m_client.ReturnSmsID;
            m_known.push_back(answerFor(request, runId, ok, numbers, message));
            count(m_known.back());
            reached(0);
            if (failure)
                std::rethrow_exception(failure);

            // The next request is marked only now that this one has returned: a crash while a
            // request is out leaves the requests after it unmarked, certainly never sent.
            if (m_next < requests.size()) {
                // One statement, its own transaction.
                DurableCommit durable(m_conn);
                requests[m_next].submitted = db::Clock::now();
                ledger.mark(runId, requests[m_next]);
            }
            m_observer.sentChanged(m_sent);
            m_observer.yield();
        }

        beginStep(int(requests.size()) + 1);
        db::Transaction tx(m_conn);
        for (const SendAnswer& known : m_known)
            ledger.record(known);
        if (runId != 0)
            ledger.completeRun(runId, m_carried, m_fail);
        tx.commit();
        m_known.clear();
    } catch (const db::DbError&) {
        const std::exception_ptr failure = std::current_exception();
        keepWhatIsKnown(ledger, runId, requests);
        std::rethrow_exception(failure);
    }
    return Outcome::Completed;
}

SendAnswer SendRun::answerFor(SendRequest& request, qint64 runId, bool ok, const QString& numbers,
                              const QString& message) const
{
    SendAnswer answer;
    answer.request = request;
    if (runId == 0) {
        // A merge row's history shows the text and number as its request carried them.
        answer.request.message = message;
        answer.request.numbers = QStringList{numbers};
    }
    answer.runId = runId;
    answer.sent = ok;
    answer.unconfirmed = !ok && m_client.sendUnconfirmed();
    answer.state = ok ? kSent : answer.unconfirmed ? unconfirmedState() : m_client.ErrMsg;
    answer.answered = db::Clock::now();
    return answer;
}

// Every state but "已发送" counts as failed, as the history counts it.
void SendRun::count(const SendAnswer& answer)
{
    for (qsizetype k = 0; k < answer.request.numbers.size(); ++k) {
        if (answer.sent)
            m_observer.successChanged(++m_success);
        else
            m_observer.failChanged(++m_fail);
    }
}

QList<qint64> SendRun::unsentMarks(const std::vector<SendRequest>& requests) const
{
    QList<qint64> ids;
    for (size_t k = m_next; k < requests.size(); ++k) {
        if (requests[k].markId != 0)
            ids.append(requests[k].markId);
    }
    return ids;
}

// A stop says what went out: the numbers that requests carried, not those taken for a request
// that was never made. The marked and queued requests that did not leave are given back: their
// numbers stay in the plain list, their rows in the grid.
SendRun::Outcome SendRun::stop(SendLedger& ledger, qint64 runId, std::vector<SendRequest>& requests)
{
    beginStep(int(m_next) + 1);
    db::Transaction tx(m_conn);
    for (const SendAnswer& known : m_known)
        ledger.record(known);
    ledger.discard(unsentMarks(requests));
    if (runId != 0)
        ledger.completeRun(runId, m_carried, m_fail);
    tx.commit();
    m_known.clear();
    return Outcome::Stopped;
}

// The database failed under the run. Replies that are in are not thrown away: they are written
// now if the database lets us, else kept for the next settle of this process; the requests
// that never left are given back.
void SendRun::keepWhatIsKnown(SendLedger& ledger, qint64 runId, std::vector<SendRequest>& requests)
{
    const QList<qint64> unsent = unsentMarks(requests);
    try {
        db::Transaction tx(m_conn);
        for (const SendAnswer& known : m_known)
            ledger.record(known);
        ledger.discard(unsent);
        if (runId != 0)
            ledger.completeRun(runId, m_carried, m_fail);
        tx.commit();
    } catch (const db::DbError&) {
        SendLedger::keepForLater(std::move(m_known), unsent, runId);
    }
    m_known.clear();
}
