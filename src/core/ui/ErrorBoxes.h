#pragma once

#include <QString>

class HelperError;
class QWidget;

namespace db {
class DbError;
}

// The generic "程序出错" box: "错误号：" + number + CR LF + "错误描述：" + description,
// information icon.
void ShowProgramError(int number, const QString& description, QWidget* parent = nullptr);
void ShowProgramError(const db::DbError& error, QWidget* parent = nullptr);
void ShowProgramError(const HelperError& error, QWidget* parent = nullptr);

// "错误号：" + number + CR LF + "错误描述：" + description.
QString ErrorBoxText(int number, const QString& description);

// Replaces the shared connection by one to fileName in the program folder. When that fails it
// shows the "打开本地数据库出错" box and ends the program at once.
void OpenDatabase(const QString& fileName);
