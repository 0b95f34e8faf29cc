#include "UpdateCheckStatus.h"

UpdateCheckStatus& UpdateCheckStatus::instance()
{
    static UpdateCheckStatus status;
    return status;
}

void UpdateCheckStatus::setStatus(const QString& text)
{
    Q_EMIT statusChanged(text);
}
