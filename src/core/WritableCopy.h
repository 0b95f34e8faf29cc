#pragma once

#include <QString>

// Copies source to target (a name not taken yet) and gives the copy its owner's write
// permission. A plain copy keeps the source's mode, so the copy of a read-only file (a program
// folder installed read-only, a backup on a read-only medium) would be read-only as well, and
// whatever fills or opens the copy next would refuse it. False when the copy failed; nothing is
// left at target then.
bool CopyWritable(const QString& source, const QString& target);
