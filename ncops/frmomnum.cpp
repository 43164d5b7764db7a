#include "ncops/frmomnum.h"

#include "core/codepage.h"
#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/host.h"
#include "ncops/blockreferences.h"
#include "ncops/mdlrkfix.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace lumrik {

namespace {
const QString kSection = QStringLiteral("OmNum");

QPointer<frmOmnum> &theDialog()
{
    static QPointer<frmOmnum> dlg;
    return dlg;
}

bool storedTruth(const QString &text)
{
    const auto v = toInt32(text.trimmed());
    return v && *v != 0;
}
}

QString frmOmnum::omnumConfigFile()
{
    const CurrentMachine &machine = currentMachine();
    if (!machine.file().trimmed().isEmpty())
        return findFileNoCase(RkNativePath(machine.file()));
    if (!machine.name().trimmed().isEmpty())
        return machineFile(machine.name());
    return {};
}

qint32 frmOmnum::boxNumber(const QString &text)
{
    const QByteArray bytes = toCp1252(text).trimmed();
    qsizetype n = 0;
    while (n < bytes.size() && isBlockNumberChar(bytes[n]))
        ++n;
    const QByteArrayView run = QByteArrayView(bytes).first(n);
    if (const auto v = readBlockNumber(run))
        return *v;
    return run.startsWith('-') ? std::numeric_limits<qint32>::min() : std::numeric_limits<qint32>::max();
}

frmOmnum *frmOmnum::instance()
{
    auto &dlg = theDialog();
    if (!dlg) {
        QWidget *owner = documentHost() ? documentHost()->mainWidget() : nullptr;
        dlg = new frmOmnum(owner);
    }
    return dlg;
}

void frmOmnum::unload()
{
    delete theDialog().data();
}

frmOmnum::frmOmnum(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOmnum"));
    setWindowTitle(QStringLiteral("Omnumrera"));
    setTag(this, 520);
    setModal(true);

    auto makeBox = [this](QLabel *&label, QLineEdit *&box, const char *labelName, const char *boxName,
                          const QString &text, int id, const QString &initial) {
        label = new QLabel(text, this);
        label->setObjectName(QLatin1String(labelName));
        setTag(label, id);
        box = new QLineEdit(initial, this);
        box->setObjectName(QLatin1String(boxName));
        label->setBuddy(box);
    };
    makeBox(Label1, txtOmNumFrom, "Label1", "txtOmNumFrom", QStringLiteral("Fr.o.m"), 521, "1");
    makeBox(Label2, txtOmNumTom, "Label2", "txtOmNumTom", QStringLiteral("T.o.m"), 522, "9999");
    makeBox(Label3, txtOmNumIncr, "Label3", "txtOmNumIncr", QStringLiteral("Stegning"), 523, "10");
    makeBox(Label4, txtFirstBlockNr, "Label4", "txtFirstBlockNr", QStringLiteral("Första blocknr"), 524, "10");
    makeBox(Label6, txtRestartFrom, "Label6", "txtRestartFrom", QStringLiteral("Börja om efter"), 525, "%");
    makeBox(Label5, txtSkipBlock, "Label5", "txtSkipBlock",
            QStringLiteral("Omnumrera EJ block som innehåller"), 526, "");

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto makeCheck = [this](QCheckBox *&box, const char *name, const QString &text, int id) {
        box = new QCheckBox(text, Frame1);
        box->setObjectName(QLatin1String(name));
        if (id)
            setTag(box, id);
    };
    makeCheck(chkRemoveBlockNr, "chkRemoveBlockNr", QStringLiteral("Ta bort blocknr"), 527);
    makeCheck(chkAddBlockNr, "chkAddBlockNr", QStringLiteral("Lägg till blocknr"), 528);
    makeCheck(ChkLeadingZeros, "ChkLeadingZeros", QStringLiteral("Ledande nollor"), 529);
    makeCheck(chkTncType, "chkTncType", QStringLiteral("TNC"), 0);
    auto *frameLay = new QVBoxLayout(Frame1);
    for (QCheckBox *b : {chkRemoveBlockNr, chkAddBlockNr, ChkLeadingZeros, chkTncType})
        frameLay->addWidget(b);
    frameLay->addStretch();

    btnStartOmnum = new QPushButton(QStringLiteral("&Start"), this);
    btnStartOmnum->setObjectName(QStringLiteral("btnStartOmnum"));
    setTag(btnStartOmnum, 531);
    btnStartOmnum->setDefault(true);
    btnOmnumCancel = new QPushButton(QStringLiteral("&Avbryt"), this);
    btnOmnumCancel->setObjectName(QStringLiteral("btnOmnumCancel"));
    setTag(btnOmnumCancel, 20);

    auto *boxes = new QGridLayout;
    int row = 0;
    for (auto [label, box] : {std::pair{Label1, txtOmNumFrom}, {Label2, txtOmNumTom}, {Label3, txtOmNumIncr},
                              {Label4, txtFirstBlockNr}, {Label6, txtRestartFrom}, {Label5, txtSkipBlock}}) {
        boxes->addWidget(label, row, 0);
        boxes->addWidget(box, row, 1);
        ++row;
    }
    auto *top = new QHBoxLayout;
    top->addLayout(boxes, 1);
    top->addWidget(Frame1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnStartOmnum);
    buttons->addWidget(btnOmnumCancel);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addLayout(buttons);

    connect(btnStartOmnum, &QPushButton::clicked, this, &frmOmnum::btnStartOmnum_Click);
    connect(btnOmnumCancel, &QPushButton::clicked, this, &frmOmnum::btnOmnumCancel_Click);
    // A box whose state changes, by the user or by the program, runs its handler.
    connect(chkAddBlockNr, &QCheckBox::toggled, this, &frmOmnum::chkAddBlockNr_Click);
    connect(chkRemoveBlockNr, &QCheckBox::toggled, this, &frmOmnum::chkRemoveBlockNr_Click);
    connect(ChkLeadingZeros, &QCheckBox::toggled, this, &frmOmnum::ChkLeadingZeros_Click);
    connect(chkTncType, &QCheckBox::toggled, this, &frmOmnum::chkTncType_Click);

    Form_Load();
}

