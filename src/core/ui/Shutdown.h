#pragma once

// The program's shutdown steps, in the order they must run: the tray icon and its menu go,
// the workers are stopped and joined (the white-list worker uses the user's database and the
// platform client, so it ends before either goes), the shared connection is closed and the
// mouse filter removed. Safe to run more than once.
void ShutDownProgram();

// ShutDownProgram(), then the end of the process with code. Every path that ends the program
// at once (starting the updater, a confirmed exit) goes through here, so none leaves a worker
// writing into a database that is being closed under it.
[[noreturn]] void ShutDownAndExit(int code);
