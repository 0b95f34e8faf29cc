#include "XlsBook.h"

#include "Workbook.h"
#include "XlsFormat.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using namespace xls;

// The cell format every cell uses: the first one after the 15 style formats Excel expects.
constexpr quint16 kCellXf = 15;

// The file is written in version 3, with sectors of the header's size. A workbook stream
// shorter than the mini-stream cutoff is padded rather than put in the mini stream.
constexpr int kSector = kCompoundHeaderSize;
constexpr int kFatEntriesPerSector = kSector / 4;

class Bytes
{
public:
    explicit Bytes(QByteArray& out) : m_out(out) {}
    void u8(quint8 v) { m_out.append(char(v)); }
    void u16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        m_out.append(b, 2);
    }
    void u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        m_out.append(b, 4);
    }
    void f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        char b[8];
        qToLittleEndian(bits, b);
        m_out.append(b, 8);
    }
    void zeros(int n) { m_out.append(n, '\0'); }
    // A record's header; its data follows.
    void record(quint16 type, quint16 size)
    {
        u16(type);
        u16(size);
    }

private:
    QByteArray& m_out;
};

bool fitsOneByte(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

// The characters of a string: one byte each when every one fits, else UTF-16LE.
void putChars(QByteArray& out, const QChar* chars, int count, bool wide)
{
    const qsizetype at = out.size();
    out.resize(at + count * (wide ? 2 : 1));
    char* p = out.data() + at;
    if (wide) {
        for (int i = 0; i < count; ++i, p += 2)
            qToLittleEndian(chars[i].unicode(), p);
    } else {
        for (int i = 0; i < count; ++i)
            p[i] = char(chars[i].unicode());
    }
}

// A string with a one-byte length, as sheet and font names are stored.
void putShortString(QByteArray& out, const QString& text)
{
    const bool wide = !fitsOneByte(text);
    Bytes b(out);
    b.u8(quint8(text.size()));
    b.u8(wide ? 1 : 0);
    putChars(out, text.constData(), int(text.size()), wide);
}

void patch32(QByteArray& out, int at, quint32 value)
{
    qToLittleEndian(value, out.data() + at);
}

void patch16(QByteArray& out, int at, quint16 value)
{
    qToLittleEndian(value, out.data() + at);
}

void putBof(QByteArray& out, quint16 kind)
{
    Bytes b(out);
    b.record(kBof, 16);
    b.u16(0x0600); // BIFF8
    b.u16(kind);
    b.u16(0x0DBB); // build and year of the application that wrote the file
    b.u16(0x07CC);
    b.u32(0);
    b.u32(0x0006); // the oldest version that reads every record here
}

void putEof(QByteArray& out)
{
    Bytes(out).record(kEof, 0);
}

// The shared-string table, split into CONTINUE records where it outgrows one record. A string
// header never splits; a string's characters may, and the part that goes on starts with its
// one-byte/two-byte flag again. Every bucketSize-th string's place is noted for EXTSST.
class SstWriter
{
public:
    SstWriter(QByteArray& out, int bucketSize) : m_out(out), m_bucketSize(bucketSize) {}

    void begin(quint32 total, quint32 unique)
    {
        openRecord(kSst);
        Bytes b(m_out);
        b.u32(total);
        b.u32(unique);
    }

    void add(QStringView text)
    {
        const bool wide = !fitsOneByte(text);
        const int charSize = wide ? 2 : 1;
        // The header and at least one character go into the same record.
        if (room() < 3 + charSize)
            openRecord(kContinue);
        if (m_count % m_bucketSize == 0)
            m_buckets.push_back({quint32(m_out.size()), quint16(m_out.size() - m_recordStart)});
        ++m_count;
        Bytes b(m_out);
        b.u16(quint16(text.size()));
        b.u8(wide ? 1 : 0);
        const QChar* chars = text.constData();
        int left = int(text.size());
        for (;;) {
            const int n = std::min(left, room() / charSize);
            putChars(m_out, chars, n, wide);
            chars += n;
            left -= n;
            if (left == 0)
                break;
            openRecord(kContinue);
            b.u8(wide ? 1 : 0);
        }
    }

    void end()
    {
        closeRecord();
        Bytes b(m_out);
        b.record(kExtSst, quint16(2 + 8 * m_buckets.size()));
        b.u16(quint16(m_bucketSize));
        for (const Bucket& bucket : m_buckets) {
            b.u32(bucket.streamPos);
            b.u16(bucket.recordOffset);
            b.u16(0);
        }
    }

private:
    struct Bucket
    {
        quint32 streamPos;
        quint16 recordOffset;
    };

    int room() const { return kMaxRecordData - (int(m_out.size()) - m_recordStart - 4); }
    void openRecord(quint16 type)
    {
        closeRecord();
        m_recordStart = int(m_out.size());
        Bytes(m_out).record(type, 0);
    }
    void closeRecord()
    {
        if (m_recordStart >= 0)
            patch16(m_out, m_recordStart + 2, quint16(m_out.size() - m_recordStart - 4));
        m_recordStart = -1;
    }

    QByteArray& m_out;
    int m_bucketSize;
    int m_recordStart = -1;
    quint32 m_count = 0;
    std::vector<Bucket> m_buckets;
};

// The compound document around one stream named "Workbook". Sectors in file order: the FAT,
// the extra FAT index (only past 109 FAT sectors), the directory, then the stream.
struct CompoundLayout
{
    quint32 streamSectors = 0;
    quint32 fatSectors = 0;
    quint32 difatSectors = 0;
    quint32 firstDirSector() const { return fatSectors + difatSectors; }
    quint32 firstStreamSector() const { return firstDirSector() + 1; }

    explicit CompoundLayout(quint64 streamSize)
    {
        streamSectors = quint32((streamSize + kSector - 1) / kSector);
        // The FAT maps its own sectors too, so grow it until it covers everything.
        for (;;) {
            const quint64 total = quint64(fatSectors) + difatSectors + 1 + streamSectors;
            const auto fat = quint32((total + kFatEntriesPerSector - 1) / kFatEntriesPerSector);
            const quint32 difat =
                fat > kHeaderDifatEntries ? (fat - kHeaderDifatEntries + kFatEntriesPerSector - 2) / (kFatEntriesPerSector - 1) : 0;
            if (fat == fatSectors && difat == difatSectors)
                break;
            fatSectors = fat;
            difatSectors = difat;
        }
    }
};

void putDirectoryEntry(QByteArray& out, const QString& name, quint8 type, quint32 child, quint32 start, quint32 size)
{
    Bytes b(out);
    const int begin = int(out.size());
    putChars(out, name.constData(), int(name.size()), true);
    out.append(64 - (int(out.size()) - begin), '\0');
    b.u16(name.isEmpty() ? 0 : quint16((name.size() + 1) * 2));
    b.u8(type);
    b.u8(type == 0 ? 0 : 1); // black
    b.u32(kNoStream);
    b.u32(kNoStream);
    b.u32(child);
    b.zeros(16 + 4 + 8 + 8); // class id, state bits, creation and modification times
    b.u32(start);
    b.u32(size);
    b.u32(0);
}

QByteArray compoundHead(const CompoundLayout& layout, quint32 streamSize)
{
    QByteArray out;
    out.reserve(int(kSector * (1 + layout.firstStreamSector())));
    Bytes b(out);
    out.append(kCompoundSignature, kCompoundSignatureSize);
    b.zeros(16);
    b.u16(0x003E);
    b.u16(0x0003); // version 3: 512-byte sectors
    b.u16(0xFFFE); // little-endian
    b.u16(9);      // 2^9 bytes a sector
    b.u16(6);      // 2^6 bytes a mini sector
    b.zeros(6);
    b.u32(0); // directory sectors: not counted in version 3
    b.u32(layout.fatSectors);
    b.u32(layout.firstDirSector());
    b.u32(0);
    b.u32(kMiniStreamCutoff);
    b.u32(kEndOfChain); // no mini FAT
    b.u32(0);
    b.u32(layout.difatSectors ? layout.fatSectors : kEndOfChain);
    b.u32(layout.difatSectors);
    for (quint32 i = 0; i < kHeaderDifatEntries; ++i)
        b.u32(i < layout.fatSectors ? i : kFreeSector);

    // The FAT.
    const quint32 total = layout.firstStreamSector() + layout.streamSectors;
    for (quint32 s = 0; s < layout.fatSectors * kFatEntriesPerSector; ++s) {
        if (s < layout.fatSectors)
            b.u32(kFatSector);
        else if (s < layout.firstDirSector())
            b.u32(kDifatSector);
        else if (s == layout.firstDirSector())
            b.u32(kEndOfChain);
        else if (s < total)
            b.u32(s + 1 == total ? kEndOfChain : s + 1);
        else
            b.u32(kFreeSector);
    }
    // The rest of the FAT's sector numbers, 127 to a sector, each sector naming the next.
    quint32 next = kHeaderDifatEntries;
    for (quint32 d = 0; d < layout.difatSectors; ++d) {
        for (int i = 0; i < kFatEntriesPerSector - 1; ++i, ++next)
            b.u32(next < layout.fatSectors ? next : kFreeSector);
        b.u32(d + 1 < layout.difatSectors ? layout.fatSectors + d + 1 : kEndOfChain);
    }
    // The directory: the root storage and the workbook stream in it; two unused entries.
    putDirectoryEntry(out, QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    putDirectoryEntry(out, QStringLiteral("Workbook"), 2, kNoStream, layout.firstStreamSector(), streamSize);
    putDirectoryEntry(out, QString(), 0, kNoStream, 0, 0);
    putDirectoryEntry(out, QString(), 0, kNoStream, 0, 0);
    return out;
}

} // namespace

// The texts of the shared-string table, each once. A workbook of 60,000 contacts has several
// hundred thousand different texts: they are kept end to end in one buffer and found through
// an open-addressing index, which costs a fraction of the memory and time of one string
// object and hash node per text.
class XlsBook::StringTable
{
public:
    quint32 size() const { return quint32(m_hashes.size()); }
    QStringView at(quint32 index) const
    {
        return QStringView(m_chars.data() + m_starts[index], qsizetype(m_starts[index + 1] - m_starts[index]));
    }
    void reserve(size_t more)
    {
        m_hashes.reserve(m_hashes.size() + more);
        m_starts.reserve(m_starts.size() + more);
        if (full(m_hashes.size() + more))
            rehash(capacityFor(m_hashes.size() + more));
    }
    // The index of the text, added when new.
    quint32 add(QStringView text)
    {
        const quint32 hash = quint32(qHash(text, 0));
        if (full(m_hashes.size() + 1))
            rehash(capacityFor(m_hashes.size() + 1));
        const size_t mask = m_slots.size() - 1;
        // A slot holds the text's hash beside its index, so that a probe reads one place only
        // until the hashes agree.
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const quint64 slot = m_slots[i];
            if (slot == 0) {
                m_slots[i] = quint64(hash) << 32 | (size() + 1);
                m_hashes.push_back(hash);
                const size_t start = m_chars.size();
                m_chars.resize(start + size_t(text.size()));
                std::memcpy(m_chars.data() + start, text.utf16(), size_t(text.size()) * sizeof(char16_t));
                m_starts.push_back(m_chars.size());
                return size() - 1;
            }
            const auto index = quint32(slot) - 1;
            if (quint32(slot >> 32) == hash && at(index) == text)
                return index;
        }
    }

private:
    // Up to 70 % of the slots in use: the table stays small enough to be quick to reach.
    bool full(size_t count) const { return count * 10 > m_slots.size() * 7; }
    static size_t capacityFor(size_t count)
    {
        size_t capacity = 1024;
        while (count * 10 > capacity * 7)
            capacity *= 2;
        return capacity;
    }
    void rehash(size_t capacity)
    {
        std::vector<quint64> fresh(capacity, 0);
        const size_t mask = capacity - 1;
        for (quint32 index = 0; index < size(); ++index) {
            size_t i = m_hashes[index] & mask;
            while (fresh[i] != 0)
                i = (i + 1) & mask;
            fresh[i] = quint64(m_hashes[index]) << 32 | (index + 1);
        }
        m_slots.swap(fresh);
    }

    std::vector<char16_t> m_chars;
    std::vector<size_t> m_starts{0};
    std::vector<quint32> m_hashes;
    std::vector<quint64> m_slots; // 0: free, else the hash << 32 | the index + 1
};

