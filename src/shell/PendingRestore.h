#pragma once

#include <QString>

// Puts the first pending restore file ("<user>.recover", in name order) of the folder in
// place of "<user>.mdb" in one rename, and deletes it once that has succeeded; a restore that
// failed stays pending. "<user>.mdb" is the existing database whose name differs only in letter
// case, when there is one; restore files for "data" and "user" are never applied. At most one
// per call. Returns the database file that was replaced, or an empty text when none was.
QString ApplyPendingRestore(const QString& folder);
