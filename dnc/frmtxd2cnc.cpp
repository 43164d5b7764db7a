#include "dnc/frmtxd2cnc.h"

#include "core/atomicfile.h"
#include "core/codepage.h"
#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/lineends.h"
#include "core/mainwidget.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/session.h"
#include "dnc/hexlists.h"
#include "dnc/machineconfig.h"
#include "dnc/serialport.h"
#include "dnc/txdcheck.h"
#include "dnc/txdsend.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace lumrik {

namespace {
}

frmTxd2Cnc::frmTxd2Cnc(Session &session, QWidget *parent) : QDialog(parent), session_(session)
{
    setObjectName(QStringLiteral("frmTxd2Cnc"));
    setWindowTitle(QStringLiteral("Sänd Till CNC"));
    setTag(this, 720);
    setModal(true);

    port_ = createSerialPort();
    Comm1 = port_.get();
    Comm1->setObjectName(QStringLiteral("Comm1"));
    sender_ = std::make_unique<TxdSender>(Comm1);
    sender_->ask = [this](const QString &text, MbButtons buttons, MbIcon icon, const QString &title) {
        return RkMsgBox(text, buttons, icon, title, 0, this);
    };
    connect(sender_.get(), &TxdSender::finished, this, &frmTxd2Cnc::sendFinished);
    sender_->onStatus = [this](int panel, const QString &text) { setPanelText(panel, text); };
    sender_->onLog = [this](const QByteArray &text) {
        pendingLog_ += text;
        // Only the end of the log stays visible; keep what the box can show.
        if (pendingLog_.size() > 8192)
            pendingLog_.remove(0, pendingLog_.size() - 4096);
    };

    auto *top = new QHBoxLayout;
    Label1 = new QLabel(QStringLiteral("Sänd till :"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    setTag(Label1, 725);
    cmbTxdCfgFiler = new QComboBox(this);
    cmbTxdCfgFiler->setObjectName(QStringLiteral("cmbTxdCfgFiler"));
    cmbTxdCfgFiler->setMinimumWidth(180);
    btnTxd2Cnc = new QPushButton(QStringLiteral("&Sänd"), this);
    btnTxd2Cnc->setObjectName(QStringLiteral("btnTxd2Cnc"));
    setTag(btnTxd2Cnc, 724);
    btnTxd2Cnc->setEnabled(false);
    btnTxd2CncAbort = new QPushButton(QStringLiteral("&Avbryt"), this);
    btnTxd2CncAbort->setObjectName(QStringLiteral("btnTxd2CncAbort"));
    setTag(btnTxd2CncAbort, 10);
    top->addWidget(Label1);
    top->addWidget(cmbTxdCfgFiler, 1);
    top->addSpacing(12);
    top->addWidget(btnTxd2Cnc);
    top->addWidget(btnTxd2CncAbort);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *frameLayout = new QVBoxLayout(Frame1);
    txtTxd2Cnc = new QPlainTextEdit(Frame1);
    txtTxd2Cnc->setObjectName(QStringLiteral("txtTxd2Cnc"));
    txtTxd2Cnc->setReadOnly(true);
    txtTxd2Cnc->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    txtTxd2Cnc->setFont(mono);
    frameLayout->addWidget(txtTxd2Cnc);

    ccrpProgressBar = new QProgressBar(this);
    ccrpProgressBar->setObjectName(QStringLiteral("ccrpProgressBar"));
    ccrpProgressBar->setRange(0, 1);
    ccrpProgressBar->setValue(0);
    ccrpProgressBar->setFormat(QStringLiteral("%p%"));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(StatusBar1);
        panels_[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i + 1));
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        panels_[i]->setMinimumWidth(i == 2 ? 180 : 120);
        StatusBar1->addWidget(panels_[i], i == 2 ? 1 : 0);
    }

    FileTxdCfg = new QListWidget(this);
    FileTxdCfg->setObjectName(QStringLiteral("FileTxdCfg"));
    FileTxdCfg->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Frame1, 1);
    layout->addWidget(ccrpProgressBar);
    layout->addWidget(StatusBar1);
    resize(560, 380);

    refresh_ = new QTimer(this);
    refresh_->setInterval(100);
    connect(refresh_, &QTimer::timeout, this, &frmTxd2Cnc::refresh);

    connect(btnTxd2Cnc, &QPushButton::clicked, this, &frmTxd2Cnc::btnTxd2Cnc_Click);
    connect(btnTxd2CncAbort, &QPushButton::clicked, this, &frmTxd2Cnc::btnTxd2CncAbort_Click);
    connect(cmbTxdCfgFiler, &QComboBox::activated, this, [this](int) { cmbTxdCfgFiler_Click(); });
}

