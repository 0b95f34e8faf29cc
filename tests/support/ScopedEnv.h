#pragma once

#include <QByteArray>
#include <optional>

// Sets (or, with no value, unsets) one environment variable for the life of the object and
// puts the previous state back afterwards.
class ScopedEnv final
{
public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void set(const std::optional<QByteArray>& value);

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};
