// The BIFF (.xls) side of the workbook reader, through FreeXL.

#include "FreeXlHandle.h"
#include "WorkbookLoader.h"
#include "XlsCheck.h"

#include <QFile>
#include <freexl.h>

namespace {

using Kind = CellValue::Kind;

// An encrypted OOXML workbook is a compound document like a .xls, but its only content is an
// encrypted package stream. The stream's name stands in the document's directory in UTF-16.
bool holdsEncryptedPackage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray name = QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    QByteArray tail;
    while (!file.atEnd()) {
        const QByteArray chunk = tail + file.read(1 << 20);
        if (chunk.contains(name))
            return true;
        tail = chunk.right(name.size());
    }
    return false;
}

double serialOf(const QDate& date, const QTime& time, bool date1904)
{
    const QDate base = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    double days = date.isValid() ? double(base.daysTo(date)) : 0;
    // Serials below 61 count one day less in the 1900 system (its 29 February 1900).
    if (!date1904 && date.isValid() && days > 0 && days < 61)
        days -= 1;
    return days + time.msecsSinceStartOfDay() / 86400000.0;
}

} // namespace

void ReadXlsWorkbook(const QString& path, WorkbookLoader& loader)
{
    const QString encrypted =
        QStringLiteral("工作簿“%1”设有打开密码（已加密），无法读取。请在Excel中取消密码后再导入。").arg(loader.fileName());
    int activeSheet = 0;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const XlsVerdict verdict = CheckXlsFile(file.readAll(), &activeSheet);
        file.close();
        if (verdict == XlsVerdict::Encrypted) {
            loader.fail(Workbook::Encrypted, encrypted);
            return;
        }
        if (verdict == XlsVerdict::TextUnreadable) {
            loader.fail(Workbook::SheetUnreadable,
                        QStringLiteral("工作簿“%1”中有单元格的文字过长或含有无效字符，无法读取。").arg(loader.fileName()));
            return;
        }
        if (verdict == XlsVerdict::Damaged) {
            loader.fail(Workbook::Damaged, QStringLiteral("工作簿文件“%1”已损坏或不完整。").arg(loader.fileName()));
            return;
        }
    }

    const FreeXlHandle xls(path);
    const int opened = xls.result();
    if (opened != FREEXL_OK) {
        if (holdsEncryptedPackage(path))
            loader.fail(Workbook::Encrypted, encrypted);
        else if (opened == FREEXL_FILE_NOT_FOUND)
            loader.fail(Workbook::FileUnreadable, QStringLiteral("无法读取文件“%1”。").arg(path));
        else if (opened == FREEXL_INSUFFICIENT_MEMORY)
            loader.fail(Workbook::TooLarge, QStringLiteral("工作簿“%1”太大，无法读取。").arg(loader.fileName()));
        else if (opened == FREEXL_BIFF_WORKBOOK_NOT_FOUND || opened == FREEXL_INVALID_CFBF_HEADER)
            loader.fail(Workbook::NotAWorkbook, QStringLiteral("文件“%1”不是Excel工作簿。").arg(loader.fileName()));
        else
            loader.fail(
                Workbook::Damaged,
                QStringLiteral("工作簿文件“%1”已损坏或不完整（FreeXL %2）。").arg(loader.fileName()).arg(opened));
        return;
    }

    // FreeXL 1.0.6 answers a record it cannot parse with FREEXL_OK and no handle.
    const void* handle = xls.get();
    if (!handle) {
        loader.fail(Workbook::Damaged, QStringLiteral("工作簿文件“%1”已损坏或不完整（FreeXL）。").arg(loader.fileName()));
        return;
    }

    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
        loader.fail(Workbook::Encrypted, encrypted);
        return;
    }
    if (freexl_get_info(handle, FREEXL_BIFF_DATEMODE, &info) == FREEXL_OK)
        loader.setDate1904(info == FREEXL_BIFF_DATEMODE_1904);
    unsigned int sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0) {
        loader.fail(Workbook::NotAWorkbook, QStringLiteral("工作簿“%1”中没有工作表。").arg(loader.fileName()));
        return;
    }

    for (unsigned short index = 0; index < sheets; ++index) {
        const char* utf8 = nullptr;
        if (freexl_get_worksheet_name(handle, index, &utf8) != FREEXL_OK)
            utf8 = nullptr;
        const QString name = utf8 ? QString::fromUtf8(utf8) : QStringLiteral("Sheet%1").arg(index + 1);
        if (!loader.addSheet(name))
            return;
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle, index) != FREEXL_OK ||
            freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
            loader.fail(Workbook::SheetUnreadable, QStringLiteral("工作表“%1”无法读取。").arg(name));
            return;
        }
        // The dimensions count from A1; the used range is found from the cells below.
        for (unsigned int row = 0; row < rows; ++row) {
            for (unsigned short column = 0; column < columns; ++column) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(handle, row, column, &value) != FREEXL_OK) {
                    loader.fail(Workbook::SheetUnreadable, QStringLiteral("工作表“%1”无法读取。").arg(name));
                    return;
                }
                StoredCell cell;
                cell.row = row + 1;
                cell.column = column + 1u;
                switch (value.type) {
                case FREEXL_CELL_INT:
                    cell.kind = Kind::Number;
                    cell.number = value.value.int_value;
                    break;
                case FREEXL_CELL_DOUBLE:
                    cell.kind = Kind::Number;
                    cell.number = value.value.double_value;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT: {
                    const QString text = QString::fromUtf8(value.value.text_value);
                    if (text.isEmpty())
                        continue;
                    cell.kind = Kind::Text;
                    cell.textIndex = loader.addText(text);
                    if (cell.textIndex < 0)
                        return;
                    break;
                }
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME: {
                    // FreeXL hands dates over as text: "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS".
                    const QString text = QString::fromLatin1(value.value.text_value);
                    QDate date;
                    QTime time(0, 0);
                    if (value.type == FREEXL_CELL_TIME) {
                        time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
                    } else {
                        date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
                        if (value.type == FREEXL_CELL_DATETIME)
                            time = QTime::fromString(text.mid(11, 8), QStringLiteral("HH:mm:ss"));
                    }
                    if ((value.type != FREEXL_CELL_TIME && !date.isValid()) || !time.isValid())
                        continue;
                    cell.kind = Kind::Date;
                    cell.number = serialOf(date, time, loader.date1904());
                    break;
                }
                default:
                    continue;
                }
                if (!loader.addCell(cell))
                    return;
            }
        }
        loader.finishSheet();
    }
    loader.setActiveSheet(activeSheet);
}
