#include "ProgramLook.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QColor centreOf(QWidget& widget)
{
    const QImage image = widget.grab().toImage();
    return image.pixelColor(image.rect().center());
}

// A bar that has not moved yet still reads as a bar: its groove is darker than the field of a
// text box beside it, where the platform style paints both alike.
TEST(ProgramStyleTest, AnEmptyProgressBarIsNotDrawnLikeATextBox)
{
    UseProgramStyle(*qApp);
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* bar = new QProgressBar;
    bar->setValue(0);
    bar->setTextVisible(false);
    auto* box = new QLineEdit;
    layout->addWidget(bar);
    layout->addWidget(box);
    window.resize(400, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_LT(centreOf(*bar).lightness() + 20, centreOf(*box).lightness())
        << centreOf(*bar).name().toStdString() << " against " << centreOf(*box).name().toStdString();
}

} // namespace
