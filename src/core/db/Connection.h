#pragma once

#include "db/DbError.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

class Statement;

// One open database file. Every SQL text handed to it is in the Jet dialect the program
// writes ([names], #dates#, true/false, text +) and is translated before the engine sees it.
// All failures throw DbError. A connection belongs to the thread that opened it.
class Connection
{
public:
    // Opens an existing file with the database password; never creates one.
    static std::unique_ptr<Connection> open(const QString& path, const QByteArray& key);
    // Creates a new, empty file (build tool and tests only); an existing file is an error.
    // An empty key creates an unencrypted file.
    static std::unique_ptr<Connection> create(const QString& path, const QByteArray& key);
    // Opens an existing unencrypted file (update package, imported engine files).
    static std::unique_ptr<Connection> openUnkeyed(const QString& path);

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString path() const { return m_path; }

    // Runs exactly one statement and returns the rows it changed. A text holding a second
    // statement is refused before anything runs: statements are built by pasting values in,
    // and a value that escaped its quotes must not be able to append a statement of its own.
    int execute(const QString& sql);
    // Runs a script of statements separated by ";" (the shipped schema, test databases).
    // Returns the number of rows changed by the last one.
    int executeScript(const QString& sql);
    // First column of the first row, or a null QVariant when there is none.
    QVariant scalar(const QString& sql);
    qint64 lastInsertId() const;

    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

    // How hard a commit presses its data onto the disk: Normal survives the process ending,
    // Full also a power loss (the file is synced at every commit).
    enum class Sync { Normal, Full };
    void setSynchronous(Sync sync);

    // Writes the write-ahead log back into the main file, so that a byte copy of the
    // file holds every committed row.
    void checkpoint();

    std::unique_ptr<Statement> prepare(const QString& sql);

    sqlite3* handle() const { return m_db; }
    [[noreturn]] void raise(int rc, const QString& context = QString()) const;
    // The DbError that raise() throws, for callers that must clean up before throwing.
    DbError error(int rc, const QString& context = QString()) const;

    // Connections open in this process right now (all threads).
    static int openCount();

private:
    Connection(sqlite3* db, const QString& path);
    // Runs one of the fixed statements that loops run between their own: prepared on first use
    // and kept, as translating and preparing them each time costs more than running them.
    void runFixed(sqlite3_stmt*& slot, const char* sql);

    sqlite3* m_db = nullptr;
    QString m_path;
    sqlite3_stmt* m_begin = nullptr;
    sqlite3_stmt* m_commit = nullptr;
    sqlite3_stmt* m_rollback = nullptr;
    sqlite3_stmt* m_syncNormal = nullptr;
    sqlite3_stmt* m_syncFull = nullptr;
};

// Prepared statement for loops that run the same statement many times; values are bound
// by position (1-based), so no quoting is needed.
class Statement
{
public:
    Statement(Connection& conn, sqlite3_stmt* stmt);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value);
    void bindAll(const QVariantList& values);
    // Runs the statement to its end; returns the rows changed. Resets it for the next run.
    int execute();
    // Steps one row; false at the end.
    bool next();
    QVariant value(int column) const;
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    // The table column a result column reads, empty for a computed one.
    QString columnOrigin(int column) const;

private:
    Connection& m_conn;
    sqlite3_stmt* m_stmt;
};

// Commits on commit(), rolls back when it goes out of scope otherwise.
class Transaction
{
public:
    explicit Transaction(Connection& conn);
    ~Transaction();
    void commit();

private:
    Connection& m_conn;
    bool m_done = false;
};

} // namespace db
