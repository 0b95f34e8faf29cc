#pragma once

#include <QString>

// The birthday window: contacts whose birthday (month and day) falls within the next `days`
// days, today included, through this year's or next year's date. Contacts without a birthday
// never match; a birthday on 29 February counts on 28 February in a year without that day.

// The list shown under the tree node "最近生日联系人" (Birthday as text "yyyy-mm-dd").
QString BirthdayListSql(int days);
// The count of those contacts, in the field num.
QString BirthdayCountSql(int days);

// The reminder of the main window's first timer tick: a tray balloon naming how many contacts
// have a birthday within g_BirthdayDays days. Nothing is shown when there are none or when the
// count cannot be read.
void ShowBirthdayReminder();
