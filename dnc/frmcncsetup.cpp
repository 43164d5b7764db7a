#include "dnc/frmcncsetup.h"

#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/folderwrites.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/services.h"
#include "core/sessionstate.h"
#include "core/settings.h"
#include "dnc/cncsetup_fields.h"
#include "dnc/frmhexedit.h"
#include "dnc/hexlists.h"
#include "dnc/machineconfig.h"
#include "dnc/qtserialport.h"

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <unistd.h>

namespace lumrik {

namespace {

QLabel *makeLabel(const QString &text, int id, QWidget *parent, const char *name)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    if (id)
        setTag(l, id);
    return l;
}

QLineEdit *makeEdit(QWidget *parent, const char *name, const QString &tip = {})
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    if (!tip.isEmpty())
        e->setToolTip(tip);
    return e;
}

QComboBox *makeList(QWidget *parent, const char *name, const QString &tip = {})
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(false);
    if (!tip.isEmpty())
        c->setToolTip(tip);
    return c;
}

QPushButton *makeButton(const QString &text, int id, QWidget *parent, const QString &name)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    if (id)
        setTag(b, id);
    return b;
}

QCheckBox *makeCheck(const QString &text, int id, QWidget *parent, const char *name)
{
    auto *c = new QCheckBox(text, parent);
    c->setObjectName(QLatin1String(name));
    if (id)
        setTag(c, id);
    return c;
}

QGroupBox *makeFrame(const QString &title, int id, QWidget *parent, const char *name)
{
    auto *g = new QGroupBox(title, parent);
    g->setObjectName(QLatin1String(name));
    if (id)
        setTag(g, id);
    return g;
}

const char *const kHexNames[5] = {"cmdHex0", "cmdHex1", "cmdHex2", "cmdHex3", "cmdHex4"};

}

// ---------------------------------------------------------------------------
// Building

frmCncSetup::frmCncSetup(Session &session, QWidget *parent, QComboBox *mainSelector)
    : QDialog(parent), comboMaskiner(mainSelector), session_(session)
{
    setObjectName(QStringLiteral("frmCncSetup"));
    setWindowTitle(QStringLiteral("Inställningar CNC"));
    setTag(this, 400);
    setModal(true);

    fraCfg = makeFrame(QStringLiteral("Välj CNC"), 420, this, "fraCfg");
    cmbCfgFiler = makeList(fraCfg, "cmbCfgFiler", QStringLiteral("Välj CNC"));
    cmbCfgFiler->setMinimumContentsLength(24);
    cmdCreateCNC = makeButton(QStringLiteral("&Ny CNC..."), 421, fraCfg, QStringLiteral("cmdCreateCNC"));
    auto *cfgLay = new QHBoxLayout(fraCfg);
    cfgLay->addWidget(cmbCfgFiler, 1);
    cfgLay->addWidget(cmdCreateCNC);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    setTag(SSTab1, 399);
    auto *tabComm = new QWidget;
    tabComm->setObjectName(QStringLiteral("tabKommunikation"));
    auto *tabPaths = new QWidget;
    tabPaths->setObjectName(QStringLiteral("tabSokvagar"));
    auto *tabAdvanced = new QWidget;
    tabAdvanced->setObjectName(QStringLiteral("tabAvancerat"));
    auto *tabColours = new QWidget;
    tabColours->setObjectName(QStringLiteral("tabFarger"));
    SSTab1->addTab(tabComm, QStringLiteral("&Kommunikation"));
    SSTab1->addTab(tabPaths, QStringLiteral("&Sökvägar"));
    SSTab1->addTab(tabAdvanced, QStringLiteral("&Avancerat"));
    SSTab1->addTab(tabColours, QStringLiteral("Färger"));
    buildCommunicationTab(tabComm);
    buildPathsTab(tabPaths);
    buildAdvancedTab(tabAdvanced);
    buildColoursTab(tabColours);
    // Nothing to edit until a machine is loaded.
    SSTab1->setEnabled(false);

    cmdOk = makeButton(QStringLiteral("&OK"), 5, this, QStringLiteral("cmdOk"));
    cmdCancel = makeButton(QStringLiteral("&Avbryt"), 10, this, QStringLiteral("cmdCancel"));
    cmdApply = makeButton(QStringLiteral("&Verkställ"), 30, this, QStringLiteral("cmdApply"));
    cmdApply->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdApply);

    auto *lay = new QVBoxLayout(this);
    lay->addWidget(fraCfg);
    lay->addWidget(SSTab1, 1);
    lay->addLayout(buttons);

    connect(cmbCfgFiler, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0)
            cmbCfgFiler_Click();
        // The user's choice that changed the entry is handled; the list
        // reports it once more as chosen right after this.
        choiceHandled_ = true;
        QTimer::singleShot(0, this, [this] { choiceHandled_ = false; });
    });
    // The entry the list shows, chosen again while the fields still show
    // another machine ("Spara?" was cancelled): that machine is chosen now.
    connect(cmbCfgFiler, &QComboBox::activated, this, [this](int i) {
        if (!choiceHandled_ && i >= 0 && cmbCfgFiler->currentText() != shownMachine_)
            cmbCfgFiler_Click();
    });
    connect(cmdCreateCNC, &QPushButton::clicked, this, &frmCncSetup::cmdCreateCNC_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmCncSetup::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCncSetup::cmdCancel_Click);
    connect(cmdApply, &QPushButton::clicked, this, [this] { cmdApply_Click(); });
    connect(cmdQueryPorts, &QPushButton::clicked, this, &frmCncSetup::cmdQueryPorts_Click);
    connect(cmdSendToInfo, &QPushButton::clicked, this, &frmCncSetup::cmdSendToInfo_Click);
    for (int i = 0; i < int(cmdHex.size()); ++i)
        connect(cmdHex[i], &QPushButton::clicked, this, [this, i] { cmdHex_Click(i); });
    connect(btnBrowseForNcPrg, &QPushButton::clicked, this, &frmCncSetup::btnBrowseForNcPrg_Click);
    connect(btnBrowse, &QPushButton::clicked, this, &frmCncSetup::btnBrowse_Click);
    connect(btnBrowseRxd, &QPushButton::clicked, this, &frmCncSetup::btnBrowseRxd_Click);
    for (int i = 0; i < 8; ++i)
        connect(cmdCodeColor[i], &QPushButton::clicked, this, [this, i] { cmdCodeColor_Click(i); });
    connect(cmdCommentColor, &QPushButton::clicked, this, &frmCncSetup::cmdCommentColor_Click);
    connectChangeFlags();

    // The dialog sees keys (F5) and focus changes of every control first.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);

    resize(600, 520);
    Form_Load();
}

