#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class QLabel;
class ContactsPage;
class HistoryPage;
class PhrasePage;
class QTimer;
class SendPage;
class SettingsPage;
class SmsCtrl;
class ToolbarImage;

namespace Ui {
class Form1;
}

// The main window: toolbar, the five pages, status bar, the tray icon and the exit.
// The constructor runs the load; a failure there is shown and ends the program.
class Form1 final : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int kToolbarCount = 9;
    static constexpr int kPageCount = 5;
    static constexpr int kPanelCount = 8;

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // 1..5 pages (1 plain list), 6 help, 7 exit, 8 page 1 with the grid, 9 customer service.
    void toobarImg_Click(int index);

    // The main window's platform client; nullptr until the start-up sequence has made it.
    SmsCtrl* MyMsg() const { return m_client.get(); }
    // -1 while the window is shown, 0 while it waits in the tray.
    int FormStat = -1;

    QTimer* Timer1 = nullptr; // birthday reminder, once, 5000 ms after the load
    QTimer* Timer3 = nullptr; // start-up sequence, once, 500 ms after the load

    // Panels 1..8 of StatusBar1.
    void setStatusPanel(int panel, const QString& text);
    QString statusPanel(int panel) const;

    // The number list and grid of page 1.
    int DelRepeat();
    void CountList();
    void BuildNumGrid();
    void AeroButton44_Click();
    void AeroButton45_Click();
    void AeroButton49_Click();
    qint16 smsnumber() const;

    // The visible page, 1..5.
    int currentPage() const;
    // Normal and highlighted toolbar pictures, by toolbar index 1..9.
    QPixmap ImageList1(int index) const;
    QPixmap ImageList2(int index) const;
    QPixmap ImageBg() const { return m_imageBg; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void load();
    void buildPages();
    void buildStatusBar();
    void loadToolbarPictures();
    void Timer3_Timer();
    // The birthday reminder, once.
    void Timer1_Timer();
    void startOnline();
    void startOffline();
    void showBlankPages();
    bool confirmExit();
    // Tray icon, workers, connection and mouse filter, in this order; runs once.
    void shutdown();
    void showPage(int page);
    // "发送短信": the checks and the send dialog, then the grid and the balance are refreshed.
    void AeroButton8_Click();
    // "TXT导入" of the number list: the text import, modal, owned by this window.
    void showTextImport();
    void openHelp();
    void showService();
    void closePopup();

    std::unique_ptr<Ui::Form1> ui;
    std::unique_ptr<SmsCtrl> m_client;
    SendPage* m_sendPage = nullptr;
    SettingsPage* m_settingsPage = nullptr;
    HistoryPage* m_historyPage = nullptr;
    ContactsPage* m_contactsPage = nullptr;
    PhrasePage* m_phrasePage = nullptr;
    QVector<ToolbarImage*> m_toolbar;
    QVector<QLabel*> m_panels;
    QVector<QPixmap> m_imageList1;
    QVector<QPixmap> m_imageList2;
    QPixmap m_imageBg;
    QString m_userDatabase; // file name of the signed-in user's database in the program folder
    bool m_shutDown = false;
};

// The main window while one exists, otherwise nullptr.
Form1* MainForm();
