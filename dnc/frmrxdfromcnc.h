#pragma once
// The receive window: takes one program that a CNC control sends over the
// serial line and writes it, cleaned as the machine's settings say, to
// "Rxd.Tmp" in the temporary folder. The reception ends after the machine's
// silence time, on the user's command, or by an abort after a line error.
// The main window shows it modally and opens "Rxd.Tmp" afterwards (see
// receivecommand.h); the window leaves the target as its session's active
// program's folder and file, and the machine as its session's current machine.
#include "core/sessionstate.h"
#include "dnc/receive.h"
#include "dnc/receivesettings.h"
#include "dnc/serialport.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTimer;

namespace lumrik {

class frmRxdFromCnc : public QDialog {
    Q_OBJECT
public:
    // Receives for `session`'s current machine; the machine picked here
    // becomes that session's.
    explicit frmRxdFromCnc(Session &session, QWidget *parent = nullptr);
    ~frmRxdFromCnc() override;

    // The main window's machine selector, a view of the current machine: the
    // window selects its machine there too.
    QComboBox *comboMaskiner = nullptr;

    // State of one opening.
    bool bRxdAborted = false;   // aborted: "Rxd.Tmp" is deleted when the window closes
    bool bErrorPending = false; // a line-error box is open (no second one, no timer restart)
    bool bIgnoreErrors = false; // the user answered Ignore: errors are only counted from then on
    bool bDataSeen = false;
    // Settings of the chosen machine (port, code, filter, start character...).
    RxdSettings rxd;
    bool bSettingsOk = false;   // the machine's settings were read; only then can a reception start
    // Line-error counters: kept for the whole program run.
    int nBreak = 0, nFraming = 0, nOverrun = 0, nParity = 0, nDcb = 0, nOther = 0;

    // Controls.
    QLabel *Label2, *Label3, *Label4;
    QComboBox *cmbRxdCfgFiler;
    QLineEdit *txtFileName;
    QPushButton *btnBrowseForFile;
    QLabel *lblCurrentPath;
    QPushButton *btnStartRxd;
    QPushButton *btnRxdFromCncAbort;
    QPlainTextEdit *txtRxdFromCnc;
    QStatusBar *StatusBar1;
    QTimer *RecDelayTimer;
    QFrame *Frame1;
    std::unique_ptr<SerialPort> Comm1;

    // Panels 1..3 of the status bar.
    QString statusPanel(int panel) const;
    void setStatusPanel(int panel, const QString &text);

    // Prepares the window for an opening: resets its state, lists the machines,
    // selects the main window's machine and reads its settings.
    void Form_Load();
    void cmbRxdCfgFiler_Click();
    void btnBrowseForFile_Click();
    void btnStartRxd_Click();
    void StartRxd();
    void MSComm1_OnComm();
    void GetRxdBuffer();
    void RecDelayTimer_Timer();
    void btnRxdFromCncAbort_Click();
    void ReadRxdSettings();
    static QString NormalizePath(const QString &path);

    // After the window closed: true when a reception ran to its end, so that
    // "Rxd.Tmp" holds what was received.
    bool received() const { return bReceived; }
    // The existing file the reception was named after ("" when none): its
    // comment header goes on top of what arrived, also when that opens untitled.
    QString replacedFile() const { return replacedFile_; }
    // After the window closed: what was received may be incomplete (the port
    // failed, or the user stopped a reception whose target exists), so it goes
    // to an untitled document and the active program's file is the untitled name.
    bool handedOverUntitled() const { return bUntitled; }
    // After the window closed: the silence time ended a reception in the
    // middle of a block (it went to an untitled document, and the user was told).
    bool endedMidBlock() const { return bMidBlock; }
    // The character code of the reception: "BINÄR" keeps the bytes as they came.
    bool binaryReception() const { return rxd.options.binary; }
    // The reception of this opening: bytes read from the port and written to the file.
    qint64 bytesReceived() const;
    qint64 bytesWritten() const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    Session &session_;
    void lineError();
    // The port failed during the reception: what was read goes to the file,
    // the user is told why, how many bytes came and where they go. The caller
    // closes the window.
    void portFailed();
    // Ends the reception early (a line error answered "Avbryt", an EIA error):
    // what arrived is kept and opens untitled; the box gives the reason and
    // the byte count.
    void endKeepingWhatArrived(const QString &reason, const QString &title, long number);
    QString keptText(const QString &reason) const;
    QString targetName() const;
    bool targetExists() const;
    void abortReception();
    void discardWorkFile();
    void finalise();
    void updateStartEnabled();
    bool waitingForStart() const;

    std::unique_ptr<RxdReception> reception_;
    bool bStarted = false;       // the port and "Rxd.Tmp" are open
    bool bLocked = false;        // a start was attempted: choices stay locked for this opening
    bool bReceived = false;
    bool bPortFailed = false;    // the port failed: reported, the reception ended
    bool bEndedEarly = false;    // ended by an error or "Avbryt": what arrived opens untitled
    bool inDone_ = false;
    QString replacedFile_;
    bool bSilenceEnded = false;  // the silence timer ended the reception
    bool bMidBlock = false;      // ... in the middle of a block
    bool bUntitled = false;
    bool bClosing = false;
    bool bNoMachines = false;
    QLabel *panels_[3];
    QTimer *syncTimer_;
};

}
