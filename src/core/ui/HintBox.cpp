#include "HintBox.h"

#include "Desktop.h"

#include <QWidget>

void ShowHint(const QString& text, QWidget* parent, QWidget* focus)
{
    MsgBox(text, QStringLiteral("提示"), Desktop::Icon::Information, Desktop::Buttons::Ok, parent);
    if (focus)
        focus->setFocus();
}
