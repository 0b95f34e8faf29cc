#include "ImportTXT2.h"
#include "ui_ImportTXT2.h"

#include "Desktop.h"
#include "HintBox.h"
#include "NumberListModel.h"
#include "PublicFunction.h"
#include "SendPage.h"
#include "TextFileLines.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>

namespace {

qint64 nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

} // namespace

ImportTXT2::ImportTXT2(SendPage& list, QWidget* owner)
    : QDialog(owner), ui(std::make_unique<Ui::ImportTXT2>()), m_list(list)
{
    ui->setupUi(this);
    connect(ui->AeroButton1, &QPushButton::clicked, this, &ImportTXT2::AeroButton1_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, &ImportTXT2::AeroButton2_Click);
    connect(ui->AeroButton3, &QPushButton::clicked, this, &ImportTXT2::reject);
}

ImportTXT2::~ImportTXT2() = default;

void ImportTXT2::AeroButton1_Click()
{
    const QString path = Desktop::instance().openFile(QStringLiteral("文本文件(*.txt)|*.txt"), this);
    if (!path.isEmpty())
        ui->Text1->setText(path);
}

void ImportTXT2::AeroButton2_Click()
{
    // "确定" stays clickable while its own import yields; a second import on top of the first
    // would add every number twice.
    if (m_running)
        return;
    if (TrimBlanks(ui->Text1->text()).isEmpty()) {
        ShowHint(QStringLiteral("请先选择文本文件！"), this);
        return;
    }
    ui->AeroButton1->setEnabled(false);
    m_running = true;
    m_cancelled = false;
    m_sliceStart = nowMs();
    qint32 count = 0;

    // The whole file is read before any number reaches the list, so a file that cannot be
    // read leaves the list as it was.
    Outcome outcome = Outcome::Failed;
    QFile file(ui->Text1->text());
    if (file.open(QIODevice::ReadOnly)) {
        // Read one byte past the limit: a size taken beforehand says nothing for a pipe.
        const QByteArray bytes = file.read(kMaxFileBytes + 1);
        if (file.error() == QFileDevice::NoError && bytes.size() <= kMaxFileBytes) {
            file.close();
            QPointer<ImportTXT2> self(this);
            outcome = ui->AeroOptionButton1->isChecked() ? importLines(bytes, count) : importPieces(bytes, count);
            if (!self)
                return;
        }
    }
    m_running = false;

    if (outcome == Outcome::Failed) {
        done(QDialog::Rejected);
        return;
    }
    const int removed = m_list.DelRepeat();
    if (outcome == Outcome::Cancelled)
        return; // the dialog is closed already
    const QString message = removed > 0 ? QStringLiteral("共有号码%1个，自动清除重复号码%2个").arg(count).arg(removed)
                                        : QStringLiteral("共有号码%1个").arg(count);
    MsgBox(message, QStringLiteral("导入完成"), Desktop::Icon::Information, Desktop::Buttons::Ok, this);
    accept();
}

ImportTXT2::Outcome ImportTXT2::importLines(const QByteArray& bytes, qint32& count)
{
    const textfile::Lines text = textfile::splitLines(bytes);
    ui->Label2->setText(QStringLiteral("检测到%1条记录,正在加载号码到内存……").arg(text.lineNumberAtEnd));

    // Places 0 to L; the reader never fills the last one, and a text ending with a line break
    // leaves one more empty.
    QStringList entries;
    entries.reserve(text.lineNumberAtEnd + 1);
    for (const QString& line : text.lines) {
        entries.append(TrimBlanks(line));
        ++count;
        if (!pause())
            return Outcome::Cancelled;
    }

    ui->Label2->setText(QStringLiteral("正在检查号码合法性并重新排序……"));
    NumberListModel& list = *m_list.numberList();
    // Entries past the lines read are empty and can never be numbers.
    for (QString& entry : entries) {
        if (IsMobileNumber(entry))
            list.add(entry);
    }
    ui->Label2->setText(QStringLiteral("导入完成"));
    return Outcome::Finished;
}

ImportTXT2::Outcome ImportTXT2::importPieces(const QByteArray& bytes, qint32& count)
{
    const QString text = textfile::decode(bytes);
    if (text.isEmpty()) {
        MsgBox(QStringLiteral("你所选择的文件为空文件"), QStringLiteral("找不到号码"), Desktop::Icon::Information,
               Desktop::Buttons::Ok, this);
        return Outcome::Finished;
    }
    const QStringList pieces = text.split(QLatin1Char(';'));
    ui->Label2->setText(QStringLiteral("正在检查号码合法性并重新排序……"));
    NumberListModel& list = *m_list.numberList();
    for (const QString& piece : pieces) {
        QString number = TrimBlanks(piece);
        number.remove(QStringLiteral("\r\n")).remove(QLatin1Char('\n'));
        // A lone CR stays and fails the check below.
        if (IsMobileNumber(number)) {
            ++count;
            list.add(number);
        }
        if (!pause())
            return Outcome::Cancelled;
    }
    ui->Label2->setText(QStringLiteral("导入完成"));
    return Outcome::Finished;
}

bool ImportTXT2::pause()
{
    // Yielding after every one of 100,000 lines would cost more than the import itself.
    if (nowMs() - m_sliceStart < m_yieldMs)
        return !m_cancelled;
    QPointer<ImportTXT2> self(this);
    QCoreApplication::processEvents();
    if (!self)
        return false;
    m_sliceStart = nowMs();
    return !m_cancelled;
}

void ImportTXT2::reject()
{
    m_cancelled = true;
    QDialog::reject();
}
