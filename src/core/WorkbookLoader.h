#pragma once

#include "Workbook.h"

// What the two file-format readers use to fill a Workbook, with the limits counted on the way.
class WorkbookLoader
{
public:
    explicit WorkbookLoader(Workbook& book);

    // False once a failure has been recorded; the readers stop at the first one.
    bool ok() const { return m_book.m_errorNumber == Workbook::NoError; }
    void fail(int number, const QString& description);
    QString fileName() const;
    const Workbook::Limits& limits() const { return m_book.m_limits; }

    void setDate1904(bool on) { m_date1904 = on; }
    bool date1904() const { return m_date1904; }
    void setActiveSheet(int index) { m_book.m_activeSheet = index; }
    // Adds a sheet (false, with TooLarge recorded, beyond the sheet limit).
    bool addSheet(const QString& name);
    int sheetCount() const { return int(m_book.m_sheets.size()); }
    // Appends a text to the pool and returns its index; -1 (TooLarge recorded) past the limit.
    int addText(const QString& text);
    int textCount() const { return int(m_book.m_texts->size()); }
    const QString& text(int index) const { return m_book.m_texts->at(index); }
    // Adds a cell to the last sheet; false (TooLarge recorded) past the cell limit.
    bool addCell(const StoredCell& cell);
    // Room for about this many cells in the last sheet, so a large sheet is not copied as it grows.
    void expectCells(qint64 cells);
    // Sorts the last sheet and finds its used range.
    void finishSheet();
    void finish();

private:
    Workbook& m_book;
    bool m_date1904 = false;
    qint64 m_cells = 0;
    qint64 m_textChars = 0;
};

// The readers; each records its failure through the loader.
void ReadXlsxWorkbook(const QString& path, WorkbookLoader& loader);
void ReadXlsWorkbook(const QString& path, WorkbookLoader& loader);
