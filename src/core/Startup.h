#pragma once

// The start-up step of the login dialog's load: resets the update state, reads the installed
// version (opening data.mdb; throws db::DbError and std::runtime_error, e.g. no 'Verson' row)
// and starts the update-check worker.
void InitSystem();
// The installed version: g_VersionText from the 'Verson' row of data.mdb's [config], which it
// opens as the shared connection. Throws as InitSystem.
void ReadLocalVersion();
