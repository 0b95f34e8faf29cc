#include "CaseName.h"
#include "SendPageFixture.h"
#include "Controls.h"

#include "ColVar.h"
#include "GlobalState.h"
#include "Modal.h"
#include "NumberListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

namespace {

const QColor kDarkRed(192, 0, 0);
const QColor kBlack(0, 0, 0);

class EditorTest : public SendPageFixture
{
protected:
    QPushButton* button(const char* name) const { return Control<QPushButton>(*page, name); }
    QColor textColour() const { return Control<QPlainTextEdit>(*page, "Text1")->palette().color(QPalette::Text); }
    QColor partsColour() const { return Control<QLabel>(*page, "Label24")->palette().color(QPalette::WindowText); }
    // Text "abcdef" with the characters from..to selected (caret at to).
    void selectInText(int from, int to) const
    {
        Control<QPlainTextEdit>(*page, "Text1")->setPlainText(QStringLiteral("abcdef"));
        QTextCursor cursor = Control<QPlainTextEdit>(*page, "Text1")->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        Control<QPlainTextEdit>(*page, "Text1")->setTextCursor(cursor);
    }
};

struct PartsCase
{
    int perPart;
    int length;
    int parts;
    bool overLength;
};

class PartCountTest : public EditorTest, public ::testing::WithParamInterface<PartsCase>
{
};

TEST_P(PartCountTest, LengthPartsAndColour)
{
    g_CharsPerSms = GetParam().perPart;
    Control<QPlainTextEdit>(*page, "Text1")->setPlainText(QString(GetParam().length, QChar(0x77ed))); // "短"
    EXPECT_EQ(Control<QLabel>(*page, "Label3")->text(), QString::number(GetParam().length));
    EXPECT_EQ(page->smsnumber(), GetParam().parts);
    EXPECT_EQ(Control<QLabel>(*page, "Label24")->text(), QStringLiteral("当前短信分%1条发送").arg(GetParam().parts));
    const QColor expected = GetParam().overLength ? kDarkRed : kBlack;
    EXPECT_EQ(textColour(), expected);
    EXPECT_EQ(partsColour(), expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, PartCountTest,
                         ::testing::Values(PartsCase{70, 1, 1, false}, PartsCase{70, 70, 1, false},
                                           PartsCase{70, 71, 2, true}, PartsCase{70, 130, 2, true},
                                           PartsCase{70, 131, 3, true}, PartsCase{60, 60, 1, false},
                                           PartsCase{60, 61, 2, true}, PartsCase{60, 121, 3, true}),
                         NameFrom(&PartsCase::length));

TEST_F(EditorTest, LengthCountsUtf16Units)
{
    Control<QPlainTextEdit>(*page, "Text1")->setPlainText(QStringLiteral("a\U0001F600"));
    EXPECT_EQ(Control<QLabel>(*page, "Label3")->text(), QStringLiteral("3"));
}

TEST_F(EditorTest, PartsAreZeroUntilTheFirstChange)
{
    EXPECT_EQ(page->smsnumber(), 0);
    QTest::keyClicks(Control<QPlainTextEdit>(*page, "Text1"), QStringLiteral("x"));
    EXPECT_EQ(page->smsnumber(), 1);
}

TEST_F(EditorTest, ClearShowsZeroAndOnePartInBlack)
{
    Control<QPlainTextEdit>(*page, "Text1")->setPlainText(QString(71, QLatin1Char('x')));
    ASSERT_EQ(textColour(), kDarkRed);
    QTest::mouseClick(button("AeroButton14"), Qt::LeftButton);
    EXPECT_TRUE(Control<QPlainTextEdit>(*page, "Text1")->toPlainText().isEmpty());
    EXPECT_EQ(Control<QLabel>(*page, "Label3")->text(), QStringLiteral("0"));
    EXPECT_EQ(Control<QLabel>(*page, "Label24")->text(), QStringLiteral("当前短信分1条发送"));
    EXPECT_EQ(textColour(), kBlack);
}

struct InsertCase
{
    int from;
    int to;
    const char* expected;
};

class SignatureTest : public EditorTest, public ::testing::WithParamInterface<InsertCase>
{
};

TEST_P(SignatureTest, SignatureGoesBetweenBracketsAtTheCaret)
{
    g_EnterpriseSign = QStringLiteral("启明公司");
    selectInText(GetParam().from, GetParam().to);
    QTest::mouseClick(button("AeroButton36"), Qt::LeftButton);
    EXPECT_EQ(Control<QPlainTextEdit>(*page, "Text1")->toPlainText(), QString::fromUtf8(GetParam().expected));
    EXPECT_EQ(Control<QLabel>(*page, "Label3")->text(), QString::number(Control<QPlainTextEdit>(*page, "Text1")->toPlainText().size()));
}

INSTANTIATE_TEST_SUITE_P(Carets, SignatureTest,
                         ::testing::Values(InsertCase{3, 3, "abc【启明公司】def"}, InsertCase{1, 4, "a【启明公司】ef"},
                                           InsertCase{6, 6, "abcdef【启明公司】"}),
                         NameFrom(&InsertCase::expected));

TEST_F(EditorTest, EmptySignatureInsertsTheBracketsAlone)
{
    selectInText(2, 2);
    QTest::mouseClick(button("AeroButton36"), Qt::LeftButton);
    EXPECT_EQ(Control<QPlainTextEdit>(*page, "Text1")->toPlainText(), QStringLiteral("ab【】cdef"));
}

struct ColumnCase
{
    int item; // index in the drop-down
    int from;
    int to;
    const char* expected;
};

class ColumnVariableTest : public EditorTest, public ::testing::WithParamInterface<ColumnCase>
{
};

TEST_P(ColumnVariableTest, ChosenColumnReplacesTheSelection)
{
    page->setSendMode(2);
    selectInText(GetParam().from, GetParam().to);
    const bool seen =
        driveModal<ColVar>([this] { QTest::mouseClick(Control<QPushButton>(*page, "AeroButton6"), Qt::LeftButton); },
                           [this](ColVar& dialog) {
                               EXPECT_EQ(dialog.windowTitle(), QStringLiteral("选择变量"));
                               EXPECT_EQ(Control<QComboBox>(dialog, "Combo1")->currentText(), QStringLiteral("A列"));
                               Control<QComboBox>(dialog, "Combo1")->setCurrentIndex(GetParam().item);
                               QTest::mouseClick(Control<QPushButton>(dialog, "AeroButton1"), Qt::LeftButton);
                           });
    EXPECT_TRUE(seen);
    EXPECT_EQ(Control<QPlainTextEdit>(*page, "Text1")->toPlainText(), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Columns, ColumnVariableTest,
                         ::testing::Values(ColumnCase{2, 3, 3, "abc{%C列%}def"}, ColumnCase{0, 0, 6, "{%A列%}"},
                                           ColumnCase{4, 2, 4, "ab{%E列%}ef"}),
                         NameFrom(&ColumnCase::expected));

TEST_F(EditorTest, ClosingColVarInsertsNothing)
{
    page->setSendMode(2);
    selectInText(3, 3);
    EXPECT_TRUE(
        driveModal<ColVar>([this] { QTest::mouseClick(Control<QPushButton>(*page, "AeroButton6"), Qt::LeftButton); },
                           [](ColVar& dialog) { dialog.close(); }));
    EXPECT_EQ(Control<QPlainTextEdit>(*page, "Text1")->toPlainText(), QStringLiteral("abcdef"));
}

TEST_F(EditorTest, SendModesSwitchListsAndColumnButton)
{
    page->setSendMode(2);
    EXPECT_FALSE(Control<QGroupBox>(*page, "SendListBox1")->isVisible());
    EXPECT_TRUE(Control<QGroupBox>(*page, "SendListBox2")->isVisible());
    EXPECT_TRUE(Control<QPushButton>(*page, "AeroButton6")->isEnabled());
    EXPECT_EQ(g_SendMode, 2);
    page->setSendMode(1);
    EXPECT_TRUE(Control<QGroupBox>(*page, "SendListBox1")->isVisible());
    EXPECT_FALSE(Control<QGroupBox>(*page, "SendListBox2")->isVisible());
    EXPECT_FALSE(Control<QPushButton>(*page, "AeroButton6")->isEnabled());
    EXPECT_EQ(g_SendMode, 1);
}

TEST_F(EditorTest, TimedSendEnablesThePickers)
{
    EXPECT_FALSE(Control<QDateEdit>(*page, "DTPicker1")->isEnabled());
    QTest::mouseClick(Control<QCheckBox>(*page, "AeroCheckBox1"), Qt::LeftButton);
    EXPECT_TRUE(Control<QDateEdit>(*page, "DTPicker1")->isEnabled());
    EXPECT_TRUE(Control<QTimeEdit>(*page, "DTPicker2")->isEnabled());
    QTest::mouseClick(Control<QCheckBox>(*page, "AeroCheckBox1"), Qt::LeftButton);
    EXPECT_FALSE(Control<QDateEdit>(*page, "DTPicker1")->isEnabled());
    EXPECT_FALSE(Control<QTimeEdit>(*page, "DTPicker2")->isEnabled());
}

TEST_F(EditorTest, PrepareForLoadEmptiesTheListAndSetsThePickers)
{
    page->AddNumberLines(QStringLiteral("13800000001"));
    Control<QDateEdit>(*page, "DTPicker1")->setDate(QDate(2001, 1, 1));
    page->prepareForLoad();
    EXPECT_EQ(page->numberList()->count(), 0);
    EXPECT_EQ(Control<QListView>(*page, "XmcfListBox1")->model()->rowCount(), 0);
    EXPECT_EQ(Control<QDateEdit>(*page, "DTPicker1")->date(), QDate::currentDate());
    const QTime now = QTime::currentTime();
    EXPECT_EQ(Control<QTimeEdit>(*page, "DTPicker2")->time().second(), 0);
    EXPECT_LE(qAbs(Control<QTimeEdit>(*page, "DTPicker2")->time().secsTo(QTime(now.hour(), now.minute()))), 60);
}

struct RuleCase
{
    int perPart;
    const char* text;
};

class LengthRuleTest : public EditorTest, public ::testing::WithParamInterface<RuleCase>
{
};

TEST_P(LengthRuleTest, HintFollowsThePartSize)
{
    page->setLengthRule(GetParam().perPart);
    EXPECT_EQ(Control<QLabel>(*page, "Label4")->text(), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LengthRuleTest,
                         ::testing::Values(RuleCase{70, "手机短信70字/条；超过70字每条短信增加分隔符“(x/y)”"},
                                           RuleCase{67, "手机短信67字/条；"}),
                         NameFrom(&RuleCase::perPart));

TEST_F(EditorTest, PhraseAndSendButtonsAskTheMainWindow)
{
    std::vector<int> pages;
    int sends = 0;
    QObject::connect(page.get(), &SendPage::pageRequested, [&](int index) { pages.push_back(index); });
    QObject::connect(page.get(), &SendPage::sendRequested, [&] { ++sends; });
    QTest::mouseClick(button("AeroButton5"), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(*page, "AeroButton8"), Qt::LeftButton);
    EXPECT_EQ(pages, std::vector<int>{4});
    EXPECT_EQ(sends, 1);
}

} // namespace
