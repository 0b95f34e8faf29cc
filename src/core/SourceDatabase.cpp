#include "SourceDatabase.h"

#include "db/Connection.h"
#include "db/DbError.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <sqlcipher/sqlite3.h>

// mdbtools.h wraps glib in extern "C" blocks of its own, so glib must come first.
#include <glib.h>
#include <mdbtools.h>

namespace {

using db::DbError;

constexpr int kHeaderSize = 4096;
// Long memo texts must reach us whole: libmdb cuts every value at the bind size.
constexpr size_t kBindSize = 256 * 1024;

[[noreturn]] void refuseFormat(const QString& path)
{
    throw DbError(db::ErrUnrecognizedFormat, QStringLiteral("无法识别的数据库格式 '%1'。").arg(path));
}

// ---- the Jet header ----

// The first page of a Jet file is scrambled from offset 0x18 on with RC4 under a fixed key;
// the database password lies inside that area at 0x42, Jet 4 masking it once more with the
// file's creation date.
constexpr int kScrambledStart = 0x18;
constexpr int kScrambledLength = 128;
constexpr int kPasswordOffset = 0x42;
constexpr int kCreationDateOffset = 0x72;

QByteArray unscrambledHeader(const QByteArray& page)
{
    static const unsigned char key[4] = {0xc7, 0xda, 0x39, 0x6b};
    std::array<unsigned char, 256> state;
    for (int i = 0; i < 256; ++i)
        state[size_t(i)] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[size_t(i)] + key[i % 4]) & 0xff;
        std::swap(state[size_t(i)], state[size_t(j)]);
    }
    QByteArray plain = page;
    for (int n = 0, i = 0, j = 0; n < kScrambledLength; ++n) {
        i = (i + 1) & 0xff;
        j = (j + state[size_t(i)]) & 0xff;
        std::swap(state[size_t(i)], state[size_t(j)]);
        const unsigned char k = state[size_t((state[size_t(i)] + state[size_t(j)]) & 0xff)];
        plain[kScrambledStart + n] = char(static_cast<unsigned char>(plain[kScrambledStart + n]) ^ k);
    }
    return plain;
}

// 0 for Jet 3, 1 for Jet 4, -1 for anything else (ACE files included: not ours to read).
int jetVersion(const QByteArray& page)
{
    static const char magic[] = "\x00\x01\x00\x00Standard Jet DB";
    if (page.size() < kHeaderSize / 2 || std::memcmp(page.constData(), magic, sizeof magic) != 0)
        return -1;
    const int version = static_cast<unsigned char>(page[0x14]);
    return version <= 1 ? version : -1;
}

bool jetHasPassword(const QByteArray& page, int version)
{
    const QByteArray plain = unscrambledHeader(page);
    const int length = version == 0 ? 20 : 40;
    std::array<unsigned char, 4> mask{0, 0, 0, 0};
    if (version == 1) {
        double created = 0;
        std::memcpy(&created, plain.constData() + kCreationDateOffset, sizeof created);
        if (std::isfinite(created) && std::fabs(created) < 2147483647.0) {
            const qint32 whole = qint32(created);
            for (size_t b = 0; b < 4; ++b)
                mask[b] = static_cast<unsigned char>((quint32(whole) >> (8 * b)) & 0xff);
        }
    }
    for (int i = 0; i < length; ++i) {
        if ((static_cast<unsigned char>(plain[kPasswordOffset + i]) ^ mask[size_t(i % 4)]) != 0)
            return true;
    }
    return false;
}

// ---- values as text ----

