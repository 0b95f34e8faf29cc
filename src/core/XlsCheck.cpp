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
    kFormat = 0x041E,
};

// The bytes a BIFF8 unicode string needs: its characters (one or two bytes each) and, when the
// flags say so, its rich-text runs and phonetic block.
bool unicodeStringFits(const QByteArray& s, qint64 at, qint64 end, qint64 chars, qint64 available)
{
    if (at >= end)
        return chars == 0;
    const quint8 flags = quint8(s.at(int(at)));
    return 1 + chars * ((flags & 0x01) ? 2 : 1) <= available;
}

// The body of the shared string table and of the CONTINUE records after it, read as one run of
// bytes that knows where each record ends.
class SstReader
{
public:
    SstReader(const QByteArray& s, qint64 body, qint64 end) : s_(s) { parts_.append({body, end}); }
    void addPart(qint64 body, qint64 end) { parts_.append({body, end}); }

    // Every string of the table FreeXL reads whole; a table cut short is left to it.
    bool stringsReadable()
    {
        at_ = parts_[0].first;
        if (!skip(8)) // total and unique counts
            return true;
        for (;;) {
            if (left() == 0 && !nextPart())
                return true;
            quint32 chars = 0;
            quint32 flags = 0;
            if (!read(2, &chars) || !read(1, &flags))
                return true;
            quint32 runs = 0;
            quint32 extra = 0;
            if (((flags & 0x08) && !read(2, &runs)) || ((flags & 0x04) && !read(4, &extra)))
                return true;
            int records = 1;
            bool wide = flags & 0x01;
            bool pendingHigh = false;
            while (chars > 0) {
                const qint64 take = qMin<qint64>(chars, left() / (wide ? 2 : 1));
                for (qint64 i = 0; i < take; ++i) {
                    const char16_t c = wide ? u16(s_, at_ + 2 * i) : char16_t(quint8(s_.at(int(at_ + i))));
                    const bool high = QChar::isHighSurrogate(c);
                    if (c == 0 || (pendingHigh != QChar::isLowSurrogate(c)))
                        return false;
                    pendingHigh = high;
                }
                at_ += take * (wide ? 2 : 1);
                chars -= quint32(take);
                if (chars == 0)
                    break;
                // The characters go on in the next record, after a byte saying how wide they are.
                if (!nextPart() || left() == 0)
                    return true;
                if (++records > 2)
                    return false;
                wide = quint8(s_.at(int(at_))) & 0x01;
                ++at_;
            }
            if (pendingHigh)
                return false;
            if (!skip(qint64(runs) * 4 + extra))
                return true;
        }
    }

private:
    qint64 left() const { return parts_[part_].second - at_; }
    bool nextPart()
    {
        if (part_ + 1 >= parts_.size())
            return false;
        at_ = parts_[++part_].first;
        return true;
    }
    bool skip(qint64 bytes)
    {
        while (bytes > 0) {
            if (left() == 0 && !nextPart())
                return false;
            const qint64 step = qMin(bytes, left());
            at_ += step;
            bytes -= step;
        }
        return true;
    }
    bool read(int bytes, quint32* value)
    {
        *value = 0;
        for (int i = 0; i < bytes; ++i) {
            if (left() == 0 && !nextPart())
                return false;
            *value |= quint32(quint8(s_.at(int(at_++)))) << (8 * i);
        }
        return true;
    }

    const QByteArray& s_;
    QList<std::pair<qint64, qint64>> parts_;
    int part_ = 0;
    qint64 at_ = 0;
};

} // namespace

XlsVerdict CheckXlsFile(const QByteArray& file)
{
    Compound compound(file);
    QByteArray s;
    if (!compound.load() || !compound.workbookStream(&s))
        return XlsVerdict::Unknown;

    const qint64 size = s.size();
    bool biff8 = false;
    int depth = 0;
    qint64 lastSheet = 0;
    for (qint64 at = 0; at + 4 <= size;) {
        const quint16 type = u16(s, at);
        const qint64 length = u16(s, at + 4 - 2);
        const qint64 body = at + 4;
        const qint64 end = body + length;
        if (length > 8224 || end > size)
            return XlsVerdict::Damaged;
        // A string may run on into the CONTINUE records that follow.
        qint64 continued = 0;
        SstReader table(s, body, end);
        for (qint64 next = end; next + 4 <= size && u16(s, next) == kContinue;) {
            const qint64 more = u16(s, next + 2);
            if (type == kSst && next + 4 + more <= size)
                table.addPart(next + 4, next + 4 + more);
            continued += more;
            next += 4 + more;
        }
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
            if (biff8 && (length < 8 || !unicodeStringFits(s, body + 7, end, quint8(s.at(int(body + 6))),
                                                            length - 7 + continued)))
                return XlsVerdict::Damaged;
            break;
        case kFormat:
            if (biff8 && (length < 5 || !unicodeStringFits(s, body + 4, end, u16(s, body + 2),
                                                            length - 4 + continued)))
                return XlsVerdict::Damaged;
            break;
        case kSst:
            if (biff8 && !table.stringsReadable())
                return XlsVerdict::TextUnreadable;
            break;
        default:
            break;
        }
        at = end;
        // What follows the end of the last sheet is padding.
        if (depth <= 0 && type == kEof && at > lastSheet)
            break;
    }
    return XlsVerdict::Sound;
}