frmCncSetup::~frmCncSetup() = default;

void frmCncSetup::buildCommunicationTab(QWidget *tab)
{
    cmbComPort = makeList(tab, "cmbComPort", QStringLiteral("Välj Com port!"));
    cmbComPort->setMinimumContentsLength(14);
    cmdQueryPorts = makeButton(QStringLiteral("?"), 0, tab, QStringLiteral("cmdQueryPorts"));
    cmdQueryPorts->setToolTip(QStringLiteral("Visa de serieportar som finns i systemet"));
    cmdQueryPorts->setMaximumWidth(28);
    cmbBaud = makeList(tab, "cmbBaud", QStringLiteral("Välj Baud"));
    cmbProtokoll = makeList(tab, "cmbProtokoll", QStringLiteral("Välj protokoll"));
    cmbCodeSyst = makeList(tab, "cmbCodeSyst", QStringLiteral("Välj Kodsystem"));
    cmbDataBits = makeList(tab, "cmbDataBits", QStringLiteral("Välj antal databitar"));
    cmbParity = makeList(tab, "cmbParity", QStringLiteral("Paritet"));
    cmbStopBits = makeList(tab, "cmbStopBits", QStringLiteral("Stopbitar"));

    auto *left = new QGridLayout;
    int row = 0;
    auto addRow = [&](QLabel *label, QWidget *field, QWidget *extra = nullptr) {
        left->addWidget(label, row, 0);
        left->addWidget(field, row, 1);
        if (extra)
            left->addWidget(extra, row, 2);
        ++row;
    };
    addRow(makeLabel(QStringLiteral("Com Port"), 401, tab, "lblComPort"), cmbComPort, cmdQueryPorts);
    addRow(makeLabel(QStringLiteral("BaudRate"), 402, tab, "lblBaud"), cmbBaud);
    addRow(makeLabel(QStringLiteral("Protokoll"), 403, tab, "lblProtokoll"), cmbProtokoll);
    addRow(makeLabel(QStringLiteral("Kodsystem"), 404, tab, "lblCodeSyst"), cmbCodeSyst);
    addRow(makeLabel(QStringLiteral("DataBits"), 405, tab, "lblDataBits"), cmbDataBits);
    addRow(makeLabel(QStringLiteral("Paritet"), 406, tab, "lblParity"), cmbParity);
    addRow(makeLabel(QStringLiteral("StopBits"), 407, tab, "lblStopBits"), cmbStopBits);
    left->setRowStretch(row, 1);

    auto hexButton = [this](int i, QWidget *parent) {
        cmdHex[i] = makeButton(QStringLiteral("?"), 0, parent, QString::fromLatin1(kHexNames[i]));
        cmdHex[i]->setToolTip(QStringLiteral("Visa tabellen över teckenkoder"));
        cmdHex[i]->setMaximumWidth(28);
        return cmdHex[i];
    };

    fraTxd = makeFrame(QStringLiteral("PC till CNC"), 411, tab, "fraTxd");
    txtLeader = makeEdit(fraTxd, "txtLeader", QStringLiteral("Tecken före Nc-program"));
    txtTrailer = makeEdit(fraTxd, "txtTrailer", QStringLiteral("Tecken efter nc-program"));
    cmbEOB = makeList(fraTxd, "cmbEOB");
    txtTxdFilter = makeEdit(fraTxd, "txtTxdFilter", QStringLiteral("Skippa block som börjar med"));
    txtDoNotSend = makeEdit(fraTxd, "txtDoNotSend", QStringLiteral("Skippa block som börjar med"));
    chk30Null = makeCheck(QStringLiteral("Starta / avsluta med 30 null"), 417, fraTxd, "chk30Null");
    txtSendTo = makeEdit(fraTxd, "txtSendTo", QStringLiteral("Tecken efter nc-program"));
    cmdSendToInfo = makeButton(QStringLiteral("?"), 0, fraTxd, QStringLiteral("cmdSendToInfo"));
    cmdSendToInfo->setMaximumWidth(28);
    auto *txd = new QGridLayout(fraTxd);
    txd->addWidget(makeLabel(QStringLiteral("Leader ( hex )"), 412, fraTxd, "lblLeader"), 0, 0);
    txd->addWidget(txtLeader, 0, 1);
    txd->addWidget(hexButton(0, fraTxd), 0, 2);
    txd->addWidget(makeLabel(QStringLiteral("Trailer ( hex )"), 413, fraTxd, "lblTrailer"), 1, 0);
    txd->addWidget(txtTrailer, 1, 1);
    txd->addWidget(hexButton(1, fraTxd), 1, 2);
    txd->addWidget(makeLabel(QStringLiteral("EOB tecken"), 414, fraTxd, "lblEOB"), 2, 0);
    txd->addWidget(cmbEOB, 2, 1);
    txd->addWidget(makeLabel(QStringLiteral("Sänd ej  tecknet ( hex )"), 415, fraTxd, "lblTxdFilter"), 3, 0);
    txd->addWidget(txtTxdFilter, 3, 1);
    txd->addWidget(hexButton(2, fraTxd), 3, 2);
    txd->addWidget(makeLabel(QStringLiteral("Sänd ej block som inleds med"), 416, fraTxd, "lblDoNotSend"), 4, 0);
    txd->addWidget(txtDoNotSend, 4, 1);
    // Its id is the trailer label's; translated it would read "Trailer".
    txd->addWidget(makeLabel(QStringLiteral("Sänd t.o.m"), 0, fraTxd, "lblSendTo"), 5, 0);
    txd->addWidget(txtSendTo, 5, 1);
    txd->addWidget(cmdSendToInfo, 5, 2);
    txd->addWidget(chk30Null, 6, 0, 1, 3);

    fraRxd = makeFrame(QStringLiteral("CNC till PC"), 408, tab, "fraRxd");
    txtFilter = makeEdit(fraRxd, "txtFilter", QStringLiteral("Filtertecken"));
    txtStartRxdFrom = makeEdit(fraRxd, "txtStartRxdFrom", QStringLiteral("Starta lagring fr.o.m"));
    auto *rxd = new QGridLayout(fraRxd);
    rxd->addWidget(makeLabel(QStringLiteral("Filter hex"), 409, fraRxd, "lblFilter"), 0, 0);
    rxd->addWidget(txtFilter, 0, 1);
    rxd->addWidget(hexButton(3, fraRxd), 0, 2);
    rxd->addWidget(makeLabel(QStringLiteral("Påbörja lagring fr.o.m tecken ( hex ) "), 410, fraRxd, "lblStartRxdFrom"),
                   1, 0);
    rxd->addWidget(txtStartRxdFrom, 1, 1);
    rxd->addWidget(hexButton(4, fraRxd), 1, 2);

    auto *right = new QVBoxLayout;
    right->addWidget(fraTxd);
    right->addWidget(fraRxd);
    right->addStretch();
    auto *lay = new QHBoxLayout(tab);
    lay->addLayout(left);
    lay->addLayout(right, 1);
}

