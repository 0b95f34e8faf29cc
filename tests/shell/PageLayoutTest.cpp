#include "Controls.h"
#include "Form1.h"
#include "GlobalState.h"
#include "ListView.h"
#include "MyTrayIcon.h"
#include "ProgramLook.h"
#include "SandboxFixture.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Pixels that a caption keeps free on each side of it, and a date after its end.
constexpr int kCaptionRoom = 8;

// Every caption of a page whole at the main window's own size: no control gets less width than
// its caption needs, and none reaches past the edge of a widget that holds it.
struct PageCase
{
    const char* name;
    int toolbarIndex;
};

// The main window at its own size, in the program's font and style: the measures depend on them.
class MainWindowPageTest : public SandboxFixture
{
protected:
    void SetUp() override
    {
        SandboxFixture::SetUp();
        ResetGlobalState();
        g_UserName = QStringLiteral("demo");
        g_Password = QStringLiteral("demo123");
        UseProgramFont(*qApp);
        UseProgramStyle(*qApp);
        InstallQtTranslations(*qApp);
    }

    // Shows the form once its start-up sequence has run, with the page of the toolbar's picture.
    static QWidget* showPage(Form1& form, int toolbarIndex)
    {
        form.Timer3->setInterval(0);
        form.show();
        if (!QTest::qWaitFor([&] { return !form.Timer3->isActive(); }, 5000))
            return nullptr;
        form.toobarImg_Click(toolbarIndex);
        QApplication::processEvents();
        return Control<QStackedWidget>(form, "FrameMainStack")->currentWidget();
    }

    TestProgramFolder folder;
    ScriptedDesktop desktop;
    TrayRecorder tray;
};

class PageLayoutTest : public MainWindowPageTest, public ::testing::WithParamInterface<PageCase>
{
};

// The part of widget that an ancestor cuts off, as a text; empty when it is whole.
QString cutBy(const QWidget* widget)
{
    const QRect own(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
    for (const QWidget* holder = widget->parentWidget(); holder; holder = holder->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(holder))
            continue; // scrolled content is meant to be partly hidden
        const QRect room(holder->mapTo(widget->window(), QPoint(0, 0)), holder->size());
        if (!room.contains(own))
            return QStringLiteral("cut by ") + holder->objectName();
        if (holder->isWindow())
            break;
    }
    return QString();
}

QString captionOf(const QWidget* widget)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    return QString();
}

TEST_P(PageLayoutTest, EveryCaptionIsWhole)
{
    Form1 form;
    QWidget* page = showPage(form, GetParam().toolbarIndex);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(form.size(), QSize(1000, 700));

    int captions = 0;
    for (QWidget* widget : page->findChildren<QWidget*>()) {
        const QString caption = captionOf(widget);
        if (caption.isEmpty() || !widget->isVisibleTo(&form))
            continue;
        ++captions;
        const auto* label = qobject_cast<const QLabel*>(widget);
        if (!label || !label->wordWrap()) {
            EXPECT_GE(widget->width(), widget->sizeHint().width())
                << widget->objectName().toStdString() << " \"" << caption.toStdString() << "\"";
        }
        EXPECT_EQ(cutBy(widget), QString()) << widget->objectName().toStdString();
    }
    EXPECT_GT(captions, 3);

    // A list's columns fit beside its scroll bar, so that none hides behind a horizontal scroll.
    for (ListView* list : page->findChildren<ListView*>()) {
        if (!list->isVisibleTo(&form))
            continue;
        const QHeaderView* header = list->header();
        int columns = 0;
        for (int c = 0; c < header->count(); ++c)
            columns += header->isSectionHidden(c) ? 0 : header->sectionSize(c);
        const int room = list->width() - 2 * list->frameWidth() -
                         list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        EXPECT_LE(header->stretchLastSection() ? columns - header->sectionSize(header->count() - 1) : columns, room)
            << list->objectName().toStdString();
        // and the last one takes what is left rather than widening the list past its edge
        EXPECT_FALSE(list->horizontalScrollBar()->isVisible()) << list->objectName().toStdString();
    }

    // A caption keeps room inside its button's edges, whatever the layout gives the button.
    for (QPushButton* button : page->findChildren<QPushButton*>()) {
        if (!button->isVisibleTo(&form))
            continue;
        const int room = button->width() - button->fontMetrics().horizontalAdvance(button->text());
        EXPECT_GE(room, 2 * kCaptionRoom) << button->objectName().toStdString();
    }

    // A date picker's date stays clear of its drop-down arrow.
    for (QDateEdit* picker : page->findChildren<QDateEdit*>()) {
        if (!picker->isVisibleTo(&form))
            continue;
        const QLineEdit* field = picker->findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        const int room = field->width() - field->fontMetrics().horizontalAdvance(field->text());
        EXPECT_GE(room, kCaptionRoom) << picker->objectName().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, PageLayoutTest,
                         ::testing::Values(PageCase{"PlainList", 1}, PageCase{"Grid", 8}, PageCase{"History", 2},
                                           PageCase{"AddressBook", 3}, PageCase{"Phrases", 4},
                                           PageCase{"Settings", 5}),
                         [](const auto& info) { return std::string(info.param.name); });

class AddressBookButtonsTest : public MainWindowPageTest
{
};

// The address book's list buttons read from left to right, row after row, in this order.
TEST_F(AddressBookButtonsTest, ReadInTheirOrder)
{
    Form1 form;
    QWidget* page = showPage(form, 3);
    ASSERT_NE(page, nullptr);
    const char* const order[] = {"AeroButton37", "AeroButton38", "AeroButton34", "AeroButton39",
                                 "AeroButton35", "AeroButton31", "AeroButton32", "AeroButton18"};
    const QPushButton* previous = nullptr;
    for (const char* name : order) {
        const auto* button = Control<QPushButton>(*page, name);
        if (previous) {
            const QRect before(previous->mapTo(page, QPoint(0, 0)), previous->size());
            const QRect here(button->mapTo(page, QPoint(0, 0)), button->size());
            const bool sameRow = here.top() < before.bottom() && before.top() < here.bottom();
            EXPECT_TRUE(sameRow ? here.left() > before.right() : here.top() > before.bottom())
                << name << " after " << previous->objectName().toStdString();
        }
        previous = button;
    }
}

} // namespace
