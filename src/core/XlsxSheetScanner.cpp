#include "XlsxSheetScanner.h"

#include <algorithm>
#include <cstring>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void appendUtf8(std::string& out, uint code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}
} // namespace

XlsxSheetScanner::XlsxSheetScanner(Source& source) : m_source(source) {}

XlsxSheetScanner::Token XlsxSheetScanner::next()
{
    if (m_selfClosing) {
        m_selfClosing = false;
        m_stack.pop_back();
        return End;
    }
    for (;;) {
        if (m_pos >= m_buf.size() && !fill())
            return m_failed ? Failed : finish();
        if (m_buf[m_pos] != '<') {
            size_t lt = m_buf.find('<', m_pos);
            while (lt == std::string::npos) {
                if (!fill())
                    return m_failed ? Failed : finish();
                lt = m_buf.find('<', m_pos);
            }
            const size_t from = m_pos;
            m_pos = lt;
            if (m_stack.empty())
                continue; // blanks around the root
            if (!decode(m_buf.data() + from, lt - from, m_text))
                return Failed;
            return Text;
        }
        size_t gt;
        if (!tagEnd(gt))
            return Failed;
        const char* tag = m_buf.data() + m_pos;
        const size_t length = gt - m_pos + 1; // from '<' to '>'
        const size_t at = m_pos;
        m_pos = gt + 1;
        if (length >= 2 && (tag[1] == '?' || tag[1] == '!')) {
            if (length >= 9 && std::memcmp(tag, "<![CDATA[", 9) == 0) {
                m_pos = at;
                return cdata();
            }
            if (length >= 4 && std::memcmp(tag, "<!--", 4) == 0) {
                m_pos = at;
                if (!skipPast("-->", 4))
                    return Failed;
            }
            continue; // declaration or processing instruction
        }
        if (length >= 2 && tag[1] == '/') {
            size_t end = 2;
            while (end < length - 1 && !isSpace(tag[end]))
                ++end;
            const std::string name(tag + 2, end - 2);
            if (m_stack.empty() || m_stack.back() != name)
                return damaged();
            m_stack.pop_back();
            setName(name);
            return End;
        }
        return startTag(tag, length);
    }
}

std::string XlsxSheetScanner::attribute(const char* wanted) const
{
    for (const auto& a : m_attributes)
        if (a.first == wanted)
            return a.second;
    return std::string();
}

bool XlsxSheetScanner::elementText(std::string& out)
{
    out.clear();
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case Start: ++depth; break;
        case End: --depth; break;
        case Text: out += m_text; break;
        default: return false;
        }
    }
    return true;
}

bool XlsxSheetScanner::fill()
{
    if (m_failed || m_source.atEnd())
        return false;
    if (m_pos > 0 && m_pos * 2 > m_buf.size()) {
        m_buf.erase(0, m_pos);
        m_pos = 0;
    }
    const size_t before = m_buf.size();
    while (m_buf.size() == before) {
        if (!m_source.readRaw(m_buf)) {
            m_failed = true;
            return false;
        }
        if (m_source.atEnd())
            return m_buf.size() > before;
    }
    return true;
}

XlsxSheetScanner::Token XlsxSheetScanner::finish()
{
    if (!m_stack.empty() || !m_sawRoot)
        return damaged("文档意外结束");
    return Done;
}

XlsxSheetScanner::Token XlsxSheetScanner::damaged(const char* reason)
{
    m_failed = true;
    m_source.damaged(QString::fromUtf8(reason));
    return Failed;
}

bool XlsxSheetScanner::tagEnd(size_t& gt)
{
    size_t i = m_pos + 1;
    char quote = 0;
    for (;;) {
        for (; i < m_buf.size(); ++i) {
            const char c = m_buf[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                gt = i;
                return true;
            }
        }
        const size_t offset = i - m_pos;
        if (!fill()) {
            if (!m_failed)
                damaged("文档意外结束");
            return false;
        }
        i = m_pos + offset;
    }
}

