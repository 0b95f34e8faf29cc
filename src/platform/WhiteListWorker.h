#pragma once

#include "MultiThread.h"

#include <QString>

class SmsCtrl;

// Queues a typed or pasted number for the white list, once (window thread, g_Conn; raises
// db::DbError).
void AddPreference(const QString& number);

// Thread procedure: uploads the numbers queued in [Preference] through the given client (locked
// for each request), with a connection of its own to the user's database; pauses 3000 ms after
// each pass.
void WhiteListWorker(const MultiThread::StopToken& stop, SmsCtrl* client, const QString& userDatabase);
