#include "WorkbookView.h"

#include "Workbook.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

// One sheet as a table: row r, column c of the model is the cell in row r+1, column c+1 of
// the sheet. A few empty rows and columns beyond the used range make it look like a sheet.
class WorkbookSheetModel final : public QAbstractTableModel
{
public:
    static constexpr int kMinRows = 100;
    static constexpr int kMinColumns = 26;

    using QAbstractTableModel::QAbstractTableModel;

    void setSheet(const Worksheet* sheet)
    {
        beginResetModel();
        m_sheet = sheet;
        m_rows = 0;
        m_columns = 0;
        if (sheet) {
            const UsedRange& used = sheet->usedRange();
            m_rows = std::max(used.isEmpty() ? 0 : used.lastRow(), kMinRows);
            m_columns = std::max(used.isEmpty() ? 0 : used.lastColumn(), kMinColumns);
        }
        endResetModel();
    }
    const Worksheet* sheet() const { return m_sheet; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_columns;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!m_sheet || !index.isValid())
            return {};
        if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole)
            return {};
        if (role == Qt::DisplayRole)
            return m_sheet->textAt(index.row() + 1, index.column() + 1);
        // Numbers and dates stand to the right, truth values and errors in the middle, as in a sheet.
        switch (m_sheet->kindAt(index.row() + 1, index.column() + 1)) {
        case CellValue::Kind::Number:
        case CellValue::Kind::Date:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case CellValue::Kind::Boolean:
        case CellValue::Kind::Error:
            return int(Qt::AlignHCenter | Qt::AlignVCenter);
        default:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return orientation == Qt::Horizontal ? WorkbookView::columnLetters(section + 1) : QString::number(section + 1);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    const Worksheet* m_sheet = nullptr;
    int m_rows = 0;
    int m_columns = 0;
};

namespace {

struct Area
{
    int top, left, bottom, right; // model rows and columns, inclusive
};

// Whether the areas together cover exactly their bounding rectangle. The rows are walked in
// bands between area edges, so a tall selection costs no more than a short one.
bool formsOneRectangle(const QVector<Area>& areas, Area& bounds)
{
    bounds = areas.first();
    for (const Area& a : areas) {
        bounds.top = std::min(bounds.top, a.top);
        bounds.left = std::min(bounds.left, a.left);
        bounds.bottom = std::max(bounds.bottom, a.bottom);
        bounds.right = std::max(bounds.right, a.right);
    }
    if (areas.size() == 1)
        return true;
    QVector<int> edges;
    for (const Area& a : areas) {
        edges.append(a.top);
        edges.append(a.bottom + 1);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    for (int e = 0; e + 1 < edges.size(); ++e) {
        const int row = edges.at(e);
        QVector<QPair<int, int>> spans;
        for (const Area& a : areas)
            if (a.top <= row && row <= a.bottom)
                spans.append({a.left, a.right});
        std::sort(spans.begin(), spans.end());
        int reach = bounds.left - 1;
        for (const auto& span : qAsConst(spans)) {
            if (span.first > reach + 1)
                return false;
            reach = std::max(reach, span.second);
        }
        if (reach < bounds.right)
            return false;
    }
    return true;
}

} // namespace

WorkbookView::WorkbookView(QWidget* parent) : QWidget(parent)
{
    m_model = new WorkbookSheetModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("sheetTable"));
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_table->setWordWrap(false);
    m_table->setCornerButtonEnabled(true);
    // Fixed row heights keep a sheet of 100,000 rows from being measured row by row.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(20);
    m_table->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_table->horizontalHeader()->setDefaultSectionSize(80);
    m_table->horizontalHeader()->setHighlightSections(true);

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("sheetTabs"));
    m_tabs->setShape(QTabBar::RoundedSouth);
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    connect(m_tabs, &QTabBar::currentChanged, this, &WorkbookView::showSheet);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_tabs, 0, Qt::AlignLeft);
}

WorkbookView::~WorkbookView()
{
    // The model points into the workbook; let it go first.
    m_model->setSheet(nullptr);
}

void WorkbookView::fail(int number, const QString& description)
{
    m_errorNumber = number;
    m_errorDescription = description;
}

