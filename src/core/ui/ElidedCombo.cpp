#include "ElidedCombo.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace {

// Paints the closed box as QComboBox does, with the current text elided to the edit field:
// the style itself only clips it.
class ElidingPainter final : public QObject
{
public:
    explicit ElidingPainter(QComboBox* combo) : QObject(combo), m_combo(combo) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_combo || event->type() != QEvent::Paint || m_combo->isEditable())
            return false;
        QStylePainter painter(m_combo);
        QStyleOptionComboBox option;
        option.initFrom(m_combo);
        option.editable = false;
        option.frame = m_combo->hasFrame();
        option.currentIcon = m_combo->itemIcon(m_combo->currentIndex());
        option.iconSize = m_combo->iconSize();
        option.subControls = QStyle::SC_All;
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        const QRect field =
            m_combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, m_combo);
        const int iconRoom = option.currentIcon.isNull() ? 0 : option.iconSize.width() + 4;
        option.currentText = m_combo->fontMetrics().elidedText(m_combo->currentText(), Qt::ElideRight,
                                                                field.width() - iconRoom - 2);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        return true;
    }

private:
    QComboBox* m_combo;
};

} // namespace

void CapComboWidth(QComboBox& combo, int chars)
{
    combo.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo.setMinimumContentsLength(chars);
    combo.view()->setTextElideMode(Qt::ElideRight);
    combo.installEventFilter(new ElidingPainter(&combo));
}
