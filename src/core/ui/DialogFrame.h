#pragma once

class QDialog;

// A small dialog of fixed size, as the old program's fixed dialogs were. A window manager then
// offers no maximise and no resize grips for it; the dialog asks for no minimise or maximise
// button either. The dialog keeps the size its form gave it (or its size hint when it has none),
// never less than its contents need. Call it once the dialog's widgets are in place.
void UseFixedFrame(QDialog& dialog);