QString withoutTrailingZeros(QString text)
{
    if (!text.contains(u'.') || text.contains(u'e') || text.contains(u'E'))
        return text;
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

// A Jet date is days since 1899-12-30; the fraction is the time of day, also before that day
// (-1.25 is 1899-12-29 06:00).
QString jetDateText(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return QString();
    const double whole = std::trunc(value);
    qint64 seconds = qint64(std::llround(std::fabs(value - whole) * 86400.0));
    qint64 days = qint64(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += value < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    return QString::asprintf("%04d-%02d-%02d %02lld:%02lld:%02lld", date.year(), date.month(), date.day(),
                             seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// ---- Jet files through libmdb ----

// Jet 3 keeps text as the bytes of the code page of the computer that wrote it, and this program
// reads it in its own local code page, GBK. libmdb would read it in the code page the file's
// header names, or in the Western one (1252) when it names none, and Chinese text would come out
// as Latin letters. Its converters are swapped for GBK ones before it reads a name or a value;
// should iconv lack GBK, libmdb keeps its own.
void readJet3TextAsGbk(MdbHandle* mdb)
{
    const auto none = iconv_t(-1);
    const iconv_t in = iconv_open("UTF-8", "GBK");
    const iconv_t out = iconv_open("GBK", "UTF-8");
    if (in == none || out == none) {
        if (in != none)
            iconv_close(in);
        if (out != none)
            iconv_close(out);
        return;
    }
    mdb_iconv_close(mdb);
    mdb->iconv_in = in;
    mdb->iconv_out = out;
}

using MdbPtr = std::shared_ptr<MdbHandle>;

class JetTable final : public SourceTable
{
public:
    JetTable(MdbPtr mdb, MdbTableDef* table) : m_mdb(std::move(mdb)), m_table(table)
    {
        m_columns = table->num_cols;
        m_buffers.resize(m_columns);
        m_lengths.assign(m_columns, 0);
        for (unsigned c = 0; c < m_columns; ++c) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            m_names << QString::fromUtf8(column->name);
            m_types.push_back(column->col_type);
            m_buffers[c].assign(kBindSize, '\0');
            mdb_bind_column(table, int(c) + 1, m_buffers[c].data(), &m_lengths[c]);
        }
        mdb_rewind_table(table);
    }
    ~JetTable() override { mdb_free_tabledef(m_table); }

    QStringList fieldNames() const override { return m_names; }
    int recordCount() const override { return int(m_table->num_rows); }
    bool fetch() override { return mdb_fetch_row(m_table) != 0; }

    QVariant value(int field) const override
    {
        if (field < 0 || unsigned(field) >= m_columns)
            throw DbError(db::ErrItemNotFound, QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"));
        const size_t c = size_t(field);
        const int type = m_types[c];
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(m_table->columns, c));
        const char* text = m_buffers[c].data();
        switch (type) {
        case MDB_BOOL:
            // A Yes/No field is never Null in Jet; libmdb writes "1" for Yes.
            return (*text && std::strcmp(text, "0") != 0) ? QStringLiteral("True") : QStringLiteral("False");
        case MDB_BINARY:
        case MDB_OLE:
            return QVariant();
        default:
            break;
        }
        if (m_lengths[c] <= 0)
            return QVariant(); // Null, or a zero-length text, which Jet rarely stores
        const unsigned char* raw = static_cast<const unsigned char*>(m_mdb->pg_buf) + column->cur_value_start;
        switch (type) {
        case MDB_DATETIME:
            if (column->cur_value_len == 8) {
                double days = 0;
                std::memcpy(&days, raw, sizeof days);
                return jetDateText(days);
            }
            break;
        case MDB_FLOAT:
            if (column->cur_value_len == 4) {
                float number = 0;
                std::memcpy(&number, raw, sizeof number);
                return QString::number(double(number), 'g', 7);
            }
            break;
        case MDB_DOUBLE:
            if (column->cur_value_len == 8) {
                double number = 0;
                std::memcpy(&number, raw, sizeof number);
                return QString::number(number, 'g', 15);
            }
            break;
        case MDB_MONEY:
        case MDB_NUMERIC:
            return withoutTrailingZeros(QString::fromUtf8(text));
        default:
            break;
        }
        return QString::fromUtf8(text);
    }

private:
    MdbPtr m_mdb;
    MdbTableDef* m_table;
    unsigned m_columns = 0;
    QStringList m_names;
    std::vector<int> m_types;
    std::vector<std::vector<char>> m_buffers;
    std::vector<int> m_lengths;
};

class JetDatabase final : public SourceDatabase
{
public:
    explicit JetDatabase(const QString& path)
    {
        const QByteArray local = QFile::encodeName(path);
        MdbHandle* handle = mdb_open(local.constData(), MDB_NOFLAGS);
        if (!handle)
            refuseFormat(path);
        m_mdb = MdbPtr(handle, [](MdbHandle* h) { mdb_close(h); });
        if (IS_JET3(handle))
            readJet3TextAsGbk(handle);
        mdb_set_bind_size(handle, kBindSize);
        if (!mdb_read_catalog(handle, MDB_TABLE))
            refuseFormat(path);
        for (unsigned i = 0; i < handle->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle->catalog, i));
            if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
                m_entries.push_back(entry);
                m_names << QString::fromUtf8(entry->object_name);
            }
        }
    }

    Kind kind() const override { return Kind::Jet; }

    QStringList tableNames() const override
    {
        QStringList names = m_names;
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        return names;
    }

    std::unique_ptr<SourceTable> openTable(const QString& name) override
    {
        const qsizetype at = m_names.indexOf(name);
        if (at < 0)
            throw DbError(db::ErrTableNotFound, QStringLiteral("找不到输入表或查询 '%1'。").arg(name));
        MdbTableDef* table = mdb_read_table(m_entries[size_t(at)]);
        if (!table)
            refuseFormat(name);
        if (!mdb_read_columns(table)) {
            mdb_free_tabledef(table);
            refuseFormat(name);
        }
        return std::make_unique<JetTable>(m_mdb, table);
    }

private:
    MdbPtr m_mdb;
    std::vector<MdbCatalogEntry*> m_entries;
    QStringList m_names;
};

