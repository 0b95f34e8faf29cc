#pragma once

#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>
#include <memory>

// The database password of every shipped and user database file.
inline constexpr char kDatabasePassword[] = "5e0b93d7a4c1f628";

// The one process-wide connection of the window thread and its short-read recordset.
extern std::unique_ptr<db::Connection> g_Conn;
extern std::unique_ptr<db::Recordset> g_Rs;
extern QString g_ConnString;

// Folder of the running program (the executable's folder); tests point it elsewhere.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);
// ProgramFolder() + "/" + fileName
QString ProgramFile(const QString& fileName);

// Replaces g_Conn and g_Rs by a connection to fileName in the program folder and sets
// g_ConnString. Throws db::DbError when the file is missing, is no database of ours or
// cannot be opened; nothing is created then. The UI wrapper OpenDatabase (coreui) turns the
// failure into the "打开本地数据库出错" box and ends the program.
void OpenDatabaseOrThrow(const QString& fileName);

// Opens a second connection to a file of the program folder, for a worker thread.
std::unique_ptr<db::Connection> OpenWorkerConnection(const QString& fileName);

// g_Conn for the windows' database steps; throws db::DbError while no database is open.
db::Connection& SharedConnection();

// Closes g_Conn and g_Rs.
void CloseDatabase();
