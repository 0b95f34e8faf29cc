#pragma once

#include "MultiThread.h"

#include <functional>

// The update query: GET of the address in update.ini; sets g_RemoteVersion to the reply's
// first line. False on any failure (no update.ini, unreachable host, empty reply), and when
// stopRequested (polled while the request runs) says to stop.
bool FetchLatestVersion(const std::function<bool()>& stopRequested = {});

// Thread procedure: the update query, its outcome in g_UpdateChecked and UpdateCheckStatus.
void UpdateCheckWorker(const MultiThread::StopToken& stop);
