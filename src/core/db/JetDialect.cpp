#include "db/JetDialect.h"

#include "db/DbError.h"
#include "db/JetDate.h"
#include "db/SqlLexer.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace db::jet {

namespace {

// Words that end an operand: clause and logical keywords, and the comparisons spelt as words.
bool isStopWord(const SqlToken& token)
{
    static const char* const words[] = {
        "and",  "or",     "not",   "xor",   "like",   "is",       "in",     "between", "select", "from",   "where",
        "set",  "on",     "as",    "by",    "order",  "group",    "having", "when",    "then",   "else",   "end",
        "case", "values", "into",  "union", "limit",  "offset",   "asc",    "desc",    "escape", "join",   "inner",
        "left", "right",  "outer", "cross", "exists", "distinct", "all",    "update",  "delete", "insert", "top"};
    if (token.kind != SqlToken::Word)
        return false;
    for (const char* word : words) {
        if (token.isWord(word))
            return true;
    }
    return false;
}

enum class Level
{
    Sum,    // + and -
    Concat, // &, one step weaker than + and - in Jet
};

// Whether a symbol at bracket depth 0 may stand inside an operand of an operator of level.
// Walking left the operand takes the operators of its own level too (they group to the left);
// walking right it stops at them.
bool symbolInOperand(const SqlToken& token, Level level, bool walkingLeft)
{
    if (token.text.size() != 1)
        return false;
    switch (token.text[0].unicode()) {
    case u'*':
    case u'/':
    case u'\\':
    case u'^':
    case u'.':
        return true;
    case u'+':
    case u'-':
        return walkingLeft || level == Level::Concat;
    case u'&':
        return walkingLeft && level == Level::Concat;
    default:
        return false;
    }
}

// First token of the left operand of the operator at index, or -1 when it has none.
int leftOperandStart(const QVector<SqlToken>& tokens, int index, Level level)
{
    int first = -1;
    int depth = 0;
    for (int i = index - 1; i >= 0; --i) {
        const SqlToken& token = tokens[i];
        if (token.kind == SqlToken::Space)
            continue;
        if (token.isSymbol(u')')) {
            ++depth;
        } else if (token.isSymbol(u'(')) {
            if (depth == 0)
                break;
            --depth;
        } else if (depth == 0) {
            if (token.isSymbol(u',') || token.isSymbol(u';') || isStopWord(token))
                break;
            if (token.kind == SqlToken::Symbol && !symbolInOperand(token, level, true))
                break;
        }
        first = i;
    }
    return first;
}

// One past the last token of the right operand of the operator at index; index + 1 when it
// has none.
int rightOperandEnd(const QVector<SqlToken>& tokens, int index, Level level)
{
    int end = index + 1;
    int depth = 0;
    bool seenOperand = false;
    for (int i = index + 1; i < tokens.size(); ++i) {
        const SqlToken& token = tokens[i];
        if (token.kind == SqlToken::Space) {
            if (depth > 0)
                end = i + 1;
            continue;
        }
        if (token.isSymbol(u'(')) {
            ++depth;
        } else if (token.isSymbol(u')')) {
            if (depth == 0)
                break;
            --depth;
        } else if (depth == 0) {
            if (token.isSymbol(u',') || token.isSymbol(u';') || isStopWord(token))
                break;
            const bool sign = token.isSymbol(u'-') || token.isSymbol(u'+');
            if (token.kind == SqlToken::Symbol && !(sign && !seenOperand) && !symbolInOperand(token, level, false))
                break;
        }
        if (token.kind != SqlToken::Symbol || token.isSymbol(u')'))
            seenOperand = true;
        end = i + 1;
    }
    return seenOperand ? end : index + 1;
}

SqlToken made(SqlToken::Kind kind, const QString& text)
{
    return SqlToken{kind, text, -1};
}

// Jet decides what "+" does from its operands' values (texts join, numbers add, a number with
// a numeric text adds) and "&" joins with Null read as empty; neither maps onto one SQLite
// operator, so each becomes a call of the function registered for it. Operands are found
// with Jet's precedence, so "a & b + c" is a & (b + c) and "a - b + c" is (a - b) + c.
void rewriteOperator(QVector<SqlToken>& tokens, QChar op, Level level, const QString& function)
{
    for (int i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].isSymbol(op))
            continue;
        const int first = leftOperandStart(tokens, i, level);
        const int end = rightOperandEnd(tokens, i, level);
        if (first < 0 || end == i + 1)
            continue; // a sign, or a fault the engine is to report
        int leftEnd = i;
        while (tokens[leftEnd - 1].kind == SqlToken::Space)
            --leftEnd;
        int rightStart = i + 1;
        while (tokens[rightStart].kind == SqlToken::Space)
            ++rightStart;
        QVector<SqlToken> call;
        call << made(SqlToken::Word, function) << made(SqlToken::Symbol, QStringLiteral("("));
        call << tokens.mid(first, leftEnd - first) << made(SqlToken::Symbol, QStringLiteral(","));
        call << tokens.mid(rightStart, end - rightStart) << made(SqlToken::Symbol, QStringLiteral(")"));
        tokens.remove(first, end - first);
        for (int k = 0; k < call.size(); ++k)
            tokens.insert(first + k, call[k]);
        i = first + int(call.size()) - 1;
    }
}

