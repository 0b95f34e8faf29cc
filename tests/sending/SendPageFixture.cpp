#include "SendPageFixture.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "NumberListModel.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

void SendPageFixture::SetUp()
{
    ResetGlobalState();
    page = std::make_unique<SendPage>();
    page->resize(900, 520);
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
}

void SendPageFixture::TearDown()
{
    page.reset();
    folder.reset();
    desktop.verifyAllConsumed();
}

void SendPageFixture::openUserDatabase()
{
    folder = std::make_unique<TestProgramFolder>();
    ASSERT_TRUE(folder->hasShippedDatabases());
    folder->makeUserDatabase(QStringLiteral("tester"));
    OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
}

int SendPageFixture::scalarInt(const QString& sql) const
{
    return g_Conn->scalar(sql).toInt();
}

void SendPageFixture::publish() const
{
    page->numberList()->publish();
}

QStringList SendPageFixture::listTexts() const
{
    return page->numberList()->texts();
}

void SendPageFixture::setClipboard(const QString& text) const
{
    QApplication::clipboard()->setText(text);
}
