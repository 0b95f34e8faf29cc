#pragma once

#include <QString>
#include <exception>
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

// Runs a step of a window's handler; a failure is shown in the "程序出错" box instead of leaving
// the handler: the engine's and the helpers' with their own number, any other as a generic
// failure. False when the step failed.
bool RunReported(QWidget* parent, const std::function<void()>& step);

// "错误号：" + number + CR LF + "错误描述：" + description.
QString ErrorBoxText(int number, const QString& description);
// What a failure says of itself, for the boxes that show the description alone.
QString FailureDescription(const std::exception& error);

// Replaces the shared connection by one to fileName in the program folder. When that fails it
// shows the "打开本地数据库出错" box and ends the program at once.
void OpenDatabase(const QString& fileName);
