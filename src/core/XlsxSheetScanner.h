#pragma once

#include <QString>
#include <string>
#include <utility>
#include <vector>

// The worksheet parts of an .xlsx are by far the largest; a general parser spends most of its
// time on what a sheet never uses. This pull scanner knows just enough XML for them: tags with
// attributes in either quotes, character and entity references, CDATA, comments and processing
// instructions, and it checks that every element is closed by its own name. Names and texts
// stay UTF-8, as the part holds them.
class XlsxSheetScanner final
{
public:
    // Where the bytes come from, unpacked slice by slice, and where a damaged part is reported.
    class Source
    {
    public:
        virtual ~Source() = default;
        // Appends the next slice to out. False after a failure; at the end, true with nothing
        // appended and atEnd() set.
        virtual bool readRaw(std::string& out) = 0;
        virtual bool atEnd() const = 0;
        virtual void damaged(const QString& reason) = 0;
    };

    enum Token
    {
        Start,
        End,
        Text,
        Done,
        Failed
    };

    explicit XlsxSheetScanner(Source& source);

    Token next();
    // The element's name without a prefix.
    const std::string& name() const { return m_name; }
    const std::string& text() const { return m_text; }
    // A decoded attribute of the last start tag; empty when absent.
    std::string attribute(const char* wanted) const;
    // Text up to the end of the current element, nested elements included.
    bool elementText(std::string& out);

private:
    bool fill();
    Token finish();
    Token damaged(const char* reason = "XML格式错误");
    // Finds the '>' that ends the tag at m_pos, quotes respected; more is unpacked as needed.
    bool tagEnd(size_t& gt);
    // Finds marker after m_pos + skip; moves past it, or tells where it is when found is given.
    bool skipPast(const char* marker, size_t skip = 0, size_t* foundAt = nullptr);
    Token cdata();
    Token startTag(const char* tag, size_t length);
    void setName(const std::string& full);
    // Text with its references resolved; an unknown or malformed reference is a damaged part.
    bool decode(const char* data, size_t size, std::string& out);

    Source& m_source;
    std::string m_buf;
    size_t m_pos = 0;
    std::string m_name;
    std::string m_text;
    std::vector<std::pair<std::string, std::string>> m_attributes;
    std::vector<std::string> m_stack;
    bool m_selfClosing = false;
    bool m_sawRoot = false;
    bool m_failed = false;
};