void frmCncSetup::buildPathsTab(QWidget *tab)
{
    auto *lay = new QVBoxLayout(tab);
    auto pathFrame = [&](const QString &title, int id, const char *frameName, QLineEdit *&box, const char *boxName,
                         const QString &tip, QPushButton *&button, const char *buttonName) {
        QGroupBox *f = makeFrame(title, id, tab, frameName);
        box = makeEdit(f, boxName, tip);
        button = makeButton(QStringLiteral("&Bläddra"), 40, f, QString::fromLatin1(buttonName));
        auto *h = new QHBoxLayout(f);
        h->addWidget(box, 1);
        h->addWidget(button);
        lay->addWidget(f);
    };
    pathFrame(QStringLiteral("Sökväg (grundnivå) till Nc-program"), 330, "fraDefaultPath", txtDefaultPath,
              "txtDefaultPath", QString(), btnBrowseForNcPrg, "btnBrowseForNcPrg");
    pathFrame(QStringLiteral("Förvalt bibliotek för SÄNDNING"), 430, "fraDefaultTxd", txtDefaultTxdCNCpath,
              "txtDefaultTxdCNCpath", QStringLiteral("Sökväg för maskinens Nc-program"), btnBrowse, "btnBrowse");
    pathFrame(QStringLiteral("Förvalt bibliotek för MOTTAGNING"), 432, "fraDefaultRxd", txtDefaultRxdCNCpath,
              "txtDefaultRxdCNCpath", QStringLiteral("Sökväg för maskinens Nc-program"), btnBrowseRxd, "btnBrowseRxd");

    QGroupBox *ext = makeFrame(QStringLiteral("Extension för Nc-program"), 332, tab, "fraFileExtension");
    txtFileExtension = makeEdit(ext, "txtFileExtension");
    txtFileExtension->setMaximumWidth(120);
    auto *note = makeLabel(QStringLiteral("Ex. *.NC lägger på .NC på filnamnen. Med *.* görs inget."), 333, ext,
                           "lblFileExtensionNote");
    note->setWordWrap(true);
    auto *h = new QHBoxLayout(ext);
    h->addWidget(txtFileExtension);
    h->addWidget(note, 1);
    lay->addWidget(ext);
    lay->addStretch();
}

void frmCncSetup::buildAdvancedTab(QWidget *tab)
{
    QGroupBox *other = makeFrame(QStringLiteral("Övrigt"), 455, tab, "fraOvrigt");
    chkLoopSend = makeCheck(QStringLiteral("Aktivera loopsändning"), 456, other, "chkLoopSend");
    // Its id is the loop box's; translated it would read as that one.
    chkTxdDisplay = makeCheck(QStringLiteral("Visar nc-program vid sändning"), 0, other, "chkTxdDisplay");
    cmbBufSize = makeList(other, "cmbBufSize");
    {
        const QSignalBlocker block(cmbBufSize);
        cmbBufSize->addItems(cfg::bufSizes());
        cmbBufSize->setCurrentText(QStringLiteral("256"));
    }
    auto *o = new QGridLayout(other);
    o->addWidget(chkLoopSend, 0, 0, 1, 2);
    o->addWidget(chkTxdDisplay, 1, 0, 1, 2);
    o->addWidget(makeLabel(QStringLiteral("Blockstorlek:"), 0, other, "lblBufSize"), 2, 0);
    o->addWidget(cmbBufSize, 2, 1);
    o->setColumnStretch(2, 1);

    QGroupBox *delays = makeFrame(QStringLiteral("Fördröjningar"), 452, tab, "fraDelays");
    txtCloseDelay = makeEdit(delays, "txtCloseDelay");
    txtCloseDelay->setToolTip(closeDelayRule());
    txtChrDelay = makeEdit(delays, "txtChrDelay");
    txtRecDelay = makeEdit(delays, "txtRecDelay");
    auto *d = new QGridLayout(delays);
    int row = 0;
    for (auto [box, label] : {std::pair{txtCloseDelay, makeLabel(QStringLiteral("sekunder innan porten stängs"), 453,
                                                                   delays, "lblCloseDelay")},
                              {txtChrDelay, makeLabel(QStringLiteral("ms fördröjning  mellan varje tecken"), 454,
                                                      delays, "lblChrDelay")},
                              // Its id is the character delay's label's.
                              {txtRecDelay, makeLabel(QStringLiteral("s innan mottaget program anses vara klart."), 0,
                                                      delays, "lblRecDelay")}}) {
        box->setMaximumWidth(80);
        d->addWidget(box, row, 0);
        d->addWidget(label, row, 1);
        ++row;
    }
    d->setColumnStretch(1, 1);

    auto *lay = new QVBoxLayout(tab);
    lay->addWidget(other);
    lay->addWidget(delays);
    lay->addStretch();
}

