// A number file as the text import reads it: decoded by its mark or the code page, split into
// lines, each line trimmed and checked as a number; and the ";"-separated form.
#include "FuzzSupport.h"
#include "PublicFunction.h"
#include "TextFileLines.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const textfile::Lines text = textfile::splitLines(input);
    // Every line read ends at a break or at the end, so there are never more lines than the
    // line number at the end, and no line holds a LF.
    if (text.lines.size() > text.lineNumberAtEnd)
        std::abort();
    for (const QString& line : text.lines) {
        if (line.contains(QLatin1Char('\n')))
            std::abort();
        QString entry = line.trimmed();
        IsMobileNumber(entry);
    }
    const QString whole = textfile::decode(input);
    for (const QString& piece : whole.split(QLatin1Char(';'))) {
        QString number = piece.trimmed();
        IsMobileNumber(number);
    }
    return 0;
}
