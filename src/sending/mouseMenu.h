#pragma once

#include <QFrame>
#include <QPoint>
#include <array>

class QLabel;
class SendPage;

// The small panel beside the plain number list: paste, text import, remove and clear. It
// opens without taking the focus from the main window and never closes itself: the program's
// mouse filter, the editor and the main window close it.
class mouseMenu final : public QFrame
{
    Q_OBJECT
public:
    explicit mouseMenu(SendPage& page);

    // Where the panel goes, in twips: beside the pointer, from the list's position in its
    // container and the main window's position (all in twips) and the pointer in pixels.
    static QPoint placementTwips(const QPoint& listTwips, const QPoint& pointerPixels, const QPoint& formTwips);

    // Adds the numbers of the clipboard text and reports how many were found.
    void clipNumber();

    qint16 former = 0; // entry highlighted last

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void mymenu_MouseDown(int index);
    void mymenu_MouseMove(int index);
    void runAction(int entryIndex);

    SendPage& m_page;
    std::array<QLabel*, 4> m_mymenu{};
    std::array<QLabel*, 4> m_images{}; // Image1, Image4, Image2, Image3: beside entries 0 to 3
    int m_pressedImage = -1;
};
