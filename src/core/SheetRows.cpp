#include "SheetRows.h"

SheetRows::SheetRows(const Worksheet& sheet, int firstRow)
    : m_sheet(sheet), m_lastRow(sheet.usedRange().rowCount), m_row(firstRow - 1)
{
}

bool SheetRows::fetch()
{
    if (m_row >= m_lastRow)
        return false;
    ++m_row;
    return true;
}

CellValue SheetRows::cell(int column) const
{
    return m_sheet.Cells(m_row, column);
}
