// A statement in the program's SQL dialect, as text pasted into searches and names reaches it:
// rewritten for the engine, then prepared and run on an in-memory database of the program's
// shape. Runs are bounded in steps and size, and no file may be attached.
#include "FuzzSupport.h"
#include "db/Connection.h"
#include "db/JetDialect.h"

#include <sqlcipher/sqlite3.h>

namespace {

constexpr int kMaxSteps = 200000; // virtual machine steps, in units of the handler's period
constexpr int kMaxRows = 1000;

int g_steps = 0;

int stopLongRuns(void*)
{
    return ++g_steps > kMaxSteps / 1000 ? 1 : 0;
}

int noFiles(void*, int action, const char*, const char*, const char*, const char*)
{
    return action == SQLITE_ATTACH || action == SQLITE_DETACH ? SQLITE_DENY : SQLITE_OK;
}

std::unique_ptr<db::Connection> freshDatabase()
{
    auto conn = db::Connection::create(QStringLiteral(":memory:"), QByteArray());
    conn->execute(QStringLiteral("create table [DraftBox] (ID integer primary key, Mobile text, Content text, "
                                 "SendTime datetime, IsRepeat integer)"));
    conn->execute(QStringLiteral("create table [Contact] (ID integer primary key, Name text, Remark text, "
                                 "Birthday datetime, Age integer)"));
    conn->execute(QStringLiteral("insert into [DraftBox] (Mobile, Content, SendTime, IsRepeat) values "
                                 "('13800138000', '你好', #2024-01-02 03:04:05#, true)"));
    conn->execute(QStringLiteral("insert into [Contact] (Name, Remark, Birthday, Age) values "
                                 "('张三', '12', #1990-05-06#, 34), (Null, 'x', Null, Null)"));
    sqlite3* handle = conn->handle();
    sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, 1 << 20);
    sqlite3_limit(handle, SQLITE_LIMIT_SQL_LENGTH, 1 << 16);
    sqlite3_set_authorizer(handle, noFiles, nullptr);
    sqlite3_progress_handler(handle, 1000, stopLongRuns, nullptr);
    return conn;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString jet = QString::fromUtf8(fuzz::bytes(data, size));
    static std::unique_ptr<db::Connection> conn;
    try {
        db::jet::translate(jet);
        // A fresh database each time, so one input's tables never change the next one's run.
        conn.reset();
        conn = freshDatabase();
        g_steps = 0;
        auto statement = conn->prepare(jet);
        for (int row = 0; row < kMaxRows && statement->next(); ++row) {
            for (int c = 0; c < statement->columnCount(); ++c)
                statement->value(c);
        }
    } catch (const db::DbError&) {
        // Refused or failed statements are reported to the user by the caller.
    }
    return 0;
}
