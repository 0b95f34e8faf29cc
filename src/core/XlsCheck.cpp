#include "XlsCheck.h"

#include "XlsFormat.h"

#include <QList>
#include <QtEndian>

namespace {

using namespace xls;

quint16 u16(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 u32(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// The compound document read the way FreeXL 1.0.6 reads it, so that the records checked below
// are the ones it parses: its FAT is every sector the header and the DIFAT list, sector offsets
// are 32-bit, it looks for the workbook in the first directory sector only, and it reads a
// small workbook from the start of the mini stream. Where FreeXL would fail before it parses a
// record, the verdict is left to it.
class Compound
{
public:
    explicit Compound(const QByteArray& file) : file_(file) {}

    // Whether the workbook stream is read from the mini stream.
    bool mini() const { return mini_; }

    XlsVerdict workbookStream(QByteArray* stream)
    {
        if (file_.size() < kCompoundHeaderSize ||
            !file_.startsWith(QByteArrayView(kCompoundSignature, kCompoundSignatureSize)))
            return XlsVerdict::Unknown;
        const int shift = u16(file_, 30);
        if (shift != 9 && shift != 12)
            return XlsVerdict::Unknown;
        sector_ = 1 << shift;
        const qint64 sectors = file_.size() / sector_;
        // FreeXL converts the name of every entry of the first directory sector by its length,
        // reading on past the entry, also after it has met the workbook and also when the
        // allocation table it read before is broken. No sound entry's name is longer than 64 bytes.
        qint64 directory = 0;
        const bool directoryHeld = sectorAt(u32(file_, 48), &directory);
        if (directoryHeld) {
            for (qint64 at = directory; at < directory + sector_; at += kDirectoryEntrySize) {
                if (u16(file_, at + 64) > 64)
                    return XlsVerdict::Damaged;
            }
        }

        int fatSectors = 0;
        for (int i = 0; i < kHeaderDifatEntries; ++i) {
            const quint32 sector = u32(file_, 76 + 4 * i);
            if (sector != kFreeSector && !appendFatSector(sector))
                return XlsVerdict::Unknown;
            fatSectors += sector != kFreeSector;
        }
        const quint32 difatSectors = u32(file_, 72);
        // FreeXL reads as many DIFAT sectors as the header says, the same ones again if the
        // chain loops; more than the file holds only makes it allocate without end.
        if (difatSectors > sectors)
            return XlsVerdict::Damaged;
        quint32 difat = u32(file_, 68);
        for (quint32 block = 0; block < difatSectors;) {
            qint64 at = 0;
            // A DIFAT sector the header counts but the file does not hold: FreeXL goes on
            // reading from wherever its wrapped offset points.
            if (!sectorAt(difat, &at))
                return XlsVerdict::Damaged;
            ++block;
            bool end = false;
            for (int i = 0; i < sector_ / 4 && !end; ++i) {
                const quint32 entry = u32(file_, at + 4 * i);
                if (entry == kEndOfChain)
                    end = true;
                else if (i == sector_ / 4 - 1)
                    difat = entry;
                else if (entry != kFreeSector && (++fatSectors > sectors || !appendFatSector(entry)))
                    return fatSectors > sectors ? XlsVerdict::Damaged : XlsVerdict::Unknown;
            }
            if (end)
                break;
        }
        if (fatSectors > sectors)
            return XlsVerdict::Damaged;
        if (fat_.isEmpty())
            return XlsVerdict::Unknown;

        if (!directoryHeld)
            return XlsVerdict::Unknown;
        quint32 miniStart = 0;
        quint32 miniSize = 0;
        for (qint64 at = directory; at < directory + sector_; at += kDirectoryEntrySize) {
            const int nameBytes = u16(file_, at + 64);
            if (nameBytes % 2 != 0)
                return XlsVerdict::Unknown;
            QString name = QString::fromUtf16(reinterpret_cast<const char16_t*>(file_.constData() + at), nameBytes / 2);
            name.truncate(name.indexOf(QChar(0)) < 0 ? name.size() : name.indexOf(QChar(0)));
            if (name == QLatin1String("Root Entry")) {
                miniStart = u32(file_, at + 116);
                miniSize = u32(file_, at + 120);
            }
            if (name != QLatin1String("Workbook") && name != QLatin1String("Book"))
                continue;
            const quint32 start = u32(file_, at + 116);
            const quint32 size = u32(file_, at + 120);
            const quint32 miniCutoff = u32(file_, 64) > 0 ? u32(file_, 56) : 0;
            mini_ = size <= miniCutoff;
            // FreeXL sets aside the size a stream claims before it reads a sector of it; no
            // stream of a sound file is larger than the file.
            if (qint64(mini_ ? miniSize : size) > file_.size())
                return XlsVerdict::Damaged;
            if (!mini_)
                return chain(start, size, stream);
            // FreeXL parses the first bytes of the whole mini stream, as many as the workbook
            // has, from its copy of the mini stream.
            if (size > miniSize)
                return XlsVerdict::Damaged;
            const XlsVerdict verdict = chain(miniStart, miniSize, stream);
            stream->truncate(size);
            return verdict;
        }
        return XlsVerdict::Unknown;
    }

private:
    // FreeXL computes a sector's place in 32 bits, so that large numbers wrap.
    bool sectorAt(quint32 sector, qint64* at) const
    {
        *at = quint32((sector + 1) * quint32(sector_));
        return *at + sector_ <= file_.size();
    }

    bool appendFatSector(quint32 sector)
    {
        qint64 at = 0;
        if (!sectorAt(sector, &at))
            return false;
        for (int j = 0; j < sector_ / 4; ++j)
            fat_.append(u32(file_, at + 4 * j));
        return true;
    }

    // Follows a chain of sectors for up to size bytes. Where FreeXL would stop reading, so does
    // this: what came before is what it parses.
    XlsVerdict chain(quint32 sector, qint64 size, QByteArray* out) const
    {
        out->clear();
        // Appending sector by sector without room set aside copies the stream over and over.
        out->reserve(qMin<qint64>(size, file_.size()));
        while (out->size() < size) {
            qint64 at = 0;
            if (!sectorAt(sector, &at))
                break;
            out->append(file_.constData() + at, sector_);
            // A chain longer than the file goes round; FreeXL would read it round and round.
            if (out->size() > file_.size())
                return XlsVerdict::Damaged;
            if (sector >= quint32(fat_.size()) || fat_[int(sector)] == kEndOfChain)
                break;
            sector = fat_[int(sector)];
        }
        out->truncate(qMin<qint64>(size, out->size()));
        return XlsVerdict::Sound;
    }

    const QByteArray& file_;
    int sector_ = 512;
    bool mini_ = false;
    QList<quint32> fat_;
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

// Whether FreeXL gives characters back as they are: it ends a text at a NUL, and loses every
// sheet over half of a surrogate pair.
bool charactersReadable(const QByteArray& s, qint64 at, qint64 chars, bool wide, bool* pendingHigh)
{
    for (qint64 i = 0; i < chars; ++i) {
        const char16_t c = wide ? u16(s, at + 2 * i) : char16_t(quint8(s.at(int(at + i))));
        if (c == 0 || *pendingHigh != QChar::isLowSurrogate(c))
            return false;
        *pendingHigh = QChar::isHighSurrogate(c);
    }
    return true;
}

// The shared-string table: its strings run through the SST record and the CONTINUE records after
// it. A string's characters may go on in the next record, which then starts with a flags byte of
// its own; its runs and phonetic block may go on there too. Besides refusing what runs past the
// table, this refuses the layouts FreeXL 1.0.6 misreads into reading outside its record buffer:
// a string header cut by a record end, and runs or phonetic data of a string reaching beyond the
// record after the one they start in (or, after a cut string, beyond its second record at all).
// Characters spread over more than two records FreeXL cuts short or reads past its buffer;
// such a text, like one FreeXL cannot give back whole, makes the table unreadable.
XlsVerdict sstVerdict(const QByteArray& s, const QList<Span>& parts, quint32 count)
{
    int part = 0;
    qint64 at = parts[0].begin + 8;
    for (quint32 i = 0; i < count; ++i) {
        const bool more = i + 1 < count;
        while (at == parts[part].end) {
            if (++part == parts.size())
                return XlsVerdict::Sound; // fewer strings than counted: FreeXL leaves the others out
            at = parts[part].begin;
        }
        qint64 end = parts[part].end;
        StringHeader h;
        if (at + 2 > end || !readHeader(s, at + 2, end, &h))
            return XlsVerdict::Damaged;
        qint64 chars = u16(s, at);
        at += 2 + h.size;
        bool wide = h.wide;
        bool cut = false;
        bool pendingHigh = false;
        while (chars * (wide ? 2 : 1) > end - at) {
            if ((wide && (end - at) % 2 != 0) || ++part == parts.size())
                return XlsVerdict::Damaged;
            if (cut)
                return XlsVerdict::TextUnreadable;
            const qint64 here = (end - at) / (wide ? 2 : 1);
            if (!charactersReadable(s, at, here, wide, &pendingHigh))
                return XlsVerdict::TextUnreadable;
            chars -= here;
            cut = true;
            at = parts[part].begin;
            end = parts[part].end;
            if (at == end)
                return XlsVerdict::Damaged;
            wide = quint8(s.at(int(at))) & 0x01;
            ++at;
        }
        if (!charactersReadable(s, at, chars, wide, &pendingHigh) || pendingHigh)
            return XlsVerdict::TextUnreadable;
        at += chars * (wide ? 2 : 1);
        if (at + h.trailing > end) {
            const qint64 spill = at + h.trailing - end;
            if (cut || ++part == parts.size())
                return XlsVerdict::Damaged;
            const qint64 next = parts[part].end - parts[part].begin;
            if (spill > next || (spill == next && more))
                return XlsVerdict::Damaged;
            at = parts[part].begin + spill;
        } else {
            at += h.trailing;
        }
    }
    return XlsVerdict::Sound;
}

} // namespace

XlsVerdict CheckXlsFile(const QByteArray& file, int* activeSheet)
{
    int active = 0;
    if (!activeSheet)
        activeSheet = &active;
    *activeSheet = 0;
    Compound compound(file);
    QByteArray s;
    const XlsVerdict stream = compound.workbookStream(&s);
    if (stream != XlsVerdict::Sound)
        return stream;

    const qint64 size = s.size();
    bool biff8 = false;
    bool sstSeen = false;
    bool trailing = false;
    bool afterEof = true;
    int dimensions = 0;
    int depth = 0;
    qint64 lastSheet = 0;
    bool globalsEnded = false;
    bool windowSeen = false;
    for (qint64 at = 0; at + 4 <= size;) {
        const quint16 type = u16(s, at);
        const qint64 length = u16(s, at + 2);
        const qint64 body = at + 4;
        const qint64 end = body + length;
        // FreeXL stops at an empty record of type 0 (but not in a mini stream); the zeros
        // writers pad the stream with after the last sheet read as such.
        if (type == 0 && length == 0 && trailing && !compound.mini())
            break;
        if (length > kMaxRecordData || end > size)
            return XlsVerdict::Damaged;
        switch (type) {
        case kBof:
            if (length >= 2 && depth == 0 && at == 0)
                biff8 = u16(s, body) == 0x0600;
            ++depth;
            // FreeXL takes a BOF after an EOF as the start of the next sheet.
            if (afterEof)
                dimensions = 0;
            afterEof = false;
            break;
        case kEof:
            --depth;
            afterEof = true;
            globalsEnded = true;
            break;
        case kDimensions:
            // FreeXL allocates a sheet's cells again for a second one, keeping the first
            // size's cells but the second size, and frees past them when it closes.
            if (++dimensions > 1)
                return XlsVerdict::Damaged;
            // A size beyond the largest sheet has FreeXL walk a grid it never filled.
            if (biff8 ? length >= 14 && (u32(s, body + 4) > quint32(kMaxRows) || u16(s, body + 10) > kMaxColumns)
                      : length >= 10 && (u16(s, body + 2) > kMaxRowsBiff5 || u16(s, body + 6) > kMaxColumns))
                return XlsVerdict::Damaged;
            break;
        case kFilePass:
            return XlsVerdict::Encrypted;
        case kWindow1:
            // The globals come first and hold the workbook's one WINDOW1; its tab in front counts
            // the sheets as the BOUNDSHEET records list them, as FreeXL does.
            if (depth == 1 && !globalsEnded && !windowSeen && length >= 12) {
                *activeSheet = u16(s, body + 10);
                windowSeen = true;
            }
            break;
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
            const XlsVerdict table = sstVerdict(s, parts, u32(s, body + 4));
            if (table != XlsVerdict::Sound)
                return table;
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
