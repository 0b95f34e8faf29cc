#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// Engine failures, numbered the way the old Jet engine numbered them so that the
// "错误号：" boxes keep showing familiar numbers.
enum ErrorNumber : int {
    ErrGeneric = 3000,        // reserved error (anything without a better number)
    ErrFileNotFound = 3024,   // could not find file
    ErrReadOnly = 3027,       // cannot update; database or object is read-only
    ErrNotValidPassword = 3031,
    ErrDiskFull = 3035,       // system resource exceeded / disk full
    ErrCannotOpen = 3051,     // file locked, no permission, not a database file
    ErrNoCurrentRecord = 3021,
    ErrSyntax = 3075,         // syntax error in query expression
    ErrTableNotFound = 3078,  // cannot find the input table or query
    ErrUnrecognizedFormat = 3343, // unrecognized database format
    ErrItemNotFound = 3265,   // item not found in this collection (unknown field)
    ErrNotUpdatable = 3251,   // operation not supported by this recordset
    ErrObjectClosed = 3704,   // operation not allowed when the object is closed
};

class DbError : public std::runtime_error
{
public:
    DbError(int number, const QString& description);

    int number() const { return m_number; }
    QString description() const { return m_description; }
    // "错误号：" + number + CR LF + "错误描述：" + description, as every generic error box shows it.
    QString boxText() const;

private:
    int m_number;
    QString m_description;
};

} // namespace db
