#include "HistoryFixture.h"
#include "Controls.h"

#include "DataStore.h"
#include "ListView.h"
#include "PublicFunction.h"

#include <QDateEdit>
#include <QPushButton>
#include <QTest>

void HistoryFixture::SetUp()
{
    SendPageFixture::SetUp();
    openUserDatabase();
    history = std::make_unique<HistoryPage>();
    history->setSendPage(page.get());
    history->prepareForLoad();
    QObject::connect(history.get(), &HistoryPage::pageRequested,
                     [this](int index) { requestedPages.push_back(index); });
    history->resize(760, 480);
    history->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history.get()));
}

void HistoryFixture::TearDown()
{
    history.reset();
    SendPageFixture::TearDown();
}

qint64 HistoryFixture::addMessage(const QString& text, const QString& submitTime, int amount, int failNum) const
{
    g_Conn->execute(QStringLiteral("insert into [Messages] (Message,SubmitTime,FinishTime,Amount,FailNum) "
                                   "values ('%1','%2','%2',%3,%4)")
                        .arg(SqlQuote(text), submitTime)
                        .arg(amount)
                        .arg(failNum));
    return g_Conn->lastInsertId();
}

qint64 HistoryFixture::addFinish(qint64 msgId, const QString& phone, const QString& state) const
{
    g_Conn->execute(QStringLiteral("insert into [Finish] (PhoneNumber,MsgId,State) values ('%1',%2,'%3')")
                        .arg(SqlQuote(phone))
                        .arg(msgId)
                        .arg(SqlQuote(state)));
    return g_Conn->lastInsertId();
}

qint64 HistoryFixture::addRun(const QString& text, const QString& submitTime,
                              const std::vector<std::pair<QString, QString>>& outcomes) const
{
    int failed = 0;
    for (const auto& outcome : outcomes)
        failed += outcome.second != QStringLiteral("已发送") ? 1 : 0;
    const qint64 id = addMessage(text, submitTime, int(outcomes.size()), failed);
    for (const auto& outcome : outcomes)
        addFinish(id, outcome.first, outcome.second);
    return id;
}

void HistoryFixture::query(const QDate& from, const QDate& to) const
{
    Control<QDateEdit>(*history, "DTPicker3")->setDate(from);
    Control<QDateEdit>(*history, "DTPicker4")->setDate(to);
    QTest::mouseClick(Control<QPushButton>(*history, "AeroButton15"), Qt::LeftButton);
}

QStringList HistoryFixture::listedMessages() const
{
    const ListViewModel& model = *Control<ListView>(*history, "ListView3")->listModel();
    QStringList messages;
    for (int i = 0; i < model.count(); ++i)
        messages.append(model.cell(i, 1));
    return messages;
}

void HistoryFixture::checkRow(int row) const
{
    ListViewModel& model = *Control<ListView>(*history, "ListView3")->listModel();
    model.setData(model.index(row, 0), Qt::Checked, Qt::CheckStateRole);
}

void HistoryFixture::selectRow(int row) const
{
    ListView& view = *Control<ListView>(*history, "ListView3");
    const QModelIndex index = view.listModel()->index(row, 1);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, view.visualRect(index).center());
}
