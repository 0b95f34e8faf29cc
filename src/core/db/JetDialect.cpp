#include "db/JetDialect.h"

#include "db/DbError.h"
#include "db/JetDate.h"
#include "db/SqlLexer.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace db::jet {

namespace {

bool isTextLiteral(const QVector<SqlToken>& tokens, int index)
{
    return index >= 0 && index < tokens.size() && tokens[index].kind == SqlToken::String;
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
    const QVector<SqlToken> tokens = SqlLexer::tokenize(jetSql);
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
            if (token.isSymbol(u'&')) {
                out += QLatin1String("||");
            } else if (token.isSymbol(u'+') && (isTextLiteral(tokens, SqlLexer::previousSignificant(tokens, i)) ||
                                                isTextLiteral(tokens, SqlLexer::nextSignificant(tokens, i)))) {
                out += QLatin1String("||");
            } else if (!isDeleteStar(tokens, i)) {
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
