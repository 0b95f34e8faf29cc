#include "ColVar.h"
#include "ContactCategoryAdd.h"
#include "ContactCategoryEdit.h"
#include "DataStore.h"
#include "DestineMsgAdd.h"
#include "DestineMsgEdit.h"
#include "GlobalState.h"
#include "MsgEdit.h"
#include "NewMsg.h"
#include "ProgramLook.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"

#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QImage>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct WindowCase
{
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
};

// The small dialogs as the program opens them, over a user's database, once the program's look
// is set up as both programs' main does.
class WindowLookTest : public ::testing::TestWithParam<WindowCase>
{
protected:
    void SetUp() override
    {
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        folder.makeUserDatabase(QStringLiteral("tester"));
        OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
        SetUpProgramLook(*qApp);
    }

    TestProgramFolder folder;
    ScriptedDesktop desktop; // a box while the dialog loads fails the test
};

QImage picture(const QIcon& icon)
{
    return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}

// A window manager offers no maximise (openbox: no resize grips either) for a window whose
// smallest and largest sizes are one.
TEST_P(WindowLookTest, HasTheEnvelopeAndAFixedSize)
{
    const std::unique_ptr<QDialog> dialog = GetParam().make();
    EXPECT_FALSE(picture(ProgramIcon()).isNull());
    EXPECT_EQ(picture(dialog->windowIcon()), picture(ProgramIcon()));
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
