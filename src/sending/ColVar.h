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
    QComboBox* Combo1() const { return m_combo; }
    QPushButton* AeroButton1() const { return m_ok; }

private:
    QComboBox* m_combo;
    QPushButton* m_ok;
};
