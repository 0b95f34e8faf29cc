#include "ProgramStyle.h"

#include <QDateTimeEdit>
#include <QStyleOptionProgressBar>

ProgramStyle::ProgramStyle() = default;

QSize ProgramStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                                     const QWidget* widget) const
{
    QSize size = QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
    if (type == CT_PushButton) {
        // The platform style pads a caption by a few pixels only: a long caption then touches
        // the button's frame wherever the layout does not stretch the button.
        size.setWidth(qMax(size.width(), contentsSize.width() + 2 * kButtonPadding));
    } else if (type == CT_SpinBox) {
        // A date picker with a calendar measures itself as a spin box but is drawn as a
        // drop-down list, whose arrow takes more room than the spin box's buttons: the last
        // digit of the date would run into the arrow.
        const auto* picker = qobject_cast<const QDateTimeEdit*>(widget);
        if (picker && picker->calendarPopup())
            size.rwidth() += kPickerPadding;
    }
    return size;
}

void ProgramStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const
{
    if (element == CE_ProgressBarGroove) {
        // The platform style fills the groove with the colour of a text field.
        QStyleOptionProgressBar groove;
        if (const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option))
            groove = *bar;
        else
            groove.QStyleOption::operator=(*option);
        const QColor trough = option->palette.color(QPalette::Window).darker(118);
        groove.palette.setColor(QPalette::Base, trough);
        QProxyStyle::drawControl(element, &groove, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}
