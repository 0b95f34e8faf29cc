#include "AddressBookFixture.h"
#include "CaseName.h"
#include "ContactTransfer.h"
#include "DataStore.h"
#include "ListView.h"

#include <functional>

namespace {

// A page step taken after the database went away (a failed reopen, the end of a run) must
// raise the engine's "object closed" error, or show it where the step reports its own
// failures, and never reach through an empty connection.
struct ClosedCase
{
    const char* name;
    std::function<void(ContactsPage&)> step;
    bool shown; // the step reports the failure in a box of its own
};

class NoDatabaseTest : public AddressBookFixture, public ::testing::WithParamInterface<ClosedCase>
{
};

TEST_P(NoDatabaseTest, RaisesObjectClosed)
{
    CloseDatabase();
    if (GetParam().shown) {
        desktop.expectMessage(QStringLiteral("对象关闭时，不允许操作。"), QStringLiteral("Quorvel2011"));
        GetParam().step(*page);
        return;
    }
    try {
        GetParam().step(*page);
        ADD_FAILURE() << "no error raised";
    } catch (const db::DbError& error) {
        EXPECT_EQ(error.number(), db::ErrObjectClosed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, NoDatabaseTest,
    ::testing::Values(ClosedCase{"Tree", [](ContactsPage& p) { p.LoadContactTree(); }, false},
                      ClosedCase{"AllContacts", [](ContactsPage& p) { p.LoadAllContacts(); }, false},
                      ClosedCase{"NodeContacts", [](ContactsPage& p) { p.LoadNodeContacts(); }, true}),
    NameFrom(&ClosedCase::name));

} // namespace
