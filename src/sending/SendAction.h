#pragma once

class QWidget;
class SendPage;
class SmsCtrl;

// The Send button: the send checks in their order, then the send dialog, modally. Returns
// false when a check refused (its message has been shown and nothing else happened); true
// when the dialog was shown and has closed, whether or not a run was started. The caller
// then rebuilds the grid and refreshes the balance.
bool RunSendButton(SendPage& page, SmsCtrl* mainClient, QWidget* mainWindow);
