#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A folder of this process's own under the temporary folder, removed at exit. For the readers
// that only open paths.
QString scratchFolder();
// Writes the bytes to a file in the scratch folder (same name each call) and returns its path.
QString writeScratchFile(const QString& name, const QByteArray& bytes);

} // namespace fuzz
