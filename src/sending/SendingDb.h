#pragma once

#include <functional>

class QWidget;
namespace db {
class Connection;
}

// Database steps of the sending windows (in a namespace of their own: other modules keep
// helpers of the same shape).
namespace sending {

// The shared connection of the window thread; throws db::DbError while none is open.
db::Connection& SharedConnection();

// Runs a database step of a window; a failure of the engine or of a helper is shown in the
// generic "程序出错" box instead of leaving the event handler. False when the step failed.
bool RunReported(QWidget* parent, const std::function<void()>& step);

} // namespace sending
