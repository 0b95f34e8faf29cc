#pragma once

#include <QString>

// A user's files in the program folder carry the user's name: "<user>.mdb", the pending restore
// "<user>.recover". [User] finds a user whatever the letter case of the name, so these names do
// too: names that differ only in letter case are one user, with one database.

// "data" and "user", in any letter case: their "<name>.mdb" is the template or the user list.
bool IsReservedUserName(const QString& name);

// The spelling that names the user's files in folder: that of an existing "<name>.mdb" whose
// name matches without regard to letter case (the exact spelling first), else name itself.
// Letter case is compared as [User] compares it: A to Z and a to z only.
QString UserFileStem(const QString& folder, const QString& name);
