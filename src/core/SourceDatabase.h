#pragma once

#include "ImportLoop.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

// Read-only access to a database file that the user picks for an import: a real Access file
// (Jet 3 or Jet 4) or an unencrypted file of our own engine. Which of the two is decided by the
// file's first bytes, never by its name. Every failure throws db::DbError.

// One table, read from its first row to its last.
class SourceTable : public ImportSource
{
public:
    virtual QStringList fieldNames() const = 0;
    // Rows in the table when it was opened.
    virtual int recordCount() const = 0;
    // Moves to the next row (the first one on the first call); false after the last.
    bool fetch() override = 0;
    // The current row's value of a field as text: dates as "yyyy-mm-dd hh:mm:ss", numbers
    // without trailing zeros, Yes/No as "True"/"False". Null (also binary data) is a null QVariant.
    virtual QVariant value(int field) const = 0;
    // The field counted from 1 (0: none) as an import reads it: Null is an empty cell, any
    // other value a text.
    CellValue cell(int column) const final;
};

class SourceDatabase
{
public:
    enum class Kind
    {
        Jet,
        Engine
    };

    virtual ~SourceDatabase() = default;

    // Refuses (db::DbError) a file that is neither kind, an encrypted engine file, a Jet file
    // protected by a database password and a damaged or truncated Jet file.
    static std::unique_ptr<SourceDatabase> open(const QString& path);

    virtual Kind kind() const = 0;
    // The user's own tables by name (no system tables, no queries or views).
    virtual QStringList tableNames() const = 0;
    // A name from tableNames(); any name is taken literally, whatever characters it holds.
    virtual std::unique_ptr<SourceTable> openTable(const QString& name) = 0;
};
