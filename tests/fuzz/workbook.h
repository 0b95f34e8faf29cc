#pragma once

#include "FuzzSupport.h"
#include "Workbook.h"

#include <algorithm>

namespace fuzz {

// Opens the bytes as a workbook file and reads every sheet the way the import views do:
// names, used range, and the cells of its top-left corner.
inline void readWorkbook(const QString& fileName, const uint8_t* data, size_t size)
{
    const QString path = writeScratchFile(fileName, bytes(data, size));
    Workbook book;
    if (!book.open(path)) {
        book.errorDescription();
        return;
    }
    book.sheetNames();
    for (int s = 0; s < book.sheetCount(); ++s) {
        const Worksheet& sheet = book.sheet(s);
        const UsedRange& used = sheet.usedRange();
        const int rows = std::min(used.rowCount, 64);
        const int columns = std::min(used.columnCount, 64);
        for (int r = 1; r <= rows; ++r) {
            for (int c = 1; c <= columns; ++c)
                sheet.Cells(r, c).text.size();
        }
        sheet.cellAt(used.lastRow(), used.lastColumn());
    }
}

} // namespace fuzz
