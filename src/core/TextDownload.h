#pragma once

#include <QString>
#include <functional>

// Body of a GET as text in the code page; empty when the request failed, the host refused it,
// the bytes do not decode or stopRequested (polled while it runs) said to stop. An error page
// must never pass for a version or a word list.
QString DownloadText(const QString& url, const std::function<bool()>& stopRequested);
