#include "db/Connection.h"

#include "db/JetDialect.h"
#include "db/SqliteValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cctype>
#include <cstring>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1 // sqlite3_key
#endif
#include <sqlcipher/sqlite3.h>

namespace db {

namespace {

std::atomic<int> g_openConnections{0};

constexpr int kBusyTimeoutMs = 5000;
constexpr int kContextLimit = 200;

QString fileText(const QString& path)
{
    return QStringLiteral("'%1'").arg(QDir::toNativeSeparators(path));
}

bool looksLikeSyntaxFault(const QString& message)
{
    static const char* const hints[] = {
        "syntax error",  "unrecognized token", "incomplete input",          "no such column",
        "no such table", "no such function",   "wrong number of arguments", "ambiguous column"};
    for (const char* hint : hints) {
        if (message.contains(QLatin1String(hint), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Why a file that the engine cannot read with our key was refused: told by its first bytes.
DbError foreignFileError(const QString& path, bool keyed)
{
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(32);
    const qint64 size = QFileInfo(path).size();
    if (head.startsWith(QByteArrayLiteral("SQLite format 3")))
        return DbError(ErrCannotOpen, QStringLiteral("文件 %1 不是受密码保护的数据库。").arg(fileText(path)));
    if (head.mid(4).startsWith("Standard Jet DB") || head.mid(4).startsWith("Standard ACE DB"))
        return DbError(ErrCannotOpen,
                       QStringLiteral("文件 %1 是 Access 数据库，不能用此引擎打开。").arg(fileText(path)));
    // An encrypted file is whole pages of noise; anything else is no database at all.
    if (keyed && size >= 1024 && size % 1024 == 0)
        return DbError(ErrNotValidPassword, QStringLiteral("不是有效的密码。"));
    return DbError(ErrCannotOpen, QStringLiteral("无法识别的数据库格式 %1。").arg(fileText(path)));
}

DbError openError(sqlite3* db, int rc, const QString& path, bool keyed)
{
    const int primary = rc & 0xff;
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        return foreignFileError(path, keyed);
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return DbError(ErrCannotOpen, QStringLiteral("文件 %1 已被其他程序锁定。(%2)").arg(fileText(path), message));
    return DbError(ErrCannotOpen, QStringLiteral("无法打开文件 %1。(%2)").arg(fileText(path), message));
}

// Opens the file, keys it when a key is given and reads the schema once: a wrong key or a
// foreign file shows up here, not at the first statement of the caller.
sqlite3* openHandle(const QString& path, int flags, const QByteArray* key)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc == SQLITE_OK && key)
        rc = sqlite3_key(db, key->constData(), int(key->size()));
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        DbError error = openError(db, rc, path, key != nullptr);
        sqlite3_close_v2(db);
        throw error;
    }
    return db;
}

void configure(sqlite3* db, bool writeAheadLog)
{
    // A read-only file keeps the mode it has; its writes fail later with ErrReadOnly.
    if (writeAheadLog) {
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    }
    jet::registerFunctions(db);
}

void requireExisting(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw DbError(ErrFileNotFound, QStringLiteral("找不到文件 %1。").arg(fileText(path)));
    if (info.size() == 0)
        throw DbError(ErrCannotOpen, QStringLiteral("无法识别的数据库格式 %1。").arg(fileText(path)));
}

} // namespace

Connection::Connection(sqlite3* db, const QString& path) : m_db(db), m_path(path)
{
    ++g_openConnections;
}

Connection::~Connection()
{
    for (sqlite3_stmt* stmt : {m_begin, m_commit, m_rollback, m_syncNormal, m_syncFull})
        sqlite3_finalize(stmt);
    sqlite3_close_v2(m_db);
    --g_openConnections;
}

int Connection::openCount()
{
    return g_openConnections.load();
}

std::unique_ptr<Connection> Connection::open(const QString& path, const QByteArray& key)
{
    requireExisting(path);
    sqlite3* db = openHandle(path, SQLITE_OPEN_READWRITE, &key);
    configure(db, true);
    return std::unique_ptr<Connection>(new Connection(db, path));
}

std::unique_ptr<Connection> Connection::create(const QString& path, const QByteArray& key)
{
    if (QFileInfo::exists(path))
        throw DbError(ErrCannotOpen, QStringLiteral("文件 %1 已存在。").arg(fileText(path)));
    // An empty key makes a plain file, as update packages and imported files are.
    sqlite3* db = openHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, key.isEmpty() ? nullptr : &key);
    configure(db, !key.isEmpty());
    return std::unique_ptr<Connection>(new Connection(db, path));
}

std::unique_ptr<Connection> Connection::openUnkeyed(const QString& path)
{
    requireExisting(path);
    sqlite3* db = openHandle(path, SQLITE_OPEN_READWRITE, nullptr);
    configure(db, false); // somebody else's file: its journal mode stays as it is
    return std::unique_ptr<Connection>(new Connection(db, path));
}

DbError Connection::error(int rc, const QString& context) const
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
    QString where = context.left(kContextLimit);
    if (context.size() > kContextLimit)
        where += QStringLiteral("…");
    const QString detail = where.isEmpty() ? message : QStringLiteral("%1 [%2]").arg(message, where);
    switch (rc & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return DbError(ErrReadOnly, QStringLiteral("不能更新。数据库或对象为只读。(%1)").arg(detail));
    case SQLITE_FULL:
    case SQLITE_IOERR:
        return DbError(ErrDiskFull, QStringLiteral("磁盘已满或无法写入文件。(%1)").arg(detail));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbError(ErrCannotOpen, QStringLiteral("文件已被其他用户锁定。(%1)").arg(detail));
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return DbError(ErrCannotOpen, QStringLiteral("无法识别的数据库格式。(%1)").arg(detail));
    case SQLITE_ERROR:
        return DbError(looksLikeSyntaxFault(message) ? ErrSyntax : ErrGeneric, detail);
    default:
        return DbError(ErrGeneric, detail);
    }
}

