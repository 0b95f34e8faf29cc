#pragma once

#include <QString>

class QWidget;

// The information box under "提示" that a window shows when an entry is missing or wrong;
// afterwards the focus goes to focus, when given, so the user can put it right at once.
void ShowHint(const QString& text, QWidget* parent, QWidget* focus = nullptr);
