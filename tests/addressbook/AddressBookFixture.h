#pragma once

#include "ContactsPage.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <functional>
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
    static int count(const QString& sql);
    static QVariant scalar(const QString& sql);
    static QStringList column(const QString& sql, const QString& field);

    // Makes the node current and clicks it.
    void clickNode(const QString& key);
    // The names shown in the contact list, in list order.
    QStringList listedNames() const;
    void check(int row, bool checked = true);

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<ContactsPage> page;
};

// Runs trigger, which is to open a modal dialog of type T; drive gets the dialog while it is
// shown; false when no such dialog was shown. A dialog that drive leaves open is then cancelled,
// so a failing test cannot hang.
template <typename T> bool driveModal(const std::function<void()>& trigger, const std::function<void(T&)>& drive)
{
    bool seen = false;
    // A timer of this call only: when no dialog runs, it dies here instead of firing later.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        seen = true;
        drive(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    timer.start(0);
    trigger();
    return seen;
}
