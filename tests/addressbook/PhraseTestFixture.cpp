#include "PhraseTestFixture.h"
#include "Controls.h"

#include "DataStore.h"
#include "GlobalState.h"
#include "PublicFunction.h"
#include "Query.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

void PhraseTestFixture::SetUp()
{
    ResetGlobalState();
    folder = std::make_unique<TestProgramFolder>();
    ASSERT_TRUE(folder->hasShippedDatabases());
    folder->makeUserDatabase(QStringLiteral("tester"));
    OpenDatabaseOrThrow(QStringLiteral("tester.mdb"));
    page = std::make_unique<PhrasePage>();
    page->resize(760, 480);
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    reload();
    m_watchdog.setInterval(100);
    QObject::connect(&m_watchdog, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && !m_expectingModal) {
            ADD_FAILURE() << "unexpected dialog " << modal->objectName().toStdString();
            modal->close();
        }
    });
    m_watchdog.start();
}

void PhraseTestFixture::TearDown()
{
    m_watchdog.stop();
    page.reset();
    folder.reset();
    desktop.verifyAllConsumed();
}

qint64 PhraseTestFixture::addCategory(const QString& name, int parentId) const
{
    g_Conn->execute(QStringLiteral("insert into [MsgCategory] (CategoryName, ParentId) values ('%1', %2)")
                        .arg(SqlQuote(name))
                        .arg(parentId));
    return g_Conn->lastInsertId();
}

qint64 PhraseTestFixture::addPhrase(const QString& text, qint64 categoryId) const
{
    g_Conn->execute(QStringLiteral("insert into [DestineMsg] (Message, CatID) values ('%1', %2)")
                        .arg(SqlQuote(text))
                        .arg(categoryId));
    return g_Conn->lastInsertId();
}

QStringList PhraseTestFixture::categoryNames() const
{
    return column(QStringLiteral("select * from [MsgCategory] order by id"), QStringLiteral("CategoryName"));
}

QStringList PhraseTestFixture::phrasesInDatabase() const
{
    return column(QStringLiteral("select * from [DestineMsg] order by id"), QStringLiteral("Message"));
}

QVariant PhraseTestFixture::scalar(const QString& sql) const
{
    return g_Conn->scalar(sql);
}

void PhraseTestFixture::reload() const
{
    page->LoadPhraseTree();
    page->LoadNodePhrases();
}

QTreeWidgetItem* PhraseTestFixture::root() const
{
    return Control<QTreeWidget>(*page, "TreeView2")->topLevelItem(0);
}

QTreeWidgetItem* PhraseTestFixture::node(qint64 categoryId) const
{
    const QString key = QStringLiteral("C") + QString::number(categoryId);
    for (int i = 0; i < root()->childCount(); ++i)
        if (root()->child(i)->data(0, Qt::UserRole).toString() == key)
            return root()->child(i);
    return nullptr;
}

QStringList PhraseTestFixture::childTexts() const
{
    QStringList texts;
    for (int i = 0; i < root()->childCount(); ++i)
        texts << root()->child(i)->text(0);
    return texts;
}

QStringList PhraseTestFixture::listTexts() const
{
    QStringList texts;
    for (int i = 0; i < Control<QListWidget>(*page, "List1")->count(); ++i)
        texts << Control<QListWidget>(*page, "List1")->item(i)->text();
    return texts;
}

void PhraseTestFixture::clickNode(QTreeWidgetItem* item) const
{
    ASSERT_NE(item, nullptr);
    QTreeWidget* tree = Control<QTreeWidget>(*page, "TreeView2");
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

void PhraseTestFixture::clickPhrase(int row) const
{
    QListWidget* list = Control<QListWidget>(*page, "List1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

void PhraseTestFixture::editLabel(QTreeWidgetItem* item, const QString& text, Qt::Key endKey) const
{
    QTreeWidget* tree = Control<QTreeWidget>(*page, "TreeView2");
    tree->setCurrentItem(item);
    tree->editItem(item);
    auto* editor = tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, endKey);
    // The view commits and closes the editor through queued calls.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void PhraseTestFixture::clickButton(QPushButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}
