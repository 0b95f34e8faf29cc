// The OOXML (.xlsx) side of the workbook reader: libzip for the package, QXmlStreamReader for
// the parts, fed in slices so that no part is ever held whole in memory.

#include "WorkbookLoader.h"
#include "XlsxSheetScanner.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <string>
#include <zip.h>

namespace {

using Kind = CellValue::Kind;

// The package and the running count of unpacked bytes over all its parts.
class Package
{
public:
    Package(zip_t* archive, WorkbookLoader& loader) : m_zip(archive), m_loader(loader) {}
    ~Package() { zip_discard(m_zip); }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    bool has(const QString& part) const { return locate(part) >= 0; }
    zip_int64_t locate(const QString& part) const
    {
        return zip_name_locate(m_zip, part.toUtf8().constData(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS);
    }
    zip_t* archive() const { return m_zip; }
    // The unpacked size the archive states for a part; 0 when unknown.
    qint64 statedSize(const QString& part) const
    {
        const zip_int64_t index = locate(part);
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (index < 0 || zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return 0;
        return qint64(stat.size);
    }
    WorkbookLoader& loader() const { return m_loader; }
    qint64 totalBytes = 0;

private:
    zip_t* m_zip;
    WorkbookLoader& m_loader;
};

// One XML part read token by token; more compressed data is unpacked whenever the parser runs
// dry. A failure is recorded through the loader and ends the token stream.
class PartReader final : public XlsxSheetScanner::Source
{
public:
    // Without namespaces the parser is markedly faster; the sheet parts need none, as their
    // element names are told apart by the local name alone.
    PartReader(Package& package, const QString& part, bool namespaces = false)
        : m_package(package), m_part(part), m_namespaces(namespaces)
    {
        xml.setNamespaceProcessing(namespaces);
        const zip_int64_t index = package.locate(part);
        if (index < 0) {
            damaged(QStringLiteral("缺少“%1”").arg(part));
            return;
        }
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(package.archive(), zip_uint64_t(index), 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) &&
            stat.size > zip_uint64_t(package.loader().limits().partBytes)) {
            tooLarge();
            return;
        }
        m_file = zip_fopen_index(package.archive(), zip_uint64_t(index), 0);
        if (!m_file)
            damaged(QStringLiteral("“%1”无法解压").arg(part));
    }
    ~PartReader() override
    {
        if (m_file)
            zip_fclose(m_file);
    }
    PartReader(const PartReader&) = delete;
    PartReader& operator=(const PartReader&) = delete;

    // The next token; Invalid after a failure, EndDocument at the end.
    QXmlStreamReader::TokenType next()
    {
        if (m_failed)
            return QXmlStreamReader::Invalid;
        for (;;) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token != QXmlStreamReader::Invalid)
                return token;
            if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || m_atEnd) {
                damaged(xml.errorString());
                return QXmlStreamReader::Invalid;
            }
            if (!refill())
                return QXmlStreamReader::Invalid;
        }
    }
    bool failed() const { return m_failed; }
    // The element's name without a prefix.
    QStringView name() const
    {
        QStringView full = xml.name();
        if (!m_namespaces) {
            const qsizetype colon = full.lastIndexOf(QLatin1Char(':'));
            if (colon >= 0)
                full = full.mid(colon + 1);
        }
        return full;
    }
    // Characters up to the end of the current element, nested elements included.
    QString elementText()
    {
        QString text;
        int depth = 1;
        while (depth > 0) {
            switch (next()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            case QXmlStreamReader::Characters:
                text += xml.text();
                break;
            case QXmlStreamReader::Invalid:
            case QXmlStreamReader::EndDocument:
                return text;
            default:
                break;
            }
        }
        return text;
    }
    void damaged(const QString& reason) override
    {
        m_failed = true;
        m_package.loader().fail(
            Workbook::Damaged,
            QStringLiteral("工作簿文件“%1”已损坏或不完整（%2）。").arg(m_package.loader().fileName(), reason));
    }

    QXmlStreamReader xml;

    // For the sheet scanner: appends the next unpacked slice to out, with every limit applied.
    // False after a failure; at the end, true with nothing appended and atEnd() set.
    bool readRaw(std::string& out) override
    {
        m_sink = &out;
        const bool ok = !m_failed && refill();
        m_sink = nullptr;
        return ok;
    }
    bool atEnd() const override { return m_atEnd; }