void frmCncSetup::buildColoursTab(QWidget *tab)
{
    QGroupBox *prog = makeFrame(QStringLiteral("Färgläggning av NcProgram"), 347, tab, "fraColours");
    auto *g = new QGridLayout(prog);
    cmdCommentColor = makeButton(QStringLiteral("Färg..."), 349, prog, QStringLiteral("cmdCommentColor"));
    g->addWidget(makeLabel(QStringLiteral("Visa parenteser (kommentarer) med  "), 348, prog, "lblCommentColor"), 0, 0,
                 1, 2);
    g->addWidget(cmdCommentColor, 0, 2);
    g->addWidget(makeLabel(QStringLiteral("Visa block som innehåller :"), 350, prog, "lblCodeTexts"), 1, 0, 1, 3);
    static const char *const boxNames[8] = {"txtCodeText1", "txtCodeText2", "txtCodeText3", "txtCodeText4",
                                            "txtCodeText5", "txtCodeText6", "txtCodeText7", "txtCodeText8"};
    static const char *const labelNames[8] = {"lblMed1", "lblMed2", "lblMed3", "lblMed4",
                                              "lblMed5", "lblMed6", "lblMed7", "lblMed8"};
    for (int i = 0; i < 8; ++i) {
        txtCodeText[i] = makeEdit(prog, boxNames[i]);
        cmdCodeColor[i] = makeButton(QStringLiteral("Färg..."), 349, prog, QStringLiteral("cmdCodeColor%1").arg(i + 1));
        g->addWidget(txtCodeText[i], i + 2, 0);
        g->addWidget(makeLabel(QStringLiteral("med "), 351, prog, labelNames[i]), i + 2, 1);
        g->addWidget(cmdCodeColor[i], i + 2, 2);
    }
    g->setColumnStretch(0, 1);

    // Its id is the frame "Övrigt"'s.
    QGroupBox *syntax = makeFrame(QStringLiteral("Färgläggning av NC koder"), 0, tab, "fraColorFile");
    ComboColorFile = makeList(syntax, "ComboColorFile");
    ComboColorFile->setMinimumContentsLength(16);
    auto *h = new QHBoxLayout(syntax);
    h->addWidget(makeLabel(QStringLiteral("Färgläggningsfil:"), 352, syntax, "lblColorFile"));
    h->addWidget(ComboColorFile, 1);

    auto *lay = new QVBoxLayout(tab);
    lay->addWidget(prog);
    lay->addWidget(syntax);
    lay->addStretch();
}

void frmCncSetup::connectChangeFlags()
{
    for (QComboBox *c : {cmbBaud, cmbCodeSyst, cmbComPort, cmbDataBits, cmbEOB, cmbParity, cmbProtokoll, cmbStopBits,
                         ComboColorFile, cmbBufSize})
        connect(c, &QComboBox::currentIndexChanged, this, [this](int i) {
            if (i >= 0)
                raiseFlag();
        });
    for (QCheckBox *c : {chk30Null, chkLoopSend, chkTxdDisplay})
        connect(c, &QCheckBox::toggled, this, [this] { raiseFlag(); });
    QList<QLineEdit *> boxes = {txtChrDelay,   txtCloseDelay, txtRecDelay,          txtDefaultPath,
                                txtDefaultTxdCNCpath, txtDefaultRxdCNCpath, txtDoNotSend, txtFileExtension,
                                txtFilter,     txtStartRxdFrom, txtLeader,          txtTrailer,
                                txtSendTo,     txtTxdFilter};
    for (QLineEdit *b : txtCodeText)
        boxes.append(b);
    for (QLineEdit *b : boxes)
        connect(b, &QLineEdit::textChanged, this, [this] { raiseFlag(); });
}

void frmCncSetup::raiseFlag()
{
    // Without a machine there is nothing to store the edit into.
    if (!shownMachine_.isEmpty())
        cmdApply->setEnabled(true);
}

bool frmCncSetup::isChanged() const { return cmdApply->isEnabled(); }

void frmCncSetup::fillList(QComboBox *combo, const QStringList &items, const QString &initial)
{
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItems(items);
    combo->setCurrentIndex(combo->findText(initial));
}

// ---------------------------------------------------------------------------
// Opening and loading

void frmCncSetup::Form_Load()
{
    RkGuard("frmCncSetup.Form_Load()", [&] {
        SetLanguage(this);
        RefreshComPortList();
        fillList(cmbBaud, cfg::baudRates(), QStringLiteral("2400"));
        fillList(cmbProtokoll, cfg::protocols(), cfg::ProtRtsCts);
        fillList(cmbCodeSyst, cfg::codes(), cfg::CodeIso);
        fillList(cmbDataBits, cfg::dataBits(), QStringLiteral("7"));
        fillList(cmbParity, cfg::parities(), cfg::ParityEven);
        fillList(cmbStopBits, cfg::stopBits(), QStringLiteral("1"));
        const QStringList machines = machineList();
        {
            const QSignalBlocker block(cmbCfgFiler);
            cmbCfgFiler->clear();
            cmbCfgFiler->addItems(machines);
            cmbCfgFiler->setCurrentIndex(-1);
        }
        fillList(cmbEOB, cfg::eobCodes(), QStringLiteral("CR LF"));

        // Rebuilt lists are no edit of the user's: the flag comes down before
        // the current machine is chosen, so the choice asks nothing. Edits
        // made before a rebuild have been stored or dropped by then.
        cmdApply->setEnabled(false);
        shownMachine_.clear();
        shownFile_.clear();
        SSTab1->setEnabled(false);

        const int i = machines.indexOf(session_.machine().name());
        if (i >= 0)
            cmbCfgFiler->setCurrentIndex(i);   // runs cmbCfgFiler_Click
    });
}

