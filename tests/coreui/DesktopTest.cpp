#include "Desktop.h"
#include "CaseName.h"
#include "DataStore.h"
#include "ErrorBoxes.h"
#include "HintBox.h"
#include "ProgramLook.h"
#include "PublicFunction.h"
#include "QtPrinters.h"
#include "ScopedEnv.h"
#include "ScriptedDesktop.h"
#include "TestProgramFolder.h"
#include "db/DbError.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

using Icon = Desktop::Icon;
using Buttons = Desktop::Buttons;
using Answer = Desktop::Answer;

// ---- filters ---------------------------------------------------------------------------

struct FilterCase
{
    QString oldForm;
    QString qtForm;
};

class ToQtFilterTest : public ::testing::TestWithParam<FilterCase>
{
};

TEST_P(ToQtFilterTest, Converts)
{
    EXPECT_EQ(Desktop::toQtFilter(GetParam().oldForm), GetParam().qtForm);
}

INSTANTIATE_TEST_SUITE_P(Filters, ToQtFilterTest,
                         ::testing::Values(FilterCase{u"文本文件(*.txt)|*.txt"_qs, u"文本文件(*.txt) (*.txt)"_qs},
                                           FilterCase{u"Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx"_qs,
                                                      u"Excel文件(*.xls,*.xlsx) (*.xls *.xlsx)"_qs},
                                           FilterCase{u"文本文件(*.txt)|*.txt|所有文件(*.*)|*.*"_qs,
                                                      u"文本文件(*.txt) (*.txt);;所有文件(*.*) (*.*)"_qs},
                                           FilterCase{u"备份文件|*.bak; *.mdb"_qs, u"备份文件 (*.bak *.mdb)"_qs},
                                           FilterCase{u"数据库(*.mdb)"_qs, u"数据库(*.mdb)"_qs},
                                           FilterCase{u""_qs, u""_qs}),
                         NameFrom(&FilterCase::qtForm));

// ---- the production desktop, driven through the real dialogs ---------------------------

// Runs check on the modal dialog as soon as it is up (the dialogs block until closed).
void onModal(std::function<void(QWidget*)> check)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, check] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            check(modal);
        }
    });
    poll->start(10);
}

void click(QWidget* modal, QMessageBox::StandardButton which)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    box->button(which)->click();
}

TEST(QtDesktop, YesNoBoxShowsTitleTextAndIconAndReturnsTheAnswer)
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    onModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        click(modal, QMessageBox::No);
    });
    EXPECT_EQ(Desktop::instance().message(u"确定退出程序吗？\r\n第二行"_qs, u"退出确认"_qs, Icon::Question,
                                          Buttons::YesNo, nullptr),
              Answer::No);
    EXPECT_EQ(title, u"退出确认"_qs);
    EXPECT_EQ(text, u"确定退出程序吗？\n第二行"_qs);
    EXPECT_EQ(icon, QMessageBox::Question);

    onModal([](QWidget* modal) { click(modal, QMessageBox::Yes); });
    EXPECT_EQ(MsgBox(u"?"_qs, u"t"_qs, Icon::Question, Buttons::YesNo), Answer::Yes);
}

TEST(QtDesktop, EmptyTitleShowsTheProgramTitle)
{
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    onModal([&](QWidget* modal) {
        title = modal->windowTitle();
        icon = qobject_cast<QMessageBox*>(modal)->icon();
        click(modal, QMessageBox::Ok);
    });
    EXPECT_EQ(MsgBox(u"x"_qs, QString(), Icon::Exclamation), Answer::Ok);
    EXPECT_EQ(title, u"Quorvel2011"_qs);
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST(QtDesktop, SaveDialogLeavesTheOverwriteQuestionToTheCaller)
{
    bool confirms = true;
    QStringList filters;
    onModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        filters = dialog->nameFilters();
        dialog->reject();
    });
    EXPECT_EQ(Desktop::instance().saveFile(u"文本文件(*.txt)|*.txt"_qs, nullptr), QString());
    EXPECT_FALSE(confirms);
    EXPECT_EQ(filters, QStringList{u"文本文件(*.txt) (*.txt)"_qs});
}

struct TitleCase
{
    const char* name;
    QString title;
};

class QtDesktopBoxWidthTest : public ::testing::TestWithParam<TitleCase>
{
};

