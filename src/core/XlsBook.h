#pragma once

#include "XlsFormat.h"

#include <QString>
#include <memory>
#include <vector>

class QIODevice;

// An Excel 97-2003 workbook held in memory: named sheets with text and number cells. It is
// read from an .xls file and written as one (BIFF8 records in a compound document), so a
// workbook can be opened, filled and saved whole. Rows and columns count from 0 (A1 is 0, 0).
//
// Everything the .xls format cannot hold is refused with a clear error instead of giving a
// file that Excel would reject: more than 65,536 rows or 256 columns, more than 32,767
// characters in a cell, a sheet name Excel does not allow.
class XlsBook final
{
public:
    static constexpr int kMaxRows = xls::kMaxRows;
    static constexpr int kMaxColumns = xls::kMaxColumns;
    static constexpr int kMaxCellChars = 32767;
    static constexpr int kMaxSheetNameChars = 31;

    enum class CellType
    {
        Empty,
        Text,
        Number
    };
    struct Cell
    {
        int row;
        int column;
        CellType type;
        QString text;
        double number;
    };

    XlsBook();
    ~XlsBook();

    // Appends a sheet; its index, or -1 with error() when the name is not allowed (empty,
    // longer than 31 characters, holding one of : \ / ? * [ ], starting or ending with an
    // apostrophe, or the name of another sheet, compared without regard to case).
    int addSheet(const QString& name);
    int sheetCount() const;
    QString sheetName(int sheet) const;
    // The index of the sheet of that name (case ignored, as Excel compares them), or -1.
    int findSheet(const QString& name) const;

    // False with error() outside the format's limits. An empty text leaves the cell empty,
    // removing what it held. A later value of a cell replaces the earlier one.
    bool setText(int sheet, int row, int column, const QString& text);
    bool setNumber(int sheet, int row, int column, double value);

    // Room for that many more cells of a sheet, so that a long run of them fills faster.
    void reserve(int sheet, int cells);

    // The cells holding a value, by row and then column.
    std::vector<Cell> cells(int sheet) const;

    // Writes the whole workbook. The file is written under a temporary name and takes its
    // name only when complete, so a failure leaves any earlier file of that name as it was.
    bool save(const QString& path);
    bool write(QIODevice& device);

    // Reads every sheet, in workbook order, with its text and number cells, through the
    // program's workbook reader (Workbook); date, time, boolean and error cells come as the
    // text that reader gives them. False with error() when the reader refuses the file or a
    // sheet does not fit the limits above; the book is then empty.
    bool load(const QString& path);

    QString error() const { return m_error; }

private:
    struct Entry
    {
        quint32 key; // row << 8 | column
        CellType type;
        union {
            quint32 sst;
            double number;
        };
    };
    struct Sheet
    {
        QString name;
        std::vector<Entry> entries;
        bool sorted = true;
    };

    bool fail(const QString& message);
    bool checkCell(int sheet, int row, int column);
    void put(int sheet, const Entry& entry);
    // The entries of a sheet in row/column order, one per cell, empty ones dropped.
    void settle(Sheet& sheet) const;
    QByteArray sheetStream(const Sheet& sheet, bool first, quint32& textCells) const;
    QByteArray globalsStream(const std::vector<quint32>& sheetSizes, quint32 textCells) const;

    class StringTable;

    std::vector<Sheet> m_sheets;
    std::unique_ptr<StringTable> m_strings;
    QString m_error;
};