void Connection::raise(int rc, const QString& context) const
{
    throw error(rc, context);
}

namespace {

// True when only blanks, comments or ";" are left: the end of a single statement.
bool onlyTrailingNoise(const char* tail, const char* end)
{
    while (tail < end) {
        if (*tail == ';' || std::isspace(static_cast<unsigned char>(*tail))) {
            ++tail;
        } else if (end - tail >= 2 && tail[0] == '-' && tail[1] == '-') {
            while (tail < end && *tail != '\n')
                ++tail;
        } else if (end - tail >= 2 && tail[0] == '/' && tail[1] == '*') {
            const char* close = std::strstr(tail + 2, "*/");
            if (!close || close >= end)
                return true; // an open comment runs to the end
            tail = close + 2;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int Connection::execute(const QString& sql)
{
    const QByteArray utf8 = jet::translate(sql).toUtf8();
    const char* const end = utf8.constData() + utf8.size();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK)
        raise(rc, sql);
    if (!stmt)
        throw DbError(ErrSyntax, QStringLiteral("SQL 语句为空。"));
    if (!onlyTrailingNoise(tail, end)) {
        sqlite3_finalize(stmt);
        throw DbError(ErrSyntax, QStringLiteral("在 SQL 语句结尾之后找到字符。 [%1]").arg(sql.left(kContextLimit)));
    }
    int step;
    while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (step != SQLITE_DONE) {
        const DbError failure = error(step, sql);
        sqlite3_finalize(stmt);
        throw failure;
    }
    sqlite3_finalize(stmt);
    return sqlite3_changes(m_db);
}

int Connection::executeScript(const QString& sql)
{
    const QByteArray utf8 = jet::translate(sql).toUtf8();
    const char* tail = utf8.constData();
    const char* const end = tail + utf8.size();
    int changes = 0;
    while (tail < end) {
        sqlite3_stmt* stmt = nullptr;
        const char* next = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, tail, int(end - tail), &stmt, &next);
        if (rc != SQLITE_OK)
            raise(rc, sql);
        tail = next;
        if (!stmt) // only blanks or comments were left
            continue;
        int step;
        while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (step != SQLITE_DONE) {
            const DbError failure = error(step, sql);
            sqlite3_finalize(stmt);
            throw failure;
        }
        sqlite3_finalize(stmt);
        changes = sqlite3_changes(m_db);
    }
    return changes;
}

QVariant Connection::scalar(const QString& sql)
{
    auto stmt = prepare(sql);
    return stmt->next() ? stmt->value(0) : QVariant();
}

qint64 Connection::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

void Connection::runFixed(sqlite3_stmt*& slot, const char* sql)
{
    if (!slot) {
        const int rc = sqlite3_prepare_v2(m_db, sql, -1, &slot, nullptr);
        if (rc != SQLITE_OK)
            raise(rc, QString::fromLatin1(sql));
    }
    const int step = sqlite3_step(slot);
    if (step == SQLITE_DONE) {
        sqlite3_reset(slot);
        return;
    }
    // The message is read before the reset clears it.
    const DbError failure = error(step, QString::fromLatin1(sql));
    sqlite3_reset(slot);
    throw failure;
}

void Connection::beginTransaction()
{
    // IMMEDIATE takes the write lock at once, so two writers wait for each other through the
    // busy timeout instead of failing halfway.
    runFixed(m_begin, "BEGIN IMMEDIATE");
}

void Connection::commit()
{
    runFixed(m_commit, "COMMIT");
}

void Connection::rollback()
{
    runFixed(m_rollback, "ROLLBACK");
}

void Connection::setSynchronous(Sync sync)
{
    if (sync == Sync::Full)
        runFixed(m_syncFull, "PRAGMA synchronous=FULL");
    else
        runFixed(m_syncNormal, "PRAGMA synchronous=NORMAL");
}

bool Connection::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

void Connection::checkpoint()
{
    int logFrames = 0;
    int copiedFrames = 0;
    const int rc = sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &logFrames, &copiedFrames);
    if (rc != SQLITE_OK)
        raise(rc, QStringLiteral("checkpoint"));
}

std::unique_ptr<Statement> Connection::prepare(const QString& sql)
{
    const QByteArray utf8 = jet::translate(sql).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK)
        raise(rc, sql);
    if (!stmt)
        throw DbError(ErrSyntax, QStringLiteral("SQL 语句为空。"));
    return std::make_unique<Statement>(*this, stmt);
}

