#include "workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::readWorkbook(QStringLiteral("input.xlsx"), data, size);
    return 0;
}
