#pragma once

#include <QString>

// Puts the first pending restore file ("<user>.recover", in name order) of the folder in
// place of "<user>.mdb" in one rename, and deletes it once that has succeeded; a restore that
// failed stays pending. At most one per call. Returns the database file that was replaced,
// or an empty text when none was.
QString ApplyPendingRestore(const QString& folder);
