#pragma once

#include <QString>
#include <functional>

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

// Runs a database step of a window's handler; a failure of the engine or of a helper is shown
// in the "程序出错" box instead of leaving the handler. False when the step failed.
bool RunReported(QWidget* parent, const std::function<void()>& step);

// "错误号：" + number + CR LF + "错误描述：" + description.
QString ErrorBoxText(int number, const QString& description);

// Replaces the shared connection by one to fileName in the program folder. When that fails it
// shows the "打开本地数据库出错" box and ends the program at once.
void OpenDatabase(const QString& fileName);
