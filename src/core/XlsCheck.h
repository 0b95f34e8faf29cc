#pragma once

#include <QByteArray>

// FreeXL trusts the lengths inside a .xls: a string length larger than its record makes it copy
// past its buffers. The reader therefore walks the workbook stream itself first and refuses what
// FreeXL would read out of bounds.
enum class XlsVerdict {
    Unknown,  // no workbook stream found; FreeXL reports what is wrong
    Sound,
    Damaged,
    Encrypted
};

XlsVerdict CheckXlsFile(const QByteArray& file);
