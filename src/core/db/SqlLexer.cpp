#include "db/SqlLexer.h"

namespace db {

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// End (exclusive) of a literal that opened at `start` with `close` as its closing
// character; a doubled closing character is an escaped one.
int literalEnd(const QString& sql, int start, QChar close, bool doubling)
{
    int i = start + 1;
    const int n = sql.size();
    while (i < n) {
        if (sql[i] == close) {
            if (doubling && i + 1 < n && sql[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return n;
}

int spaceEnd(const QString& sql, int i)
{
    const int n = sql.size();
    while (i < n) {
        if (sql[i].isSpace()) {
            ++i;
        } else if (sql[i] == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
        } else if (sql[i] == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const int close = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else {
            break;
        }
    }
    return i;
}

int numberEnd(const QString& sql, int i)
{
    const int n = sql.size();
    while (i < n && (sql[i].isDigit() || sql[i] == u'.'))
        ++i;
    if (i < n && (sql[i] == u'e' || sql[i] == u'E')) {
        int j = i + 1;
        if (j < n && (sql[j] == u'+' || sql[j] == u'-'))
            ++j;
        if (j < n && sql[j].isDigit()) {
            i = j;
            while (i < n && sql[i].isDigit())
                ++i;
        }
    }
    return i;
}

} // namespace

bool SqlToken::isWord(const char* word) const
{
    return kind == Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool SqlToken::isSymbol(QChar symbol) const
{
    return kind == Symbol && text.size() == 1 && text[0] == symbol;
}

QString SqlToken::inner() const
{
    switch (kind) {
    case String:
    case Quoted:
    case Bracketed:
    case Date: {
        const bool closed = text.size() >= 2 && text.back() == (kind == Bracketed ? u']' : text.front());
        return text.mid(1, text.size() - (closed ? 2 : 1));
    }
    default:
        return text;
    }
}

QVector<SqlToken> SqlLexer::tokenize(const QString& sql)
{
    QVector<SqlToken> tokens;
    const int n = sql.size();
    int i = 0;
    while (i < n) {
        const QChar c = sql[i];
        SqlToken::Kind kind = SqlToken::Symbol;
        int end = i + 1;
        const bool comment = (c == u'-' || c == u'/') && i + 1 < n && sql[i + 1] == (c == u'-' ? u'-' : u'*');
        if (c.isSpace() || comment) {
            kind = SqlToken::Space;
            end = spaceEnd(sql, i);
        } else if (c == u'\'') {
            kind = SqlToken::String;
            end = literalEnd(sql, i, u'\'', true);
        } else if (c == u'"') {
            kind = SqlToken::Quoted;
            end = literalEnd(sql, i, u'"', true);
        } else if (c == u'[') {
            kind = SqlToken::Bracketed;
            end = literalEnd(sql, i, u']', false);
        } else if (c == u'#') {
            kind = SqlToken::Date;
            end = literalEnd(sql, i, u'#', false);
        } else if (isWordStart(c)) {
            kind = SqlToken::Word;
            while (end < n && isWordPart(sql[end]))
                ++end;
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && sql[i + 1].isDigit())) {
            kind = SqlToken::Number;
            end = numberEnd(sql, i);
        } else if (i + 1 < n) {
            static const QStringList pairs = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">="),
                                              QStringLiteral("!="), QStringLiteral("||"), QStringLiteral("==")};
            if (pairs.contains(sql.mid(i, 2)))
                end = i + 2;
        }
        tokens.push_back(SqlToken{kind, sql.mid(i, end - i), i});
        i = end;
    }
    return tokens;
}

int SqlLexer::nextSignificant(const QVector<SqlToken>& tokens, int from)
{
    int i = from + 1;
    while (i < tokens.size() && tokens[i].kind == SqlToken::Space)
        ++i;
    return i;
}

int SqlLexer::previousSignificant(const QVector<SqlToken>& tokens, int from)
{
    int i = from - 1;
    while (i >= 0 && tokens[i].kind == SqlToken::Space)
        --i;
    return i;
}

} // namespace db
