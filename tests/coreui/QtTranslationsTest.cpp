#include "ProgramLook.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// Each case runs in a process of its own, so the translator installed here reaches no other case.
class QtTranslationsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(InstallQtTranslations(*qApp)); }
};

struct ButtonCase
{
    const char* name;
    QMessageBox::StandardButton button;
    QString text;
};

class MessageBoxButtonTest : public QtTranslationsTest, public ::testing::WithParamInterface<ButtonCase>
{
};

TEST_P(MessageBoxButtonTest, ReadsChinese)
{
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel |
                           QMessageBox::Save);
    QAbstractButton* button = box.button(GetParam().button);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Buttons, MessageBoxButtonTest,
                         ::testing::Values(ButtonCase{"Yes", QMessageBox::Yes, u"是(&Y)"_qs},
                                           ButtonCase{"No", QMessageBox::No, u"否(&N)"_qs},
                                           ButtonCase{"Ok", QMessageBox::Ok, u"确定"_qs},
                                           ButtonCase{"Cancel", QMessageBox::Cancel, u"取消"_qs},
                                           ButtonCase{"Save", QMessageBox::Save, u"保存"_qs}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LabelCase
{
    const char* name;
    QFileDialog::DialogLabel label;
    QString text;
};

class SaveDialogLabelTest : public QtTranslationsTest, public ::testing::WithParamInterface<LabelCase>
{
};

// Qt's own file dialog, the one the program shows where the desktop offers none of its own.
TEST_P(SaveDialogLabelTest, ReadsChinese)
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.labelText(GetParam().label), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Labels, SaveDialogLabelTest,
                         ::testing::Values(LabelCase{"LookIn", QFileDialog::LookIn, u"查找范围："_qs},
                                           LabelCase{"FileName", QFileDialog::FileName, u"文件名称(&N)："_qs},
                                           LabelCase{"FileType", QFileDialog::FileType, u"文件类型："_qs},
                                           LabelCase{"Accept", QFileDialog::Accept, u"保存(&S)"_qs},
                                           LabelCase{"Reject", QFileDialog::Reject, u"取消"_qs}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