frmTxd2Cnc::~frmTxd2Cnc()
{
    sender_->bAbort = true;
    sender_->ClosePort();
}

QString frmTxd2Cnc::panelText(int panel) const
{
    return panel >= 1 && panel <= 3 ? panels_[panel - 1]->text() : QString();
}

void frmTxd2Cnc::setPanelText(int panel, const QString &text)
{
    if (panel >= 1 && panel <= 3)
        panels_[panel - 1]->setText(text);
}

void frmTxd2Cnc::showModal(const QString &caption, std::optional<TextEncoding> encoding)
{
    programEncoding_ = encoding;
    sender_->setProgramEncoding(encoding);
    // The texts of the language file first, so the caller's caption stays.
    Form_Load();
    setWindowTitle(caption);
    exec();
}

void frmTxd2Cnc::Form_Load()
{
    RkGuard("Form_Load()", [&] {
        closing_ = false;
        SetLanguage(this);
        // What the last showing left (its port settings, its character
        // delay, a failure at its end) is not this one's.
        for (int panel = 1; panel <= 3; ++panel)
            setPanelText(panel, QString());
        ccrpProgressBar->setFormat(QStringLiteral("%p%"));
        ccrpProgressBar->setRange(0, 1);
        ccrpProgressBar->setValue(0);
    });
}

void frmTxd2Cnc::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    closing_ = false;
    activated_ = false;
    // Activation runs once the window is on screen, from the event loop,
    // unless the showing was activated already.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !activated_ && !sender_->running && !sendUnderWay_)
            Form_Activate();
    });
}

void frmTxd2Cnc::Form_Activate()
{
    if (activating_)
        return;
    activating_ = true;
    activated_ = true;
    RkGuard("Form_Activate()", [&] {
        btnTxd2Cnc->setEnabled(false);
        cmbTxdCfgFiler->clear();
        FileTxdCfg->clear();
        txtTxd2Cnc->clear();
        const QStringList files = GetFolderFiles(gsDataPath, QStringLiteral("*.cfg"), false);
        FileTxdCfg->addItems(files);
        const QString current = session_.machine().selected();
        int selected = -1;
        for (const QString &f : files) {
            const QString name = machineNameOf(f);
            cmbTxdCfgFiler->addItem(name);
            if (name == current && selected < 0)
                selected = cmbTxdCfgFiler->count() - 1;
        }
        // Nothing is chosen unless the main window's machine is among them.
        cmbTxdCfgFiler->setCurrentIndex(selected);
        if (selected >= 0)
            cmbTxdCfgFiler_Click();
        if (files.isEmpty()) {
            RkMsgBox(RkText(708, QStringLiteral("Inga CNC inställningar är skapade !\r\n\nVälj [ Arkiv ] & "
                                                "[ Inställningar CNC ] \r\noch skapa en konfigureringsfil för din CNC")),
                     MbButtons::Ok, MbIcon::Critical,
                     RkText(707, QStringLiteral("Inställningar för CNC saknas !")), 0, this);
            activating_ = false;
            btnTxd2CncAbort_Click();
            return;
        }
        if (files.size() == 1) {
            // The one machine there is: make it the current one and send.
            if (selected < 0) {
                cmbTxdCfgFiler->setCurrentIndex(0);
                cmbTxdCfgFiler_Click();
            }
            activating_ = false;
            btnTxd2Cnc_Click();
            return;
        }
    });
    activating_ = false;
}

void frmTxd2Cnc::cmbTxdCfgFiler_Click()
{
    RkGuard("cmbTxdCfgFiler_Click()", [&] {
        const QString name = cmbTxdCfgFiler->currentText();
        if (name.isEmpty())
            return;
        session_.machine().choose(name, machineConfigFile(name));
        btnTxd2Cnc->setEnabled(true);
    });
}

void frmTxd2Cnc::setSending(bool on)
{
    btnTxd2Cnc->setEnabled(!on);
    cmbTxdCfgFiler->setEnabled(!on);
}

