#pragma once

#include "Modal.h"
#include "PhrasePage.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"

#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class QPushButton;
class QTreeWidgetItem;

// A shown phrase page over a fresh user database, with a scripted desktop. Any modal dialog
// that a test did not announce with onModal() is closed and fails the test.
class PhraseTestFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    qint64 addCategory(const QString& name, int parentId = 0) const;
    qint64 addPhrase(const QString& text, qint64 categoryId) const;
    QStringList categoryNames() const;
    QStringList phrasesInDatabase() const;
    QVariant scalar(const QString& sql) const;

    // Rebuilds the tree and the list as the main window's start-up does.
    void reload() const;
    QTreeWidgetItem* root() const;
    QTreeWidgetItem* node(qint64 categoryId) const;
    QStringList childTexts() const;
    QStringList listTexts() const;
    void clickNode(QTreeWidgetItem* item) const;
    void clickPhrase(int row) const;
    // Edits a node's label in place and ends the edit with the key given (Return or Escape).
    void editLabel(QTreeWidgetItem* item, const QString& text, Qt::Key endKey = Qt::Key_Return) const;

    // Runs action once the next modal dialog of type D is up; returns whether it came.
    template <typename D> bool onModal(QPushButton* trigger, const std::function<void(D&)>& action)
    {
        m_expectingModal = true;
        const bool seen = driveModal<D>([&] { clickButton(trigger); },
                                        [&](D& dialog) {
                                            m_expectingModal = false;
                                            action(dialog);
                                        });
        m_expectingModal = false;
        if (!seen)
            ADD_FAILURE() << "the expected dialog did not open";
        return seen;
    }
    static void clickButton(QPushButton* button);

    ScriptedDesktop desktop;
    std::unique_ptr<TestProgramFolder> folder;
    std::unique_ptr<PhrasePage> page;

private:
    bool m_expectingModal = false;
    QTimer m_watchdog;
};