bool XlsxSheetScanner::skipPast(const char* marker, size_t skip, size_t* foundAt)
{
    const size_t n = std::strlen(marker);
    size_t from = m_pos + skip;
    for (;;) {
        const size_t found = m_buf.find(marker, from);
        if (found != std::string::npos) {
            if (foundAt)
                *foundAt = found;
            else
                m_pos = found + n;
            return true;
        }
        const size_t offset = std::max(skip, m_buf.size() - m_pos > n ? m_buf.size() - m_pos - n : 0);
        if (!fill()) {
            if (!m_failed)
                damaged("文档意外结束");
            return false;
        }
        from = m_pos + offset;
    }
}

XlsxSheetScanner::Token XlsxSheetScanner::cdata()
{
    size_t found;
    if (!skipPast("]]>", 9, &found))
        return Failed;
    m_text.assign(m_buf, m_pos + 9, found - (m_pos + 9));
    m_pos = found + 3;
    return Text;
}

XlsxSheetScanner::Token XlsxSheetScanner::startTag(const char* tag, size_t length)
{
    size_t end = length - 1; // the '>'
    bool selfClosing = false;
    if (end > 1 && tag[end - 1] == '/') {
        selfClosing = true;
        --end;
    }
    size_t i = 1;
    while (i < end && !isSpace(tag[i]))
        ++i;
    if (i == 1)
        return damaged();
    const std::string name(tag + 1, i - 1);
    m_attributes.clear();
    for (;;) {
        while (i < end && isSpace(tag[i]))
            ++i;
        if (i >= end)
            break;
        const size_t keyStart = i;
        while (i < end && tag[i] != '=' && !isSpace(tag[i]))
            ++i;
        std::string key(tag + keyStart, i - keyStart);
        while (i < end && isSpace(tag[i]))
            ++i;
        if (i >= end || tag[i] != '=')
            return damaged();
        ++i;
        while (i < end && isSpace(tag[i]))
            ++i;
        if (i >= end || (tag[i] != '"' && tag[i] != '\''))
            return damaged();
        const char quote = tag[i++];
        const size_t valueStart = i;
        while (i < end && tag[i] != quote)
            ++i;
        if (i >= end)
            return damaged();
        std::string value;
        if (!decode(tag + valueStart, i - valueStart, value))
            return Failed;
        ++i;
        const size_t colon = key.rfind(':');
        if (colon != std::string::npos && key.compare(0, colon, "xmlns") != 0)
            key.erase(0, colon + 1);
        m_attributes.emplace_back(std::move(key), std::move(value));
    }
    m_stack.push_back(name);
    m_sawRoot = true;
    m_selfClosing = selfClosing;
    setName(name);
    return Start;
}

void XlsxSheetScanner::setName(const std::string& full)
{
    const size_t colon = full.rfind(':');
    m_name = colon == std::string::npos ? full : full.substr(colon + 1);
}

bool XlsxSheetScanner::decode(const char* data, size_t size, std::string& out)
{
    out.clear();
    const char* amp = static_cast<const char*>(std::memchr(data, '&', size));
    if (!amp) {
        out.assign(data, size);
        return true;
    }
    size_t i = 0;
    while (i < size) {
        if (data[i] != '&') {
            out += data[i++];
            continue;
        }
        const char* semi = static_cast<const char*>(std::memchr(data + i, ';', size - i));
        if (!semi) {
            damaged("无效的字符引用");
            return false;
        }
        const std::string ref(data + i + 1, size_t(semi - (data + i + 1)));
        i = size_t(semi - data) + 1;
        if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "amp") out += '&';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const size_t first = hex ? 2 : 1;
            if (first >= ref.size() || ref.size() - first > 8) {
                damaged("无效的字符引用");
                return false;
            }
            uint code = 0;
            for (size_t k = first; k < ref.size(); ++k) {
                const char c = ref[k];
                int digit;
                if (c >= '0' && c <= '9') digit = c - '0';
                else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
                else {
                    damaged("无效的字符引用");
                    return false;
                }
                code = code * (hex ? 16 : 10) + uint(digit);
            }
            const bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                                 (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
            if (!allowed) {
                damaged("无效的字符引用");
                return false;
            }
            appendUtf8(out, code);
        } else {
            damaged("未定义的实体");
            return false;
        }
    }
    return true;
}
