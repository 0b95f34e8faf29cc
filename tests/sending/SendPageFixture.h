#pragma once

#include "ScriptedDesktop.h"
#include "SendPage.h"
#include "TestProgramFolder.h"

#include <gtest/gtest.h>
#include <memory>

// A shown send page with a scripted desktop; openUserDatabase() gives it a fresh user database.
class SendPageFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a copy of the shipped data.mdb as the shared connection.
    void openUserDatabase();
    int scalarInt(const QString& sql) const;
    // Lets the list's view catch up with the list.
    void publish() const;
    QStringList listTexts() const;
    void setClipboard(const QString& text) const;

    ScriptedDesktop desktop;
    std::unique_ptr<TestProgramFolder> folder;
    std::unique_ptr<SendPage> page;
};
