#include "TestProgramFolder.h"

#include "DataStore.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

bool copyShipped(const QString& name, const QString& target)
{
    const QString source = QStringLiteral(QUORVEL_PROGRAM_DIR) + QLatin1Char('/') + name;
    return QFile::exists(source) && QFile::copy(source, target);
}

} // namespace

TestProgramFolder::TestProgramFolder() : m_previousFolder(ProgramFolder())
{
    if (!m_dir.isValid())
        ADD_FAILURE() << "cannot make a temporary folder";
    m_shipped = copyShipped(QStringLiteral("data.mdb"), path(QStringLiteral("data.mdb"))) &&
                copyShipped(QStringLiteral("user.mdb"), path(QStringLiteral("user.mdb")));
    copyShipped(QStringLiteral("ExportTem.dat"), path(QStringLiteral("ExportTem.dat")));
    SetProgramFolder(folder());
}

TestProgramFolder::~TestProgramFolder()
{
    CloseDatabase();
    SetProgramFolder(m_previousFolder);
}

QString TestProgramFolder::folder() const
{
    return m_dir.path();
}

QString TestProgramFolder::path(const QString& name) const
{
    return m_dir.filePath(name);
}

bool TestProgramFolder::hasShippedDatabases() const
{
    return m_shipped;
}

QString TestProgramFolder::makeUserDatabase(const QString& user) const
{
    const QString target = path(user + QStringLiteral(".mdb"));
    if (!QFile::copy(path(QStringLiteral("data.mdb")), target))
        ADD_FAILURE() << "cannot copy data.mdb to " << target.toStdString();
    return target;
}

QString TestProgramFolder::createDatabase(const QString& name, const QString& script) const
{
    const QString target = path(name);
    auto conn = db::Connection::create(target, QByteArray(kDatabasePassword));
    conn->executeScript(script);
    conn->checkpoint();
    return target;
}
