#include "ScopedEnv.h"

#include <QtGlobal>

ScopedEnv::ScopedEnv(const char* name, const std::optional<QByteArray>& value) : m_name(name)
{
    if (qEnvironmentVariableIsSet(name))
        m_old = qgetenv(name);
    set(value);
}

ScopedEnv::~ScopedEnv()
{
    set(m_old);
}

void ScopedEnv::set(const std::optional<QByteArray>& value)
{
    if (value)
        qputenv(m_name, *value);
    else
        qunsetenv(m_name);
}