// ---- unencrypted engine files ----

// Names go to the engine between double quotes, which may hold any character ("" for a quote);
// brackets could not hold a "]".
QString quotedName(const QString& name)
{
    QString inner = name;
    return QStringLiteral("\"") + inner.replace(u'"', QStringLiteral("\"\"")) + QStringLiteral("\"");
}

class EngineTable final : public SourceTable
{
public:
    EngineTable(std::shared_ptr<db::Connection> conn, const QString& name) : m_conn(std::move(conn))
    {
        const QByteArray count = QStringLiteral("select count(*) from %1").arg(quotedName(name)).toUtf8();
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(m_conn->handle(), count.constData(), -1, &stmt, nullptr);
        if (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
            m_count = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_ROW)
            m_conn->raise(rc, name);
        const QByteArray rows = QStringLiteral("select * from %1").arg(quotedName(name)).toUtf8();
        rc = sqlite3_prepare_v2(m_conn->handle(), rows.constData(), -1, &m_stmt, nullptr);
        if (rc != SQLITE_OK)
            m_conn->raise(rc, name);
        for (int c = 0; c < sqlite3_column_count(m_stmt); ++c)
            m_names << QString::fromUtf8(sqlite3_column_name(m_stmt, c));
    }
    ~EngineTable() override { sqlite3_finalize(m_stmt); }

    QStringList fieldNames() const override { return m_names; }
    int recordCount() const override { return m_count; }

    bool fetch() override
    {
        if (m_done)
            return false;
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        m_done = true;
        if (rc != SQLITE_DONE)
            m_conn->raise(rc);
        return false;
    }

    QVariant value(int field) const override
    {
        if (field < 0 || field >= int(m_names.size()))
            throw DbError(db::ErrItemNotFound, QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"));
        switch (sqlite3_column_type(m_stmt, field)) {
        case SQLITE_NULL:
        case SQLITE_BLOB:
            return QVariant();
        case SQLITE_INTEGER:
            return QString::number(sqlite3_column_int64(m_stmt, field));
        case SQLITE_FLOAT:
            return QString::number(sqlite3_column_double(m_stmt, field), 'g', 15);
        default:
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, field)),
                                     sqlite3_column_bytes(m_stmt, field));
        }
    }

private:
    std::shared_ptr<db::Connection> m_conn;
    sqlite3_stmt* m_stmt = nullptr;
    QStringList m_names;
    int m_count = 0;
    bool m_done = false;
};

class EngineDatabase final : public SourceDatabase
{
public:
    explicit EngineDatabase(const QString& path) : m_conn(db::Connection::openUnkeyed(path))
    {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(m_conn->handle(),
                                    "select name from sqlite_master where type='table' and name not like "
                                    "'sqlite\\_%' escape '\\' order by name collate nocase",
                                    -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
                m_names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            // A file that starts like ours but is damaged (or cut short) reads as none of ours.
            if ((rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB)
                refuseFormat(path);
            m_conn->raise(rc, QStringLiteral("sqlite_master"));
        }
    }

    Kind kind() const override { return Kind::Engine; }
    QStringList tableNames() const override { return m_names; }

    std::unique_ptr<SourceTable> openTable(const QString& name) override
    {
        if (!m_names.contains(name))
            throw DbError(db::ErrTableNotFound, QStringLiteral("找不到输入表或查询 '%1'。").arg(name));
        return std::make_unique<EngineTable>(m_conn, name);
    }

private:
    std::shared_ptr<db::Connection> m_conn;
    QStringList m_names;
};

} // namespace

CellValue SourceTable::cell(int column) const
{
    CellValue cell;
    if (column < 1)
        return cell;
    const QVariant field = value(column - 1);
    if (field.isNull())
        return cell;
    cell.kind = CellValue::Kind::Text;
    cell.text = field.toString();
    return cell;
}

std::unique_ptr<SourceDatabase> SourceDatabase::open(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw DbError(db::ErrFileNotFound, QStringLiteral("找不到文件 '%1'。").arg(path));
    const QByteArray header = file.read(kHeaderSize);
    const qint64 size = file.size();
    file.close();

    if (header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return std::make_unique<EngineDatabase>(path);

    const int version = jetVersion(header);
    if (version < 0)
        refuseFormat(path); // an encrypted file of ours lands here too: its bytes look random
    const qint64 pageSize = version == 0 ? 2048 : 4096;
    // A file cut short can crash libmdb on the missing pages; Jet files are whole pages.
    if (size < 2 * pageSize || size % pageSize != 0)
        refuseFormat(path);
    // libmdb opens a protected file without complaint, so the password field is read here.
    if (jetHasPassword(header, version))
        throw DbError(db::ErrNotValidPassword, QStringLiteral("不是有效的密码。"));
    return std::make_unique<JetDatabase>(path);
}
