#include "TextFileLines.h"

#include "CodePage.h"

#include <QStringDecoder>

namespace textfile {

QString decode(const QByteArray& bytes)
{
    struct Mark
    {
        QByteArrayView bytes;
        QStringConverter::Encoding encoding;
    };
    static const Mark marks[] = {
        {QByteArrayView("\xEF\xBB\xBF", 3), QStringConverter::Utf8},
        {QByteArrayView("\xFF\xFE", 2), QStringConverter::Utf16LE},
        {QByteArrayView("\xFE\xFF", 2), QStringConverter::Utf16BE},
    };
    for (const Mark& mark : marks) {
        if (bytes.startsWith(mark.bytes)) {
            // Without ConvertInitialBom the decoder drops the mark itself.
            QStringDecoder decoder(mark.encoding);
            return decoder.decode(bytes);
        }
    }
    return codepage::decode(bytes);
}

Lines splitLines(const QString& text)
{
    Lines result;
    const QChar* const data = text.constData();
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] != QLatin1Char('\n'))
            continue;
        const qsizetype end = (i > start && data[i - 1] == QLatin1Char('\r')) ? i - 1 : i;
        result.lines.append(QString(data + start, end - start));
        ++result.lineNumberAtEnd;
        start = i + 1;
    }
    if (start < size)
        result.lines.append(QString(data + start, size - start));
    return result;
}

Lines splitLines(const QByteArray& bytes)
{
    return splitLines(decode(bytes));
}

} // namespace textfile
