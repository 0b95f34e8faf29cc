#include "ColVar.h"
#include "ContactCategoryAdd.h"
#include "ContactCategoryEdit.h"
#include "DataStore.h"
#include "DestineMsgAdd.h"
#include "DestineMsgEdit.h"
#include "GlobalState.h"
#include "MsgEdit.h"
#include "NewMsg.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"

#include <QApplication>
#include <QDialog>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct WindowCase
{
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
};

// The small dialogs as the program opens them, over a user's database.
class WindowLookTest : public ::testing::TestWithParam<WindowCase>
{
protected:
    void SetUp() override
    {
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        folder.makeUserDatabase(QStringLiteral("tester"));
        OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
    }

    TestProgramFolder folder;
    ScriptedDesktop desktop; // a box while the dialog loads fails the test
};

// A window manager offers no maximise (openbox: no resize grips either) for a window whose
// smallest and largest sizes are one.
TEST_P(WindowLookTest, HasAFixedSize)
{
    const std::unique_ptr<QDialog> dialog = GetParam().make();
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "resizable";
}

INSTANTIATE_TEST_SUITE_P(
    SmallDialogs, WindowLookTest,
    ::testing::Values(WindowCase{"ColVar", [] { return std::make_unique<ColVar>(); }},
                      WindowCase{"PhraseCategoryAdd", [] { return std::make_unique<DestineMsgAdd>(); }},
                      WindowCase{"PhraseCategoryEdit",
                                 [] { return std::make_unique<DestineMsgEdit>(QStringLiteral("1")); }},
                      WindowCase{"PhraseAdd", [] { return std::make_unique<NewMsg>(QString()); }},
                      WindowCase{"PhraseEdit", [] { return std::make_unique<MsgEdit>(1); }},
                      WindowCase{"ContactCategoryAdd", [] { return std::make_unique<ContactCategoryAdd>(); }},
                      WindowCase{"ContactCategoryEdit", [] { return std::make_unique<ContactCategoryEdit>(1); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