void frmCncSetup::cmbCfgFiler_Click()
{
    RkGuard("cmbCfgFiler_Click()", [&] {
        if (cmbCfgFiler->currentIndex() < 0)
            return;
        const QString chosen = cmbCfgFiler->currentText();
        // Cancelled (or not stored): the fields keep the values of the
        // machine shown, and "&Verkställ" stores them into that machine's
        // file; the list keeps the entry just chosen.
        if (!shownMachine_.isEmpty() && isChanged() && !askToSave())
            return;
        loadMachine(chosen);
    });
}

bool frmCncSetup::askToSave()
{
    const int answer = RkMsgBox(
        QStringLiteral("Vill du spara gjorda ändringarna till förinställningen \"%1\"?").arg(shownMachine_),
        MbButtons::YesNoCancel, MbIcon::Question, QStringLiteral("Spara?"), 0, this);
    if (answer == MbCancel)
        return false;
    if (answer == MbYes)
        return cmdApply_Click();
    return true;
}

void frmCncSetup::loadMachine(const QString &machine)
{
    // A value that cannot be shown: the warning, and loading goes on with the
    // next value; the field keeps what it showed.
    auto bad = [&](const QString &key, const QString &value, const QString &shown) {
        RkMsgBox(QStringLiteral("En kommunikationsport som inte är installerad är vald.\r\n\n"
                                "Ställ in porten eller anslut rätt enhet och försök igen.\r\n\r\n"
                                "%1: %2 = \"%3\" kan inte visas. Fältet visar \"%4\".")
                     .arg(machine, key, value, shown),
                 MbButtons::Ok, MbIcon::Exclamation, QStringLiteral("ComPort fel !"), 0, this);
    };

    {
        const QSignalBlocker block(ComboColorFile);
        FillComboWithFiles(gsDataPath, QStringLiteral("syn"), ComboColorFile);
        ComboColorFile->setCurrentIndex(-1);
    }
    session_.machine().use(machine, machineConfigFile(machine));
    const MachineConfig cfg(session_.machine().file());
    const QString com = kCfgCommunication;
    auto raw = [&](const QString &section, const char *key) { return cfg.value(section, QLatin1String(key)); };

    SelectComboItem(cfg.ColorFile(), ComboColorFile);
    txtDefaultPath->setText(cfg.DefaultPath());
    txtFileExtension->setText(cfg.FileExtension());

    // The editor's look, from the main settings file.
    session_.settings().change([](SettingValues &s) {
        s.textFont = GetIniSetting(QStringLiteral("Settings"), QStringLiteral("EditFont"), QStringLiteral("Courier New"));
        s.textFontSize = toInt16(GetIniSetting(QStringLiteral("Settings"), QStringLiteral("EditFontSize"),
                                               QStringLiteral("12")))
                             .value_or(12);
        s.textColor = toInt32(GetIniSetting(QStringLiteral("Settings"), QStringLiteral("EditFontColor"),
                                            QStringLiteral("0")))
                          .value_or(0);
        s.textBackColor = toInt32(GetIniSetting(QStringLiteral("Settings"), QStringLiteral("EditBackColor"),
                                                QStringLiteral("16777215")))
                              .value_or(16777215);
    });

    // Colours: a value that is not a number keeps the colour there was.
    const QString textColour = QString::number(session_.settings().values().textColor);
    auto colour = [&](const QString &key, int &target) {
        const QString v = cfg.value(kCfgSettings, key, textColour);
        if (const auto c = toInt32(v))
            target = *c;
        else
            bad(key, v, QString::number(target));
    };
    MachineKeys keys = session_.machine().keys();
    colour(QStringLiteral("CommentColor"), keys.commentColor);
    for (int i = 0; i < 8; ++i) {
        keys.codeText[i] = cfg.CodeText(i + 1);
        colour(QStringLiteral("CodeColor%1").arg(i + 1), keys.codeColor[i]);
    }
    session_.machine().setKeys(keys);
    for (int i = 0; i < 8; ++i) {
        txtCodeText[i]->setText(session_.machine().keys().codeText[i]);
        showCodeColour(i);
    }

    // The port: a port that is not present now selects nothing; its number
    // stays what is stored.
    loadedPort_ = raw(com, "ComPort");
    {
        const QSignalBlocker block(cmbComPort);
        cmbComPort->setCurrentIndex(-1);
    }
    SelectComPort(loadedPort_, cmbComPort);
    cmbComPort->setPlaceholderText(QStringLiteral("%1 - finns inte").arg(loadedPort_));

    // A list value that is none of its entries keeps the entry shown.
    auto list = [&](QComboBox *combo, const char *key) {
        const QString v = raw(com, key);
        const int i = combo->findText(v);
        if (i >= 0)
            combo->setCurrentIndex(i);
        else
            bad(QLatin1String(key), v, combo->currentText());
    };
    auto check = [&](QCheckBox *box, const char *key) {
        const QString v = raw(com, key);
        std::optional<bool> on;
        if (box == chkLoopSend)
            on = loopSendValue(v);
        else if (const auto n = toInt16(v))
            on = *n != 0;
        if (on)
            box->setChecked(*on);
        else
            bad(QLatin1String(key), v, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    };
    list(cmbBaud, "BaudRate");
    list(cmbProtokoll, "Protokoll");
    list(cmbCodeSyst, "Code");
    list(cmbDataBits, "DataBits");
    list(cmbParity, "Parity");
    list(cmbStopBits, "StopBits");
    txtFilter->setText(cfg.FilterChr());
    txtStartRxdFrom->setText(cfg.RxdFromChr());
    txtLeader->setText(cfg.LeaderChr());
    txtTrailer->setText(cfg.TrailerChr());
    txtDoNotSend->setText(cfg.DoNotSend());
    check(chk30Null, "Send30Null");
    txtTxdFilter->setText(cfg.TxdFilter());
    list(cmbEOB, "EobCode");
    txtCloseDelay->setText(cfg.DelayBeforeClose());
    txtChrDelay->setText(cfg.ChrDelayInMs());
    txtRecDelay->setText(cfg.RecDelay());
    check(chkTxdDisplay, "DisplayTxData");
    check(chkLoopSend, "LoopSend");
    txtDefaultTxdCNCpath->setText(AddBackslash(cfg.DefaultCncPath()));
    txtDefaultRxdCNCpath->setText(AddBackslash(cfg.DefaultRxdCncPath()));
    txtSendTo->setText(cfg.SendTo());
    list(cmbBufSize, "BufSize");

    SSTab1->setEnabled(true);
    SSTab1->setCurrentIndex(0);
    shownMachine_ = machine;
    shownFile_ = session_.machine().file();
    cmdApply->setEnabled(false);

    if (comboMaskiner)
        SelectComboItem(machine, comboMaskiner);
}

void frmCncSetup::showCodeColour(int index)
{
    QLineEdit *box = txtCodeText[index];
    QPalette p = box->palette();
    p.setColor(QPalette::Text, rkColor(session_.machine().keys().codeColor[index]));
    const SettingValues settings = session_.settings().values();
    p.setColor(QPalette::Base, rkColor(settings.textBackColor));
    box->setPalette(p);
    if (!settings.textFont.isEmpty()) {
        QFont f = box->font();
        f.setFamily(settings.textFont);
        box->setFont(f);
    }
}

// ---------------------------------------------------------------------------
// Storing

QString frmCncSetup::portText() const
{
    return cmbComPort->currentIndex() >= 0 ? GetPortPart(cmbComPort->currentText()) : loadedPort_;
}

MachineSettings frmCncSetup::fieldValues() const
{
    MachineSettings s;
    s.DefaultPath = txtDefaultPath->text();
    s.ColorFile = ComboColorFile->currentIndex() >= 0 ? ComboColorFile->currentText() : QString();
    s.FileExtension = txtFileExtension->text();
    for (int i = 0; i < 8; ++i) {
        s.CodeText[i] = txtCodeText[i]->text().trimmed();
        s.CodeColor[i] = session_.machine().keys().codeColor[i];
    }
    s.CommentColor = session_.machine().keys().commentColor;
    s.ComPort = portText().trimmed().toInt();
    s.BaudRate = cmbBaud->currentText();
    s.Protokoll = cmbProtokoll->currentText();
    s.Code = cmbCodeSyst->currentText();
    s.DataBits = cmbDataBits->currentText();
    s.Parity = cmbParity->currentText();
    s.StopBits = cmbStopBits->currentText();
    s.FilterChr = txtFilter->text();
    s.RxdFromChr = txtStartRxdFrom->text();
    s.LeaderChr = txtLeader->text();
    s.TrailerChr = txtTrailer->text();
    s.DoNotSend = txtDoNotSend->text();
    s.Send30Null = chk30Null->isChecked();
    s.TxdFilter = txtTxdFilter->text();
    s.EobCode = cmbEOB->currentText();
    s.DelayBeforeClose = txtCloseDelay->text();
    s.ChrDelayInMs = txtChrDelay->text();
    s.DisplayTxData = chkTxdDisplay->isChecked();
    s.LoopSend = chkLoopSend->isChecked();
    s.RecDelay = txtRecDelay->text();
    s.DefaultCncPath = txtDefaultTxdCNCpath->text();
    s.DefaultRxdCncPath = txtDefaultRxdCNCpath->text();
    s.SendTo = txtSendTo->text();
    s.BufSize = cmbBufSize->currentText();
    return s;
}

void frmCncSetup::focusField(const QString &name)
{
    auto *w = findChild<QWidget *>(name);
    if (!w)
        return;
    for (int i = 0; i < SSTab1->count(); ++i)
        if (SSTab1->widget(i)->isAncestorOf(w))
            SSTab1->setCurrentIndex(i);
    w->setFocus();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->selectAll();
}

bool frmCncSetup::cmdApply_Click()
{
    return RkGuard("cmdApply_Click()", [&]() -> bool {
        if (shownMachine_.isEmpty() || shownFile_.isEmpty()) {
            // No machine is loaded: there is no file to store into.
            cmdApply->setEnabled(false);
            return true;
        }
        // The boxes normalised on leaving them may still hold the focus.
        for (QLineEdit *box : {txtFilter, txtLeader, txtTrailer, txtDoNotSend})
            normaliseField(box);
        const MachineSettings s = fieldValues();
        if (const auto problem = checkMachineSettings(s, portText())) {
            focusField(problem->field);
            RkMsgBox(problem->message, MbButtons::Ok, MbIcon::Exclamation, QStringLiteral("Felaktigt värde"), 0, this);
            return false;
        }
        // A failed write has been reported; the changes stay unsaved, and
        // the program keeps following what is stored.
        if (!MachineConfig(shownFile_).write(s)) {
            cmdApply->setEnabled(true);
            return false;
        }
        // A port offered with a new number keeps that number from now on.
        for (const CncPort &p : std::as_const(ports_))
            if (p.number == s.ComPort)
                rememberSerialPort(p.number, p.device);
        cmdApply->setEnabled(false);
        session_.machine().changeKeys([&](MachineKeys &k) {
            k.rootFolder = ExpandExePath(txtDefaultPath->text().trimmed());
            k.fileExtension = txtFileExtension->text();
            for (int i = 0; i < 8; ++i)
                k.codeText[i] = s.CodeText[i];
        });
        session_.active().setPath(session_.machine().keys().rootFolder);
        session_.active().setFile(QString());
        session_.active().setFileName(QString());
        // The port number stored is now the one to keep when the list has none.
        loadedPort_ = QString::number(s.ComPort);
        return true;
    });
}

void frmCncSetup::cmdOk_Click()
{
    if (cmdApply_Click())
        accept();
}

void frmCncSetup::cmdCancel_Click() { reject(); }

void frmCncSetup::cmdCreateCNC_Click()
{
    RkGuard("cmdCreateCNC_Click()", [&] {
        // Edits belong to the machine shown: store or drop them first.
        if (!shownMachine_.isEmpty() && isChanged() && !askToSave())
            return;
        frmCreateCfg dlg(session_, this);
        dlg.exec();
        Form_Load();
    });
}

void frmCncSetup::cmdHex_Click(int)
{
    frmHexEdit dlg(this);
    dlg.exec();
}

void frmCncSetup::cmdQueryPorts_Click()
{
    RkGuard("cmdQueryPorts_Click()", [&] {
        QString text;
        for (const QString &p : cncSystemPorts())
            text += p + QStringLiteral("\r\n");
        if (!text.isEmpty())
            RkMsgBox(QStringLiteral("Dessa portar hittades i systemet:\r\n") + text, MbButtons::Ok, MbIcon::Information,
                     QString(), 0, this);
    });
}

void frmCncSetup::cmdSendToInfo_Click()
{
    RkMsgBox(QStringLiteral("Avbryt sändning när texten som anges i rutan påträffas."), MbButtons::Ok,
             MbIcon::Information, QString(), 0, this);
}

// ---------------------------------------------------------------------------
// Port list

bool frmCncSetup::AutoSizeDropDownWidth(QWidget *Combo)
{
    return RkGuard("AutoSizeDropDownWidth()", [&]() -> bool {
        auto *combo = qobject_cast<QComboBox *>(Combo);
        if (!combo || combo->count() == 0)
            return false;
        const QFontMetrics fm(combo->view()->font());
        int widest = 0;
        for (int i = 0; i < combo->count(); ++i)
            widest = std::max(widest, fm.horizontalAdvance(combo->itemText(i)) + 20);
        const int current = std::max(combo->width(), combo->view()->minimumWidth());
        if (current > widest)
            return true;
        QScreen *screen = combo->screen() ? combo->screen() : QGuiApplication::primaryScreen();
        if (screen)
            widest = std::min(widest, screen->geometry().width() - 20);
        if (widest <= 0)
            return false;
        combo->view()->setMinimumWidth(widest);
        return true;
    });
}

void frmCncSetup::SelectComPort(const QString &sPort, QComboBox *Combo)
{
    for (int i = 0; i < Combo->count(); ++i)
        if (GetPortPart(Combo->itemText(i)) == sPort) {
            Combo->setCurrentIndex(i);
            return;
        }
}

void frmCncSetup::RefreshComPortList()
{
    RkGuard("RefreshComPortList()", [&] {
        {
            const WaitCursor wait;
            // With no entry selected, the stored port is the one to find again.
            const QString remembered =
                cmbComPort->currentIndex() >= 0 ? GetPortPart(cmbComPort->currentText()) : loadedPort_;
            {
                const QSignalBlocker block(cmbComPort);
                cmbComPort->clear();
                ports_ = presentComPorts();
                for (const CncPort &p : std::as_const(ports_))
                    cmbComPort->addItem(portItemText(p.number, p.name));
                cmbComPort->setCurrentIndex(-1);
            }
            SelectComPort(remembered, cmbComPort);
        }
        AutoSizeDropDownWidth(cmbComPort);
    });
}

// ---------------------------------------------------------------------------
// Field handlers

void frmCncSetup::browse(QLineEdit *box, const QString &prompt, bool onlyWhenNotRoot)
{
    RkGuard("frmCncSetup.browse()", [&] {
        const QString start = ExpandExePath(box->text());
        const QString chosen = cncBrowseFolder(prompt, this, start);
        if (chosen.isEmpty())
            return;
        const QString collapsed = CollapseExePath(chosen);
        if (onlyWhenNotRoot && collapsed == session_.machine().keys().rootFolder)
            return;
        box->setText(collapsed);
    });
}

void frmCncSetup::btnBrowseForNcPrg_Click()
{
    browse(txtDefaultPath, QStringLiteral("Välj grundsökvägen för dina NC-program"), true);
}

void frmCncSetup::btnBrowse_Click()
{
    browse(txtDefaultTxdCNCpath, QStringLiteral("Välj bibliotek för denna CNC's NcProgram vid sändning "), false);
}

void frmCncSetup::btnBrowseRxd_Click()
{
    browse(txtDefaultRxdCNCpath, QStringLiteral("Välj bibliotek för denna CNC's NcProgram vid mottagning"), false);
}

void frmCncSetup::cmdCodeColor_Click(int index)
{
    RkGuard("cmdCodeColor_Click()", [&] {
        if (index < 0 || index > 7)
            return;
        const auto chosen = cncChooseColor(this, session_.machine().keys().codeColor[index],
                                           QStringLiteral("Färg för kodord %1").arg(index + 1));
        if (!chosen)
            return;
        raiseFlag();
        session_.machine().changeKeys([&](MachineKeys &k) { k.codeColor[index] = *chosen; });
        showCodeColour(index);
    });
}

void frmCncSetup::cmdCommentColor_Click()
{
    RkGuard("cmdCommentColor_Click()", [&] {
        const auto chosen =
            cncChooseColor(this, session_.machine().keys().commentColor, QStringLiteral("Färg för kommentarer"));
        if (!chosen)
            return;
        raiseFlag();
        session_.machine().changeKeys([&](MachineKeys &k) { k.commentColor = *chosen; });
    });
}

void frmCncSetup::normaliseField(QLineEdit *box)
{
    QString text = box->text();
    QString normal;
    if (box == txtFilter || box == txtLeader || box == txtTrailer)
        normal = RkParseHexData(text);
    else if (box == txtDoNotSend)
        normal = text.toUpper();
    else
        return;
    if (normal != box->text())
        box->setText(normal);
}

bool frmCncSetup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_F5) {
            RefreshComPortList();
            return true;
        }
        KeyFilter filter = KeyFilter::None;
        if (watched == txtChrDelay)
            filter = KeyFilter::Digits;
        else if (watched == txtCloseDelay)
            filter = KeyFilter::SignedDigits;
        else if (watched == txtFilter || watched == txtStartRxdFrom || watched == txtTxdFilter)
            filter = KeyFilter::HexList;
        else if (watched == txtLeader || watched == txtTrailer)
            filter = KeyFilter::HexRepeat;
        if (filter != KeyFilter::None) {
            switch (k->key()) {
            case Qt::Key_Delete:
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
                return QDialog::eventFilter(watched, event);
            default:
                break;
            }
            const QString t = k->text();
            if (!t.isEmpty() && !keyAccepted(filter, t.at(0))) {
                if (filter == KeyFilter::Digits || filter == KeyFilter::SignedDigits)
                    RkBeep();
                return true;
            }
        }
    } else if (event->type() == QEvent::FocusOut) {
        if (watched == txtFilter || watched == txtLeader || watched == txtTrailer || watched == txtDoNotSend)
            normaliseField(static_cast<QLineEdit *>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void frmCncSetup::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_F5) {
        RefreshComPortList();
        return;
    }
    QDialog::keyPressEvent(e);
}

