#pragma once

#include <QWidget>
#include <memory>

class QTabBar;
class QTableView;
class Workbook;
class Worksheet;
class WorkbookSheetModel;

// A workbook shown read-only, as a spreadsheet program shows it: sheet tabs in workbook order
// with the active sheet in front, column letters and row numbers, every cell at its true place.
// The mouse selects rectangles; Ctrl adds further areas. The cells are drawn by a model, so
// sheets of 100,000 rows open and scroll without a widget per cell.
class WorkbookView final : public QWidget
{
    Q_OBJECT
public:
    // The failure of a copy while the selection has several separate areas.
    static constexpr int kMultipleAreas = 1004;

    explicit WorkbookView(QWidget* parent = nullptr);
    ~WorkbookView() override;

    // Shows the workbook; false with errorNumber()/errorDescription() when the reader refused it
    // (the view then stays empty).
    bool Open(const QString& path);
    // Closes the document; the view is empty afterwards.
    void Close();
    bool isOpen() const;
    int errorNumber() const { return m_errorNumber; }
    QString errorDescription() const { return m_errorDescription; }

    // The document shown, nullptr while none is open.
    const Workbook* document() const { return m_book.get(); }
    // The sheet in front (0-based) and its name; -1 and "" while no document is open.
    int activeSheet() const;
    QString activeSheetName() const;
    void setActiveSheet(int index);

    // Selects a rectangle given in A1 terms (1-based rows and columns, inclusive); with add the
    // earlier areas stay, as with Ctrl and the mouse.
    void selectArea(int firstRow, int firstColumn, int lastRow, int lastColumn, bool add = false);
    // The current selection as text, the cells of a row separated by TAB, each row ended by
    // CR LF. False, with failure kMultipleAreas, when its cells form no single rectangle.
    bool selectionText(QString& text);
    // The same text put on the system clipboard, replacing what it held.
    bool CopySelection();

    // "A" for 1, "Z" for 26, "AA" for 27, as column headers read.
    static QString columnLetters(int column);

Q_SIGNALS:
    void activeSheetChanged(int index);

private:
    void showSheet(int index);
    void fail(int number, const QString& description);

    std::unique_ptr<Workbook> m_book;
    WorkbookSheetModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QTabBar* m_tabs = nullptr;
    int m_errorNumber = 0;
    QString m_errorDescription;
};