private:
    bool refill()
    {
        if (!m_file) {
            m_failed = true;
            return false;
        }
        char buffer[65536];
        const zip_int64_t got = zip_fread(m_file, buffer, sizeof buffer);
        if (got < 0) {
            damaged(QStringLiteral("“%1”：%2").arg(m_part, QString::fromUtf8(zip_file_strerror(m_file))));
            return false;
        }
        if (got == 0) {
            m_atEnd = true;
            return true;
        }
        // Counted as unpacked, whatever the archive's directory claims: that is what a zip
        // bomb lies about.
        const Workbook::Limits& limits = m_package.loader().limits();
        m_bytes += got;
        m_package.totalBytes += got;
        if (m_bytes > limits.partBytes || m_package.totalBytes > limits.totalBytes) {
            tooLarge();
            return false;
        }
        // The parser keeps a text between two tags whole; no sheet has one of megabytes, but a
        // packed run of blanks would make it hold the whole part.
        for (zip_int64_t i = 0; i < got; ++i) {
            if (buffer[i] == '<' || buffer[i] == '>')
                m_run = 0;
            else if (++m_run > limits.textRun) {
                m_failed = true;
                m_package.loader().fail(Workbook::TooLarge,
                                        QStringLiteral("工作簿“%1”中有超过%2 MB的连续内容，无法读取。")
                                            .arg(m_package.loader().fileName())
                                            .arg(limits.textRun / (1024 * 1024)));
                return false;
            }
        }
        if (m_sink)
            m_sink->append(buffer, size_t(got));
        else
            xml.addData(QByteArray(buffer, int(got)));
        return true;
    }
    void tooLarge()
    {
        m_failed = true;
        m_package.loader().fail(Workbook::TooLarge, QStringLiteral("工作簿“%1”解压后超过%2 MB，无法读取。")
                                                        .arg(m_package.loader().fileName())
                                                        .arg(m_package.loader().limits().partBytes / (1024 * 1024)));
    }

    Package& m_package;
    QString m_part;
    bool m_namespaces = false;
    zip_file_t* m_file = nullptr;
    qint64 m_bytes = 0;
    qint64 m_run = 0; // bytes since the last '<' or '>'
    bool m_atEnd = false;
    bool m_failed = false;
    std::string* m_sink = nullptr;
};

struct Relationship
{
    QString type;
    QString target; // a part name, resolved
};

QString folderOf(const QString& part)
{
    const int slash = int(part.lastIndexOf(QLatin1Char('/')));
    return slash < 0 ? QString() : part.left(slash + 1);
}

QString resolveTarget(const QString& sourcePart, const QString& target)
{
    QString joined = target.startsWith(QLatin1Char('/')) ? target.mid(1) : folderOf(sourcePart) + target;
    joined = QDir::cleanPath(joined);
    while (joined.startsWith(QLatin1String("../")))
        joined = joined.mid(3);
    return joined;
}

