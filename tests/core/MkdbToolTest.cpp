// The build tool that writes the shipped databases, run as the build runs it.

#include "DataStore.h"
#include "db/Connection.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kTool = QStringLiteral(QUORVEL_PROGRAM_DIR "/../tools/quorvel-mkdb");

struct RunResult
{
    int exitCode;
    QString errors;
};

RunResult runTool(const QStringList& args)
{
    QProcess tool;
    tool.start(kTool, args);
    if (!tool.waitForFinished(30000))
        return {-1, QStringLiteral("did not finish")};
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromLocal8Bit(tool.readAllStandardError())};
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class MkdbTool : public ::testing::Test
{
protected:
    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir m_dir;
};

TEST_F(MkdbTool, ReplacesAnOldFileWithAKeyedFreshOne)
{
    writeFile(path("schema.sql"), "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT);\n"
                                  "INSERT INTO t (name) VALUES ('it''s');\n");
    writeFile(path("out.mdb"), "stale bytes");
    writeFile(path("out.mdb-wal"), "stale log");

    const RunResult run = runTool({path("out.mdb"), path("schema.sql")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.mdb-wal")));
    EXPECT_FALSE(QFile::exists(path("out.mdb-shm")));

    auto conn = db::Connection::open(path("out.mdb"), QByteArray(kDatabasePassword));
    EXPECT_EQ(conn->scalar(QStringLiteral("select name from t")).toString(), QStringLiteral("it's"));
}

struct BadRun
{
    const char* name;
    const char* script; // nullptr: no script file is written
    int argumentCount;
};

class MkdbToolFailure : public MkdbTool, public ::testing::WithParamInterface<BadRun>
{
};

TEST_P(MkdbToolFailure, ExitsNonZeroAndLeavesNoDatabase)
{
    if (GetParam().script)
        writeFile(path("schema.sql"), QByteArray(GetParam().script));
    const QStringList args =
        QStringList{path("out.mdb"), path("schema.sql"), path("extra")}.mid(0, GetParam().argumentCount);

    const RunResult run = runTool(args);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(run.errors.trimmed().isEmpty());
    EXPECT_FALSE(QFile::exists(path("out.mdb")));
    EXPECT_FALSE(QFile::exists(path("out.mdb-wal")));
}

INSTANTIATE_TEST_SUITE_P(Cases, MkdbToolFailure,
                         ::testing::Values(BadRun{"SyntaxError", "CREATE TABLE t (id INTEGER);\nCREATE TABEL u (x);\n",
                                                  2},
                                           BadRun{"EmptyScript", "  \n", 2}, BadRun{"MissingScript", nullptr, 2},
                                           BadRun{"NoScriptArgument", nullptr, 1},
                                           BadRun{"TooManyArguments", "CREATE TABLE t (id INTEGER);", 3}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