void ShowCncSetup(Session &session, QWidget *owner, QComboBox *comboMaskiner)
{
    RkGuard("ShowCncSetup()", [&] {
        frmCncSetup dlg(session, owner, comboMaskiner);
        dlg.exec();
    });
}

// ---------------------------------------------------------------------------
// New machine

frmCreateCfg::frmCreateCfg(Session &session, QWidget *parent) : QDialog(parent), session_(session)
{
    setObjectName(QStringLiteral("frmCreateCfg"));
    setWindowTitle(QStringLiteral("Skapa NY Cnc konfiguration"));
    setTag(this, 450);
    setModal(true);

    fraName = makeFrame(QStringLiteral("Ange namn på CNC (max 30 tecken)"), 451, this, "fraName");
    txtCfgName = makeEdit(fraName, "txtCfgName");
    txtCfgName->setMaxLength(30);
    auto *f = new QVBoxLayout(fraName);
    f->addWidget(txtCfgName);

    btnOk = makeButton(QStringLiteral("&OK"), 5, this, QStringLiteral("btnOk"));
    btnOk->setAutoDefault(true);
    btnOk->setDefault(true);
    btnAbort = makeButton(QStringLiteral("&Avbryt"), 20, this, QStringLiteral("btnAbort"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnAbort);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(fraName);
    lay->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, &frmCreateCfg::btnOk_Click);
    connect(btnAbort, &QPushButton::clicked, this, &frmCreateCfg::btnAbort_Click);
    Form_Load();
}

