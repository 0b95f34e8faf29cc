#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class MsgEdit;
}
namespace db {
class Recordset;
}

// "修改短语": changes the text of one phrase. Holds its row from the load to the save.
class MsgEdit final : public QDialog
{
    Q_OBJECT
public:
    explicit MsgEdit(qint32 msgId, QWidget* parent = nullptr);
    ~MsgEdit() override;

    // The id of the phrase being edited.
    qint32 MsgId() const { return m_msgId; }

    void AeroButton1_Click(); // "修改"

private:
    void Form_Load();

    std::unique_ptr<Ui::MsgEdit> ui;
    qint32 m_msgId;
    std::unique_ptr<db::Recordset> m_rs;
};
