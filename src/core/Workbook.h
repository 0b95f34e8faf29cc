#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

// One cell's value as a user of the sheet reads it.
struct CellValue
{
    enum class Kind : quint8
    {
        Empty,
        Text,
        Number,
        Boolean,
        Date,
        Error
    };
    Kind kind = Kind::Empty;
    // The value as text: whole numbers of up to 15 digits without decimals or exponent, other
    // numbers with up to 15 significant digits, dates "yyyy-mm-dd" (" hh:mm:ss" with a time
    // part), booleans "TRUE"/"FALSE", errors as written ("#N/A").
    QString text;
    double number = 0; // Number, Date (the serial), Boolean (0 or 1)
    QDateTime date;    // Date only, local time, rounded to the second

    bool isEmpty() const { return kind == Kind::Empty; }
};

// The smallest rectangle holding every non-empty cell of a sheet. firstRow/firstColumn count
// from 1 as A1 does; an empty sheet has no rows and no columns and starts at A1.
struct UsedRange
{
    int firstRow = 1;
    int firstColumn = 1;
    int rowCount = 0;
    int columnCount = 0;

    int lastRow() const { return firstRow + rowCount - 1; }
    int lastColumn() const { return firstColumn + columnCount - 1; }
    bool isEmpty() const { return rowCount == 0; }
};

// One stored cell of a sheet; the readers fill these, the sheet answers from them.
struct StoredCell
{
    quint32 row = 0;    // 1-based, A1 terms
    quint32 column = 0; // 1-based, A1 terms
    double number = 0;  // Number, Date serial, Boolean
    int textIndex = -1; // Text, Error: index into the workbook's text pool
    CellValue::Kind kind = CellValue::Kind::Empty;
};

class Worksheet
{
public:
    QString Name() const { return m_name; }
    const UsedRange& usedRange() const { return m_used; }
    // Counted from 1 at the used range's top-left cell; outside the range a cell is empty.
    CellValue Cells(int row, int column) const;
    // Counted from 1 at A1.
    CellValue cellAt(int row, int column) const;
    // Only the text of Cells() and cellAt(): what the view and a copied selection show, without
    // building the rest of the value.
    QString Text(int row, int column) const;
    QString textAt(int row, int column) const;
    CellValue::Kind kindAt(int row, int column) const;
    int storedCellCount() const { return int(m_cells.size()); }
    // Each non-empty cell by row and then column, counted from 1 at A1, without looking every
    // empty cell of the used range up. The walk stops when visit returns false; false then.
    bool forEachCell(const std::function<bool(int row, int column, const CellValue& value)>& visit) const;

private:
    friend class WorkbookLoader;
    // Sorts the cells, drops the empty ones and finds the used range from what is left.
    void finish();
    const StoredCell* find(int row, int column) const;
    QString textOf(const StoredCell& cell) const;
    CellValue valueOf(const StoredCell& cell) const;

    QString m_name;
    UsedRange m_used;
    std::vector<StoredCell> m_cells;            // ordered by row, then column
    std::shared_ptr<const QStringList> m_texts; // the workbook's text pool
    bool m_date1904 = false;
};

// Reads a .xls (BIFF5/BIFF8) or .xlsx workbook, chosen by the file's content, completely at open.
// Nothing here shows UI: a failure leaves a number and a Chinese description.
class Workbook
{
public:
    // Failure numbers. 53 and 75 are the old run-time errors for a missing file and a file
    // that cannot be read; the others belong to the reader.
    enum Error
    {
        NoError = 0,
        FileNotFound = 53,
        FileUnreadable = 75,
        NotAWorkbook = 1010,
        Damaged = 1011,
        Encrypted = 1012,
        SheetUnreadable = 1013,
        TooLarge = 1014
    };

    // The largest sheet a spreadsheet program makes: XFD1048576. A cell beyond it is refused.
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;

    // Limits that keep a hostile or broken file from exhausting memory or time.
    struct Limits
    {
        qint64 partBytes = 256LL * 1024 * 1024;  // one unpacked XML part, counted while unpacking
        qint64 totalBytes = 512LL * 1024 * 1024; // all unpacked parts together
        qint64 textRun = 4LL * 1024 * 1024;      // bytes of XML between two tags
        qint64 cells = 5000000;                  // non-empty cells of all sheets
        qint64 textChars = 64LL * 1024 * 1024;   // characters of all texts
        int sheets = 1024;
    };
    void setLimits(const Limits& limits) { m_limits = limits; }
    const Limits& limits() const { return m_limits; }

    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Reads the whole workbook; false with errorNumber()/errorDescription() on failure.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }

    int errorNumber() const { return m_errorNumber; }
    QString errorDescription() const { return m_errorDescription; }

    int sheetCount() const { return int(m_sheets.size()); }
    QStringList sheetNames() const;
    // 0-based index of the sheet in front when the workbook was saved.
    int activeSheet() const { return m_activeSheet; }
    const Worksheet& sheet(int index) const { return m_sheets.at(index); }

private:
    friend class WorkbookLoader;
    void fail(int number, const QString& description);

    QString m_path;
    bool m_open = false;
    int m_errorNumber = NoError;
    QString m_errorDescription;
    QVector<Worksheet> m_sheets;
    int m_activeSheet = 0;
    std::shared_ptr<QStringList> m_texts;
    Limits m_limits;
};

// Text of a number as the sheet's user reads it (see CellValue::text).
QString WorkbookNumberText(double value);
// A date serial (1900 or 1904 system) as local date and time, rounded to the second; invalid
// for serials that name no date.
QDateTime WorkbookSerialToDate(double serial, bool date1904);
// Whether a serial names a date a sheet can hold (0 up to the end of 9999).
bool WorkbookIsDateSerial(double serial);
// "yyyy-mm-dd", with " hh:mm:ss" when there is a time of day.
QString WorkbookDateText(const QDateTime& date);
// Whether a number format shows a date or time: built-in ids 14-22 and 45-47, and custom
// formats with date or time letters outside quotes and brackets.
bool WorkbookIsDateFormat(int numFmtId, const QString& formatCode);
