#include "CodePage.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace codepage {

namespace {

// The codec name is looked up by name on purpose: Qt's built-in encoding enum has no GBK,
// the ICU backend provides it under this name.
constexpr char kCodecName[] = "GBK";

QString errorOf(const QFileDevice& file)
{
    return file.errorString();
}

} // namespace

QString decode(const QByteArray& bytes)
{
    QStringDecoder decoder(kCodecName);
    return decoder.decode(bytes);
}

QByteArray encode(const QString& text, bool* lossy)
{
    QStringEncoder encoder(kCodecName);
    QByteArray bytes = encoder.encode(text);
    if (lossy)
        *lossy = encoder.hasError();
    return bytes;
}

bool readTextFile(const QString& path, QString* text, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = errorOf(file);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = errorOf(file);
        return false;
    }
    if (text)
        *text = decode(bytes);
    return true;
}

bool readFirstLine(const QString& path, QString* line, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = errorOf(file);
        return false;
    }
    QByteArray bytes = file.readLine();
    // Both CR LF and a bare LF end a line; a final line without a break is taken whole.
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    if (line)
        *line = decode(bytes);
    return true;
}

bool writeTextFile(const QString& path, const QString& text, QString* error)
{
    // QSaveFile writes beside the target and renames on commit, so a failed write
    // leaves the old file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = errorOf(file);
        return false;
    }
    const QByteArray bytes = encode(text);
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = errorOf(file);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = errorOf(file);
        return false;
    }
    return true;
}

} // namespace codepage
