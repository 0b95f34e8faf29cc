#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

class QTimer;

namespace Ui {
class UpdaterForm1;
}

namespace updater {

// The updater's one window (in a namespace of its own: the main program's main window has the
// same name). It shows the installed and the latest version, downloads the package of the
// latest version into the update folder, unpacks it there and starts its installer "setup".
// Everything runs on the window thread; the download and the unpacking let the window handle
// input after every step, so "关闭" stays usable.
class Form1 final : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The per-user copy of the program folder that the system may keep (computed by GetVirtualPath).
    QString VirtualPath;

    // Start-up: makes the update folder, reads the update address and the installed version,
    // then arms Timer1. A failure shows its message and ends the program (Desktop::exitNow).
    void Form_Load();
    void GetVirtualPath();
    // The first line of update.ini (VirtualPath's copy first); *found false when neither exists.
    QString ReadVerUrl(bool* found = nullptr);
    // The version query; fills VerData, or sets ErrMsg and returns false.
    bool GetVerData(const QString& url);
    // Downloads surl into strFile; the bytes written, 0 when the address could not be opened or
    // the transfer did not bring the whole reply.
    qint64 DownloadFile(const QString& surl, const QString& strFile);

    void Timer1_Timer();      // version query and comparison
    void AeroButton2_Click(); // "下一步(&N)": download, unpack, start the installer
    void AeroButton3_Click(); // "关闭"

    QStringList verData() const { return VerData; }
    bool downloadCancelled() const { return DownloadCancelled; }

    // The update folder and the files in it.
    static QString updateFolder();
    static QString packageFile(const QString& version);
    static QString installerFile();

Q_SIGNALS:
    // After every step of the download has been written and shown.
    void downloadProgressed(qint64 written, qint64 total);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool readInstalledVersion();
    void showProgress(qint64 written, qint64 total);
    void finish(const QString& text, const QString& title);

    std::unique_ptr<Ui::UpdaterForm1> ui;
    QTimer* m_timer1 = nullptr;
    QString VerURL;
    QStringList VerData;
    QString ErrMsg;
    bool DownloadCancelled = false;
    qint64 m_barUnit = 1; // bytes per step of the bar, so that a huge package fits its int range
};

} // namespace updater
