#pragma once

#include "ImportLoop.h"

#include <QElapsedTimer>
#include <QString>
#include <QVariant>
#include <memory>

namespace db {
class Connection;
class Statement;
} // namespace db

// The one writer of [DraftBox] rows: the grid's typed numbers, the contacts' transfer and the
// imports all insert through it. Each row is flagged IsRepeat when [DraftBox] already held its
// number, the rows of the group not yet committed included.
//
// Rows are committed in groups, because a commit per row costs more than the rest of an
// import. A caller that lets the window process input (a cancel, a close) commits first, so
// every row inserted before that point is kept whatever happens next; so does a failure: the
// destructor commits what was added, it never rolls back.
class DraftBoxWriter final : public ImportTarget
{
public:
    explicit DraftBoxWriter(db::Connection& conn);
    ~DraftBoxWriter() override;
    DraftBoxWriter(const DraftBoxWriter&) = delete;
    DraftBoxWriter& operator=(const DraftBoxWriter&) = delete;

    // Inserts one row with the number as given and values[0] to values[4] in A to E (a null
    // QVariant, or a value not given, leaves that column unwritten); returns its IsRepeat.
    // Throws db::DbError.
    bool add(const QString& mobilePhone, const QVariantList& values = {});
    // An imported row: each cell in A to E as its text; an empty cell leaves its column unwritten.
    bool store(const QString& number, const QVector<CellValue>& values) override;
    // Commits the rows added so far. Throws db::DbError.
    void commit() override;
    // Commits when the open group has been open for longer than a window should go without
    // processing input; true when it did (the caller may then process events).
    bool commitIfDue() override;
    // Rows added and not committed yet.
    int pending() const { return m_pending; }

private:
    db::Connection& m_conn;
    std::unique_ptr<db::Statement> m_exists;
    std::unique_ptr<db::Statement> m_insert;
    bool m_ownTransaction = false;
    int m_pending = 0;
    QElapsedTimer m_groupAge;
};