QString dateLiteral(const SqlToken& token)
{
    const auto moment = JetDate::parse(token.inner());
    if (!moment)
        throw DbError(ErrSyntax, QStringLiteral("查询表达式 '%1' 中日期的语法错误。").arg(token.text));
    return QLatin1Char('\'') + JetDate::toText(*moment) + QLatin1Char('\'');
}

QString quotedName(const SqlToken& token)
{
    QString name = token.inner();
    name.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// "delete * from T" is Jet's spelling of "delete from T".
bool isDeleteStar(const QVector<SqlToken>& tokens, int index)
{
    const int previous = SqlLexer::previousSignificant(tokens, index);
    return tokens[index].isSymbol(u'*') && previous >= 0 && tokens[previous].isWord("delete");
}

QString translateUncached(const QString& jetSql)
{
    QVector<SqlToken> tokens = SqlLexer::tokenize(jetSql);
    rewriteOperator(tokens, u'+', Level::Sum, QStringLiteral("jet_plus"));
    rewriteOperator(tokens, u'&', Level::Concat, QStringLiteral("jet_concat"));
    QString out;
    out.reserve(jetSql.size() + 16);
    for (int i = 0; i < tokens.size(); ++i) {
        const SqlToken& token = tokens[i];
        switch (token.kind) {
        case SqlToken::Bracketed:
            out += quotedName(token);
            break;
        case SqlToken::Date:
            out += dateLiteral(token);
            break;
        case SqlToken::Word:
            if (token.isWord("true"))
                out += QLatin1Char('1');
            else if (token.isWord("false"))
                out += QLatin1Char('0');
            else
                out += token.text;
            break;
        case SqlToken::Symbol:
            if (!isDeleteStar(tokens, i)) {
                out += token.text;
            }
            break;
        default:
            out += token.text;
            break;
        }
    }
    return out;
}

// Statements that loops build over and over (the same query on every refresh) are
// translated once. The cache is small and simply starts over when full.
constexpr int kCacheLimit = 512;
QMutex g_cacheMutex;
QHash<QString, QString> g_cache;

} // namespace

QString translate(const QString& jetSql)
{
    {
        QMutexLocker lock(&g_cacheMutex);
        const auto it = g_cache.constFind(jetSql);
        if (it != g_cache.constEnd())
            return it.value();
    }
    QString sql = translateUncached(jetSql);
    QMutexLocker lock(&g_cacheMutex);
    if (g_cache.size() >= kCacheLimit)
        g_cache.clear();
    g_cache.insert(jetSql, sql);
    return sql;
}

} // namespace db::jet
