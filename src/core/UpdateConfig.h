#pragma once

#include <QString>

// update.ini: the update address of both programs, its one line in the code page. The sign-in
// writes it into the program folder; the update check of Quorvel and the updater read it.

// The first line of update.ini. A copy in preferredFolder, when that holds one, is read
// instead of the program folder's (the updater's per-user copy of the folder). Empty text, and
// *found false, when the file is missing or cannot be opened.
QString ReadUpdateUrl(bool* found = nullptr, const QString& preferredFolder = QString());

// Replaces update.ini in the program folder with the address and a CR LF. False when it could
// not be written; the old file then stays as it was.
bool WriteUpdateUrl(const QString& url);
