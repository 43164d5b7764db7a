#pragma once
// The send window: sends the hand-off file "Txd.Tmp" of the temporary folder
// to the chosen machine, with a log, a progress bar and three status panels.
//
// From the main window's send command (mainwindow/sendcommand.h) and from
// the file selector's send (sendFilesToCnc).
#include "core/sessionstate.h"
#include "dnc/txdsend.h"

#include <QDialog>
#include <QStringList>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

namespace lumrik {

class SerialPort;

class frmTxd2Cnc : public QDialog {
    Q_OBJECT
public:
    // The machine chosen here becomes `session`'s current machine.
    explicit frmTxd2Cnc(Session &session, QWidget *parent = nullptr);
    ~frmTxd2Cnc() override;

    QLabel *Label1;
    QComboBox *cmbTxdCfgFiler;
    QPushButton *btnTxd2Cnc;
    QPushButton *btnTxd2CncAbort;
    QPlainTextEdit *txtTxd2Cnc;
    QProgressBar *ccrpProgressBar;
    QStatusBar *StatusBar1;
    QListWidget *FileTxdCfg;   // hidden: the "*.cfg" files of the program folder
    QGroupBox *Frame1;
    SerialPort *Comm1;         // made by createSerialPort()
    TxdSender *sender() const { return sender_.get(); }
    // A send was started and the window has not yet taken up its end.
    bool sendUnderWay() const { return sendUnderWay_; }

    // Status panels 1..3.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);

    // Handlers.
    void Form_Load();
    void Form_Activate();
    void cmbTxdCfgFiler_Click();
    void btnTxd2Cnc_Click();
    void btnTxd2CncAbort_Click();
    void Form_QueryUnload();
    void Form_Unload();

    // Shows the window modally with a caption, for one hand-off file that the
    // caller has written; returns when it has closed. A program sent from its
    // document comes with the document's encoding: the file's bytes alone
    // may read otherwise (a Windows-1252 program whose bytes happen to be
    // valid UTF-8).
    void showModal(const QString &caption, std::optional<TextEncoding> encoding = std::nullopt);

    void done(int r) override;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    Session &session_;
    void refresh();
    // A program with characters the line cannot carry is sent only when the
    // user says so.
    bool mayBeSent(const TxdSettings &settings);
    // One send (or one round of LoopSend); `first` asks about what the line
    // cannot carry.
    void startSend(bool first);
    void sendFinished(TxdSender::Result result);
    void setSending(bool on);
    void flushLog();

    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<TxdSender> sender_;
    std::unique_ptr<TxdSettings> settings_;  // of the send under way
    std::optional<TextEncoding> programEncoding_; // of the document shown for, until closed
    QLabel *panels_[3];
    QTimer *refresh_;
    QByteArray pendingLog_;
    qint64 progressScale_ = 1;
    bool activating_ = false;
    bool closing_ = false;
    bool sendUnderWay_ = false;
    bool activated_ = false;     // this showing has been activated
};

// The program's one send window (made on first use for `session`, kept for
// the whole run).
frmTxd2Cnc *txd2CncWindow(Session &session);

// The file selector's send: the files one after the other, every line ended by
// CR LF (a line ends at CR LF, LF or CR), in "Txd.Tmp", then the window titled "Sänder [<name>]" (one file) or
// "<n> nc program att sända". A file that cannot be read is reported and
// nothing is sent. Returns the number of files handed over (0: no window).
// `shownName` is the name the caller's list shows for a single file (the
// file's own name when empty).
int sendFilesToCnc(Session &session, const QStringList &paths, QWidget *owner = nullptr, const QString &shownName = {});

// The hand-off text of several files (exposed for tests).
bool concatenateForSend(const QStringList &paths, QByteArray &out, QString *failedPath = nullptr);

}
