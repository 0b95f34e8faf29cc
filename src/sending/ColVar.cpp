#include "ColVar.h"
#include "DialogFrame.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>

ColVar::ColVar(QWidget* parent) : QDialog(parent), m_combo(new QComboBox(this)), m_ok(new QPushButton(this))
{
    setObjectName(QStringLiteral("ColVar"));
    setWindowTitle(QStringLiteral("选择变量"));
    setModal(true);

    m_combo->setObjectName(QStringLiteral("Combo1"));
    m_combo->addItems({QStringLiteral("A列"), QStringLiteral("B列"), QStringLiteral("C列"), QStringLiteral("D列"),
                       QStringLiteral("E列")});
    m_combo->setCurrentText(QStringLiteral("A列"));
    m_combo->setMinimumWidth(120);
    m_ok->setObjectName(QStringLiteral("AeroButton1"));
    m_ok->setText(QStringLiteral("确定"));
    m_ok->setDefault(true);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(10);
    row->addWidget(m_combo);
    row->addWidget(m_ok);
    UseFixedFrame(*this);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString ColVar::variable() const
{
    return QStringLiteral("{%") + m_combo->currentText() + QStringLiteral("%}");
}
