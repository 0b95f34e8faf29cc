#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>

namespace db {
class Connection;
}

// The update package: a database file without password holding the table
// Files(FileName, FileStream), one row per file to put into the update folder.
namespace updater {

// The installer's row name; it is written with its execute permission.
inline const QString kInstallerName = QStringLiteral("setup");

// A file of the package that could not be written.
class WriteError : public std::runtime_error
{
public:
    WriteError(const QString& path, const QString& reason);
    QString path() const { return m_path; }
    QString reason() const { return m_reason; }

private:
    QString m_path;
    QString m_reason;
};

// A name that stays inside the folder it is written to: not empty, not "." or "..", no
// folder separator of either kind, no ".." anywhere, not absolute.
bool isSafeFileName(const QString& name);

// Opens a package by its first bytes: an engine file without key. Anything else (also an
// Access file, which this build does not read) throws db::DbError.
std::unique_ptr<db::Connection> openPackage(const QString& path);

// Writes the bytes whole to the file, replacing it only once every byte is on disk; an
// executable file has its execute permission from the moment it takes the name. Throws WriteError.
void Acc2File(const QByteArray& filestream, const QString& path, bool executable = false);

struct UnpackResult
{
    QStringList written;  // names, in the package's row order
    QStringList skipped;  // names that would have left the folder
    bool stopped = false; // afterEachFile asked to stop
};

// Writes every row of Files into the folder. Rows are read one at a time, so only one file is
// in memory at once. afterEachFile runs after every row and returns false to stop.
// Throws db::DbError (package unreadable) and WriteError.
UnpackResult unpackPackage(db::Connection& package, const QString& folder, const std::function<bool()>& afterEachFile);

} // namespace updater
