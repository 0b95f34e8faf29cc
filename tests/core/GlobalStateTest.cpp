#include "GlobalState.h"

#include <gtest/gtest.h>

TEST(GlobalState, ResetRestoresTheStartOfProgramValues)
{
    g_UserName = u"u"_qs;
    g_Password = u"p"_qs;
    g_Online = true;
    g_CharsPerSms = 60;
    g_SendMode = 2;
    g_EnterpriseSign = u"【公司】"_qs;
    g_BirthdayDays = 30;
    g_ExcelPath = u"/x.xls"_qs;
    g_VersionText = u"2.0"_qs;
    g_RemoteVersion.set(u"3.0"_qs);
    g_UpdateChecked = true;
    g_SensitiveWords.set(QStringList{u"词"_qs});

    ResetGlobalState();

    EXPECT_TRUE(g_UserName.isEmpty());
    EXPECT_TRUE(g_Password.isEmpty());
    EXPECT_FALSE(g_Online);
    EXPECT_EQ(g_CharsPerSms.load(), 70);
    EXPECT_EQ(g_SendMode, 1);
    EXPECT_TRUE(g_EnterpriseSign.isEmpty());
    EXPECT_EQ(g_BirthdayDays, 7);
    EXPECT_TRUE(g_ExcelPath.isEmpty());
    EXPECT_TRUE(g_VersionText.isEmpty());
    EXPECT_EQ(g_RemoteVersion.get(), u"0"_qs);
    EXPECT_FALSE(g_UpdateChecked.load());
    EXPECT_FALSE(g_SensitiveWords.get().has_value());
}
