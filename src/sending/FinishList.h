#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <memory>

class SendPage;
namespace db {
class Recordset;
}
namespace Ui {
class FinishList;
}

// The send details of one history record: its text, how many recipients it had and how many
// failed, every recipient with its outcome, and the resend of all or of the failed numbers
// through the plain number list of the send page.
class FinishList final : public QDialog
{
    Q_OBJECT
public:
    // rowKey is the history row's key ("Row_" + the record's id), message its text. The
    // dialog loads at once; a failing query is reported and leaves the rest empty.
    FinishList(const QString& rowKey, const QString& message, SendPage* sendPage, QWidget* parent = nullptr);
    ~FinishList() override;

    QString recordId() const { return m_id; }

    void AeroButton1_Click(); // "全部重发"
    void AeroButton2_Click(); // "失败重发"

Q_SIGNALS:
    // Asks the main window for the send page with the plain list (toobarImg_Click(1)).
    void pageRequested(int toolbarIndex);

private:
    void Form_Load(const QString& rowKey, const QString& message);
    // Puts the dialog's text and the numbers of the statement into the send page, then
    // switches to it and closes.
    void resend(const QString& sql);

    std::unique_ptr<Ui::FinishList> ui;
    QString m_id;
    std::unique_ptr<db::Recordset> m_rs; // used by each query in turn
    QPointer<SendPage> m_sendPage;
};
