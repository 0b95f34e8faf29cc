#pragma once

#include "ContactsPage.h"
#include "Modal.h"
#include "Query.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"

#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>
#include <memory>

// A signed-in user's database and the address-book page over it, loaded as the main window
// loads it. Every box the page shows must be announced on desktop.
class AddressBookFixture : public ::testing::Test
{
protected:
    using Icon = Desktop::Icon;
    using Buttons = Desktop::Buttons;
    using Answer = Desktop::Answer;

    void SetUp() override;
    void TearDown() override;

    static qint64 addCategory(const QString& name);
    // birthday: "yyyy-mm-dd" or empty for none.
    static qint64 addContact(const QString& name, const QString& phone, qint64 category,
                             const QString& birthday = QString(), const QString& sex = QString());
    static QVariant scalar(const QString& sql);

    // Makes the node current and clicks it.
    void clickNode(const QString& key);
    // The names shown in the contact list, in list order.
    QStringList listedNames() const;
    void check(int row, bool checked = true);

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<ContactsPage> page;
};
