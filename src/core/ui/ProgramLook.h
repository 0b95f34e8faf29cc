#pragma once

#include <QString>

class QApplication;
class QCoreApplication;
class QIcon;

// The program's name as its windows, boxes, tray tip and balloons show it.
inline const QString kProgramTitle = QStringLiteral("Quorvel2011");

// The old forms placed windows in twips; a pixel is 15 of them.
constexpr int kTwipsPerPixel = 15;

// What both programs set up right after their application object, before the first window.

// All of the below, in the order they need: font, style, locale, Qt's translations, window icon.
void SetUpProgramLook(QApplication& app);

// Qt's own captions (message-box buttons, the file dialogs' labels) in Simplified Chinese, from
// the translations that Qt ships beside its libraries. Returns false when the translation file
// is missing: the program then runs on with Qt's English captions.
bool InstallQtTranslations(QCoreApplication& app);

// Chinese captions need a font with CJK glyphs; the default font of a bare X server has none.
// Keeps the platform's font when WenQuanYi Micro Hei is not installed.
void UseProgramFont(QApplication& app);

// The program's touches on the platform's widget style (ProgramStyle): room inside buttons,
// a visible groove on progress bars, date pickers clear of their arrow.
void UseProgramStyle(QApplication& app);

// Simplified Chinese as the default locale, whatever the environment says: dates, sizes and file
// types in Qt's dialogs read as the program's users expect.
void UseProgramLocale();

// The program's envelope, the icon of every window of both programs.
QIcon ProgramIcon();
