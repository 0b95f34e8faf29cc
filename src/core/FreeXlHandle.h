#pragma once

#include <QString>

// A workbook opened by FreeXL, closed when this goes. The workbook reader, the one way the
// program reads an .xls, takes its handles through here, so that no handle outlives the read
// that opened it, whichever way that read ends.
class FreeXlHandle final
{
public:
    explicit FreeXlHandle(const QString& path);
    ~FreeXlHandle();
    FreeXlHandle(const FreeXlHandle&) = delete;
    FreeXlHandle& operator=(const FreeXlHandle&) = delete;

    // FreeXL's answer to the open: FREEXL_OK or its error code.
    int result() const { return m_result; }
    // The handle; null when FreeXL gave none (also for a damaged file it answers FREEXL_OK).
    const void* get() const { return m_handle; }

private:
    const void* m_handle = nullptr;
    int m_result = 0;
};
