#pragma once

#include "MultiThread.h"

#include <QString>

class SmsCtrl;

// Thread procedure: uploads the numbers queued in [Preference] through the given client (locked
// for each request), with a connection of its own to the user's database; pauses 3000 ms after
// each pass.
void WhiteListWorker(const MultiThread::StopToken& stop, SmsCtrl* client, const QString& userDatabase);
