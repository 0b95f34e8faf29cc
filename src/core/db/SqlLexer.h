#pragma once

#include <QString>
#include <QVector>

namespace db {

// One lexical piece of a Jet SQL text. `text` is the exact source text, so joining the
// tokens of a statement gives the statement back unchanged.
struct SqlToken
{
    enum Kind
    {
        Space,     // blanks, line breaks and comments
        String,    // 'text' with '' escapes
        Quoted,    // "name"
        Bracketed, // [name]
        Date,      // #date#
        Word,      // names and keywords
        Number,
        Symbol, // operators, parentheses, commas, ...
    };
    Kind kind;
    QString text;
    int start;

    bool isWord(const char* word) const; // a Word equal to word, ignoring case
    bool isSymbol(QChar symbol) const;
    QString inner() const; // text without the enclosing quotes/brackets/#
};

// Splits Jet SQL into tokens. An unterminated literal runs to the end of the text, so
// that the engine reports the fault rather than the splitter guessing.
class SqlLexer final
{
public:
    static QVector<SqlToken> tokenize(const QString& sql);
    // Index of the next non-Space token after `from`, or tokens.size().
    static int nextSignificant(const QVector<SqlToken>& tokens, int from);
    // Index of the previous non-Space token before `from`, or -1.
    static int previousSignificant(const QVector<SqlToken>& tokens, int from);
};

} // namespace db
