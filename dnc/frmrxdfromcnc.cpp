#include "dnc/frmrxdfromcnc.h"

#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/services.h"
#include "dnc/hexlists.h"
#include "dnc/machineconfig.h"

#include <QComboBox>
#include <QFile>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace lumrik {

namespace {
const QString kCrLf = QStringLiteral("\r\n");

QString abortedText() { return QStringLiteral("Avbruten."); }

// The log shows the end of what arrives; a large chunk only needs its tail.
constexpr qsizetype kLogTail = 1024;
}

frmRxdFromCnc::frmRxdFromCnc(Session &session, QWidget *parent) : QDialog(parent), session_(session)
{
    setObjectName("frmRxdFromCnc");
    setWindowTitle(QStringLiteral("HÄMTA FRÅN CNC"));
    setTag(this, 702);
    setModal(true);

    Frame1 = new QFrame(this);
    Frame1->setObjectName("Frame1");
    Frame1->setFrameShape(QFrame::StyledPanel);

    Label4 = new QLabel(QStringLiteral("Mottag från "), Frame1);
    Label4->setObjectName("Label4");
    setTag(Label4, 703);
    cmbRxdCfgFiler = new QComboBox(Frame1);
    cmbRxdCfgFiler->setObjectName("cmbRxdCfgFiler");
    cmbRxdCfgFiler->setMinimumWidth(180);
    Label3 = new QLabel(QStringLiteral("Spara som"), Frame1);
    Label3->setObjectName("Label3");
    setTag(Label3, 704);
    txtFileName = new QLineEdit(Frame1);
    txtFileName->setObjectName("txtFileName");
    btnBrowseForFile = new QPushButton(QStringLiteral("&Bläddra..."), Frame1);
    btnBrowseForFile->setObjectName("btnBrowseForFile");
    setTag(btnBrowseForFile, 40);
    Label2 = new QLabel(QStringLiteral("i bibliotek"), Frame1);
    Label2->setObjectName("Label2");
    setTag(Label2, 705);
    lblCurrentPath = new QLabel(Frame1);
    lblCurrentPath->setObjectName("lblCurrentPath");
    lblCurrentPath->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *grid = new QGridLayout(Frame1);
    grid->addWidget(Label4, 0, 0);
    grid->addWidget(cmbRxdCfgFiler, 0, 1, 1, 2);
    grid->addWidget(Label3, 1, 0);
    grid->addWidget(txtFileName, 1, 1);
    grid->addWidget(btnBrowseForFile, 1, 2);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(lblCurrentPath, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    btnStartRxd = new QPushButton(QStringLiteral("&Mottag"), this);
    btnStartRxd->setObjectName("btnStartRxd");
    setTag(btnStartRxd, 706);
    btnRxdFromCncAbort = new QPushButton(QStringLiteral("&Avsluta"), this);
    btnRxdFromCncAbort->setObjectName("btnRxdFromCncAbort");
    setTag(btnRxdFromCncAbort, 10);
    for (QPushButton *b : {btnBrowseForFile, btnStartRxd, btnRxdFromCncAbort}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    txtRxdFromCnc = new QPlainTextEdit(this);
    txtRxdFromCnc->setObjectName("txtRxdFromCnc");
    txtRxdFromCnc->setReadOnly(true);
    txtRxdFromCnc->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    txtRxdFromCnc->setFont(mono);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(StatusBar1);
        panels_[i]->setObjectName(QStringLiteral("StatusBar1_Panel%1").arg(i + 1));
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addPermanentWidget(panels_[i], i == 2 ? 1 : 0);
    }
    panels_[0]->setMinimumWidth(110);
    panels_[1]->setMinimumWidth(40);

    RecDelayTimer = new QTimer(this);
    RecDelayTimer->setObjectName("RecDelayTimer");
    RecDelayTimer->setSingleShot(true);
    // What arrived is on the disk within a second, also when the data stops.
    syncTimer_ = new QTimer(this);
    syncTimer_->setObjectName("syncTimer");
    syncTimer_->setInterval(500);
    connect(syncTimer_, &QTimer::timeout, this, [this] {
        if (reception_)
            reception_->sync();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnStartRxd);
    buttons->addWidget(btnRxdFromCncAbort);

    auto *main = new QVBoxLayout(this);
    main->addWidget(Frame1);
    main->addLayout(buttons);
    main->addWidget(txtRxdFromCnc, 1);
    main->addWidget(StatusBar1);
    resize(560, 420);

    connect(cmbRxdCfgFiler, &QComboBox::activated, this, [this] { cmbRxdCfgFiler_Click(); });
    connect(btnBrowseForFile, &QPushButton::clicked, this, [this] { btnBrowseForFile_Click(); });
    connect(btnStartRxd, &QPushButton::clicked, this, [this] { btnStartRxd_Click(); });
    connect(txtFileName, &QLineEdit::returnPressed, this, [this] { btnStartRxd_Click(); });
    connect(btnRxdFromCncAbort, &QPushButton::clicked, this, [this] { btnRxdFromCncAbort_Click(); });
    connect(RecDelayTimer, &QTimer::timeout, this, [this] { RecDelayTimer_Timer(); });
}

frmRxdFromCnc::~frmRxdFromCnc()
{
    if (Comm1 && Comm1->PortOpen()) {
        try {
            Comm1->setPortOpen(false);
        } catch (...) {
        }
    }
    if (reception_ && reception_->isOpen())
        reception_->discard();
}

QString frmRxdFromCnc::statusPanel(int panel) const
{
    return panel >= 1 && panel <= 3 ? panels_[panel - 1]->text() : QString();
}

void frmRxdFromCnc::setStatusPanel(int panel, const QString &text)
{
    if (panel >= 1 && panel <= 3)
        panels_[panel - 1]->setText(text);
}

qint64 frmRxdFromCnc::bytesReceived() const { return reception_ ? reception_->bytesReceived() : 0; }
qint64 frmRxdFromCnc::bytesWritten() const { return reception_ ? reception_->bytesWritten() : 0; }

QString frmRxdFromCnc::NormalizePath(const QString &path)
{
    return path.endsWith('\\') || path.endsWith('/') ? path : path + '\\';
}

bool frmRxdFromCnc::waitingForStart() const
{
    return reception_ ? reception_->waitingForStart() : rxd.options.waitStartChr;
}

void frmRxdFromCnc::updateStartEnabled()
{
    btnStartRxd->setEnabled(!bNoMachines && !bLocked && bSettingsOk);
}

void frmRxdFromCnc::showEvent(QShowEvent *e)
{
    bDataSeen = false;
    QDialog::showEvent(e);
}

void frmRxdFromCnc::Form_Load()
{
    RkGuard("Form_Load()", [&] {
        RecDelayTimer->stop();
        if (Comm1 && Comm1->PortOpen())
            Comm1->setPortOpen(false);
        Comm1.reset();
        reception_.reset();
        bErrorPending = bRxdAborted = bIgnoreErrors = false;
        bStarted = bLocked = bReceived = bClosing = bNoMachines = false;
        bPortFailed = bSilenceEnded = bUntitled = bEndedEarly = bMidBlock = false;
        replacedFile_.clear();
        syncTimer_->stop();
        bSettingsOk = false;
        bDataSeen = false;
        SetLanguage(this);

        cmbRxdCfgFiler->clear();
        txtRxdFromCnc->clear();
        txtFileName->clear();
        lblCurrentPath->clear();
        for (int i = 1; i <= 3; ++i)
            setStatusPanel(i, {});
        for (QWidget *w : std::initializer_list<QWidget *>{cmbRxdCfgFiler, txtFileName, btnBrowseForFile})
            w->setEnabled(true);

        const QStringList machines = machineList();
        if (machines.isEmpty()) {
            bNoMachines = true;
            for (QWidget *w : std::initializer_list<QWidget *>{cmbRxdCfgFiler, txtFileName, btnBrowseForFile})
                w->setEnabled(false);
            updateStartEnabled();
            RkMsgBox(RkText(708, QStringLiteral("Inga CNC inställningar är skapade !") + kCrLf + "\n"
                                     + QStringLiteral("Välj [ Arkiv ] & [ Inställningar CNC ] ") + kCrLf
                                     + QStringLiteral("och skapa en konfigureringsfil för din CNC")),
                     MbButtons::Ok, MbIcon::Critical, RkText(707, QStringLiteral("Inställningar för CNC saknas !")),
                     0, this);
            return;
        }
        {
            const QSignalBlocker block(cmbRxdCfgFiler);
            cmbRxdCfgFiler->addItems(machines);
            cmbRxdCfgFiler->setCurrentIndex(-1);
        }
        // The machine the main window's selector shows, else the one in use.
        const QString wanted = session_.machine().selected();
        const int index = int(machines.indexOf(wanted));
        if (index >= 0) {
            {
                const QSignalBlocker block(cmbRxdCfgFiler);
                cmbRxdCfgFiler->setCurrentIndex(index);
            }
            cmbRxdCfgFiler_Click();
        } else {
            ReadRxdSettings();
        }
    });
}

void frmRxdFromCnc::cmbRxdCfgFiler_Click()
{
    RkGuard("cmbRxdCfgFiler_Click()", [&] {
        if (bLocked || cmbRxdCfgFiler->currentIndex() < 0)
            return;
        session_.machine().use(cmbRxdCfgFiler->currentText(), machineConfigFile(cmbRxdCfgFiler->currentText()));
        if (comboMaskiner)
            SelectComboItem(session_.machine().name(), comboMaskiner);
        if (Comm1 && Comm1->PortOpen())
            Comm1->setPortOpen(false);
        ReadRxdSettings();
    });
}

void frmRxdFromCnc::ReadRxdSettings()
{
    RkTraceProc(QStringLiteral("ReadRxdSettings()"));
    bSettingsOk = false;
    const QString machineFile = session_.machine().file();
    if (machineFile.isEmpty()) {
        // No machine chosen yet: the user picks one in the list.
        setStatusPanel(3, QStringLiteral("Välj maskin."));
        updateStartEnabled();
        return;
    }
    QString reason;
    if (readRxdSettings(machineFile, rxd, &reason)) {
        bSettingsOk = true;
        session_.active().setPath(rxd.receiveFolder);
        lblCurrentPath->setText(' ' + session_.active().path());
        RecDelayTimer->setInterval(rxd.recDelayMs);
        if (statusPanel(3) == QStringLiteral("Välj maskin.")
            || statusPanel(3) == QStringLiteral("Inställningarna kunde inte läsas."))
            setStatusPanel(3, {});
    } else {
        setStatusPanel(3, QStringLiteral("Inställningarna kunde inte läsas."));
        RkMsgBox(QStringLiteral("Det gick inte att läsa inställningarna !") + kCrLf + "\n"
                     + QStringLiteral("Öppna [ Arkiv ] & [ Inställningar CNC ] ") + kCrLf
                     + QStringLiteral("och kontrollera inställningarna") + kCrLf + kCrLf + reason,
                 MbButtons::Ok, MbIcon::Critical, QStringLiteral("Kommunikationsfel !"), 0, this);
    }
    updateStartEnabled();
}

void frmRxdFromCnc::btnBrowseForFile_Click()
{
    RkGuard("btnBrowseForFile_Click()", [&] {
        QStringList patterns;
        RkParseString(patterns, rxd.sFileExtension, QStringLiteral(";"));
        QString filter;
        for (int i = 1; i < patterns.size(); ++i)
            if (!patterns[i].trimmed().isEmpty())
                filter += patterns[i] + '|' + patterns[i] + '|';
        filter += QStringLiteral("Alla filer (*.*)|*.*");
        QString initial = QStringLiteral("Namnlös");
        const QString chosen = ShowSaveFileDialog(this, QStringLiteral("Spara som"), initial,
                                                  GetDefaultPath(QStringLiteral("rec")), QString(), filter, 0);
        if (chosen.isEmpty())
            return;
        ActiveProgram &active = session_.active();
        active.setFileName(GetFileNamePart(chosen));
        active.setPath(GetPathPart(chosen));
        active.setFile(chosen);
        lblCurrentPath->setText(' ' + active.path());
        txtFileName->setText(active.fileName());
    });
}

void frmRxdFromCnc::btnStartRxd_Click()
{
    RkGuard("btnStartRxd_Click()", [&] {
        if (bLocked || !bSettingsOk || bNoMachines)
            return;
        const QString name = txtFileName->text().trimmed();
        if (name.isEmpty()) {
            txtFileName->setText(session_.words().values().untitled);
        } else {
            txtFileName->setText(name);
            // The question is about the file that will be written: the name
            // with the machine's extension.
            const QString target = targetName();
            if (targetExists()) {
                const QString text = gbNotSwedish
                    ? RkGetLanguage(1018)
                    : target + QStringLiteral(" finns redan !") + kCrLf + QStringLiteral("Skall den skrivas över ? ");
                if (RkMsgBox(text, MbButtons::YesNo, MbIcon::Question, RkText(1019, QStringLiteral("Finns redan ")), 1,
                             this)
                    != MbYes)
                    return;
            }
        }
        bLocked = true;
        for (QWidget *w : std::initializer_list<QWidget *>{cmbRxdCfgFiler, txtFileName, btnBrowseForFile})
            w->setEnabled(false);
        updateStartEnabled();
        StartRxd();
    });
}

void frmRxdFromCnc::discardWorkFile()
{
    if (reception_)
        reception_->discard();
    // Any spelling of the name: a stale file must never be taken for this reception.
    for (;;) {
        const QString stale = findFileNoCase(tmpFile(kRxdTmp));
        if (!QFile::exists(stale) || !QFile::remove(stale))
            break;
    }
}

void frmRxdFromCnc::StartRxd()
{
    RkTraceProc(QStringLiteral("StartRxd()"));
    const QString waiting = RkText(709, QStringLiteral("Väntar på data..."));
    setStatusPanel(3, waiting);
    try {
        discardWorkFile();
        reception_ = std::make_unique<RxdReception>(rxd.options);
        reception_->open(tmpFile(kRxdTmp));
        txtRxdFromCnc->clear();

        Comm1 = createSerialPort();
        if (!Comm1)
            throw RkError(kErrInvalidCall, QStringLiteral("Ingen serieport finns"));
        Comm1->setObjectName("Comm1");
        connect(Comm1.get(), &SerialPort::OnComm, this, [this] { MSComm1_OnComm(); });
        Comm1->InputLen = 0;
        Comm1->CommPort = rxd.lComPort;
        Comm1->RThreshold = 1;
        Comm1->Settings = rxd.sCommSettings;
        // Every byte the machine sends is data: XON/XOFF only pauses it.
        Comm1->XonXoffInputOnly = true;
        Comm1->setRTSEnable(true);
        Comm1->setHandshaking(rxd.lHandshake);
        Comm1->setPortOpen(true);
        // Whatever waited before the start, in the driver as well, is not part
        // of the program.
        Comm1->clearInBuffer();
        setStatusPanel(1, Comm1->Settings);
        setStatusPanel(3, waiting);
        bStarted = true;
        syncTimer_->start();
    } catch (const RkError &e) {
        if (Comm1 && Comm1->PortOpen()) {
            try {
                Comm1->setPortOpen(false);
            } catch (...) {
            }
        }
        discardWorkFile();
        reception_.reset();
        setStatusPanel(3, abortedText());
        const QString title = (gbNotSwedish ? RkGetLanguage(710) : QStringLiteral("Överföringsfel"))
            + QStringLiteral(" # ") + QString::number(e.number());
        RkMsgBox(e.description(), MbButtons::Ok, MbIcon::Critical, title, 0, this);
    }
}

void frmRxdFromCnc::MSComm1_OnComm()
{
    RkGuard("MSComm1_OnComm()", [&] {
        if (bRxdAborted || !Comm1 || bClosing || bEndedEarly)
            return;
        switch (Comm1->CommEvent) {
        case comEvReceive:
            if (rxd.recDelayMs > 0 && !bErrorPending)
                RecDelayTimer->start(rxd.recDelayMs);
            GetRxdBuffer();
            if (!bDataSeen && !bRxdAborted) {
                const QString &receiving = session_.words().values().receiving;
                setStatusPanel(3, receiving.isEmpty() ? QStringLiteral("Mottager data...") : receiving);
                bDataSeen = true;
            }
            break;
        case comEvCTS:
            setStatusPanel(2, Comm1->CTSHolding() ? QString() : QStringLiteral("CTS"));
            break;
        case comEventPortLost:
            // While a line-error box is open, its answer takes the failure up.
            if (!bErrorPending) {
                portFailed();
                if (bPortFailed && !bClosing)
                    reject();
            }
            break;
        case comEventBreak:
            ++nBreak;
            lineError();
            break;
        case comEventFrame:
            if (!waitingForStart()) {
                ++nFraming;
                lineError();
            }
            break;
        case comEventOverrun:
        case comEventRxOver:
            ++nOverrun;
            lineError();
            break;
        case comEventRxParity:
            if (!waitingForStart()) {
                ++nParity;
                lineError();
            }
            break;
        case comEventDCB:
            ++nDcb;
            lineError();
            break;
        case comEventCDTO:
        case comEventCTSTO:
        case comEventDSRTO:
        case comEventTxFull:
            ++nOther;
            lineError();
            break;
        default:
            break;
        }
    });
}

void frmRxdFromCnc::lineError()
{
    if (bErrorPending || bIgnoreErrors)
        return;
    bErrorPending = true;
    Comm1->setRTSEnable(false);   // the machine pauses while the user decides

    QString text = gbNotSwedish ? RkGetLanguage(710) + kCrLf + kCrLf
                                : QStringLiteral("Överföringsfel har påträffats!") + kCrLf + kCrLf;
    const QString title = gbNotSwedish ? RkGetLanguage(710).toUpper() : QStringLiteral("Kommunikationsfel !");
    const struct { const char *label; int count; } rows[] = {
        {"BREAK  ", nBreak}, {"OVER   ", nOverrun}, {"FRAMING", nFraming},
        {"PARITY ", nParity}, {"DCB    ", nDcb},     {"OTHER  ", nOther},
    };
    for (const auto &r : rows)
        text += QLatin1String(r.label) + '\t' + ' ' + QString::number(r.count) + kCrLf;

    RecDelayTimer->stop();
    const int answer = RkMsgBox(text, MbButtons::AbortRetryIgnore, MbIcon::Critical, title, 0, this);
    if (bClosing || bPortFailed)
        return;
    if (Comm1 && Comm1->lost() && answer != MbAbort) {
        // The port failed while the box was open: that ends the reception.
        bErrorPending = false;
        portFailed();
        if (bPortFailed && !bClosing)
            reject();
        return;
    }
    if (rxd.recDelayMs > 0)
        RecDelayTimer->start(rxd.recDelayMs);
    if (answer == MbRetry || answer == MbIgnore) {
        // Ignore only silences further boxes: the reception and the silence
        // timer go on as after Retry.
        bErrorPending = false;
        if (answer == MbIgnore)
            bIgnoreErrors = true;
        if (Comm1 && Comm1->PortOpen())
            Comm1->setRTSEnable(true);
    } else {
        // "Avbryt": the reception ends, and what arrived is kept.
        endKeepingWhatArrived(QStringLiteral("Mottagningen avbröts efter ett överföringsfel."),
                              QStringLiteral("Överföringsfel"), 0);
    }
}

void frmRxdFromCnc::abortReception()
{
    bRxdAborted = true;
    if (Comm1 && Comm1->PortOpen()) {
        try {
            Comm1->setRTSEnable(false);
            Comm1->setPortOpen(false);
        } catch (...) {
        }
    }
    discardWorkFile();
    setStatusPanel(3, abortedText());
}

void frmRxdFromCnc::GetRxdBuffer()
{
    RkGuard("GetRxdBuffer()", [&] {
        if (!Comm1 || !reception_ || bRxdAborted || bEndedEarly)
            return;
        bool paused = false;
        if (Comm1->InBufferCount() > 2048 && rxd.lHandshake == 0) {
            Comm1->setRTSEnable(false);
            paused = true;
        }
        const QByteArray in = Comm1->Input();
        RxdChunk chunk;
        try {
            chunk = reception_->feed(in);
        } catch (const RkError &e) {
            abortReception();
            RkMsgBox(e.description() + kCrLf + QStringLiteral("Överföringen har avbrutits."), MbButtons::Ok,
                     MbIcon::Critical, QStringLiteral("Överföringsfel"), 0, this);
            return;
        }
        if (chunk.sendDc1)
            Comm1->Output(QByteArray(1, '\x11'));
        if (!chunk.display.isEmpty())
            RkShowData(txtRxdFromCnc, chunk.display.size() > kLogTail ? chunk.display.right(kLogTail)
                                                                        : chunk.display);
        if (chunk.eiaError) {
            RkTraceProc(QStringLiteral("feed()"));
            endKeepingWhatArrived(QStringLiteral("EIA översättningsfel."), QStringLiteral("Översättningsfel"), 0);
            return;
        }
        if (paused && Comm1->PortOpen())
            Comm1->setRTSEnable(true);
    });
}

void frmRxdFromCnc::RecDelayTimer_Timer()
{
    RecDelayTimer->stop();
    bSilenceEnded = true;
    btnRxdFromCncAbort_Click();
}

QString frmRxdFromCnc::targetName() const
{
    return rxdTargetName(txtFileName->text(), rxd.sFileExtension, session_.words().values().untitled);
}

bool frmRxdFromCnc::targetExists() const
{
    const QString target = targetName();
    return target != session_.words().values().untitled
           && RkFileExists(findFileNoCase(RkNativePath(session_.active().path() + target)));
}

void frmRxdFromCnc::portFailed()
{
    RkTraceProc(QStringLiteral("portFailed()"));
    if (!bStarted || bRxdAborted || bPortFailed || bEndedEarly || bClosing || !Comm1)
        return;
    bPortFailed = true;
    RecDelayTimer->stop();
    // What was read before the failure still goes to the file.
    if (Comm1->InBufferCount() > 0)
        GetRxdBuffer();
    if (bRxdAborted)
        return;
    if (Comm1->PortOpen())
        Comm1->setPortOpen(false);
    setStatusPanel(3, QStringLiteral("Förbindelsen bröts."));
    const long number = Comm1->lost() ? Comm1->LostNumber : kPortNotOpen;
    const QString reason = Comm1->lost() ? Comm1->LostReason : QStringLiteral("Porten stängdes.");
    const QString title = (gbNotSwedish ? RkGetLanguage(710) : QStringLiteral("Överföringsfel"))
        + QStringLiteral(" # ") + QString::number(number);
    RkMsgBox(keptText(QStringLiteral("Mottagningen avbröts.") + kCrLf + reason), MbButtons::Ok, MbIcon::Critical,
             title, 0, this);
}

void frmRxdFromCnc::endKeepingWhatArrived(const QString &reason, const QString &title, long number)
{
    RkTraceProc(QStringLiteral("endKeepingWhatArrived()"));
    if (!bStarted || bRxdAborted || bPortFailed || bEndedEarly)
        return;
    bEndedEarly = true;
    RecDelayTimer->stop();
    if (Comm1 && Comm1->PortOpen()) {
        try {
            Comm1->setRTSEnable(false);
            Comm1->setPortOpen(false);
        } catch (...) {
        }
    }
    setStatusPanel(3, abortedText());
    RkMsgBox(keptText(reason), MbButtons::Ok, MbIcon::Critical,
             number != 0 ? title + QStringLiteral(" # ") + QString::number(number) : title, 0, this);
    if (!bClosing && !inDone_)
        reject();
}

QString frmRxdFromCnc::keptText(const QString &reason) const
{
    QString text = reason + kCrLf + kCrLf + QStringLiteral("%1 byte togs emot.").arg(bytesReceived()) + kCrLf + kCrLf;
    const bool opens = bytesWritten() > 4;
    if (opens)
        text += QStringLiteral("Det som togs emot öppnas som ett nytt namnlöst dokument");
    else
        text += QStringLiteral("Ingenting sparades");
    if (targetExists())
        text += QStringLiteral("; den befintliga filen %1 har inte skrivits över.").arg(targetName());
    else
        text += '.';
    if (opens)
        text += kCrLf + QStringLiteral("Kontrollera programmet innan du sparar det.");
    return text;
}

void frmRxdFromCnc::btnRxdFromCncAbort_Click()
{
    RkTraceProc(QStringLiteral("btnRxdFromCncAbort_Click()"));
    reject();
}

void frmRxdFromCnc::finalise()
{
    if (Comm1 && Comm1->InBufferCount() > 0)
        GetRxdBuffer();
    if (bRxdAborted)
        return;
    if (Comm1 && Comm1->PortOpen())
        Comm1->setPortOpen(false);
    try {
        reception_->close();
    } catch (const RkError &e) {
        abortReception();
        RkMsgBox(e.description() + kCrLf + QStringLiteral("Överföringen har avbrutits."), MbButtons::Ok,
                 MbIcon::Critical, QStringLiteral("Överföringsfel"), 0, this);
        return;
    }
    bReceived = true;
}

void frmRxdFromCnc::done(int result)
{
    if (bClosing) {
        QDialog::done(result);
        return;
    }
    inDone_ = true;
    RkGuard("done()", [&] {
        RecDelayTimer->stop();
        syncTimer_->stop();
        // A failure of the port not yet taken up (its event still on its way)
        // is never taken for the normal end of the reception.
        if (bStarted && !bRxdAborted && !bPortFailed && Comm1 && Comm1->lost())
            portFailed();
        if (bStarted && !bRxdAborted)
            finalise();
        // A reception that may be incomplete never replaces a file.
        if (bReceived && bytesWritten() > 4) {
            if (bPortFailed || bEndedEarly) {
                bUntitled = true;
            } else if (bSilenceEnded && reception_->tail() != RxdTail::AtBlockEnd) {
                // The machine fell silent in the middle of a block: a program
                // cut short never replaces a file, nor goes under a name.
                bUntitled = true;
                bMidBlock = true;
                const QString reason =
                    QStringLiteral("Överföringen stannade mitt i ett block: ingenting mer kom på %1 sekunder, "
                                   "och det sista blocket slutar varken med blockslut eller \"%\".")
                        .arg(QLocale(QLocale::Swedish).toString(rxd.recDelayMs / 1000.0, 'g', 6));
                RkMsgBox(keptText(reason), MbButtons::Ok, MbIcon::Exclamation,
                         QStringLiteral("Programmet är inte komplett"), 0, this);
            } else if (!bSilenceEnded && targetExists()) {
                bUntitled = true;
                RkMsgBox(QStringLiteral("Mottagningen avslutades för hand efter %1 byte.").arg(bytesReceived())
                             + kCrLf + kCrLf
                             + QStringLiteral("Filen %1 finns redan och skrivs inte över med en mottagning som "
                                              "avslutades för hand. Det som togs emot öppnas som ett nytt namnlöst "
                                              "dokument; spara det själv när du har kontrollerat att programmet "
                                              "är komplett.")
                                   .arg(targetName()),
                         MbButtons::Ok, MbIcon::Information, QString(), 0, this);
            }
        }
        bClosing = true;
        if (bRxdAborted || !bStarted || !bReceived) {
            if (Comm1 && Comm1->PortOpen()) {
                Comm1->setRTSEnable(false);
                Comm1->setPortOpen(false);
            }
            discardWorkFile();
        }
        replacedFile_ = targetExists() ? findFileNoCase(RkNativePath(session_.active().path() + targetName())) : QString();
        QString target = bUntitled ? session_.words().values().untitled : targetName();
        if (txtFileName->text().trimmed().isEmpty() && !bStarted)
            target = txtFileName->text();
        session_.active().setFile(target);
    });
    bClosing = true;
    inDone_ = false;
    QDialog::done(result);
}

}
