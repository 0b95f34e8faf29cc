#include "DialogFrame.h"

#include <QDialog>

void UseFixedFrame(QDialog& dialog)
{
    dialog.setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const QSize size = dialog.testAttribute(Qt::WA_Resized) ? dialog.size() : dialog.sizeHint();
    dialog.setFixedSize(size.expandedTo(dialog.minimumSizeHint()));
}
