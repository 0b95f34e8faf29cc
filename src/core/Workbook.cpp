#include "Workbook.h"

#include "WorkbookLoader.h"
#include "XlsFormat.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

bool hasPrefix(const QByteArray& head, const char* magic, int length)
{
    return head.size() >= length && memcmp(head.constData(), magic, size_t(length)) == 0;
}

} // namespace

// ---- value texts ----

QString WorkbookNumberText(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    // Phone numbers are stored as numbers: 13900139000 must read as typed, not as 1.39E+10.
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    QString text = QString::number(value, 'g', 15);
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    return text;
}

bool WorkbookIsDateSerial(double serial)
{
    // 2958466 is 10000-01-01 in the 1900 system, past the last date a sheet can hold.
    return std::isfinite(serial) && serial >= 0 && serial < 2958466;
}

namespace {

// The date and time of a valid serial. Kept apart from QDateTime: a local QDateTime asks the
// C library for the time zone every time, which a sheet of 100,000 dates would feel.
void serialParts(double serial, bool date1904, QDate& date, QTime& time)
{
    // Office suites store 23:59:00 as 31412.99930555555; cutting the fraction would read 23:58:59.
    const qint64 seconds = std::llround(serial * 86400.0);
    const qint64 days = seconds / 86400;
    QDate base;
    if (date1904)
        base = QDate(1904, 1, 1);
    else if (days == 0 || days >= 60)
        base = QDate(1899, 12, 30); // the 1900 system counts a 29 February 1900 that never was
    else
        base = QDate(1899, 12, 31);
    date = base.addDays(days);
    time = QTime(0, 0).addSecs(int(seconds % 86400));
}

QString dateText(const QDate& date, const QTime& time)
{
    QString text = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (time != QTime(0, 0))
        text += QLatin1Char(' ') + time.toString(QStringLiteral("hh:mm:ss"));
    return text;
}

} // namespace

QDateTime WorkbookSerialToDate(double serial, bool date1904)
{
    if (!WorkbookIsDateSerial(serial))
        return {};
    QDate date;
    QTime time;
    serialParts(serial, date1904, date, time);
    return QDateTime(date, time, Qt::LocalTime);
}

QString WorkbookDateText(const QDateTime& date)
{
    return dateText(date.date(), date.time());
}

bool WorkbookIsDateFormat(int numFmtId, const QString& formatCode)
{
    if ((numFmtId >= 14 && numFmtId <= 22) || (numFmtId >= 45 && numFmtId <= 47))
        return true;
    if (formatCode.isEmpty())
        // The East Asian built-in date formats, which Chinese editions write without a code.
        return (numFmtId >= 27 && numFmtId <= 36) || (numFmtId >= 50 && numFmtId <= 58);
    bool inQuotes = false;
    for (int i = 0; i < formatCode.size(); ++i) {
        const QChar ch = formatCode.at(i);
        if (inQuotes) {
            inQuotes = ch != QLatin1Char('"');
            continue;
        }
        switch (ch.unicode()) {
        case '"':
            inQuotes = true;
            break;
        case '[': {
            // Colours, conditions and locales; an elapsed-time part [h] [m] [s] is still a time.
            const int close = formatCode.indexOf(QLatin1Char(']'), i);
            if (close < 0)
                return false;
            const QString inner = formatCode.mid(i + 1, close - i - 1).toLower();
            if (!inner.isEmpty() && inner.count(inner.at(0)) == inner.size() &&
                QStringLiteral("hms").contains(inner.at(0)))
                return true;
            i = close;
            break;
        }
        case '\\':
        case '_':
        case '*':
            ++i; // the next character is literal, a width or a fill
            break;
        default:
            if (QStringLiteral("ymdhsYMDHS").contains(ch))
                return true;
        }
    }
    return false;
}

// ---- worksheet ----

const StoredCell* Worksheet::find(int row, int column) const
{
    if (row < 1 || column < 1)
        return nullptr;
    const auto key = std::make_pair(quint32(row), quint32(column));
    const auto it = std::lower_bound(m_cells.cbegin(), m_cells.cend(), key, [](const StoredCell& cell, const auto& k) {
        return std::make_pair(cell.row, cell.column) < k;
    });
    if (it == m_cells.cend() || it->row != key.first || it->column != key.second)
        return nullptr;
    return &*it;
}

