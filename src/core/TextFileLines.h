#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// How the number imports see a text file: its text, and its lines as a line-by-line reader
// returns them. No widgets and no files, so any byte sequence can be fed in.
namespace textfile {

// The text of a file's bytes. A file that starts with a byte-order mark (UTF-8, UTF-16 LE,
// UTF-16 BE) is read in that encoding, without the mark; any other file in the local code
// page (GBK), as editors here save plain text.
QString decode(const QByteArray& bytes);

struct Lines
{
    // The lines a reader gets until the end of the text, without their line breaks. A break
    // is LF or CR LF; a CR not followed by LF stays part of its line. A text that ends with
    // a break has no empty line after it, and an empty text has no line at all.
    QStringList lines;
    // The line number at the end of the text: the number of line breaks plus one.
    qint64 lineNumberAtEnd = 1;
};

Lines splitLines(const QString& text);
// decode() then splitLines().
Lines splitLines(const QByteArray& bytes);

} // namespace textfile
