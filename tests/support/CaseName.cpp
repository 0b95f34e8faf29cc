#include "CaseName.h"

#include <cctype>

std::string CaseName(const QString& text, size_t index)
{
    constexpr size_t kLongest = 48;
    std::string name;
    bool gap = false;
    auto append = [&](const std::string& part, bool ownWord) {
        if ((gap || ownWord) && !name.empty() && name.back() != '_')
            name += '_';
        name += part;
        gap = ownWord;
    };
    for (const QChar c : text) {
        if (name.size() >= kLongest)
            break;
        const ushort code = c.unicode();
        if (code < 128 && std::isalnum(code))
            append(std::string(1, char(code)), false);
        else if (code >= 128) // spelt out, so a text of Chinese only still names its case
            append("u" + QString::number(code, 16).toUpper().toStdString(), true);
        else
            gap = true;
    }
    if (name.empty())
        name = text.isEmpty() ? "empty" : "punctuation";
    if (!name.empty() && name.back() != '_')
        name += '_';
    return name + std::to_string(index);
}