QString Worksheet::textOf(const StoredCell& cell) const
{
    switch (cell.kind) {
    case CellValue::Kind::Text:
    case CellValue::Kind::Error:
        return m_texts->at(cell.textIndex);
    case CellValue::Kind::Number:
        return WorkbookNumberText(cell.number);
    case CellValue::Kind::Boolean:
        return cell.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellValue::Kind::Date: {
        QDate date;
        QTime time;
        serialParts(cell.number, m_date1904, date, time);
        return dateText(date, time);
    }
    case CellValue::Kind::Empty:
        break;
    }
    return QString();
}

CellValue Worksheet::valueOf(const StoredCell& cell) const
{
    CellValue value;
    value.kind = cell.kind;
    value.number = cell.number;
    value.text = textOf(cell);
    if (cell.kind == CellValue::Kind::Date)
        value.date = WorkbookSerialToDate(cell.number, m_date1904);
    return value;
}

CellValue Worksheet::cellAt(int row, int column) const
{
    const StoredCell* cell = find(row, column);
    return cell ? valueOf(*cell) : CellValue();
}

bool Worksheet::forEachCell(const std::function<bool(int row, int column, const CellValue& value)>& visit) const
{
    for (const StoredCell& cell : m_cells) {
        if (!visit(int(cell.row), int(cell.column), valueOf(cell)))
            return false;
    }
    return true;
}

QString Worksheet::textAt(int row, int column) const
{
    const StoredCell* cell = find(row, column);
    return cell ? textOf(*cell) : QString();
}

CellValue::Kind Worksheet::kindAt(int row, int column) const
{
    const StoredCell* cell = find(row, column);
    return cell ? cell->kind : CellValue::Kind::Empty;
}

CellValue Worksheet::Cells(int row, int column) const
{
    if (row < 1 || column < 1 || row > m_used.rowCount || column > m_used.columnCount)
        return {};
    return cellAt(m_used.firstRow + row - 1, m_used.firstColumn + column - 1);
}

QString Worksheet::Text(int row, int column) const
{
    if (row < 1 || column < 1 || row > m_used.rowCount || column > m_used.columnCount)
        return {};
    return textAt(m_used.firstRow + row - 1, m_used.firstColumn + column - 1);
}

void Worksheet::finish()
{
    // Writers keep rows in order; sort only when one did not. A later duplicate of a position
    // wins, as it would when the file is read cell after cell.
    const auto before = [](const StoredCell& a, const StoredCell& b) {
        return std::make_pair(a.row, a.column) < std::make_pair(b.row, b.column);
    };
    if (!std::is_sorted(m_cells.begin(), m_cells.end(), before))
        std::stable_sort(m_cells.begin(), m_cells.end(), before);
    size_t kept = 0;
    for (size_t i = 0; i < m_cells.size(); ++i) {
        const StoredCell& cell = m_cells[i];
        if (kept > 0 && m_cells[kept - 1].row == cell.row && m_cells[kept - 1].column == cell.column)
            m_cells[kept - 1] = cell;
        else
            m_cells[kept++] = cell;
    }
    m_cells.resize(kept);
    m_cells.erase(std::remove_if(m_cells.begin(), m_cells.end(),
                                 [](const StoredCell& cell) { return cell.kind == CellValue::Kind::Empty; }),
                  m_cells.end());
    if (m_cells.capacity() > m_cells.size() + m_cells.size() / 4)
        m_cells.shrink_to_fit();

    // The used range comes from the cells: some writers store empty leading rows, and the
    // dimensions a file claims may start at A1 whatever it holds.
    m_used = UsedRange();
    if (m_cells.empty())
        return;
    quint32 minColumn = m_cells.front().column;
    quint32 maxColumn = minColumn;
    for (const StoredCell& cell : m_cells) {
        minColumn = std::min(minColumn, cell.column);
        maxColumn = std::max(maxColumn, cell.column);
    }
    m_used.firstRow = int(m_cells.front().row);
    m_used.rowCount = int(m_cells.back().row - m_cells.front().row + 1);
    m_used.firstColumn = int(minColumn);
    m_used.columnCount = int(maxColumn - minColumn + 1);
}

// ---- loader ----

