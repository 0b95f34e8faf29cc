#pragma once

#include "Workbook.h"

#include <QString>
#include <QVector>
#include <functional>

// Where an import reads its rows: a worksheet, a table of another database.
class ImportSource
{
public:
    virtual ~ImportSource() = default;
    // Moves to the next row (the first one on the first call); false after the last.
    virtual bool fetch() = 0;
    // The current row's cell in a column counted from 1; column 0 (none chosen) is an empty cell.
    virtual CellValue cell(int column) const = 0;
};

// Where an import writes the rows whose number is valid: [DraftBox], [ContactList].
class ImportTarget
{
public:
    virtual ~ImportTarget() = default;
    // Stores one row: its normalised number and the cells of the value columns, in the order
    // the columns were given. True when the number was stored already. Throws what the
    // database throws.
    virtual bool store(const QString& number, const QVector<CellValue>& values) = 0;
    // Commits when the rows stored since the last commit have waited long enough; true when it did.
    virtual bool commitIfDue() = 0;
    virtual void commit() = 0;
};

// The columns an import reads, each counted from 1 as the wizards' lists count them after
// their entry "无"; 0 takes none.
struct ImportColumns
{
    int number = 0;
    QVector<int> values;
    // Removed from the number's text wherever it stands, before the number check.
    QString dropFromNumber;
};

struct ImportCounts
{
    int read = 0;          // every row read
    int stored = 0;        // rows with a valid number
    int repeats = 0;       // of these, the ones whose number was stored already
    int rejected = 0;      // rows whose number is not valid
    bool finished = false; // the source ran out; false when the import was stopped
};

// The loop every import runs: reads the source row by row, checks and normalises each number
// (IsMobileNumber), hands the valid rows to the target and counts. Between two rows the window
// gets its turn (progress, and input such as the stop button); with Pace::AfterCommit only when
// the target has just committed, so that a stop or a failure after it keeps every row before.
class ImportLoop final
{
public:
    enum class Pace
    {
        AfterCommit,
        EveryRow
    };

    ImportLoop(ImportSource& source, ImportTarget& target, ImportColumns columns);

    void setPace(Pace pace);
    // Asked for every row once it is read; true ends the import before that row.
    void setStop(std::function<bool()> stop);
    // The window's turn, with the counts so far.
    void setYield(std::function<void(const ImportCounts&)> yield);

    // Runs to the end of the source or to a stop and commits. Counts into counts as it goes,
    // so that they hold what was done also when a failure of the source or the target ends the
    // import: it commits the rows stored before the failure and leaves by its exception.
    void run(ImportCounts& counts);

private:
    void handleRow(ImportCounts& counts);

    ImportSource& m_source;
    ImportTarget& m_target;
    ImportColumns m_columns;
    QVector<CellValue> m_values; // the current row's value cells
    Pace m_pace = Pace::AfterCommit;
    std::function<bool()> m_stop;
    std::function<void(const ImportCounts&)> m_yield;
};