void frmOmnum::resetBoxes()
{
    const QSignalBlocker b1(chkTncType), b2(ChkLeadingZeros);
    chkTncType->setChecked(false);
    ChkLeadingZeros->setChecked(false);
    gLeadingZeros = false;
    txtOmNumFrom->setText("1");
    txtOmNumTom->setText("9999");
    txtOmNumIncr->setText("10");
    txtFirstBlockNr->setText("10");
    txtRestartFrom->setText("%");
    txtSkipBlock->clear();
}

void frmOmnum::Form_Load()
{
    RkGuard("frmOmnum.Form_Load()", [&] {
        SetLanguage(this);
        const QString file = omnumConfigFile();
        loadedFile_ = file;
        auto key = [&](const char *name, const QString &def) {
            return file.isEmpty() ? def : GetIniSetting(kSection, QLatin1String(name), def, file);
        };
        chkTncType->setChecked(storedTruth(key("IsTNC", "0")));
        ChkLeadingZeros->setChecked(storedTruth(key("LeadingZeros", "0")));
        gLeadingZeros = ChkLeadingZeros->isChecked();
        if (chkTncType->isChecked()) {
            txtOmNumIncr->setText("1");
            txtFirstBlockNr->setText("0");
            return;
        }
        txtOmNumIncr->setText(key("Incr", "10"));
        txtFirstBlockNr->setText(key("FirstBlockNr", "10"));
        txtOmNumFrom->setText(key("OmNumFrom", "1"));
        txtOmNumTom->setText(key("OmNumTo", "9999"));
        txtSkipBlock->setText(key("SkipBlock", ""));
        txtRestartFrom->setText(key("RestartFromChr", "%"));
    });
}

void frmOmnum::Form_Activate()
{
    // Another machine since the options were read: take that machine's options.
    const QString file = omnumConfigFile();
    if (QDir::cleanPath(file) != QDir::cleanPath(loadedFile_)) {
        resetBoxes();
        Form_Load();
    }
    chkAddBlockNr->setChecked(false);
    chkRemoveBlockNr->setChecked(false);
    txtOmNumFrom->setEnabled(!bDocHasSelection);
    txtOmNumTom->setEnabled(!bDocHasSelection);
}

void frmOmnum::showEvent(QShowEvent *e)
{
    Form_Activate();
    QDialog::showEvent(e);
}