void frmTxd2Cnc::flushLog()
{
    if (pendingLog_.isEmpty())
        return;
    QByteArray text;
    text.swap(pendingLog_);
    if (text.size() > 4096)
        text = text.right(4096);
    RkShowData(txtTxd2Cnc, text);
}

void frmTxd2Cnc::refresh()
{
    flushLog();
    const qint64 max = std::max<qint64>(sender_->fileLength, 1);
    progressScale_ = max > std::numeric_limits<int>::max() ? max / std::numeric_limits<int>::max() + 1 : 1;
    const int scaledMax = int(max / progressScale_);
    if (ccrpProgressBar->maximum() != scaledMax)
        ccrpProgressBar->setRange(0, scaledMax);
    const qint64 value = std::min(sender_->sentCount, max);
    ccrpProgressBar->setValue(int(value / progressScale_));
}

void frmTxd2Cnc::btnTxd2Cnc_Click()
{
    if (sender_->running || sendUnderWay_)
        return;
    startSend(true);
}

void frmTxd2Cnc::startSend(bool first)
{
    RkTraceProc(QStringLiteral("btnTxd2Cnc_Click()"));
    txtTxd2Cnc->clear();
    pendingLog_.clear();
    settings_ = std::make_unique<TxdSettings>();
    QString message;
    const MachineConfig cfg = MachineConfig::active();
    switch (readTxdSettings(cfg, *settings_, &message)) {
    case TxdSettingsStatus::UnknownProtocol:
        RkMsgBox(message, MbButtons::Ok, MbIcon::None, QString(), 0, this);
        return;
    case TxdSettingsStatus::BadHexCode:
        RkMsgBox(message, MbButtons::Ok, MbIcon::Critical, RkText(710, QStringLiteral("Överföringsfel")), 0, this);
        return;
    case TxdSettingsStatus::Ok:
        break;
    }
    // Asked once, before the first byte; a repetition sends what was agreed to.
    if (first && !mayBeSent(*settings_)) {
        const QString none = QStringLiteral("Ingenting har sänts.");
        setPanelText(3, none);
        RkShowData(txtTxd2Cnc, toCp1252(none + QStringLiteral("\r\n")));
        return;
    }

    setSending(true);
    sender_->fileLength = 0;
    sender_->sentCount = 0;
    ccrpProgressBar->setFormat(QStringLiteral("%p%"));
    ccrpProgressBar->setRange(0, 1);
    ccrpProgressBar->setValue(0);
    refresh_->start();
    sendUnderWay_ = true;
    sender_->start(tmpFile(kTxdTmp), *settings_);
}

void frmTxd2Cnc::sendFinished(TxdSender::Result result)
{
    sendUnderWay_ = false;
    refresh_->stop();
    refresh();
    switch (result) {
    case TxdSender::Result::Done:
        if (settings_ && settings_->loopSend && !sender_->bAbort && !closing_) {
            startSend(false);
            return;
        }
        setSending(false);
        close();
        return;
    case TxdSender::Result::Stopped:
        if (sender_->cancelledByErrorBox && !closing_)
            return;  // the port is closed; the window stays for the user to close
        if (sender_->stoppedByEia && !closing_) {
            // The log shows what went out before the line that stopped it.
            setPanelText(3, QStringLiteral("Avbruten: EIA översättningsfel på rad %1.").arg(sender_->failedLine));
            RkShowData(txtTxd2Cnc, toCp1252(QStringLiteral("*** AVBRUTEN: EIA ÖVERSÄTTNINGSFEL ***\r\n")));
            ccrpProgressBar->setFormat(QStringLiteral("%p% – avbruten"));
            return;
        }
        close();
        return;
    case TxdSender::Result::Empty:
        close();
        return;
    case TxdSender::Result::PortFailed:
        setSending(false);
        return;
    case TxdSender::Result::Cancelled:
        if (!sender_->reachedSending)
            setSending(false);
        return;
    case TxdSender::Result::Failed:
        // The window stays with the failure, the bytes written and the
        // last line written in its log; only "&Avbryt" and the close box
        // remain, as after Cancel in a failure box.
        ccrpProgressBar->setFormat(QStringLiteral("%p% – misslyckades"));
        return;
    }
}

