#include "mouseMenu.h"

#include "Desktop.h"
#include "ProgramLook.h"
#include "SendPage.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QStyle>

namespace {

const QColor kEntryColour(0, 0, 255);
// Colour 5 of the old 16-colour palette.
const QColor kHoverColour(128, 0, 128);

void setForeColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

mouseMenu::mouseMenu(SendPage& page)
    : QFrame(&page, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_page(page)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setObjectName(QStringLiteral("mouseMenu"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);

    static const char* const captions[] = {"粘贴号码", "文本导入", "删除号码", "清空号码"};
    static const char* const imageNames[] = {"Image1", "Image4", "Image2", "Image3"};
    const QStyle::StandardPixmap pictures[] = {QStyle::SP_FileDialogContentsView, QStyle::SP_DialogOpenButton,
                                               QStyle::SP_TrashIcon, QStyle::SP_DialogResetButton};
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 10, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    for (int i = 0; i < 4; ++i) {
        auto* image = new QLabel(this);
        image->setObjectName(QString::fromLatin1(imageNames[i]));
        image->setPixmap(style()->standardIcon(pictures[i]).pixmap(16, 16));
        image->installEventFilter(this);
        m_images[i] = image;

        auto* label = new QLabel(QString::fromUtf8(captions[i]), this);
        label->setObjectName(QStringLiteral("mymenu_%1").arg(i));
        label->setMouseTracking(true);
        label->setCursor(Qt::PointingHandCursor);
        setForeColour(label, kEntryColour);
        label->installEventFilter(this);
        m_mymenu[i] = label;

        grid->addWidget(image, i, 0);
        grid->addWidget(label, i, 1);
    }
    setFixedSize(sizeHint());
}

QPoint mouseMenu::placementTwips(const QPoint& listTwips, const QPoint& pointerPixels, const QPoint& formTwips)
{
    return {listTwips.x() + pointerPixels.x() * kTwipsPerPixel + formTwips.x() + 200,
            listTwips.y() + pointerPixels.y() * kTwipsPerPixel + formTwips.y() + 1700};
}

void mouseMenu::clipNumber()
{
    const QString text = QApplication::clipboard()->text();
    int count = 0;
    QPointer<mouseMenu> self(this);
    SendPage& page = m_page;
    if (!text.isEmpty())
        count = page.AddNumberLines(text);
    QWidget* owner = self ? static_cast<QWidget*>(self.data()) : &page;
    if (count > 0) {
        MsgBox(QStringLiteral("成功导入%1条记录").arg(count), QStringLiteral("完成"), Desktop::Icon::Information,
               Desktop::Buttons::Ok, owner);
        page.DelRepeat();
    } else {
        MsgBox(QStringLiteral("系统粘贴板上没有发现手机号码"), QStringLiteral("完成"), Desktop::Icon::Information,
               Desktop::Buttons::Ok, owner);
    }
}

bool mouseMenu::eventFilter(QObject* watched, QEvent* event)
{
    for (int i = 0; i < 4; ++i) {
        if (watched == m_mymenu[i]) {
            if (event->type() == QEvent::MouseMove)
                mymenu_MouseMove(i);
            else if (event->type() == QEvent::MouseButtonPress) {
                mymenu_MouseDown(i);
                return true;
            }
        } else if (watched == m_images[i]) {
            if (event->type() == QEvent::MouseButtonPress) {
                m_pressedImage = i;
                return true;
            }
            if (event->type() == QEvent::MouseButtonRelease) {
                const bool clicked = m_pressedImage == i && m_images[i]->rect().contains(
                                                                static_cast<QMouseEvent*>(event)->position().toPoint());
                m_pressedImage = -1;
                if (clicked)
                    runAction(i);
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

void mouseMenu::mymenu_MouseDown(int index)
{
    runAction(index);
}

void mouseMenu::mymenu_MouseMove(int index)
{
    setForeColour(m_mymenu[former], kEntryColour);
    setForeColour(m_mymenu[index], kHoverColour);
    former = qint16(index);
}

void mouseMenu::runAction(int entryIndex)
{
    switch (entryIndex) {
    case 0:
        clipNumber();
        break;
    case 1:
        m_page.AeroButton49_Click();
        break;
    case 2:
        m_page.AeroButton45_Click();
        break;
    case 3:
        m_page.AeroButton44_Click();
        break;
    default:
        break;
    }
}
