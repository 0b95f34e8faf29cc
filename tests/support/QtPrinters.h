#pragma once

#include <QByteArray>
#include <QString>
#include <ostream>

// Readable gtest failure output for Qt strings (found by argument-dependent lookup).
void PrintTo(const QString& value, std::ostream* os);
void PrintTo(const QByteArray& value, std::ostream* os);
