#pragma once

#include "MultiThread.h"

// Thread procedure: downloads the sensitive-word list from the support host into
// g_SensitiveWords (an empty list when the download failed).
void KeywordWorker(const MultiThread::StopToken& stop);