Statement::Statement(Connection& conn, sqlite3_stmt* stmt) : m_conn(conn), m_stmt(stmt) {}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value)
{
    const int rc = SqliteValues::bind(m_stmt, index, value);
    if (rc != SQLITE_OK)
        m_conn.raise(rc);
}

void Statement::bindAll(const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

int Statement::execute()
{
    while (next()) {
    }
    const int changes = sqlite3_changes(m_conn.handle());
    sqlite3_reset(m_stmt);
    return changes;
}

bool Statement::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const DbError failure = m_conn.error(rc, QString::fromUtf8(sqlite3_sql(m_stmt)));
    sqlite3_reset(m_stmt);
    throw failure;
}

QVariant Statement::value(int column) const
{
    return SqliteValues::column(m_stmt, column);
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QString Statement::columnOrigin(int column) const
{
    return QString::fromUtf8(sqlite3_column_origin_name(m_stmt, column));
}

Transaction::Transaction(Connection& conn) : m_conn(conn)
{
    m_conn.beginTransaction();
}

Transaction::~Transaction()
{
    if (m_done || !m_conn.inTransaction())
        return;
    try {
        m_conn.rollback();
    } catch (const DbError&) {
        // Nothing more to undo: the engine has already ended the transaction.
    }
}

void Transaction::commit()
{
    m_conn.commit();
    m_done = true;
}

} // namespace db
