#include "GlobalState.h"

QString g_UserName;
QString g_Password;
bool g_Online = false;
std::atomic<int> g_CharsPerSms{70};
int g_SendMode = 1;
QString g_EnterpriseSign;
int g_BirthdayDays = 7;
QString g_ExcelPath;
QString g_VersionText;

Guarded<QString> g_RemoteVersion{QStringLiteral("0")};
std::atomic<bool> g_UpdateChecked{false};
Guarded<std::optional<QStringList>> g_SensitiveWords;

void ResetGlobalState()
{
    g_UserName.clear();
    g_Password.clear();
    g_Online = false;
    g_CharsPerSms = 70;
    g_SendMode = 1;
    g_EnterpriseSign.clear();
    g_BirthdayDays = 7;
    g_ExcelPath.clear();
    g_VersionText.clear();
    g_RemoteVersion.set(QStringLiteral("0"));
    g_UpdateChecked = false;
    g_SensitiveWords.set(std::nullopt);
}
