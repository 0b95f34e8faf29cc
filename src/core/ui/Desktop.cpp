#include "Desktop.h"
#include "FileDetailsProxy.h"
#include "ProgramLook.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QProcess>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QStringList>
#include <QTreeView>
#include <QUrl>
#include <cstdlib>

namespace {

QMessageBox::Icon toQtIcon(Desktop::Icon icon)
{
    switch (icon) {
    case Desktop::Icon::Information:
        return QMessageBox::Information;
    case Desktop::Icon::Exclamation:
        return QMessageBox::Warning;
    case Desktop::Icon::Question:
        return QMessageBox::Question;
    case Desktop::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Room a title bar needs beside its text: the window's icon and its buttons, with their padding,
// as the common window managers draw them. Qt leaves only 50 pixels, so openbox cut "导入完成"
// to "导…" and "提示" to "···".
constexpr int kTitleBarReserve = 160;

// Widens a box to hold its title. The box sizes itself to its layout when shown, so the width
// goes into the layout as an empty row as wide as needed.
void makeRoomForTitle(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarReserve;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

// The detail view's size, type and date columns as wide as what they show ("Excel 2007 电子表格"
// was cut to "Ex…表格"); the name takes the rest of the width.
void fitDetailColumns(QHeaderView& header)
{
    header.setSectionResizeMode(QHeaderView::ResizeToContents);
    header.setSectionResizeMode(0, QHeaderView::Stretch);
}

// The opener answers within this time when it cannot show the page; when it is still running
// then, it has handed the page to a browser that stays in the foreground.
constexpr int kOpenerVerdictMs = 2000;

// xdg-open starts whatever the desktop has for web pages and reports by its exit status whether
// there was any: starting it says nothing yet.
bool openWithSystemOpener(const QString& opener, const QString& url)
{
    auto* process = new QProcess();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start(opener, {url});
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    if (!process->waitForFinished(kOpenerVerdictMs)) {
        // Left to end with the browser; deleting it now would kill the opener.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;
    }
    const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    delete process;
    return opened;
}

// Forwards every call to Qt's own dialogs and process functions.
class QtDesktop final : public Desktop
{
public:
    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons, QWidget* parent) override
    {
        QMessageBox box(parent);
        box.setIcon(toQtIcon(icon));
        box.setWindowTitle(boxTitle(title));
        // Texts carry CR LF line breaks; a bare CR would show as a stray glyph.
        box.setTextFormat(Qt::PlainText);
        box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        makeRoomForTitle(box);
        if (buttons == Buttons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Answer::Ok;
    }

    QString openFile(const QString& filter, QWidget* parent) override
    {
        return chooseFile(QFileDialog::AcceptOpen, filter, parent);
    }

    QString saveFile(const QString& filter, QWidget* parent) override
    {
        return chooseFile(QFileDialog::AcceptSave, filter, parent);
    }

    bool startProgram(const QString& path) override { return QProcess::startDetached(path, QStringList()); }

    bool startProgramIn(const QString& path, const QString& workingFolder) override
    {
        return QProcess::startDetached(path, QStringList(), workingFolder);
    }

    bool openUrl(const QString& url) override
    {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty())
            return QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
        return openWithSystemOpener(opener, url);
    }

    [[noreturn]] void exitNow(int code) override { std::_Exit(code); }

private:
    QString chooseFile(QFileDialog::AcceptMode mode, const QString& filter, QWidget* parent)
    {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(mode);
        dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        // Each description already names its patterns, as "文本文件(*.txt)": Qt's copy of them
        // after it would show them twice.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        // Callers ask about an existing file themselves, and choose again when told No.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setNameFilter(toQtFilter(filter));
        // The first dialog of a run opens in the home folder, each later one where the last
        // file was chosen, as the system dialog of the old program did.
        dialog.setDirectory(m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder);
        // Only Qt's own dialog has these columns; a desktop's native dialog ignores the model.
        dialog.setProxyModel(new FileDetailsProxy(&dialog));
        if (auto* details = dialog.findChild<QTreeView*>())
            fitDetailColumns(*details->header());
        if (dialog.exec() != QDialog::Accepted)
            return QString();
        const QString path = dialog.selectedFiles().value(0);
        if (!path.isEmpty())
            m_lastFolder = QFileInfo(path).absolutePath();
        return path;
    }

    QString m_lastFolder;
};

QtDesktop& productionDesktop()
{
    static QtDesktop desktop;
    return desktop;
}

Desktop* g_installed = nullptr;

} // namespace

bool Desktop::startProgramIn(const QString& path, const QString&)
{
    return startProgram(path);
}

Desktop& Desktop::instance()
{
    return g_installed ? *g_installed : productionDesktop();
}

void Desktop::install(Desktop* desktop)
{
    g_installed = desktop;
}

QString Desktop::boxTitle(const QString& title)
{
    return title.isEmpty() ? kProgramTitle : title;
}

QString Desktop::toQtFilter(const QString& filter)
{
    if (filter.isEmpty())
        return QString();
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        if (i + 1 >= parts.size()) {
            // A description without its pattern: Qt reads the pattern from its brackets.
            entries << description;
            continue;
        }
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        entries << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return entries.join(QStringLiteral(";;"));
}

Desktop::Answer MsgBox(const QString& text, const QString& title, Desktop::Icon icon, Desktop::Buttons buttons,
                       QWidget* parent)
{
    return Desktop::instance().message(text, title, icon, buttons, parent);
}
