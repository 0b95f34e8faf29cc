#pragma once

#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <memory>

class NumberListModel;
class mouseMenu;
namespace db {
class Recordset;
}
namespace Ui {
class SendPage;
}

// Page 1 of the main window: the plain number list (send mode 1), the personalised grid over
// [DraftBox] (send mode 2) and the message editor with its part count.
class SendPage final : public QWidget
{
    Q_OBJECT
public:
    explicit SendPage(QWidget* parent = nullptr);
    ~SendPage() override;

    // 1: the plain list shown, the grid hidden, "插入列" disabled; 2: the reverse. Sets g_SendMode.
    void setSendMode(int mode);
    // What the main window's load prepares: an empty number list, today in DTPicker1, the current
    // hour and minute in DTPicker2, grid labels edited only by the program.
    void prepareForLoad();
    // Label4: the per-message length rule for the given characters per part.
    void setLengthRule(int charsPerSms);

    // Plain number list.
    // Adds every valid number of a text of one or more lines; returns how many were added
    // (duplicates included). The caller runs DelRepeat afterwards.
    int AddNumberLines(const QString& text);
    // Removes equal neighbours of the sorted list, refreshes the count; returns how many went.
    int DelRepeat();
    void CountList();
    void AeroButton44_Click(); // "全部清空"
    void AeroButton45_Click(); // "删除选定"
    void AeroButton48_Click(); // "添加"
    void AeroButton49_Click(); // "TXT导入"
    // Closes the list's pop-up panel when it is open; while a modal window is up it only hides
    // it, and the next close unloads it.
    void closePopup();

    // Grid.
    void BuildNumGrid();
    db::Recordset* GridRS() const { return m_gridRs.get(); }

    // Editor: message parts of the current text (0 until its first change).
    qint16 smsnumber() const { return m_smsnumber; }
    // Replaces the selection of Text1 (or inserts at its caret) and refreshes the counts.
    void insertIntoMessage(const QString& text);

    // What the main window, the history and the send button ask of the page.
    // The editor's whole text; setMessage replaces it (the counts follow).
    void setMessage(const QString& text);
    QString message() const;
    void focusMessage();
    NumberListModel* numberList() const { return m_numbers.get(); }
    // Items of the list of the current send mode: the plain list's numbers or the grid's rows.
    int recipientCount() const;
    // "定时发送" and the moment that DTPicker1 and DTPicker2 name.
    bool isScheduled() const;
    QDateTime scheduledMoment() const;
    // "发送短信"; an offline sign-in disables it.
    void setSendEnabled(bool enabled);

Q_SIGNALS:
    // Asks the main window to switch pages (toobarImg_Click): the phrase button asks for 4,
    // "通讯录导入" for 3.
    void pageRequested(int toolbarIndex);
    // "发送短信": the main window runs the send checks and the send dialog.
    void sendRequested();
    // The import dialogs live in their own module; the main window shows them when asked.
    // After the selection import (which de-duplicates the list itself) nothing more is done
    // here; after the workbook and database imports the grid is reloaded.
    void textImportRequested();           // "TXT导入", modal, owned by the main window
    void excelSelectionImportRequested(); // "Excel导入" of the list, g_ExcelPath already set
    void excelWorkbookImportRequested();  // "Excel导入" of the grid, g_ExcelPath already set
    void accessImportRequested();         // "Access导入"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Plain list handlers.
    void Text10_Change();
    void pasteIntoList();
    void AeroButton43_Click(); // "导出号码"
    void AeroButton46_Click(); // "Excel导入"
    void XmcfListBox1_MouseUp(int button, const QPoint& pos);

    // Grid handlers.
    void AeroButton1_Click(); // "添加"
    void Text2_Change();
    void AeroButton4_Click();  // "删除选定"
    void AeroButton10_Click(); // "全部删除"
    void AeroButton11_Click(); // "删除重复"
    void AeroButton3_Click();  // "Excel导入"
    void AeroButton12_Click(); // "Access导入"
    void runGridStatement(const QString& sql);

    // Editor handlers.
    void Text1_Change();
    void AeroButton14_Click(); // "清空内容"
    void AeroButton36_Click(); // "插入签名"
    void AeroButton6_Click();  // "插入列"
    void AeroCheckBox1_Click();

    std::unique_ptr<Ui::SendPage> ui;
    std::unique_ptr<NumberListModel> m_numbers;
    std::unique_ptr<db::Recordset> m_gridRs;
    QPointer<mouseMenu> m_popup;
    qint16 m_smsnumber = 0;
};
