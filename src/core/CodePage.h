#pragma once

#include <QByteArray>
#include <QString>

// The local double-byte code page (GBK) that replies, text files and the update address use.
namespace codepage {

QString decode(const QByteArray& bytes);
// Encodes text; *lossy is set when a character has no GBK code (written as "?").
QByteArray encode(const QString& text, bool* lossy = nullptr);

// Reads a whole text file in the code page; false when it cannot be opened.
bool readTextFile(const QString& path, QString* text, QString* error = nullptr);
// First line of a text file (without its line break); false when the file cannot be opened.
bool readFirstLine(const QString& path, QString* line, QString* error = nullptr);
// Writes (replacing) a text file in the code page; false when it cannot be written.
bool writeTextFile(const QString& path, const QString& text, QString* error = nullptr);

} // namespace codepage
