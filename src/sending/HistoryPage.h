#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class SendPage;
namespace db {
class Recordset;
}
namespace Ui {
class HistoryPage;
}

// Page 2 of the main window: the sends recorded in [Messages] between two days, with delete,
// forward into the editor and the send details of a record.
class HistoryPage final : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryPage(QWidget* parent = nullptr);
    ~HistoryPage() override;

    // The send page whose editor and plain list forward and resend fill.
    void setSendPage(SendPage* sendPage);
    // What the main window's load prepares: both date pickers on today.
    void prepareForLoad();

    void AeroButton15_Click(); // "查 询"; also run after a delete
    void AeroButton40_Click(); // "删除"
    void AeroButton7_Click();  // "转发"
    void AeroButton42_Click(); // "详细"
    void ListView3_DblClick();

    // Recordset of the last query; it is closed again before the query returns.
    db::Recordset* HistoryRs() const { return m_historyRs.get(); }
    // The statement of the last query.
    QString historyQuery() const { return m_historyQuery; }
    // Index of the row the forward and details act on, -1 while the list is empty.
    int selectedRow() const;

Q_SIGNALS:
    // Asks the main window to switch pages (toobarImg_Click); forward and resend ask for 1.
    void pageRequested(int toolbarIndex);

private:
    void setRecordButtonsEnabled(bool enabled);
    void runQuery();
    QString selectedMessage() const;
    void showDetails();

    std::unique_ptr<Ui::HistoryPage> ui;
    std::unique_ptr<db::Recordset> m_historyRs;
    QString m_historyQuery;
    QPointer<SendPage> m_sendPage;
};