WorkbookLoader::WorkbookLoader(Workbook& book) : m_book(book) {}

void WorkbookLoader::fail(int number, const QString& description)
{
    if (ok())
        m_book.fail(number, description);
}

QString WorkbookLoader::fileName() const
{
    return QFileInfo(m_book.m_path).fileName();
}

bool WorkbookLoader::addSheet(const QString& name)
{
    if (m_book.m_sheets.size() >= limits().sheets) {
        fail(Workbook::TooLarge,
             QStringLiteral("工作簿“%1”的工作表超过%2个，无法读取。").arg(fileName()).arg(limits().sheets));
        return false;
    }
    Worksheet sheet;
    sheet.m_name = name;
    sheet.m_texts = m_book.m_texts;
    sheet.m_date1904 = m_date1904;
    m_book.m_sheets.append(sheet);
    return true;
}

int WorkbookLoader::addText(const QString& text)
{
    m_textChars += text.size();
    if (m_textChars > limits().textChars) {
        fail(Workbook::TooLarge,
             QStringLiteral("工作簿“%1”的文字超过%2个字符，无法读取。").arg(fileName()).arg(limits().textChars));
        return -1;
    }
    m_book.m_texts->append(text);
    return int(m_book.m_texts->size()) - 1;
}

bool WorkbookLoader::addCell(const StoredCell& cell)
{
    if (++m_cells > limits().cells) {
        fail(Workbook::TooLarge,
             QStringLiteral("工作簿“%1”的单元格超过%2个，无法读取。").arg(fileName()).arg(limits().cells));
        return false;
    }
    m_book.m_sheets.last().m_cells.push_back(cell);
    return true;
}

void WorkbookLoader::expectCells(qint64 cells)
{
    const qint64 room = std::min(cells, limits().cells - m_cells);
    if (room > 0 && !m_book.m_sheets.isEmpty())
        m_book.m_sheets.last().m_cells.reserve(size_t(room));
}

void WorkbookLoader::finishSheet()
{
    if (!m_book.m_sheets.isEmpty())
        m_book.m_sheets.last().finish();
}

void WorkbookLoader::finish()
{
    for (Worksheet& sheet : m_book.m_sheets)
        sheet.m_date1904 = m_date1904;
    if (m_book.m_activeSheet < 0 || m_book.m_activeSheet >= m_book.m_sheets.size())
        m_book.m_activeSheet = 0;
}

// ---- workbook ----

Workbook::Workbook() = default;
Workbook::~Workbook() = default;

void Workbook::fail(int number, const QString& description)
{
    m_errorNumber = number;
    m_errorDescription = description;
}

bool Workbook::open(const QString& path)
{
    close();
    m_path = path;
    m_errorNumber = NoError;
    m_errorDescription.clear();
    m_texts = std::make_shared<QStringList>();
    const QString name = QFileInfo(path).fileName();

    const QFileInfo info(path);
    if (!info.exists()) {
        fail(FileNotFound, QStringLiteral("文件“%1”不存在。").arg(path));
        return false;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        fail(FileUnreadable, QStringLiteral("无法读取文件“%1”。").arg(path));
        return false;
    }
    const QByteArray head = file.read(8);
    file.close();

    // The content decides, not the name: a .xls that holds OOXML still opens, and the reverse.
    WorkbookLoader loader(*this);
    if (hasPrefix(head, "PK\x03\x04", 4) || hasPrefix(head, "PK\x05\x06", 4))
        ReadXlsxWorkbook(path, loader);
    else if (hasPrefix(head, xls::kCompoundSignature, xls::kCompoundSignatureSize))
        ReadXlsWorkbook(path, loader);
    else
        fail(NotAWorkbook, QStringLiteral("文件“%1”不是Excel工作簿。").arg(name));

    if (m_errorNumber != NoError) {
        m_sheets.clear();
        m_texts.reset();
        return false;
    }
    loader.finish();
    m_open = true;
    return true;
}

void Workbook::close()
{
    m_open = false;
    m_sheets.clear();
    m_texts.reset();
    m_activeSheet = 0;
}

QStringList Workbook::sheetNames() const
{
    QStringList names;
    for (const Worksheet& sheet : m_sheets)
        names.append(sheet.Name());
    return names;
}
