#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

// "选择变量": picks the data column whose variable goes into the message.
class ColVar final : public QDialog
{
    Q_OBJECT
public:
    explicit ColVar(QWidget* parent = nullptr);

    // "{%" + the drop-down's text + "%}"
    QString variable() const;

private:
    QComboBox* m_combo;
    QPushButton* m_ok;
};
