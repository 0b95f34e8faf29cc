#include "SendPage.h"

#include "ColVar.h"
#include "DataStore.h"
#include "DraftBoxWriter.h"
#include "Desktop.h"
#include "EntryKeyFilter.h"
#include "SendRun.h"
#include "ErrorBoxes.h"
#include "GlobalState.h"
#include "HintBox.h"
#include "SendChecks.h"
#include "ListView.h"
#include "ListViewExt.h"
#include "NumberListModel.h"
#include "ProgramLook.h"
#include "PublicFunction.h"
#include "WhiteListWorker.h"
#include "db/Recordset.h"
#include "mouseMenu.h"
#include "ui_SendPage.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTime>
#include <algorithm>
#include <functional>
#include <vector>

namespace {

const QString kExcelFilter = QStringLiteral("Excel文件(*.xls,*.xlsx)|*.xls;*.xlsx");
const QColor kOverLength(192, 0, 0);

// The list control's button codes: 1 is the context (right) button, which opens the panel.
int listButtonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::RightButton:
        return 1;
    case Qt::LeftButton:
        return 2;
    default:
        return 4;
    }
}

db::Connection& sharedConnection()
{
    return SharedConnection();
}

// Runs a database step; a failure is shown in the generic error box. False when it failed.
void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

} // namespace

SendPage::SendPage(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::SendPage>()), m_numbers(std::make_unique<NumberListModel>())
{
    ui->setupUi(this);
    ui->XmcfListBox1->setModel(m_numbers.get());
    ui->XmcfListBox1->viewport()->installEventFilter(this);
    ui->ListView1->setColumns({{QString(), QString(), 28},
                               {QStringLiteral("手机号码"), QStringLiteral("MobilePhone"), 90},
                               {QStringLiteral("A列"), QStringLiteral("A"), 48},
                               {QStringLiteral("B列"), QStringLiteral("B"), 48},
                               {QStringLiteral("C列"), QStringLiteral("C"), 48},
                               {QStringLiteral("D列"), QStringLiteral("D"), 48},
                               {QStringLiteral("E列"), QStringLiteral("E"), 48}});
    ui->Text1->viewport()->installEventFilter(this);

    // Plain list.
    connect(ui->Text10, &QLineEdit::textChanged, this, &SendPage::Text10_Change);
    ui->Text10->installEventFilter(
        new EntryKeyFilter([this] { AeroButton48_Click(); }, [this] { pasteIntoList(); }, this));
    connect(ui->AeroButton48, &QPushButton::clicked, this, &SendPage::AeroButton48_Click);
    connect(ui->AeroButton43, &QPushButton::clicked, this, &SendPage::AeroButton43_Click);
    connect(ui->AeroButton44, &QPushButton::clicked, this, &SendPage::AeroButton44_Click);
    connect(ui->AeroButton45, &QPushButton::clicked, this, &SendPage::AeroButton45_Click);
    connect(ui->AeroButton46, &QPushButton::clicked, this, &SendPage::AeroButton46_Click);
    connect(ui->AeroButton49, &QPushButton::clicked, this, &SendPage::AeroButton49_Click);

    // Grid: Ctrl+V does not paste into its entry box.
    connect(ui->Text2, &QLineEdit::textChanged, this, &SendPage::Text2_Change);
    ui->Text2->installEventFilter(new EntryKeyFilter([this] { AeroButton1_Click(); }, nullptr, this));
    connect(ui->AeroButton1, &QPushButton::clicked, this, &SendPage::AeroButton1_Click);
    connect(ui->AeroButton4, &QPushButton::clicked, this, &SendPage::AeroButton4_Click);
    connect(ui->AeroButton10, &QPushButton::clicked, this, &SendPage::AeroButton10_Click);
    connect(ui->AeroButton11, &QPushButton::clicked, this, &SendPage::AeroButton11_Click);
    connect(ui->AeroButton3, &QPushButton::clicked, this, &SendPage::AeroButton3_Click);
    connect(ui->AeroButton12, &QPushButton::clicked, this, &SendPage::AeroButton12_Click);
    connect(ui->AeroButton2, &QPushButton::clicked, this, [this] { Q_EMIT pageRequested(3); });

    // Editor.
    connect(ui->Text1, &QPlainTextEdit::textChanged, this, &SendPage::Text1_Change);
    connect(ui->AeroButton14, &QPushButton::clicked, this, &SendPage::AeroButton14_Click);
    connect(ui->AeroButton36, &QPushButton::clicked, this, &SendPage::AeroButton36_Click);
    connect(ui->AeroButton6, &QPushButton::clicked, this, &SendPage::AeroButton6_Click);
    connect(ui->AeroButton5, &QPushButton::clicked, this, [this] { Q_EMIT pageRequested(4); });
    connect(ui->AeroButton8, &QPushButton::clicked, this, &SendPage::sendRequested);
    connect(ui->AeroCheckBox1, &QCheckBox::clicked, this, &SendPage::AeroCheckBox1_Click);

    setSendMode(1);
}