bool WorkbookView::Open(const QString& path)
{
    Close();
    fail(0, QString());
    auto book = std::make_unique<Workbook>();
    if (!book->open(path)) {
        fail(book->errorNumber(), book->errorDescription());
        return false;
    }
    m_book = std::move(book);
    const QSignalBlocker blocker(m_tabs);
    for (const QString& name : m_book->sheetNames())
        m_tabs->addTab(name);
    const int active = m_book->activeSheet();
    m_tabs->setCurrentIndex(active);
    showSheet(active);
    return true;
}

void WorkbookView::Close()
{
    m_model->setSheet(nullptr);
    {
        const QSignalBlocker blocker(m_tabs);
        while (m_tabs->count() > 0)
            m_tabs->removeTab(0);
    }
    m_book.reset();
}

bool WorkbookView::isOpen() const
{
    return m_book != nullptr;
}

int WorkbookView::activeSheet() const
{
    return m_book ? m_tabs->currentIndex() : -1;
}

QString WorkbookView::activeSheetName() const
{
    return m_book ? m_book->sheet(m_tabs->currentIndex()).Name() : QString();
}

void WorkbookView::setActiveSheet(int index)
{
    if (m_book && index >= 0 && index < m_book->sheetCount())
        m_tabs->setCurrentIndex(index);
}

void WorkbookView::showSheet(int index)
{
    if (!m_book || index < 0 || index >= m_book->sheetCount())
        return;
    m_model->setSheet(&m_book->sheet(index));
    // Wide enough for what the first rows hold (a phone number, a date and time), within reason;
    // Qt measures a sample of rows, so a long sheet costs no more than a short one.
    m_table->horizontalHeader()->setResizeContentsPrecision(200);
    m_table->resizeColumnsToContents();
    for (int column = 0; column < m_model->columnCount(); ++column)
        m_table->setColumnWidth(column, std::clamp(m_table->columnWidth(column) + 8, 64, 240));
    // As in a sheet, the cell at the top-left of the used range is the active cell. The view
    // starts at A1 unless that cell lies far from it.
    const UsedRange& used = m_book->sheet(index).usedRange();
    const QModelIndex start = m_model->index(used.firstRow - 1, used.firstColumn - 1);
    m_table->selectionModel()->setCurrentIndex(start, QItemSelectionModel::ClearAndSelect);
    m_table->scrollToTop();
    m_table->horizontalScrollBar()->setValue(0);
    if (used.firstRow > 20 || used.firstColumn > 6)
        m_table->scrollTo(start, QAbstractItemView::PositionAtTop);
    Q_EMIT activeSheetChanged(index);
}

void WorkbookView::selectArea(int firstRow, int firstColumn, int lastRow, int lastColumn, bool add)
{
    const QItemSelection area(m_model->index(firstRow - 1, firstColumn - 1),
                              m_model->index(lastRow - 1, lastColumn - 1));
    m_table->selectionModel()->select(area, add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect);
}

bool WorkbookView::selectionText(QString& text)
{
    text.clear();
    const Worksheet* sheet = m_model->sheet();
    const QItemSelection selection = m_table->selectionModel()->selection();
    if (!sheet || selection.isEmpty())
        return true;
    QVector<Area> areas;
    for (const QItemSelectionRange& range : selection)
        if (range.isValid())
            areas.append({range.top(), range.left(), range.bottom(), range.right()});
    if (areas.isEmpty())
        return true;
    Area bounds;
    if (!formsOneRectangle(areas, bounds)) {
        fail(kMultipleAreas, QStringLiteral("选定区域不止一处，无法复制。"));
        return false;
    }
    for (int row = bounds.top; row <= bounds.bottom; ++row) {
        for (int column = bounds.left; column <= bounds.right; ++column) {
            if (column > bounds.left)
                text += QLatin1Char('\t');
            text += sheet->textAt(row + 1, column + 1);
        }
        text += QLatin1String("\r\n");
    }
    return true;
}

bool WorkbookView::CopySelection()
{
    QString text;
    if (!selectionText(text))
        return false;
    QApplication::clipboard()->setText(text);
    return true;
}

QString WorkbookView::columnLetters(int column)
{
    QString letters;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        letters.prepend(QChar(u'A' + digit));
        column = (column - 1) / 26;
    }
    return letters;
}