void frmCreateCfg::Form_Load() { SetLanguage(this); }

void frmCreateCfg::btnOk_Click()
{
    RkGuard("frmCreateCfg.btnOk_Click()", [&] {
        const QString name = newMachineName(txtCfgName->text());
        auto fail = [&](const QString &why) {
            RkMsgBox(QStringLiteral("Error creating CFG File\r\n\r\nErroro : %1\r\nFile   : %2")
                         .arg(why, RkNativePath(gsDataPath) + '/' + name),
                     MbButtons::Ok, MbIcon::None, QString(), 0, this);
            txtCfgName->setFocus();
        };
        // A name of one character or none creates nothing.
        if (name.size() < 2) {
            reject();
            return;
        }
        if (const QString why = newMachineNameProblem(name); !why.isEmpty()) {
            fail(why);
            return;
        }
        // An existing file of the name in any letter case is that machine's.
        QString path = machineConfigFile(name);
        if (!RkNameTaken(path))
            path = RkNativePath(gsDataPath) + '/' + name + QStringLiteral(".CFG");
        bool made = false;
        if (!RkNameTaken(path)) {
            // A new machine: made only where nothing has the name.
            const int fd = RkCreateNewFile(path);
            if (fd >= 0) {
                ::close(fd);
                made = true;
            } else if (errno != EEXIST) {
                fail(RkSystemErrorText(errno));
                return;
            }
        }
        if (!made) {
            // A link another user put there is not the user's to replace.
            if (RkIsForeignLink(path)) {
                fail(RkForeignLinkText(path));
                return;
            }
            const int answer = RkMsgBox(RkText(1018, QStringLiteral("Namnet finns redan !!! Skriva över ?")),
                                        MbButtons::YesNo, MbIcon::Question,
                                        RkText(1019, QStringLiteral("Namnet upptaget !!")), 1, this);
            if (answer != MbYes)
                return;
            if (RkIsForeignLink(path)) {
                fail(RkForeignLinkText(path));
                return;
            }
            // The old file is replaced by a new empty one, never emptied in
            // place: what a link points to, or another name of the same
            // file, keeps its bytes.
            if (const int e = RkReplaceWithEmptyFile(path); e != 0) {
                fail(RkSystemErrorText(e));
                return;
            }
        }
        session_.machine().use(name, path);
        created_ = name;
        accept();
    });
}

void frmCreateCfg::btnAbort_Click() { reject(); }

}