SendPage::~SendPage()
{
    closePopup();
}

void SendPage::setSendMode(int mode)
{
    const bool grid = mode == 2;
    ui->SendListBox1->setVisible(!grid);
    ui->SendListBox2->setVisible(grid);
    ui->AeroButton6->setEnabled(grid);
    g_SendMode = grid ? 2 : 1;
}

void SendPage::prepareForLoad()
{
    m_numbers->clear();
    m_numbers->publish();
    CountList();
    ui->DTPicker1->setDate(QDate::currentDate());
    const QTime now = QTime::currentTime();
    ui->DTPicker2->setTime(QTime(now.hour(), now.minute()));
    ui->ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void SendPage::setLengthRule(int charsPerSms)
{
    ui->Label4->setText(charsPerSms == 70 ? QStringLiteral("手机短信70字/条；超过70字每条短信增加分隔符“(x/y)”")
                                          : QStringLiteral("手机短信%1字/条；").arg(charsPerSms));
}

// ---- plain number list ----

int SendPage::AddNumberLines(const QString& text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    // Only short texts go to the white list: a bulk paste would flood the upload queue.
    bool queue = g_Online && lines.size() - 1 < 30;
    // A checked number is eleven ASCII digits that start with 1, so its order as an integer is
    // its order as a text: a long paste is sorted as integers, several times faster than texts.
    std::vector<qint64> numbers;
    numbers.reserve(size_t(lines.size()));
    QPointer<SendPage> self(this);
    // Keep the window painting during a long paste. A look at the event queue costs more than
    // checking a line, so it comes every few hundred lines.
    constexpr int kLinesBetweenEvents = 256;
    int checked = 0;
    for (const QString& line : lines) {
        // The check removes the blanks itself; a line of a CR LF text still ends in its CR.
        QString number = line;
        number.remove(QLatin1Char('\r'));
        if (IsMobileNumber(number)) {
            numbers.push_back(number.toLongLong());
            if (queue)
                queue = RunReported(this, [&number] { AddPreference(number); });
        }
        if (++checked % kLinesBetweenEvents == 0) {
            QCoreApplication::processEvents();
            if (!self)
                return 0;
        }
    }
    std::sort(numbers.begin(), numbers.end());
    QStringList sorted;
    sorted.reserve(qsizetype(numbers.size()));
    for (const qint64 number : numbers)
        sorted.append(QString::number(number));
    m_numbers->addSorted(sorted);
    return int(numbers.size());
}

int SendPage::DelRepeat()
{
    const int removed = m_numbers->removeAdjacentDuplicates();
    CountList();
    return removed;
}

void SendPage::CountList()
{
    const int count = m_numbers->count();
    ui->Label5->setText(QStringLiteral("一共%1个号码").arg(count));
    ui->AeroButton43->setEnabled(count >= 1);
    ui->AeroButton44->setEnabled(count >= 1);
    ui->AeroButton45->setEnabled(count >= 1);
}

void SendPage::AeroButton48_Click()
{
    const QString text = ui->Text10->text();
    if (TrimBlanks(text).isEmpty()) {
        ShowHint(QStringLiteral("请先输入手机号码！"), this, ui->Text10);
        return;
    }
    QString copy = text;
    if (IsMobileNumber(copy)) {
        m_numbers->add(text);
        DelRepeat();
        if (g_Online)
            RunReported(this, [&text] { AddPreference(text); });
        ui->Text10->clear();
    } else {
        AddNumberLines(text);
        DelRepeat();
        ui->Text10->clear();
    }
    ui->Text10->setFocus();
}

void SendPage::Text10_Change()
{
    if (ui->Text10->text().size() > 10)
        AeroButton48_Click();
}

void SendPage::pasteIntoList()
{
    const QString text = QApplication::clipboard()->text();
    if (!text.isEmpty())
        AddNumberLines(text);
    DelRepeat();
}

void SendPage::AeroButton44_Click()
{
    m_numbers->clear();
    CountList();
}

void SendPage::AeroButton45_Click()
{
    m_numbers->removeShown(ui->XmcfListBox1->selectionModel()->selectedIndexes());
    CountList();
}

void SendPage::AeroButton43_Click()
{
    QString path;
    for (;;) {
        path = Desktop::instance().saveFile(QStringLiteral("文本文件(*.txt)|*.txt"), this);
        if (path.isEmpty())
            return;
        if (!QFileInfo::exists(path))
            break;
        MsgBox(QStringLiteral("已经存在一个相同名字的文件，请更换其他名字！"), QStringLiteral("文件已存在"),
               Desktop::Icon::Information, Desktop::Buttons::Ok, this);
    }
    RunReported(this, [this, &path] { SaveNumberList(path, m_numbers->texts()); });
}

void SendPage::AeroButton46_Click()
{
    try {
        const QString path = Desktop::instance().openFile(kExcelFilter, this);
        if (path.isEmpty())
            return;
        g_ExcelPath = path;
        Q_EMIT excelSelectionImportRequested();
    } catch (...) {
        // Every failure of this import ends it silently.
    }
}

void SendPage::AeroButton49_Click()
{
    Q_EMIT textImportRequested();
}

void SendPage::XmcfListBox1_MouseUp(int button, const QPoint& pos)
{
    if (button != 1) {
        closePopup();
        return;
    }
    if (!m_popup)
        m_popup = new mouseMenu(*this);
    const QPoint placed = mouseMenu::placementTwips(ui->XmcfListBox1->pos() * kTwipsPerPixel, pos,
                                                    window()->frameGeometry().topLeft() * kTwipsPerPixel);
    m_popup->move(placed / kTwipsPerPixel);
    m_popup->show();
    m_popup->raise();
}

void SendPage::closePopup()
{
    mouseMenu* popup = m_popup.data();
    if (!popup)
        return;
    if (QGuiApplication::modalWindow()) {
        // A modal window is up, perhaps opened by the panel and owned by it (its paste box).
        // Unloading the panel now would delete that window inside its own event loop: the panel
        // only goes out of sight, and the next close after the modal window unloads it.
        popup->hide();
        return;
    }
    m_popup.clear();
    popup->close();
}

// ---- grid ----

void SendPage::BuildNumGrid()
{
    RunReported(this, [this] {
        // Rows of a run that ended between a request and its record are in the history as
        // unconfirmed; they must not look queued here.
        SendRun::settleInterrupted(sharedConnection());
        m_gridRs = std::make_unique<db::Recordset>();
        m_gridRs->Open(QStringLiteral("select id,IsSelect,MobilePhone,A,B,C,D,E from [DraftBox] order by id"),
                       sharedConnection(), db::LockType::Optimistic);
        const int count = m_gridRs->RecordCount();
        ui->Label9->setText(QStringLiteral("一共有%1个号码").arg(count));
        ui->AeroButton4->setEnabled(count != 0);
        ui->AeroButton10->setEnabled(count != 0);
        ui->AeroButton11->setEnabled(count != 0);
        LoadListView(*ui->ListView1, *m_gridRs);
        m_gridRs->Close();
    });
}

void SendPage::AeroButton1_Click()
{
    const QString text = ui->Text2->text();
    if (TrimBlanks(text).isEmpty()) {
        ShowHint(QStringLiteral("请先输入手机号码！"), this, ui->Text2);
        return;
    }
    QString copy = text;
    if (!IsMobileNumber(copy)) {
        ShowHint(QStringLiteral("您输入的号码不是有效的手机号码！"), this, ui->Text2);
        return;
    }
    const bool inserted = RunReported(this, [&text] {
        DraftBoxWriter writer(sharedConnection());
        writer.add(text);
        writer.commit();
    });
    if (!inserted)
        return;
    BuildNumGrid();
    if (g_Online)
        RunReported(this, [&text] { AddPreference(text); });
    ui->Text2->clear();
    ui->Text2->setFocus();
}

void SendPage::Text2_Change()
{
    if (ui->Text2->text().size() > 10)
        AeroButton1_Click();
}

void SendPage::AeroButton4_Click()
{
    const QString ids = GetCheckedIds(*ui->ListView1);
    if (TrimBlanks(ids).isEmpty()) {
        MsgBox(QStringLiteral("你还没有选定任何数据！"), QStringLiteral("删除提示"), Desktop::Icon::Information,
               Desktop::Buttons::Ok, this);
        return;
    }
    runGridStatement(QStringLiteral("delete from [DraftBox] where id in (") + ids + QStringLiteral(")"));
}

void SendPage::AeroButton10_Click()
{
    runGridStatement(QStringLiteral("delete from [DraftBox]"));
}

void SendPage::AeroButton11_Click()
{
    runGridStatement(QStringLiteral("delete from [DraftBox] where IsRepeat = true"));
}

void SendPage::runGridStatement(const QString& sql)
{
    RunReported(this, [&sql] { sharedConnection().execute(sql); });
    BuildNumGrid();
}

void SendPage::AeroButton3_Click()
{
    try {
        const QString path = Desktop::instance().openFile(kExcelFilter, this);
        if (path.isEmpty())
            return;
        g_ExcelPath = path;
        Q_EMIT excelWorkbookImportRequested();
        BuildNumGrid();
    } catch (...) {
        // Every failure of this import ends it silently.
    }
}

void SendPage::AeroButton12_Click()
{
    Q_EMIT accessImportRequested();
    BuildNumGrid();
}

// ---- editor ----

void SendPage::Text1_Change()
{
    const int length = int(ui->Text1->toPlainText().size());
    const int perPart = g_CharsPerSms.load();
    ui->Label3->setText(QString::number(length));
    try {
        m_smsnumber = CountSmsParts(length, perPart);
    } catch (const HelperError&) {
        m_smsnumber = 0; // no part size known
    }
    ui->Label24->setText(QStringLiteral("当前短信分%1条发送").arg(m_smsnumber));
    const QColor colour = length > perPart ? kOverLength : QColor(Qt::black);
    setColour(ui->Text1, QPalette::Text, colour);
    setColour(ui->Label24, QPalette::WindowText, colour);
}

void SendPage::insertIntoMessage(const QString& text)
{
    ui->Text1->insertPlainText(text);
    ui->Text1->setFocus();
}

void SendPage::AeroButton14_Click()
{
    ui->Text1->clear();
}

void SendPage::AeroButton36_Click()
{
    insertIntoMessage(QStringLiteral("【") + g_EnterpriseSign + QStringLiteral("】"));
}

void SendPage::AeroButton6_Click()
{
    ColVar dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        insertIntoMessage(dialog.variable());
}

void SendPage::AeroCheckBox1_Click()
{
    const bool timed = ui->AeroCheckBox1->isChecked();
    ui->DTPicker1->setEnabled(timed);
    ui->DTPicker2->setEnabled(timed);
}

bool SendPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->XmcfListBox1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint inList = ui->XmcfListBox1->viewport()->mapTo(ui->XmcfListBox1, mouse->position().toPoint());
        XmcfListBox1_MouseUp(listButtonCode(mouse->button()), inList);
    } else if (watched == ui->Text1->viewport() && event->type() == QEvent::MouseButtonPress) {
        closePopup(); // a click in the editor closes the list's panel
    }
    return QWidget::eventFilter(watched, event);
}

// ---- operations of other windows ----

void SendPage::setMessage(const QString& text)
{
    ui->Text1->setPlainText(text);
}

QString SendPage::message() const
{
    return ui->Text1->toPlainText();
}

void SendPage::focusMessage()
{
    ui->Text1->setFocus();
}

int SendPage::recipientCount() const
{
    return g_SendMode == 1 ? m_numbers->count() : ui->ListView1->listModel()->rowCount();
}

bool SendPage::isScheduled() const
{
    return ui->AeroCheckBox1->isChecked();
}

QDateTime SendPage::scheduledMoment() const
{
    return ScheduledMoment(ui->DTPicker1->date(), ui->DTPicker2->time());
}

void SendPage::setSendEnabled(bool enabled)
{
    ui->AeroButton8->setEnabled(enabled);
}