XlsBook::XlsBook() : m_strings(std::make_unique<StringTable>()) {}
XlsBook::~XlsBook() = default;

bool XlsBook::fail(const QString& message)
{
    m_error = message;
    return false;
}

int XlsBook::addSheet(const QString& name)
{
    static const QString forbidden = QStringLiteral(":\\/?*[]");
    if (name.isEmpty())
        return fail(QStringLiteral("工作表名称不能为空")), -1;
    if (name.size() > kMaxSheetNameChars)
        return fail(QStringLiteral("工作表名称“%1”超过%2个字符").arg(name).arg(kMaxSheetNameChars)), -1;
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return forbidden.contains(c); }) ||
        name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return fail(QStringLiteral("工作表名称“%1”含有不允许的字符").arg(name)), -1;
    if (findSheet(name) >= 0)
        return fail(QStringLiteral("已有名为“%1”的工作表").arg(name)), -1;
    m_sheets.push_back({name, {}, true});
    return int(m_sheets.size()) - 1;
}

int XlsBook::sheetCount() const
{
    return int(m_sheets.size());
}

QString XlsBook::sheetName(int sheet) const
{
    return sheet >= 0 && sheet < sheetCount() ? m_sheets[size_t(sheet)].name : QString();
}

int XlsBook::findSheet(const QString& name) const
{
    for (int i = 0; i < sheetCount(); ++i)
        if (m_sheets[size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool XlsBook::checkCell(int sheet, int row, int column)
{
    if (sheet < 0 || sheet >= sheetCount())
        return fail(QStringLiteral("没有第%1个工作表").arg(sheet + 1));
    if (row < 0 || row >= kMaxRows)
        return fail(QStringLiteral("行号%1超出了Excel工作表的%2行").arg(row + 1).arg(kMaxRows));
    if (column < 0 || column >= kMaxColumns)
        return fail(QStringLiteral("列号%1超出了Excel工作表的%2列").arg(column + 1).arg(kMaxColumns));
    return true;
}

void XlsBook::reserve(int sheet, int cells)
{
    if (sheet < 0 || sheet >= sheetCount() || cells <= 0)
        return;
    m_sheets[size_t(sheet)].entries.reserve(m_sheets[size_t(sheet)].entries.size() + size_t(cells));
    m_strings->reserve(size_t(cells));
}

void XlsBook::put(int sheet, const Entry& entry)
{
    Sheet& s = m_sheets[size_t(sheet)];
    if (!s.entries.empty() && s.entries.back().key >= entry.key)
        s.sorted = false;
    s.entries.push_back(entry);
}

bool XlsBook::setText(int sheet, int row, int column, const QString& text)
{
    if (!checkCell(sheet, row, column))
        return false;
    if (text.size() > kMaxCellChars)
        return fail(QStringLiteral("第%1行第%2列的文字有%3个字符，超出了Excel单元格的%4个字符")
                        .arg(row + 1)
                        .arg(column + 1)
                        .arg(text.size())
                        .arg(kMaxCellChars));
    Entry entry{};
    entry.key = quint32(row) << 8 | quint32(column);
    if (text.isEmpty()) {
        entry.type = CellType::Empty;
    } else {
        entry.type = CellType::Text;
        entry.sst = m_strings->add(text);
    }
    put(sheet, entry);
    return true;
}

bool XlsBook::setNumber(int sheet, int row, int column, double value)
{
    if (!checkCell(sheet, row, column))
        return false;
    if (!std::isfinite(value))
        return fail(QStringLiteral("第%1行第%2列的数值不是有限数").arg(row + 1).arg(column + 1));
    Entry entry{};
    entry.key = quint32(row) << 8 | quint32(column);
    entry.type = CellType::Number;
    entry.number = value;
    put(sheet, entry);
    return true;
}

void XlsBook::settle(Sheet& sheet) const
{
    auto& e = sheet.entries;
    if (!sheet.sorted) {
        std::stable_sort(e.begin(), e.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
        // Of several values of one cell, the last one set counts.
        auto out = e.begin();
        for (auto it = e.begin(); it != e.end(); ++it) {
            if (std::next(it) != e.end() && std::next(it)->key == it->key)
                continue;
            *out++ = *it;
        }
        e.erase(out, e.end());
        sheet.sorted = true;
    }
    e.erase(std::remove_if(e.begin(), e.end(), [](const Entry& x) { return x.type == CellType::Empty; }), e.end());
}

std::vector<XlsBook::Cell> XlsBook::cells(int sheet) const
{
    std::vector<Cell> result;
    if (sheet < 0 || sheet >= sheetCount())
        return result;
    Sheet copy = m_sheets[size_t(sheet)];
    settle(copy);
    result.reserve(copy.entries.size());
    for (const Entry& e : copy.entries) {
        const int row = int(e.key >> 8);
        const int column = int(e.key & 0xFF);
        if (e.type == CellType::Text)
            result.push_back({row, column, CellType::Text, m_strings->at(e.sst).toString(), 0.0});
        else
            result.push_back({row, column, CellType::Number, QString(), e.number});
    }
    return result;
}

QByteArray XlsBook::sheetStream(const Sheet& sheet, bool first, quint32& textCells) const
{
    QByteArray out;
    out.reserve(int(64 + sheet.entries.size() * 18));
    Bytes b(out);
    putBof(out, 0x0010);

    quint32 lastRow = 0;
    quint16 firstCol = kMaxColumns, lastCol = 0;
    for (const Entry& e : sheet.entries) {
        lastRow = std::max(lastRow, e.key >> 8);
        firstCol = std::min(firstCol, quint16(e.key & 0xFF));
        lastCol = std::max(lastCol, quint16(e.key & 0xFF));
    }
    b.record(kDimensions, 14);
    if (sheet.entries.empty()) {
        b.zeros(14);
    } else {
        b.u32(sheet.entries.front().key >> 8);
        b.u32(lastRow + 1);
        b.u16(firstCol);
        b.u16(lastCol + 1);
        b.u16(0);
    }

    // The cell records, written in place: a full sheet has a million of them.
    qsizetype at = out.size();
    qsizetype cellBytes = 0;
    for (const Entry& e : sheet.entries)
        cellBytes += e.type == CellType::Text ? 14 : 18;
    out.resize(at + cellBytes);
    char* p = out.data() + at;
    for (const Entry& e : sheet.entries) {
        const bool isText = e.type == CellType::Text;
        qToLittleEndian(isText ? kLabelSst : kNumber, p);
        qToLittleEndian(quint16(isText ? 10 : 14), p + 2);
        qToLittleEndian(quint16(e.key >> 8), p + 4);
        qToLittleEndian(quint16(e.key & 0xFF), p + 6);
        qToLittleEndian(kCellXf, p + 8);
        if (isText) {
            qToLittleEndian(e.sst, p + 10);
            ++textCells;
            p += 14;
        } else {
            quint64 bits;
            std::memcpy(&bits, &e.number, sizeof bits);
            qToLittleEndian(bits, p + 10);
            p += 18;
        }
    }

    b.record(kWindow2, 18);
    // Grid, headers, zeros, automatic grid colour, outline symbols; the first sheet is the
    // selected and shown one.
    b.u16(quint16(0x00B6 | (first ? 0x0600 : 0)));
    b.u16(0);
    b.u16(0);
    b.u16(0x0040);
    b.zeros(10);
    putEof(out);
    return out;
}

QByteArray XlsBook::globalsStream(const std::vector<quint32>& sheetSizes, quint32 textCells) const
{
    QByteArray out;
    qsizetype expected = 4096;
    for (quint32 i = 0; i < m_strings->size(); ++i)
        expected += 3 + m_strings->at(i).size() * (fitsOneByte(m_strings->at(i)) ? 1 : 2);
    out.reserve(expected + expected / kMaxRecordData * 5);
    Bytes b(out);
    putBof(out, 0x0005);
    b.record(kCodePage, 2);
    b.u16(1200); // UTF-16

    b.record(kWindow1, 18);
    b.u16(0);
    b.u16(0);
    b.u16(0x4000);
    b.u16(0x2000);
    b.u16(0x0038); // scroll bars and sheet tabs shown
    b.u16(0);
    b.u16(0);
    b.u16(1);
    b.u16(600);

    // Four fonts: Excel skips index 4, and readers expect the first four to exist.
    for (int i = 0; i < 4; ++i) {
        QByteArray font;
        Bytes f(font);
        f.u16(240); // 12 points, in twentieths
        f.u16(0);
        f.u16(0x7FFF); // automatic colour
        f.u16(400);    // normal weight
        f.u16(0);
        f.u8(0);
        f.u8(0);
        f.u8(134); // GB2312 character set
        f.u8(0);
        putShortString(font, QStringLiteral("宋体"));
        b.record(kFont, quint16(font.size()));
        out.append(font);
    }

    // Fifteen style formats and the one cell format every cell refers to.
    for (int i = 0; i <= int(kCellXf); ++i) {
        const bool style = i < int(kCellXf);
        b.record(kXf, 20);
        b.u16(0);                          // font
        b.u16(0);                          // number format: General
        b.u16(style ? 0xFFF5 : 0x0001);    // locked; style formats have no parent
        b.u8(0x20);                        // bottom aligned
        b.u8(0);
        b.u8(0);
        b.u8(style && i > 0 ? 0xF4 : 0);   // attributes a style format does not set
        b.zeros(8);
        b.u16(0x20C0);                     // automatic pattern colours
    }
    b.record(kStyle, 4);
    b.u16(0x8000); // built-in style "Normal" on format 0
    b.u8(0);
    b.u8(0xFF);

    std::vector<int> sheetOffsets;
    for (const Sheet& sheet : m_sheets) {
        QByteArray name;
        putShortString(name, sheet.name);
        b.record(kBoundSheet, quint16(6 + name.size()));
        sheetOffsets.push_back(int(out.size()));
        b.u32(0); // filled in below, once the size of this stream is known
        b.u8(0);  // visible
        b.u8(0);  // worksheet
        out.append(name);
    }

    const int buckets = std::max(8, int((m_strings->size() + 127) / 128));
    SstWriter sst(out, buckets);
    sst.begin(textCells, m_strings->size());
    for (quint32 i = 0; i < m_strings->size(); ++i)
        sst.add(m_strings->at(i));
    sst.end();
    putEof(out);

    quint32 at = quint32(out.size());
    for (size_t i = 0; i < sheetOffsets.size(); ++i) {
        patch32(out, sheetOffsets[i], at);
        at += sheetSizes[i];
    }
    return out;
}

bool XlsBook::write(QIODevice& device)
{
    std::vector<QByteArray> sheets;
    std::vector<quint32> sizes;
    quint32 textCells = 0;
    quint64 streamSize = 0;
    for (size_t i = 0; i < m_sheets.size(); ++i) {
        settle(m_sheets[i]);
        sheets.push_back(sheetStream(m_sheets[i], i == 0, textCells));
        sizes.push_back(quint32(sheets.back().size()));
        streamSize += sizes.back();
    }
    if (m_sheets.empty())
        return fail(QStringLiteral("工作簿中没有工作表"));
    const QByteArray globals = globalsStream(sizes, textCells);
    streamSize += quint64(globals.size());
    const quint64 padding = streamSize < kMiniStreamCutoff ? kMiniStreamCutoff - streamSize : 0;
    streamSize += padding;
    if (streamSize > 0x7FFFFFFFull)
        return fail(QStringLiteral("工作簿超过了2GB"));

    const CompoundLayout layout(streamSize);
    QByteArray tail(int(padding + (kSector - streamSize % kSector) % kSector), '\0');
    const QByteArray head = compoundHead(layout, quint32(streamSize));
    bool ok = device.write(head) == head.size() && device.write(globals) == globals.size();
    for (const QByteArray& sheet : sheets)
        ok = ok && device.write(sheet) == sheet.size();
    ok = ok && device.write(tail) == tail.size();
    return ok || fail(device.errorString());
}

bool XlsBook::save(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("无法写入%1：%2").arg(path, file.errorString()));
    if (!write(file)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return fail(QStringLiteral("无法写入%1：%2").arg(path, file.errorString()));
    return true;
}

bool XlsBook::load(const QString& path)
{
    m_sheets.clear();
    m_strings = std::make_unique<StringTable>();
    // Read as every other workbook of the program is: checked before FreeXL sees it, within the
    // reader's limits, and refused with the reader's own messages.
    Workbook source;
    if (!source.open(path))
        return fail(source.errorDescription());

    auto broken = [&](const QString& what) {
        m_sheets.clear();
        m_strings = std::make_unique<StringTable>();
        return fail(QStringLiteral("读取%1时出错：%2").arg(path, what));
    };
    for (int s = 0; s < source.sheetCount(); ++s) {
        const Worksheet& read = source.sheet(s);
        const int sheet = addSheet(read.Name());
        if (sheet < 0)
            return broken(m_error);
        const bool whole = read.forEachCell([&](int row, int column, const CellValue& value) {
            if (value.kind == CellValue::Kind::Number)
                return setNumber(sheet, row - 1, column - 1, value.number);
            return setText(sheet, row - 1, column - 1, value.text);
        });
        if (!whole)
            return broken(m_error);
    }
    return true;
}
