#pragma once

#include <QByteArray>

// FreeXL trusts the lengths inside a .xls: a string length larger than its record makes it copy
// past its buffers. The reader therefore walks the workbook stream itself first and refuses what
// FreeXL would read out of bounds. It refuses as well a shared string FreeXL cannot give back
// whole: one whose characters run over more than two records (FreeXL cuts it short or loses
// every sheet), one holding half of a surrogate pair (it loses every sheet) or a NUL (it ends
// the text there).
enum class XlsVerdict {
    Unknown,  // no workbook stream found; FreeXL reports what is wrong
    Sound,
    Damaged,
    Encrypted,
    TextUnreadable
};

// activeSheet, when given, receives the index of the sheet that was in front when the workbook
// was saved (the WINDOW1 record of the workbook's globals), 0 when the walk found none.
XlsVerdict CheckXlsFile(const QByteArray& file, int* activeSheet = nullptr);
