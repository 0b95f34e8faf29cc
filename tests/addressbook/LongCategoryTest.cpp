#include "AddressBookFixture.h"
#include "ContactAdd.h"
#include "ContactEdit.h"
#include "Controls.h"
#include "DataStore.h"
#include "NewMsg.h"
#include "ProgramLook.h"
#include "PublicFunction.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QScreen>
#include <functional>

namespace {

// A category name may be 100 characters long; the dialogs that offer categories in a drop-down
// stay narrower than the main window (1000) all the same, and still select the long one.
const QString kLong = QString(100, QChar(u'类'));

struct DialogCase
{
    const char* name;
    std::function<std::unique_ptr<QDialog>(qint64 contact)> open;
    const char* combo;
};

class LongCategoryTest : public AddressBookFixture, public ::testing::WithParamInterface<DialogCase>
{
};

TEST_P(LongCategoryTest, DialogStaysNarrowerThanTheMainWindow)
{
    UseProgramFont(*qApp);
    UseProgramStyle(*qApp);
    const qint64 category = addCategory(kLong);
    g_Conn->execute(QStringLiteral("insert into [MsgCategory] (CategoryName, ParentId) values ('") + kLong +
                    QStringLiteral("', 0)"));
    const qint64 contact = addContact(QStringLiteral("张三"), QStringLiteral("13800000000"), category);

    std::unique_ptr<QDialog> dialog = GetParam().open(contact);
    dialog->show();
    QApplication::processEvents();
    EXPECT_LT(dialog->width(), 1000);
    auto* combo = Control<QComboBox>(*dialog, GetParam().combo);
    EXPECT_EQ(combo->currentText(), kLong);
    EXPECT_LE(combo->x() + combo->width(), dialog->width());
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, LongCategoryTest,
    ::testing::Values(
        DialogCase{"ContactAdd", [](qint64) { return std::make_unique<ContactAdd>(kLong); }, "Combo3"},
        DialogCase{"ContactEdit", [](qint64 id) { return std::make_unique<ContactEdit>(qint32(id)); }, "Combo3"},
        DialogCase{"NewMsg", [](qint64) { return std::make_unique<NewMsg>(kLong); }, "Combo1"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