// The relationships of a part, by id. A missing relationships part is no failure.
QHash<QString, Relationship> readRelationships(Package& package, const QString& sourcePart)
{
    QHash<QString, Relationship> found;
    const QString relsPart = sourcePart.isEmpty()
                                 ? QStringLiteral("_rels/.rels")
                                 : folderOf(sourcePart) + QStringLiteral("_rels/") +
                                       sourcePart.mid(folderOf(sourcePart).size()) + QStringLiteral(".rels");
    if (!package.has(relsPart))
        return found;
    PartReader reader(package, relsPart);
    for (;;) {
        const auto token = reader.next();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument)
            break;
        if (token != QXmlStreamReader::StartElement || reader.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes attributes = reader.xml.attributes();
        if (attributes.value(QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        Relationship relationship;
        relationship.type = attributes.value(QLatin1String("Type")).toString();
        relationship.target = resolveTarget(sourcePart, attributes.value(QLatin1String("Target")).toString());
        found.insert(attributes.value(QLatin1String("Id")).toString(), relationship);
    }
    return found;
}

// The target of the first relationship of a type; empty when there is none.
QString targetOfType(const QHash<QString, Relationship>& relationships, const QString& typeEnd)
{
    for (auto it = relationships.cbegin(); it != relationships.cend(); ++it)
        if (it->type.endsWith(typeEnd))
            return it->target;
    return QString();
}

// "B3" to row 3, column 2; false for anything that is no cell reference within the sheet limits.
bool parseReference(QStringView ref, int& row, int& column)
{
    int i = 0;
    qint64 c = 0;
    while (i < ref.size() && ref.at(i).isLetter() && ref.at(i).unicode() < 128) {
        c = c * 26 + (ref.at(i).toUpper().unicode() - 'A' + 1);
        if (c > Workbook::kMaxColumns)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    qint64 r = 0;
    for (; i < ref.size(); ++i) {
        const char16_t ch = ref.at(i).unicode();
        if (ch < '0' || ch > '9')
            return false;
        r = r * 10 + (ch - '0');
        if (r > Workbook::kMaxRows)
            return false;
    }
    if (r < 1)
        return false;
    row = int(r);
    column = int(c);
    return true;
}

// For each cell format (the s attribute of a cell): whether it shows a date.
QVector<bool> readDateStyles(Package& package, const QString& part)
{
    QVector<bool> dateStyles;
    if (part.isEmpty() || !package.has(part))
        return dateStyles;
    PartReader reader(package, part);
    QHash<int, QString> codes;
    QVector<int> xfFormats;
    bool inCellXfs = false;
    for (;;) {
        const auto token = reader.next();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument)
            break;
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            if (name == QLatin1String("numFmt")) {
                const auto attributes = reader.xml.attributes();
                codes.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                             attributes.value(QLatin1String("formatCode")).toString());
            } else if (name == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && name == QLatin1String("xf")) {
                xfFormats.append(reader.xml.attributes().value(QLatin1String("numFmtId")).toInt());
            }
        } else if (token == QXmlStreamReader::EndElement && reader.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    for (int id : qAsConst(xfFormats))
        dateStyles.append(WorkbookIsDateFormat(id, codes.value(id)));
    return dateStyles;
}

QString decodeEscapes(const QString& text)
{
    // Characters that XML cannot carry are written as _xHHHH_.
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() && text.at(i + 1) == QLatin1Char('x') &&
            text.at(i + 6) == QLatin1Char('_')) {
            bool ok = false;
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 6;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

bool readSharedStrings(Package& package, const QString& part)
{
    if (part.isEmpty() || !package.has(part))
        return true;
    WorkbookLoader& loader = package.loader();
    PartReader reader(package, part);
    for (;;) {
        const auto token = reader.next();
        if (token == QXmlStreamReader::Invalid)
            return false;
        if (token == QXmlStreamReader::EndDocument)
            return true;
        if (token != QXmlStreamReader::StartElement || reader.name() != QLatin1String("si"))
            continue;
        // An entry is its <t>, or the <t> of its runs; a phonetic guide (<rPh>) is no part of it.
        QString text;
        int depth = 1;
        int skipDepth = 0;
        bool inText = false;
        while (depth > 0) {
            const auto inner = reader.next();
            if (inner == QXmlStreamReader::Invalid || inner == QXmlStreamReader::EndDocument)
                return false;
            if (inner == QXmlStreamReader::StartElement) {
                ++depth;
                if (reader.name() == QLatin1String("rPh") && skipDepth == 0)
                    skipDepth = depth;
                inText = skipDepth == 0 && reader.name() == QLatin1String("t");
            } else if (inner == QXmlStreamReader::EndElement) {
                if (depth == skipDepth)
                    skipDepth = 0;
                --depth;
                inText = false;
            } else if (inner == QXmlStreamReader::Characters && inText) {
                text += reader.xml.text();
            }
        }
        if (loader.addText(decodeEscapes(text)) < 0)
            return false;
    }
}

void sheetUnreadable(WorkbookLoader& loader, const QString& sheet, const QString& reason)
{
    loader.fail(Workbook::SheetUnreadable, QStringLiteral("工作表“%1”无法读取（%2）。").arg(sheet, reason));
}

// Reads one worksheet part into the last sheet of the loader.
void readSheet(Package& package, const QString& part, const QString& sheetName, int sharedCount,
               const QVector<bool>& dateStyles)
{
    WorkbookLoader& loader = package.loader();
    PartReader reader(package, part);
    if (reader.failed())
        return;
    XlsxSheetScanner scanner(reader);
    using T = XlsxSheetScanner::Token;
    int row = 0;
    int lastColumn = 0;
    std::string scratch;
    for (;;) {
        const T token = scanner.next();
        if (token == T::Failed || token == T::Done)
            return;
        if (token == T::End && scanner.name() == "sheetData")
            return; // what follows (merges, page setup) holds no values
        if (token != T::Start)
            continue;
        if (scanner.name() == "row") {
            const QString r = QString::fromStdString(scanner.attribute("r"));
            const int next = r.isEmpty() ? row + 1 : r.toInt();
            if (next < 1 || next > Workbook::kMaxRows) {
                sheetUnreadable(loader, sheetName, QStringLiteral("行号%1超出范围").arg(r));
                return;
            }
            row = next;
            lastColumn = 0;
            continue;
        }
        if (scanner.name() != "c")
            continue;

        const QString ref = QString::fromStdString(scanner.attribute("r"));
        int cellRow = row;
        int cellColumn = lastColumn + 1;
        if (!ref.isEmpty() && !parseReference(ref, cellRow, cellColumn)) {
            sheetUnreadable(loader, sheetName, QStringLiteral("单元格位置“%1”超出范围").arg(ref));
            return;
        }
        if (cellRow < 1 || cellColumn > Workbook::kMaxColumns) {
            sheetUnreadable(loader, sheetName, QStringLiteral("单元格位置超出范围"));
            return;
        }
        row = cellRow;
        lastColumn = cellColumn;
        const QString type = QString::fromStdString(scanner.attribute("t"));
        const int style = QString::fromStdString(scanner.attribute("s")).toInt();

        std::string valueBytes;
        std::string inlineBytes;
        bool hasValue = false;
        int depth = 1;
        while (depth > 0) {
            const T inner = scanner.next();
            if (inner == T::Failed || inner == T::Done)
                return;
            if (inner == T::End) {
                --depth;
                continue;
            }
            if (inner != T::Start)
                continue;
            if (scanner.name() == "v") {
                if (!scanner.elementText(valueBytes))
                    return;
                hasValue = true;
            } else if (scanner.name() == "is") {
                // Runs of an inline string; a phonetic guide is skipped.
                int isDepth = 1;
                while (isDepth > 0) {
                    const T t = scanner.next();
                    if (t == T::Failed || t == T::Done)
                        return;
                    if (t == T::End) {
                        --isDepth;
                    } else if (t == T::Start) {
                        if (scanner.name() == "t") {
                            if (!scanner.elementText(scratch))
                                return;
                            inlineBytes += scratch;
                        } else if (scanner.name() == "rPh") {
                            if (!scanner.elementText(scratch))
                                return;
                        } else {
                            ++isDepth;
                        }
                    }
                }
                hasValue = true;
            } else if (!scanner.elementText(scratch)) { // a formula or an extension: not the value
                return;
            }
        }
        if (!hasValue)
            continue;
        const QString value = QString::fromStdString(valueBytes);
        const QString inlineText = QString::fromStdString(inlineBytes);

        StoredCell cell;
        cell.row = quint32(cellRow);
        cell.column = quint32(cellColumn);
        if (type == QLatin1String("s")) {
            bool ok = false;
            const int index = value.trimmed().toInt(&ok);
            if (!ok || index < 0 || index >= sharedCount) {
                sheetUnreadable(loader, sheetName, QStringLiteral("共享字符串%1不存在").arg(value));
                return;
            }
            if (loader.text(index).isEmpty())
                continue;
            cell.kind = Kind::Text;
            cell.textIndex = index;
        } else if (type == QLatin1String("inlineStr") || type == QLatin1String("str") || type == QLatin1String("e")) {
            const QString text = decodeEscapes(type == QLatin1String("inlineStr") ? inlineText : value);
            if (text.isEmpty())
                continue;
            cell.kind = type == QLatin1String("e") ? Kind::Error : Kind::Text;
            cell.textIndex = loader.addText(text);
            if (cell.textIndex < 0)
                return;
        } else if (type == QLatin1String("b")) {
            cell.kind = Kind::Boolean;
            cell.number = value.trimmed() == QLatin1String("1") || value.trimmed() == QLatin1String("true") ? 1 : 0;
        } else if (type == QLatin1String("d")) {
            QDateTime when = QDateTime::fromString(value.trimmed(), Qt::ISODate);
            if (!when.isValid())
                when = QDateTime(QDate::fromString(value.trimmed(), Qt::ISODate), QTime(0, 0));
            if (!when.isValid())
                continue;
            const QDateTime base(loader.date1904() ? QDate(1904, 1, 1) : QDate(1899, 12, 30), QTime(0, 0));
            cell.kind = Kind::Date;
            cell.number = double(base.date().daysTo(when.date())) + when.time().msecsSinceStartOfDay() / 86400000.0;
        } else {
            if (value.trimmed().isEmpty())
                continue;
            bool ok = false;
            cell.number = QStringView(value).trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(cell.number)) {
                sheetUnreadable(loader, sheetName, QStringLiteral("“%1”不是数值").arg(value.left(40)));
                return;
            }
            const bool isDate = style >= 0 && style < dateStyles.size() && dateStyles.at(style);
            cell.kind = isDate && WorkbookIsDateSerial(cell.number) ? Kind::Date : Kind::Number;
        }
        if (!loader.addCell(cell))
            return;
    }
}

} // namespace

void ReadXlsxWorkbook(const QString& path, WorkbookLoader& loader)
{
    int errorCode = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &errorCode);
    if (!archive) {
        if (errorCode == ZIP_ER_MEMORY)
            loader.fail(Workbook::TooLarge, QStringLiteral("工作簿“%1”太大，无法读取。").arg(loader.fileName()));
        else if (errorCode == ZIP_ER_OPEN || errorCode == ZIP_ER_READ)
            loader.fail(Workbook::FileUnreadable, QStringLiteral("无法读取文件“%1”。").arg(path));
        else
            loader.fail(Workbook::Damaged, QStringLiteral("工作簿文件“%1”已损坏或不完整。").arg(loader.fileName()));
        return;
    }
    Package package(archive, loader);

    // The package names its workbook part; older writers are found at the usual place.
    QString workbookPart = targetOfType(readRelationships(package, QString()), QStringLiteral("/officeDocument"));
    if (!loader.ok())
        return;
    if (workbookPart.isEmpty() || !package.has(workbookPart))
        workbookPart = QStringLiteral("xl/workbook.xml");
    if (!package.has(workbookPart)) {
        loader.fail(Workbook::NotAWorkbook, QStringLiteral("文件“%1”不是Excel工作簿。").arg(loader.fileName()));
        return;
    }

    const QHash<QString, Relationship> relationships = readRelationships(package, workbookPart);
    if (!loader.ok())
        return;

    struct SheetEntry
    {
        QString name;
        QString part;
    };
    QVector<SheetEntry> entries;
    int activeTab = 0;
    int activeIndex = -1;
    {
        PartReader reader(package, workbookPart, true);
        int tab = 0;
        for (;;) {
            const auto token = reader.next();
            if (token == QXmlStreamReader::Invalid)
                return;
            if (token == QXmlStreamReader::EndDocument)
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            const QStringView name = reader.name();
            const QXmlStreamAttributes attributes = reader.xml.attributes();
            if (name == QLatin1String("workbookPr")) {
                const QStringView mode = attributes.value(QLatin1String("date1904"));
                loader.setDate1904(mode == QLatin1String("1") || mode == QLatin1String("true"));
            } else if (name == QLatin1String("workbookView")) {
                activeTab = attributes.value(QLatin1String("activeTab")).toInt();
            } else if (name == QLatin1String("sheet")) {
                // The relationship id is r:id in either the transitional or the strict namespace.
                QString id;
                for (const QXmlStreamAttribute& attribute : attributes)
                    if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty())
                        id = attribute.value().toString();
                const Relationship relationship = relationships.value(id);
                // Chart and dialog sheets hold no cells and are no worksheets.
                if (relationship.type.endsWith(QLatin1String("/worksheet")) || relationship.type.isEmpty()) {
                    if (tab == activeTab)
                        activeIndex = int(entries.size());
                    entries.append({attributes.value(QLatin1String("name")).toString(), relationship.target});
                }
                ++tab;
            }
        }
    }
    if (entries.isEmpty()) {
        loader.fail(Workbook::NotAWorkbook, QStringLiteral("工作簿“%1”中没有工作表。").arg(loader.fileName()));
        return;
    }

    QString sharedPart = targetOfType(relationships, QStringLiteral("/sharedStrings"));
    if (sharedPart.isEmpty())
        sharedPart = QStringLiteral("xl/sharedStrings.xml");
    QString stylesPart = targetOfType(relationships, QStringLiteral("/styles"));
    if (stylesPart.isEmpty())
        stylesPart = QStringLiteral("xl/styles.xml");

    if (!readSharedStrings(package, sharedPart))
        return;
    const int sharedCount = loader.textCount();
    const QVector<bool> dateStyles = readDateStyles(package, stylesPart);
    if (!loader.ok())
        return;

    for (const SheetEntry& entry : qAsConst(entries)) {
        if (!loader.addSheet(entry.name))
            return;
        if (entry.part.isEmpty() || !package.has(entry.part)) {
            sheetUnreadable(loader, entry.name, QStringLiteral("找不到工作表数据"));
            return;
        }
        // A cell takes some 40 bytes of XML; the stated size may lie, so this only reserves room.
        loader.expectCells(std::min<qint64>(package.statedSize(entry.part), loader.limits().partBytes) / 40);
        readSheet(package, entry.part, entry.name, sharedCount, dateStyles);
        if (!loader.ok())
            return;
        loader.finishSheet();
    }
    loader.setActiveSheet(activeIndex < 0 ? 0 : activeIndex);
}
