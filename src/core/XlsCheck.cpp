#include "XlsCheck.h"

#include <QList>
#include <QtEndian>

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kMaxSector = 0xFFFFFFFA;

quint16 u16(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 u32(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// The compound document: just enough of it to take the workbook stream out.
class Compound
{
public:
    explicit Compound(const QByteArray& file) : file_(file) {}

    bool load()
    {
        if (file_.size() < 512 || !file_.startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")))
            return false;
        const int shift = u16(file_, 30);
        const int miniShift = u16(file_, 32);
        if ((shift != 9 && shift != 12) || miniShift != 6)
            return false;
        sector_ = 1 << shift;
        mini_ = 1 << miniShift;
        miniCutoff_ = u32(file_, 56);
        const qint64 sectors = file_.size() / sector_;

        QList<quint32> fatSectors;
        for (int i = 0; i < 109; ++i)
            fatSectors.append(u32(file_, 76 + 4 * i));
        quint32 difat = u32(file_, 68);
        for (qint64 guard = 0; difat <= kMaxSector && guard <= sectors; ++guard) {
            const qint64 at = offsetOf(difat);
            if (at < 0)
                return false;
            for (int i = 0; i + 1 < sector_ / 4; ++i)
                fatSectors.append(u32(file_, at + 4 * i));
            difat = u32(file_, at + sector_ - 4);
        }
        const quint32 fatCount = u32(file_, 44);
        for (quint32 i = 0; i < fatCount && i < quint32(fatSectors.size()); ++i) {
            const qint64 at = offsetOf(fatSectors[int(i)]);
            if (at < 0)
                return false;
            for (int j = 0; j < sector_ / 4; ++j)
                fat_.append(u32(file_, at + 4 * j));
        }
        if (!chain(u32(file_, 48), fat_, -1, &directory_))
            return false;
        if (directory_.size() < 128)
            return false;
        miniFatStart_ = u32(file_, 60);
        return true;
    }

    // The stream named Workbook (BIFF8) or Book (BIFF5), or an empty array.
    bool workbookStream(QByteArray* stream)
    {
        for (qint64 at = 0; at + 128 <= directory_.size(); at += 128) {
            const int nameBytes = u16(directory_, at + 64);
            if (directory_.at(int(at + 66)) != 2 || nameBytes < 2 || nameBytes > 64)
                continue;
            const QString name = QString::fromUtf16(reinterpret_cast<const char16_t*>(directory_.constData() + at),
                                                    nameBytes / 2 - 1);
            if (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) != 0 &&
                name.compare(QLatin1String("Book"), Qt::CaseInsensitive) != 0)
                continue;
            const quint32 start = u32(directory_, at + 116);
            const quint32 size = u32(directory_, at + 120);
            if (size < miniCutoff_) {
                QByteArray miniStream;
                QByteArray miniFatBytes;
                if (!chain(u32(directory_, 116), fat_, -1, &miniStream) ||
                    !chain(miniFatStart_, fat_, -1, &miniFatBytes))
                    return false;
                QList<quint32> miniFat;
                for (qint64 i = 0; i + 4 <= miniFatBytes.size(); i += 4)
                    miniFat.append(u32(miniFatBytes, i));
                if (!miniChain(start, miniFat, miniStream, size, stream))
                    return false;
            } else if (!chain(start, fat_, size, stream)) {
                return false;
            }
            return true;
        }
        return false;
    }

private:
    qint64 offsetOf(quint32 sector) const
    {
        const qint64 at = (qint64(sector) + 1) * sector_;
        return sector <= kMaxSector && at + sector_ <= file_.size() ? at : -1;
    }

    // Follows a chain of sectors; with a size, the chain must hold that many bytes.
    bool chain(quint32 sector, const QList<quint32>& fat, qint64 size, QByteArray* out) const
    {
        out->clear();
        for (qint64 guard = 0; sector != kEndOfChain; ++guard) {
            const qint64 at = offsetOf(sector);
            if (at < 0 || guard > fat.size() || sector >= quint32(fat.size()))
                return false;
            out->append(file_.constData() + at, sector_);
            if (size >= 0 && out->size() >= size)
                break;
            sector = fat[int(sector)];
        }
        if (size >= 0) {
            if (out->size() < size)
                return false;
            out->truncate(size);
        }
        return true;
    }

    bool miniChain(quint32 sector, const QList<quint32>& miniFat, const QByteArray& miniStream, qint64 size,
                   QByteArray* out) const
    {
        out->clear();
        for (qint64 guard = 0; out->size() < size; ++guard) {
            const qint64 at = qint64(sector) * mini_;
            if (sector > kMaxSector || guard > miniFat.size() || sector >= quint32(miniFat.size()) ||
                at + mini_ > miniStream.size())
                return false;
            out->append(miniStream.constData() + at, mini_);
            sector = miniFat[int(sector)];
        }
        out->truncate(size);
        return true;
    }

    const QByteArray& file_;
    int sector_ = 512;
    int mini_ = 64;
    quint32 miniCutoff_ = 4096;
    quint32 miniFatStart_ = kEndOfChain;
    QList<quint32> fat_;
    QByteArray directory_;
};

enum : quint16 {
    kBof = 0x0809,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kLabel = 0x0204,
    kFormat = 0x041E,
    kLegacyBof3 = 0x0209,
    kLegacyBof4 = 0x0409,
};

// The header of a BIFF8 unicode string from its flags byte on: the flags, then the count of
// rich-text runs (4 bytes each) and the size of the phonetic block when the flags announce them.
struct StringHeader
{
    qint64 size = 1;
    bool wide = false;
    qint64 trailing = 0; // bytes of runs and phonetic block after the characters
};

bool readHeader(const QByteArray& s, qint64 flagsAt, qint64 end, StringHeader* h)
{
    if (flagsAt >= end)
        return false;
    const quint8 flags = quint8(s.at(int(flagsAt)));
    h->wide = flags & 0x01;
    h->size = 1 + ((flags & 0x08) ? 2 : 0) + ((flags & 0x04) ? 4 : 0);
    if (flagsAt + h->size > end)
        return false;
    h->trailing = 0;
    if (flags & 0x08)
        h->trailing += 4 * qint64(u16(s, flagsAt + 1));
    if (flags & 0x04)
        h->trailing += u32(s, flagsAt + 1 + ((flags & 0x08) ? 2 : 0));
    return true;
}

// FreeXL reads the characters of a FORMAT, sheet name or LABEL string from its own record only,
// past the header its flags announce.
bool stringFitsRecord(const QByteArray& s, qint64 flagsAt, qint64 end, qint64 chars)
{
    if (chars == 0)
        return true;
    StringHeader h;
    return readHeader(s, flagsAt, end, &h) && flagsAt + h.size + chars * (h.wide ? 2 : 1) <= end;
}

struct Span
{
    qint64 begin;
    qint64 end;
};

// The shared-string table: its strings run through the SST record and the CONTINUE records after
// it. A string's characters may go on in the next record, which then starts with a flags byte of
// its own; its runs and phonetic block may go on there too. Besides refusing what runs past the
// table, this refuses the layouts FreeXL 1.0.6 misreads into reading outside its record buffer:
// a string header cut by a record end, characters spread over more than two records, and runs
// or phonetic data of a string reaching beyond the record after the one they start in (or, after
// a cut string, beyond its second record at all).
bool sstFits(const QByteArray& s, const QList<Span>& parts, quint32 count)
{
    int part = 0;
    qint64 at = parts[0].begin + 8;
    for (quint32 i = 0; i < count; ++i) {
        const bool more = i + 1 < count;
        while (at == parts[part].end) {
            if (++part == parts.size())
                return true; // fewer strings than counted: FreeXL leaves the others out
            at = parts[part].begin;
        }
        qint64 end = parts[part].end;
        StringHeader h;
        if (at + 2 > end || !readHeader(s, at + 2, end, &h))
            return false;
        qint64 chars = u16(s, at);
        at += 2 + h.size;
        bool wide = h.wide;
        bool cut = false;
        while (chars * (wide ? 2 : 1) > end - at) {
            if (cut || (wide && (end - at) % 2 != 0) || ++part == parts.size())
                return false;
            chars -= (end - at) / (wide ? 2 : 1);
            cut = true;
            at = parts[part].begin;
            end = parts[part].end;
            if (at == end)
                return false;
            wide = quint8(s.at(int(at))) & 0x01;
            ++at;
        }
        at += chars * (wide ? 2 : 1);
        if (at + h.trailing > end) {
            const qint64 spill = at + h.trailing - end;
            if (cut || ++part == parts.size())
                return false;
            const qint64 next = parts[part].end - parts[part].begin;
            if (spill > next || (spill == next && more))
                return false;
            at = parts[part].begin + spill;
        } else {
            at += h.trailing;
        }
    }
    return true;
}

// Files of BIFF3 and BIFF4 are a bare record stream; FreeXL copies a LABEL's characters from
// its record by the count alone.
XlsVerdict checkLegacy(const QByteArray& s)
{
    const qint64 size = s.size();
    if (size < 4 || (u16(s, 0) != kLegacyBof3 && u16(s, 0) != kLegacyBof4))
        return XlsVerdict::Unknown;
    for (qint64 at = 0; at + 4 <= size;) {
        const quint16 type = u16(s, at);
        const qint64 length = u16(s, at + 2);
        if (at + 4 + length > size)
            return XlsVerdict::Unknown;
        if (type == kEof)
            break;
        if (type == kLabel && (length < 8 || 8 + qint64(u16(s, at + 4 + 6)) > length))
            return XlsVerdict::Damaged;
        at += 4 + length;
    }
    return XlsVerdict::Unknown;
}

} // namespace

XlsVerdict CheckXlsFile(const QByteArray& file)
{
    Compound compound(file);
    QByteArray s;
    if (!compound.load() || !compound.workbookStream(&s))
        return checkLegacy(file);

    const qint64 size = s.size();
    bool biff8 = false;
    bool sstSeen = false;
    bool trailing = false;
    int depth = 0;
    qint64 lastSheet = 0;
    for (qint64 at = 0; at + 4 <= size;) {
        const quint16 type = u16(s, at);
        const qint64 length = u16(s, at + 2);
        const qint64 body = at + 4;
        const qint64 end = body + length;
        // FreeXL stops at an empty record of type 0; the zeros writers pad the stream with
        // after the last sheet read as such.
        if (type == 0 && length == 0 && trailing)
            break;
        if (end > size && trailing)
            break;
        if (length > 8224 || end > size)
            return XlsVerdict::Damaged;
        switch (type) {
        case kBof:
            if (length >= 2 && depth == 0 && at == 0)
                biff8 = u16(s, body) == 0x0600;
            ++depth;
            break;
        case kEof:
            --depth;
            break;
        case kFilePass:
            return XlsVerdict::Encrypted;
        case kBoundSheet:
            // Each sheet's offset must lead to the sheet's own BOF record.
            if (length < 6 || qint64(u32(s, body)) + 4 > size || u16(s, u32(s, body)) != kBof)
                return XlsVerdict::Damaged;
            lastSheet = qMax<qint64>(lastSheet, u32(s, body));
            if (biff8 && (length < 8 || !stringFitsRecord(s, body + 7, end, quint8(s.at(int(body + 6))))))
                return XlsVerdict::Damaged;
            break;
        case kFormat:
            if (biff8 && (length < 5 || !stringFitsRecord(s, body + 4, end, u16(s, body + 2))))
                return XlsVerdict::Damaged;
            break;
        case kLabel:
            if (length < 8)
                return XlsVerdict::Damaged;
            if (biff8 ? !stringFitsRecord(s, body + 8, end, u16(s, body + 6)) : 8 + u16(s, body + 6) > length)
                return XlsVerdict::Damaged;
            break;
        case kSst: {
            // FreeXL reads any later SST record as more of the first one.
            if (sstSeen || length < 8)
                return XlsVerdict::Damaged;
            sstSeen = true;
            QList<Span> parts{{body, end}};
            for (qint64 next = end; next + 4 <= size && u16(s, next) == kContinue;) {
                const qint64 nextEnd = next + 4 + u16(s, next + 2);
                if (nextEnd > size)
                    break;
                parts.append({next + 4, nextEnd});
                next = nextEnd;
            }
            if (!sstFits(s, parts, u32(s, body + 4)))
                return XlsVerdict::Damaged;
            break;
        }
        default:
            break;
        }
        at = end;
        // What follows the end of the last sheet is padding, but FreeXL reads it as records.
        if (depth <= 0 && type == kEof && at > lastSheet)
            trailing = true;
    }
    return XlsVerdict::Sound;
}
