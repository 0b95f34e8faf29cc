#pragma once

#include <QDialog>
#include <memory>

class SendPage;
namespace Ui {
class ImportTXT2;
}

// "号码导入向导": adds the mobile numbers of a text file to the plain number list, one number
// per line or separated by ";", then removes duplicates through the list's DelRepeat, reports
// the count and closes. Imported numbers are never queued for the white list.
//
// A long import keeps the window painting and lets "取消" be pressed. Closing the dialog in
// any way while an import runs stops it at its next pause: the numbers already in the list
// stay there and are de-duplicated, no count is reported.
class ImportTXT2 final : public QDialog
{
    Q_OBJECT
public:
    // Largest file imported; a bigger one fails like an unreadable file.
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

    ImportTXT2(SendPage& list, QWidget* owner);
    ~ImportTXT2() override;

    void AeroButton1_Click(); // "…"
    void AeroButton2_Click(); // "确定"
    // How long the import works between two pauses for the window's events (ms); 0 pauses
    // after every line or piece.
    void setYieldInterval(int ms) { m_yieldMs = ms; }
    bool importRunning() const { return m_running; }

public Q_SLOTS:
    void reject() override;

private:
    enum class Outcome
    {
        Finished,
        Cancelled,
        Failed
    };
    Outcome importLines(const QByteArray& bytes, qint32& count);
    Outcome importPieces(const QByteArray& bytes, qint32& count);
    // Lets the window handle its events once the time slice is used up; false when the import
    // has to stop because the dialog was closed.
    bool pause();

    std::unique_ptr<Ui::ImportTXT2> ui;
    SendPage& m_list;
    int m_yieldMs = 20;
    bool m_running = false;
    bool m_cancelled = false;
    qint64 m_sliceStart = 0;
};
