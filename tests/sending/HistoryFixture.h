#pragma once

#include "HistoryPage.h"
#include "SendPageFixture.h"

#include <QDate>
#include <QStringList>
#include <memory>
#include <vector>

// A history page beside a send page, over a fresh user database, recording the pages it asks for.
class HistoryFixture : public SendPageFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Rows written as the send loop writes them; each returns the new row's id.
    qint64 addMessage(const QString& text, const QString& submitTime, int amount = 1, int failNum = 0) const;
    qint64 addFinish(qint64 msgId, const QString& phone, const QString& state) const;
    // A record with one [Finish] row per (number, state), its counts filled in.
    qint64 addRun(const QString& text, const QString& submitTime,
                  const std::vector<std::pair<QString, QString>>& outcomes) const;

    // Sets the range and presses "查 询".
    void query(const QDate& from, const QDate& to) const;
    QStringList listedMessages() const;
    void checkRow(int row) const;
    void selectRow(int row) const;

    std::unique_ptr<HistoryPage> history;
    std::vector<int> requestedPages;
};
