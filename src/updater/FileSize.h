#pragma once

#include <QString>

// A byte count as the short size text of the shell in Chinese: "N 字节" below 1024, otherwise
// three significant digits, truncated, with KB, MB, GB, TB (1340 gives "1.30 KB").
QString FormatFileSize(qint64 bytes);