void frmOmnum::chkAddBlockNr_Click()
{
    if (chkAddBlockNr->isChecked() && chkRemoveBlockNr->isChecked())
        chkRemoveBlockNr->setChecked(false);
}

void frmOmnum::chkRemoveBlockNr_Click()
{
    if (chkRemoveBlockNr->isChecked() && chkAddBlockNr->isChecked())
        chkAddBlockNr->setChecked(false);
}

void frmOmnum::ChkLeadingZeros_Click() { gLeadingZeros = ChkLeadingZeros->isChecked(); }

void frmOmnum::chkTncType_Click()
{
    if (chkTncType->isChecked()) {
        txtOmNumIncr->setText("1");
        txtOmNumFrom->setText("0");
        txtFirstBlockNr->setText("0");
    } else {
        txtOmNumFrom->setText("1");
        txtOmNumIncr->setText("10");
        txtFirstBlockNr->setText("10");
    }
}

QString frmOmnum::referenceQuestion(int line, const QString &text)
{
    return QStringLiteral("Programmet hänvisar till blocknummer (rad %1: %2). Hänvisningarna ändras inte. "
                          "Omnumrera ändå?")
        .arg(line)
        .arg(text);
}

bool frmOmnum::referencesAccepted()
{
    // Adding numbers leaves the existing ones as they are.
    if (!targetDocument || chkAddBlockNr->isChecked())
        return true;
    const Editor *ed = targetDocument->txtText;
    const auto ref = firstBlockReference(ed->textView());
    if (!ref)
        return true;
    const QString question = referenceQuestion(ref->line, decodeText(ref->text, ed->encoding()));
    return RkMsgBox(question, MbButtons::YesNo, MbIcon::Question, {}, 1, this) == MbYes;
}

void frmOmnum::btnStartOmnum_Click()
{
    RkGuard("frmOmnum.btnStartOmnum_Click()", [&] {
        if (!referencesAccepted()) {
            Cancel = true;
            done(QDialog::Rejected);
            return;
        }
        Cancel = false;
        gIncr = boxNumber(txtOmNumIncr->text());
        gFirstBlockNr = boxNumber(txtFirstBlockNr->text());
        gFromBlockNr = boxNumber(txtOmNumFrom->text());
        gTomBlockNr = boxNumber(txtOmNumTom->text());
        gSkipBlock = txtSkipBlock->text();
        gRestartFrom = txtRestartFrom->text().trimmed();
        gRemoveBlockNr = chkRemoveBlockNr->isChecked();
        gAddBlockNr = chkAddBlockNr->isChecked();
        gTNC = chkTncType->isChecked();
        gLeadingZeros = ChkLeadingZeros->isChecked();

        // The options go to the current machine. A failed write is told and the
        // renumbering goes on with the options as given.
        const QString file = omnumConfigFile();
        if (!file.isEmpty()) {
            RkWriteIniFile(file, {{kSection, "IsTNC", gTNC ? "1" : "0"},
                                  {kSection, "FirstBlockNr", QString::number(gFirstBlockNr)},
                                  {kSection, "Incr", QString::number(gIncr)},
                                  {kSection, "OmNumFrom", QString::number(gFromBlockNr)},
                                  {kSection, "OmNumTo", QString::number(gTomBlockNr)},
                                  {kSection, "SkipBlock", gSkipBlock},
                                  {kSection, "RestartFromChr", gRestartFrom},
                                  {kSection, "LeadingZeros", gLeadingZeros ? "1" : "0"}});
            loadedFile_ = file;
        }
        done(QDialog::Accepted);
    });
}

void frmOmnum::btnOmnumCancel_Click()
{
    Cancel = true;
    done(QDialog::Rejected);
}

void frmOmnum::reject()
{
    Cancel = true;
    QDialog::reject();
}

OmnumOptions frmOmnum::options() const
{
    OmnumOptions o;
    o.skipBlock = toCp1252(gSkipBlock);
    o.firstBlockNr = gFirstBlockNr;
    o.fromBlockNr = gFromBlockNr;
    o.tomBlockNr = gTomBlockNr;
    o.incr = gIncr;
    o.tnc = gTNC;
    o.restartFrom = toCp1252(gRestartFrom);
    o.leadingZeros = gLeadingZeros;
    o.removeBlockNr = gRemoveBlockNr;
    o.addBlockNr = gAddBlockNr;
    return o;
}

}
