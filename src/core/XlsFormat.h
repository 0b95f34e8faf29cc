#pragma once

#include <QtGlobal>

// The .xls format as the writer (XlsBook) and the check before FreeXL reads a file (XlsCheck)
// both know it: BIFF records in a stream named "Workbook" of a compound document.
namespace xls {

// ---- compound document ----

// The first bytes of every compound document, .xls or not.
inline constexpr char kCompoundSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
inline constexpr int kCompoundSignatureSize = 8;
// The header at the start of the file; in version 3 it is also the size of every sector.
inline constexpr int kCompoundHeaderSize = 512;
inline constexpr int kDirectoryEntrySize = 128;
// FAT sector numbers listed in the header itself; more go into DIFAT sectors.
inline constexpr int kHeaderDifatEntries = 109;
// A stream shorter than this belongs in the mini stream.
inline constexpr int kMiniStreamCutoff = 4096;

// Sector numbers with a meaning of their own, in the FAT and the directory.
inline constexpr quint32 kFreeSector = 0xFFFFFFFF;
inline constexpr quint32 kEndOfChain = 0xFFFFFFFE;
inline constexpr quint32 kFatSector = 0xFFFFFFFD;
inline constexpr quint32 kDifatSector = 0xFFFFFFFC;
inline constexpr quint32 kNoStream = 0xFFFFFFFF;

// ---- workbook stream ----

// The BIFF record types either side reads or writes.
inline constexpr quint16 kBof = 0x0809;
inline constexpr quint16 kEof = 0x000A;
inline constexpr quint16 kFilePass = 0x002F;
inline constexpr quint16 kFont = 0x0031;
inline constexpr quint16 kContinue = 0x003C;
inline constexpr quint16 kWindow1 = 0x003D;
inline constexpr quint16 kCodePage = 0x0042;
inline constexpr quint16 kBoundSheet = 0x0085;
inline constexpr quint16 kXf = 0x00E0;
inline constexpr quint16 kSst = 0x00FC;
inline constexpr quint16 kLabelSst = 0x00FD;
inline constexpr quint16 kExtSst = 0x00FF;
inline constexpr quint16 kDimensions = 0x0200;
inline constexpr quint16 kNumber = 0x0203;
inline constexpr quint16 kLabel = 0x0204;
inline constexpr quint16 kWindow2 = 0x023E;
inline constexpr quint16 kStyle = 0x0293;
inline constexpr quint16 kFormat = 0x041E;

// The most data one record carries; longer contents go on in CONTINUE records.
inline constexpr int kMaxRecordData = 8224;

// The largest sheet: 65,536 rows (16,384 before BIFF8) and 256 columns.
inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxRowsBiff5 = 16384;
inline constexpr int kMaxColumns = 256;

} // namespace xls
