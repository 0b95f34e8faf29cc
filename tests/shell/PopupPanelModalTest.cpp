#include "Controls.h"
#include "Form1.h"
#include "GlobalState.h"
#include "MyTrayIcon.h"
#include "SandboxFixture.h"
#include "SendPage.h"
#include "TestProgramFolder.h"
#include "mouseMenu.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct EntryCase
{
    const char* name;
    int entry;              // of the panel
    const char* modalClass; // the window the entry opens
};

// The real desktop, so that the paste entry's box is a real modal window owned by the panel.
class PopupPanelModalTest : public SandboxFixture, public ::testing::WithParamInterface<EntryCase>
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ResetGlobalState();
        ASSERT_TRUE(folder.hasShippedDatabases());
        g_UserName = QStringLiteral("demo");
        g_Password = QStringLiteral("demo123");
        g_Online = false;
    }

    TestProgramFolder folder;
    TrayRecorder tray;
};

// An entry acts on the press, and the modal window it opens swallows the release that would
// have closed the panel: the panel goes out of sight with the window's opening, outlives the
// window that it may own, and is unloaded by the next release.
TEST_P(PopupPanelModalTest, AnEntrysModalWindowTakesThePanelOutOfSight)
{
    Form1 form;
    form.Timer3->stop();
    form.Timer1->stop();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::clipboard()->clear();
    SendPage* page = Control<SendPage>(form, "SendPage");
    QWidget* list = Control<QAbstractItemView>(*page, "XmcfListBox1")->viewport();
    QTest::mouseClick(list, Qt::RightButton, {}, QPoint(10, 10));
    QPointer<mouseMenu> panel = page->findChild<mouseMenu*>();
    ASSERT_FALSE(panel.isNull());
    ASSERT_TRUE(panel->isVisible());

    QString modalShown;
    bool panelVisibleWithIt = true;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        modalShown = QString::fromLatin1(modal->metaObject()->className());
        panelVisibleWithIt = !panel.isNull() && panel->isVisible();
        modal->close();
    });
    QTest::mousePress(Control<QLabel>(*panel, QStringLiteral("mymenu_%1").arg(GetParam().entry)), Qt::LeftButton, {},
                      QPoint(2, 2));

    EXPECT_EQ(modalShown, QString::fromLatin1(GetParam().modalClass));
    EXPECT_FALSE(panelVisibleWithIt);
    QTest::mouseRelease(list, Qt::LeftButton, {}, QPoint(10, 10));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(page->findChild<mouseMenu*>(), nullptr);
    EXPECT_TRUE(panel.isNull());
}

INSTANTIATE_TEST_SUITE_P(Entries, PopupPanelModalTest,
                         ::testing::Values(EntryCase{"Paste", 0, "QMessageBox"},
                                           EntryCase{"TextImport", 1, "ImportTXT2"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