bool frmTxd2Cnc::mayBeSent(const TxdSettings &settings)
{
    QFile file(findFileNoCase(RkNativePath(tmpFile(kTxdTmp))));
    if (!file.open(QIODevice::ReadOnly))
        return true;  // the send itself tells what is wrong with the file
    const QByteArray bytes = file.readAll();
    const TextEncoding encoding = programEncoding_.value_or(textEncodingOf(bytes));
    const auto found =
        txdFirstUncarried(txdProgramBytes(bytes), settings, txdOptionsFor(settings, encoding), encoding);
    if (!found)
        return true;
    return RkMsgBox(txdUncarriedQuestion(*found, settings.dataBits), MbButtons::YesNo, MbIcon::Exclamation,
                    txdUncarriedTitle(), 1, this)
        == MbYes;
}

void frmTxd2Cnc::btnTxd2CncAbort_Click()
{
    RkGuard("btnTxd2CncAbort_Click()", [&] {
        sender_->ClosePort();
        sender_->bAbort = true;
        close();
    });
}

void frmTxd2Cnc::Form_QueryUnload()
{
    RkGuard("Form_QueryUnload()", [&] {
        const QString txd = findFileNoCase(RkNativePath(tmpFile(kTxdTmp)));
        if (RkFileExists(txd))
            QFile::remove(txd);
    });
}

void frmTxd2Cnc::Form_Unload()
{
    sender_->bAbort = true;
}

void frmTxd2Cnc::closeEvent(QCloseEvent *e)
{
    // Closing never waits for the send: it stops at its next check.
    QDialog::closeEvent(e);
}

void frmTxd2Cnc::done(int r)
{
    closing_ = true;
    Form_QueryUnload();
    Form_Unload();
    flushLog();
    setSending(false);
    // The next showing may be for files, judged by their own bytes.
    programEncoding_.reset();
    sender_->setProgramEncoding(std::nullopt);
    QDialog::done(r);
}

frmTxd2Cnc *txd2CncWindow(Session &session)
{
    static QPointer<frmTxd2Cnc> window;
    if (!window)
        window = new frmTxd2Cnc(session, mainWidgetOrNull());
    return window;
}

bool concatenateForSend(const QStringList &paths, QByteArray &out, QString *failedPath)
{
    out.clear();
    for (const QString &path : paths) {
        QFile f;
        if (!RkOpenFile(f, findFileNoCase(RkNativePath(path)), QIODevice::ReadOnly)) {
            if (failedPath)
                *failedPath = path;
            return false;
        }
        // Each file's byte-order mark is its own, never part of the program.
        const QByteArray raw = txdProgramBytes(f.readAll()).toByteArray();
        if (f.error() != QFileDevice::NoError) {
            if (failedPath)
                *failedPath = path;
            return false;
        }
        // LF-only line ends count as line ends, as when the program is sent
        // from its document window: every line goes out as a block of its own.
        const QByteArray data = withLineEnds(raw, kLineEndCrLf);
        TxdLineReader reader(data);
        while (!reader.atEnd()) {
            out.append(reader.next());
            out.append("\r\n");
        }
    }
    return true;
}

int sendFilesToCnc(Session &session, const QStringList &paths, QWidget *owner, const QString &shownName)
{
    return RkGuard("sendFilesToCnc()", [&]() -> int {
        QString failed;
        bool ok = false;
        bool written = false;
        {
            const WaitCursor wait;
            QByteArray text;
            ok = concatenateForSend(paths, text, &failed);
            if (ok) {
                const QString txd = tmpFile(kTxdTmp);
                QFile::remove(findFileNoCase(RkNativePath(txd)));
                try {
                    writeHandOffFile(txd, text);
                    written = true;
                } catch (const RkError &) {
                    failed = txd;
                }
            }
        }
        if (!ok || !written) {
            RkMsgBox(QStringLiteral("Filen kunde inte läsas eller skrivas:\r\n%1\r\n\r\nIngenting har sänts.").arg(failed),
                     MbButtons::Ok, MbIcon::Exclamation, QString(), 0, owner);
            return 0;
        }
        const int n = int(paths.size());
        if (n == 0)
            return 0;
        QString caption = QString::number(n) + QStringLiteral(" nc program att sända");
        if (n == 1) {
            const QString name = shownName.isEmpty() ? RkShownName(QFileInfo(paths.first()).fileName()) : shownName;
            caption = RkText(727, QStringLiteral("Sänder")) + QStringLiteral(" [") + name + ']';
        }
        txd2CncWindow(session)->showModal(caption);
        return n;
    });
}

}
