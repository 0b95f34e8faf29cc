// update.ini is written by the sign-in and read by the update check and by the updater, each
// from its own folder: all three must agree on the one line it holds.

#include "UpdateConfig.h"
#include "CodePage.h"
#include "TestProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(UpdateConfig, WhatTheSignInWritesTheUpdateCheckAndTheUpdaterRead)
{
    TestProgramFolder folder;
    QTemporaryDir perUser; // the updater's per-user copy of the program folder, empty so far
    const QString url = QStringLiteral("http://h/update.php?username=张三");
    ASSERT_TRUE(WriteUpdateUrl(url));
    EXPECT_EQ(fileBytes(folder.path(QStringLiteral("update.ini"))), codepage::encode(url) + "\r\n");

    bool found = false;
    EXPECT_EQ(ReadUpdateUrl(&found), url);
    EXPECT_TRUE(found);
    EXPECT_EQ(ReadUpdateUrl(&found, perUser.path()), url) << "no per-user copy: the program folder's";

    QFile copy(QDir(perUser.path()).filePath(QStringLiteral("update.ini")));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write("http://other/update.php\r\n");
    copy.close();
    EXPECT_EQ(ReadUpdateUrl(&found, perUser.path()), QStringLiteral("http://other/update.php"));
    EXPECT_EQ(ReadUpdateUrl(&found), url) << "the update check reads the program folder only";

    ASSERT_TRUE(WriteUpdateUrl(QStringLiteral("http://h/update.php?username=b%26c")));
    EXPECT_EQ(ReadUpdateUrl(&found), QStringLiteral("http://h/update.php?username=b%26c")) << "replaced, not added";
}

} // namespace
