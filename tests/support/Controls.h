#pragma once

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

// A window's control by its name, for tests that drive it as a user would; a missing control
// fails the test (GoogleTest reports the exception) instead of crashing it.
template <typename T> T* Control(const QObject& owner, const QString& name)
{
    T* found = owner.findChild<T*>(name);
    if (!found)
        throw std::runtime_error("no control named " + name.toStdString());
    return found;
}

template <typename T> T* Control(const QObject& owner, const char* name)
{
    return Control<T>(owner, QString::fromLatin1(name));
}
