#include "FreeXlHandle.h"

#include <QFile>
#include <freexl.h>

FreeXlHandle::FreeXlHandle(const QString& path) : m_result(freexl_open(QFile::encodeName(path).constData(), &m_handle))
{
}

FreeXlHandle::~FreeXlHandle()
{
    // FreeXL may hand out a handle with an error as well; it is closed all the same.
    if (m_handle)
        freexl_close(m_handle);
}
