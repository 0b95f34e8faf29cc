#pragma once

class QComboBox;

// Keeps a drop-down as wide as about chars characters whatever its entries, so that one long
// entry (a category name may run to 100 characters) cannot widen its dialog past the screen.
// The closed box shows the current entry cut with "…"; the entries' list elides likewise.
void CapComboWidth(QComboBox& combo, int chars);
