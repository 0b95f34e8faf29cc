#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class DestineMsgAdd;
}

// "添加短语分类": adds a phrase category under a name no other category has.
class DestineMsgAdd final : public QDialog
{
    Q_OBJECT
public:
    explicit DestineMsgAdd(QWidget* parent = nullptr);
    ~DestineMsgAdd() override;

    void AeroButton1_Click(); // "添加"

private:
    std::unique_ptr<Ui::DestineMsgAdd> ui;
};
