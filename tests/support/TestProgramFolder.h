#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away program folder for one test: holds copies of the shipped data.mdb, user.mdb
// and ExportTem.dat (when the build has made them), becomes the program folder, and on destruction
// closes g_Conn and gives the previous program folder back.
class TestProgramFolder final
{
public:
    TestProgramFolder();
    ~TestProgramFolder();
    TestProgramFolder(const TestProgramFolder&) = delete;
    TestProgramFolder& operator=(const TestProgramFolder&) = delete;

    QString folder() const;
    QString path(const QString& name) const;
    // The shipped files were found and copied.
    bool hasShippedDatabases() const;
    // A copy of data.mdb named <user>.mdb, as the main window makes one; returns its path.
    QString makeUserDatabase(const QString& user) const;
    // A new keyed database made from a script, for tests that need a table of their own.
    QString createDatabase(const QString& name, const QString& script) const;

private:
    QTemporaryDir m_dir;
    QString m_previousFolder;
    bool m_shipped = false;
};
