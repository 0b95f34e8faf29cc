#include "SendingDb.h"

#include "DataStore.h"
#include "ErrorBoxes.h"
#include "PublicFunction.h"
#include "db/DbError.h"

namespace sending {

db::Connection& SharedConnection()
{
    if (!g_Conn)
        throw db::DbError(db::ErrObjectClosed, QStringLiteral("对象关闭时，不允许操作。"));
    return *g_Conn;
}

bool RunReported(QWidget* parent, const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const db::DbError& error) {
        ShowProgramError(error, parent);
    } catch (const HelperError& error) {
        ShowProgramError(error, parent);
    }
    return false;
}

} // namespace sending