// A title bar holds the window's icon and three buttons beside the title; Qt alone leaves 50
// pixels for them, and openbox cut "导入完成" to "导…".
TEST_P(QtDesktopBoxWidthTest, HoldsTheTitleBesideATitleBarsButtons)
{
    int width = 0;
    int titleWidth = 0;
    onModal([&](QWidget* modal) {
        width = modal->width();
        titleWidth = modal->fontMetrics().horizontalAdvance(modal->windowTitle());
        click(modal, QMessageBox::Ok);
    });
    MsgBox(u"x"_qs, GetParam().title);
    EXPECT_GE(width, titleWidth + 4 * 30) << "title width " << titleWidth;
}

INSTANTIATE_TEST_SUITE_P(Titles, QtDesktopBoxWidthTest,
                         ::testing::Values(TitleCase{"ImportDone", u"导入完成"_qs}, TitleCase{"Hint", u"提示"_qs},
                                           TitleCase{"ProgramTitle", QString()}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the production file dialogs ----------------------------------------------------------

QFileDialog* fileDialog(QWidget* modal)
{
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    EXPECT_NE(dialog, nullptr);
    return dialog;
}

struct ProgramFilterCase
{
    const char* name;
    QString filter;
    QString shown;
    QStringList patterns;
};

class QtDesktopFilterTest : public ::testing::TestWithParam<ProgramFilterCase>
{
};

// The description already names its patterns: it is shown once, and the dialog still lists the
// files of every pattern.
TEST_P(QtDesktopFilterTest, ShowsTheDescriptionOnceAndMatchesEveryPattern)
{
    const ProgramFilterCase& c = GetParam();
    for (const bool save : {false, true}) {
        QStringList shown;
        QStringList patterns;
        onModal([&](QWidget* modal) {
            QFileDialog* dialog = fileDialog(modal);
            auto* types = dialog->findChild<QComboBox*>(u"fileTypeCombo"_qs);
            for (int i = 0; types && i < types->count(); ++i)
                shown << types->itemText(i);
            if (auto* files = dialog->findChild<QFileSystemModel*>())
                patterns = files->nameFilters();
            dialog->reject();
        });
        if (save)
            Desktop::instance().saveFile(c.filter, nullptr);
        else
            Desktop::instance().openFile(c.filter, nullptr);
        EXPECT_EQ(shown, QStringList{c.shown}) << (save ? "save" : "open");
        EXPECT_EQ(patterns, c.patterns) << (save ? "save" : "open");
    }
}

INSTANTIATE_TEST_SUITE_P(
    ProgramFilters, QtDesktopFilterTest,
    ::testing::Values(
        ProgramFilterCase{"Text", u"文本文件(*.txt)|*.txt"_qs, u"文本文件(*.txt)"_qs, {u"*.txt"_qs}},
        ProgramFilterCase{"Excel",
                          u"Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx"_qs,
                          u"Excel文件(*.xls,*.xlsx)"_qs,
                          {u"*.xls"_qs, u"*.xlsx"_qs}},
        ProgramFilterCase{"Access", u"Access数据库(*.mdb)|*.mdb"_qs, u"Access数据库(*.mdb)"_qs, {u"*.mdb"_qs}},
        ProgramFilterCase{"Backup", u"Brenlo备份文件(*.qbk)|*.qbk"_qs, u"Brenlo备份文件(*.qbk)"_qs, {u"*.qbk"_qs}}),
    [](const auto& info) { return std::string(info.param.name); });

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Types a whole path into the file name box and presses the dialog's button, as a user does.
// (QFileDialog::selectFile leaves the box alone while it has the focus.)
void choosePath(QFileDialog& dialog, const QString& path)
{
    auto* name = dialog.findChild<QLineEdit*>(u"fileNameEdit"_qs);
    ASSERT_NE(name, nullptr);
    name->setText(path);
    static_cast<QDialog&>(dialog).accept();
}

// Each dialog answers with what was chosen in it, and reports the folder it opened in.
QString chooseIn(bool save, QString* openedIn, const std::function<void(QFileDialog&)>& choose)
{
    onModal([=](QWidget* modal) {
        QFileDialog* dialog = fileDialog(modal);
        *openedIn = QDir(dialog->directory()).absolutePath();
        choose(*dialog);
    });
    const QString filter = u"文本文件(*.txt)|*.txt"_qs;
    return save ? Desktop::instance().saveFile(filter, nullptr) : Desktop::instance().openFile(filter, nullptr);
}

// The first dialog of the run opens in the home folder; later ones open where a file was last
// chosen, whether it was opened or saved; a cancelled dialog changes nothing.
TEST(QtDesktop, FileDialogsOpenAtHomeFirstThenWhereAFileWasLastChosen)
{
    QTemporaryDir home, first, second, wandered;
    ScopedEnv homeVariable("HOME", home.path().toUtf8());
    writeFile(first.filePath(u"a.txt"_qs), "1");
    QString openedIn;

    EXPECT_EQ(chooseIn(false, &openedIn, [&](QFileDialog& d) { choosePath(d, first.filePath(u"a.txt"_qs)); }),
              first.filePath(u"a.txt"_qs));
    EXPECT_EQ(openedIn, QDir(home.path()).absolutePath());

    EXPECT_EQ(chooseIn(true, &openedIn, [&](QFileDialog& d) { choosePath(d, second.filePath(u"b.txt"_qs)); }),
              second.filePath(u"b.txt"_qs));
    EXPECT_EQ(openedIn, QDir(first.path()).absolutePath());

    EXPECT_EQ(chooseIn(false, &openedIn,
                       [&](QFileDialog& d) {
                           d.setDirectory(wandered.path());
                           d.reject();
                       }),
              QString());
    EXPECT_EQ(openedIn, QDir(second.path()).absolutePath());

    chooseIn(false, &openedIn, [](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(openedIn, QDir(second.path()).absolutePath());
}

struct DetailCase
{
    const char* name;
    QString entry;
    int column;
    QString shown;
};

class QtDesktopDetailsTest : public ::testing::TestWithParam<DetailCase>
{
};

// The detail view reads as a Chinese user expects, whatever the environment's locale, and each
// column is wide enough for what it shows.
TEST_P(QtDesktopDetailsTest, ReadChineseAndWhole)
{
    const DetailCase& c = GetParam();
    ScopedEnv lang("LANG", QByteArray("C"));
    // Qt keeps the dialog's column widths among its settings; none are left from another run.
    QTemporaryDir config;
    ScopedEnv configHome("XDG_CONFIG_HOME", config.path().toUtf8());
    SetUpProgramLook(*qApp);
    QTemporaryDir folder;
    QFile grid(folder.filePath(u"grid.xlsx"_qs));
    ASSERT_TRUE(grid.open(QIODevice::WriteOnly));
    grid.write(QByteArray(26, 'x'));
    grid.flush();
    ASSERT_TRUE(grid.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), QFileDevice::FileModificationTime));
    grid.close();
    ASSERT_TRUE(QDir(folder.path()).mkdir(u"sub"_qs));

    bool listed = false;
    QString shown;
    int columnWidth = 0;
    int textWidth = 0;
    onModal([&](QWidget* modal) {
        QFileDialog* dialog = fileDialog(modal);
        dialog->setDirectory(folder.path());
        auto* view = dialog->findChild<QTreeView*>();
        ASSERT_NE(view, nullptr);
        const auto cell = [&]() -> QModelIndex {
            const QAbstractItemModel* model = view->model();
            for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
                const QModelIndex name = model->index(row, 0, view->rootIndex());
                if (name.data().toString() == c.entry)
                    return name.siblingAtColumn(c.column);
            }
            return QModelIndex();
        };
        // The folder is read, and the types worked out, in the background.
        // Whether it came in time is what the checks below say.
        (void)QTest::qWaitFor([&] { return cell().isValid() && cell().data().toString() == c.shown; }, 5000);
        listed = cell().isValid();
        shown = cell().data().toString();
        QTest::qWait(50);
        columnWidth = view->header()->sectionSize(c.column);
        textWidth = view->fontMetrics().horizontalAdvance(shown);
        dialog->reject();
    });
    Desktop::instance().openFile(u"Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx"_qs, nullptr);
    ASSERT_TRUE(listed) << "no row for " << c.entry.toStdString();
    EXPECT_EQ(shown, c.shown);
    EXPECT_GE(columnWidth, textWidth) << "cut";
}

INSTANTIATE_TEST_SUITE_P(Columns, QtDesktopDetailsTest,
                         ::testing::Values(DetailCase{"FileSize", u"grid.xlsx"_qs, 1, u"26 字节"_qs},
                                           DetailCase{"FileType", u"grid.xlsx"_qs, 2, u"Excel 2007 电子表格"_qs},
                                           DetailCase{"FileDate", u"grid.xlsx"_qs, 3, u"2024/3/5 14:07"_qs},
                                           DetailCase{"FolderSize", u"sub"_qs, 1, QString()},
                                           DetailCase{"FolderType", u"sub"_qs, 2, u"文件夹"_qs}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the browser opener ----------------------------------------------------------------

struct OpenerCase
{
    const char* name;
    QByteArray script;
    bool opened;
};

class QtDesktopOpenerTest : public ::testing::TestWithParam<OpenerCase>
{
};

// The desktop's opener (xdg-open) starts in any case; whether the page opened is its exit status,
// or, while it waits on the browser it started, that it is still running.
TEST_P(QtDesktopOpenerTest, ReportsWhatTheOpenerSays)
{
    QTemporaryDir bin;
    const QString opener = bin.filePath(u"xdg-open"_qs);
    writeFile(opener, "#!/bin/sh\n" + GetParam().script + "\n");
    QFile(opener).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ScopedEnv path("PATH", bin.path().toUtf8() + ":/usr/bin:/bin");

    EXPECT_EQ(Desktop::instance().openUrl(u"http://help.example/kufw.htm"_qs), GetParam().opened);
    // A browser left running ends before the test does.
    QTest::qWait(GetParam().script.contains("sleep") ? 1500 : 0);
}

INSTANTIATE_TEST_SUITE_P(Openers, QtDesktopOpenerTest,
                         ::testing::Values(OpenerCase{"NoBrowser", "exit 3", false},
                                           OpenerCase{"HandedToBrowser", "exit 0", true},
                                           OpenerCase{"BrowserInForeground", "sleep 3", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the scripted desktop --------------------------------------------------------------

TEST(ScriptedDesktop, AnswersExpectedCallsInOrder)
{
    ScriptedDesktop desktop;
    desktop.expectMessage(u"确定退出程序吗？"_qs, u"退出确认"_qs, Icon::Question, Buttons::YesNo, Answer::Yes)
        .expectOpenFile(ScriptedDesktop::contains(u"*.txt"_qs), u"/tmp/a.txt"_qs)
        .expectSaveFile(ScriptedDesktop::anyText(), QString())
        .expectStartProgram(ScriptedDesktop::startsWith(u"/opt/"_qs), false)
        .expectOpenUrl(::testing::Matcher<QString>(::testing::Truly([](const QString& u) { return u.size() > 3; })))
        .expectMessage("no title", QString());

    EXPECT_EQ(MsgBox(u"确定退出程序吗？"_qs, u"退出确认"_qs, Icon::Question, Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(Desktop::instance().openFile(u"文本文件(*.txt)|*.txt"_qs, nullptr), u"/tmp/a.txt"_qs);
    EXPECT_EQ(Desktop::instance().saveFile(u"x"_qs, nullptr), QString());
    EXPECT_FALSE(Desktop::instance().startProgram(u"/opt/update"_qs));
    EXPECT_TRUE(Desktop::instance().openUrl(u"http://help"_qs));
    // An empty title is the program's title, on both sides.
    EXPECT_EQ(MsgBox(u"no title"_qs, u"Quorvel2011"_qs), Answer::Ok);
    EXPECT_FALSE(desktop.pending());
    ASSERT_EQ(desktop.calls().size(), 6u);
    EXPECT_EQ(desktop.calls(ScriptedDesktop::Kind::OpenUrl).at(0).text, u"http://help"_qs);
}

TEST(ScriptedDesktop, ExitThrowsWithTheCode)
{
    ScriptedDesktop desktop;
    try {
        Desktop::instance().exitNow(3);
        FAIL() << "exitNow returned";
    } catch (const ScriptedDesktop::Exited& e) {
        EXPECT_EQ(e.code, 3);
    }
    ASSERT_EQ(desktop.calls().size(), 1u);
    EXPECT_EQ(desktop.calls()[0].kind, ScriptedDesktop::Kind::Exit);
}

struct UnexpectedCase
{
    const char* name;
    std::function<void(ScriptedDesktop&)> script;
    std::function<void()> act;
    const char* failureText;
};

class ScriptedDesktopUnexpectedTest : public ::testing::TestWithParam<UnexpectedCase>
{
};

// A stray call fails once and leaves the script in place, so the expected call still fits after it.
TEST_P(ScriptedDesktopUnexpectedTest, FailsTheTestAndAnswersHarmlessly)
{
    const UnexpectedCase& c = GetParam();
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDesktop desktop;
            c.script(desktop);
            c.act();
            desktop.verifyAllConsumed();
        },
        c.failureText);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ScriptedDesktopUnexpectedTest,
    ::testing::Values(
        UnexpectedCase{
            "NothingExpected", [](ScriptedDesktop&) {},
            [] { EXPECT_EQ(MsgBox(u"删除吗"_qs, u"删除确认"_qs, Icon::Question, Buttons::YesNo), Answer::No); },
            "unexpected call: message(\"删除吗\""},
        UnexpectedCase{"WrongText", [](ScriptedDesktop& d) { d.expectMessage(u"a"_qs, u"提示"_qs, Icon::Exclamation); },
                       [] {
                           MsgBox(u"b"_qs, u"提示"_qs, Icon::Exclamation);
                           MsgBox(u"a"_qs, u"提示"_qs, Icon::Exclamation);
                       },
                       "the next expected call is: message(\"a\""},
        UnexpectedCase{"WrongTitle", [](ScriptedDesktop& d) { d.expectMessage(u"a"_qs, u"提示"_qs); },
                       [] {
                           MsgBox(u"a"_qs, u"完成"_qs);
                           MsgBox(u"a"_qs, u"提示"_qs);
                       },
                       "title \"完成\""},
        UnexpectedCase{"WrongIcon", [](ScriptedDesktop& d) { d.expectMessage(u"a"_qs, u"提示"_qs, Icon::Information); },
                       [] {
                           MsgBox(u"a"_qs, u"提示"_qs, Icon::Exclamation);
                           MsgBox(u"a"_qs, u"提示"_qs, Icon::Information);
                       },
                       "exclamation"},
        UnexpectedCase{"WrongButtons",
                       [](ScriptedDesktop& d) { d.expectMessage(u"a"_qs, u"提示"_qs, Icon::None, Buttons::Ok); },
                       [] {
                           MsgBox(u"a"_qs, u"提示"_qs, Icon::None, Buttons::YesNo);
                           MsgBox(u"a"_qs, u"提示"_qs, Icon::None, Buttons::Ok);
                       },
                       "Yes/No"},
        UnexpectedCase{"WrongKind", [](ScriptedDesktop& d) { d.expectOpenFile(ScriptedDesktop::anyText(), u"/a"_qs); },
                       [] {
                           EXPECT_EQ(Desktop::instance().saveFile(u"f"_qs, nullptr), QString());
                           EXPECT_EQ(Desktop::instance().openFile(u"f"_qs, nullptr), u"/a"_qs);
                       },
                       "unexpected call: saveFile"},
        UnexpectedCase{"UnexpectedProgramStart", [](ScriptedDesktop&) {},
                       [] { EXPECT_FALSE(Desktop::instance().startProgram(u"/x/update"_qs)); },
                       "startProgram(\"/x/update\")"},
        UnexpectedCase{"NeverMade", [](ScriptedDesktop& d) { d.expectOpenUrl(u"http://a"_qs); }, [] {},
                       "expected call never made: openUrl(\"http://a\")"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptedDesktop, DestructorReportsExpectationsNeverMet)
{
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDesktop desktop;
            desktop.expectStartProgram(u"/x/update"_qs);
        },
        "expected call never made: startProgram");
}

TEST(ScriptedDesktop, UninstallsItselfWhenDestroyed)
{
    Desktop* scripted = nullptr;
    {
        ScriptedDesktop desktop;
        scripted = &Desktop::instance();
        EXPECT_EQ(scripted, &desktop);
    }
    EXPECT_NE(&Desktop::instance(), scripted);
}

// ---- the shared error boxes ------------------------------------------------------------

TEST(ErrorBoxes, ProgramErrorShowsNumberAndDescription)
{
    ScriptedDesktop desktop;
    desktop.expectMessage(u"错误号：3024\r\n错误描述：找不到文件"_qs, u"程序出错"_qs, Icon::Information)
        .expectMessage(u"错误号：75\r\n错误描述：路径/文件访问错误"_qs, u"程序出错"_qs, Icon::Information)
        .expectMessage(u"错误号：32755\r\n错误描述：x"_qs, u"程序出错"_qs, Icon::Information);
    ShowProgramError(db::DbError(3024, u"找不到文件"_qs));
    ShowProgramError(HelperError(75, u"路径/文件访问错误"_qs));
    ShowProgramError(32755, u"x"_qs);
}

struct FailureCase
{
    const char* name;
    std::function<void()> fail;
    const char* box;         // the "程序出错" box's text
    const char* description; // what the boxes with the description alone show
};

class HandlerFailure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(HandlerFailure, IsShownInTheProgramErrorBoxAndDescribedByItsOwnText)
{
    const FailureCase& c = GetParam();
    ScriptedDesktop desktop;
    desktop.expectMessage(QString::fromUtf8(c.box), u"程序出错"_qs, Icon::Information);
    EXPECT_FALSE(RunReported(nullptr, c.fail));
    try {
        c.fail();
    } catch (const std::exception& error) {
        EXPECT_EQ(FailureDescription(error), QString::fromUtf8(c.description));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, HandlerFailure,
                         ::testing::Values(FailureCase{"Engine", [] { throw db::DbError(3024, u"找不到文件"_qs); },
                                                       "错误号：3024\r\n错误描述：找不到文件", "找不到文件"},
                                           FailureCase{"Helper", [] { throw HelperError(94, u"无效使用 Null"_qs); },
                                                       "错误号：94\r\n错误描述：无效使用 Null", "无效使用 Null"},
                                           FailureCase{"AnyOther", [] { throw std::runtime_error("磁盘已满"); },
                                                       "错误号：3000\r\n错误描述：磁盘已满", "磁盘已满"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunReported, AStepThatSucceedsShowsNothing)
{
    ScriptedDesktop desktop;
    EXPECT_TRUE(RunReported(nullptr, [] {}));
}

// Windows refuse a missing or wrong entry with this box and put the cursor where the fault is.
TEST(HintBox, ShowsTheTextUnderHintThenFocusesTheEntryGiven)
{
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* wrong = new QLineEdit(&window);
    first->setFocus();
    ScriptedDesktop desktop;
    desktop.expectMessage(u"请先输入手机号码！"_qs, u"提示"_qs, Icon::Information, Buttons::Ok)
        .expectMessage(u"您输入的号码不是有效的手机号码！"_qs, u"提示"_qs, Icon::Information, Buttons::Ok);

    ShowHint(u"请先输入手机号码！"_qs, &window);
    EXPECT_EQ(window.focusWidget(), first) << "no entry given: the focus stays";
    ShowHint(u"您输入的号码不是有效的手机号码！"_qs, &window, wrong);
    EXPECT_EQ(window.focusWidget(), wrong);
}

} // namespace

namespace {

TEST(OpenDatabaseBox, MissingFileShowsTheNumberAndDescriptionAndEndsTheProgram)
{
    TestProgramFolder folder;
    ScriptedDesktop desktop;
    desktop.expectMessage(u"错误号：3024\r\n错误描述：找不到文件 '"_qs + folder.path(u"missing.mdb"_qs) + u"'。"_qs,
                          u"打开本地数据库出错"_qs, Icon::Information);
    try {
        OpenDatabase(u"missing.mdb"_qs);
        FAIL() << "the program went on";
    } catch (const ScriptedDesktop::Exited& e) {
        EXPECT_EQ(e.code, 1);
    }
    EXPECT_FALSE(QFile::exists(folder.path(u"missing.mdb"_qs))) << "nothing is created";
}

TEST(OpenDatabaseBox, FileOfAnotherKindShowsTheBoxAndEndsTheProgram)
{
    TestProgramFolder folder;
    QFile junk(folder.path(u"junk.mdb"_qs));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'j'));
    junk.close();

    ScriptedDesktop desktop;
    // The engine cannot tell such a file from one with another password; either number will do.
    desktop.expectMessage(ScriptedDesktop::startsWith(u"错误号：30"_qs), u"打开本地数据库出错"_qs, Icon::Information);
    EXPECT_THROW(OpenDatabase(u"junk.mdb"_qs), ScriptedDesktop::Exited);
}

TEST(OpenDatabaseBox, GoodFileOpensWithoutAnyBox)
{
    TestProgramFolder folder;
    folder.createDatabase(u"own.mdb"_qs, u"CREATE TABLE t (id INTEGER PRIMARY KEY);"_qs);
    ScriptedDesktop desktop; // any box would fail the test
    OpenDatabase(u"own.mdb"_qs);
    ASSERT_TRUE(g_Conn);
    EXPECT_EQ(g_Conn->scalar(u"select count(*) from t"_qs).toInt(), 0);
    EXPECT_TRUE(desktop.calls().empty());
}

} // namespace
