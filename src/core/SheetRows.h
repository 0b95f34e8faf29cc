#pragma once

#include "ImportLoop.h"

// The rows of a worksheet's used range as an import reads them, from a given row to the last;
// rows and columns count from 1 at the used range's top-left cell.
class SheetRows final : public ImportSource
{
public:
    SheetRows(const Worksheet& sheet, int firstRow);

    bool fetch() override;
    CellValue cell(int column) const override;
    // The row read last (firstRow - 1 before the first).
    int row() const { return m_row; }

private:
    const Worksheet& m_sheet;
    const int m_lastRow;
    int m_row;
};
