#pragma once

#include <QProxyStyle>

// The program's touches on top of the platform's widget style, so that every window of both
// programs gets them without a line of its own:
// - a push button keeps room between its caption and its edges, also where a layout gives it
//   no more than it asks for;
// - a progress bar's groove is a shaded trough from the start, not a white field that reads as
//   an empty text box until the bar fills;
// - a date picker with a drop-down calendar keeps its date clear of the arrow.
class ProgramStyle final : public QProxyStyle
{
    Q_OBJECT
public:
    // Room on each side of a button's caption and after a date picker's text, in pixels.
    static constexpr int kButtonPadding = 12;
    static constexpr int kPickerPadding = 8;

    ProgramStyle();

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
};
