#pragma once

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

// A window's control by its name, for tests that drive it as a user would; a missing control
// fails the test (GoogleTest reports the exception) instead of crashing it.
template <typename T> T* Control(const QObject& owner, const char* name)
{
    T* found = owner.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no control named ") + name);
    return found;
}
