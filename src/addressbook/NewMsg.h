#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class NewMsg;
}

// "新增短语": adds a phrase, as typed, to a chosen category.
class NewMsg final : public QDialog
{
    Q_OBJECT
public:
    // selectedNodeText: the text of the node selected in the phrase tree; a category of that
    // name is chosen at the start (the last one, should several bear it).
    explicit NewMsg(const QString& selectedNodeText, QWidget* parent = nullptr);
    ~NewMsg() override;

    void AeroButton1_Click(); // "添加"

private:
    void Form_Load(const QString& selectedNodeText);

    std::unique_ptr<Ui::NewMsg> ui;
};
