#include "generators/frmhelix.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/services.h"
#include "core/sessionstate.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumrik {

namespace {

bool isKeypadDecimal(const QKeyEvent *e)
{
    return (e->modifiers() & Qt::KeypadModifier) && (e->key() == Qt::Key_Period || e->key() == Qt::Key_Comma);
}

}

frmHelix::frmHelix(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHelix"));
    setWindowTitle(QStringLiteral("Helix"));
    setTag(this, 800);
    setModal(true);

    auto *grid = new QGridLayout;
    auto field = [&](QLabel *&label, QLineEdit *&box, const char *labelName, const char *boxName, const char *text,
                     int id, const char *tip) {
        label = new QLabel(QString::fromUtf8(text), this);
        label->setObjectName(QLatin1String(labelName));
        setTag(label, id);
        box = new QLineEdit(this);
        box->setObjectName(QLatin1String(boxName));
        box->setToolTip(QString::fromUtf8(tip));
        label->setBuddy(box);
        const int row = int(boxes_.size());
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        boxes_.append(box);
    };
    field(lblGx, txtGx, "lblGx", "txtGx", "Gängans centrum - X", 801, "Gängans absoluta centrum i X");
    field(lblGy, txtGy, "lblGy", "txtGy", "Gängans centrum - Y", 802, "Gängans absoluta centrum i Y");
    field(lblGdiam, txtGdiam, "lblGdiam", "txtGdiam", "Gängans diameter", 803, "Gängans diameter");
    field(lblGs, txtGs, "lblGs", "txtGs", "Gängstigning", 804, "Gängans stigning");
    field(lblSafeZ, txtSafeZ, "lblSafeZ", "txtSafeZ", "Säkerhetsavstånd - Z", 805,
          "Säkerhetsavstånd där du fritt kan flytta dig över detaljen i Z");
    field(lblEndZ, txtEndZ, "lblEndZ", "txtEndZ", "Gängans slut i  Z", 806, "Gängans slutpunkt när den är färdig");
    field(lblInR, txtInR, "lblInR", "txtInR", "Ingångsradie", 807, "Ingångsradie för mjuk inkörning till gängans start");
    field(lblCompNo, txtCompNo, "lblCompNo", "txtCompNo", "Kompenseringsnummer", 808, "Gängfräsens kompenseringsnummer");

    fraGangTyp = new QGroupBox(QStringLiteral("Gängtyp"), this);
    fraGangTyp->setObjectName(QStringLiteral("fraGangTyp"));
    setTag(fraGangTyp, 809);
    GangTyp[0] = new QRadioButton(QStringLiteral("IN  vändig gänga"), fraGangTyp);
    GangTyp[1] = new QRadioButton(QStringLiteral("UT vändig gänga"), fraGangTyp);
    auto *typLay = new QVBoxLayout(fraGangTyp);
    for (int i = 0; i < 2; ++i) {
        GangTyp[i]->setObjectName(QStringLiteral("GangTyp_%1").arg(i));
        GangTyp[i]->setProperty("index", i);
        setTag(GangTyp[i], 810 + i);
        typLay->addWidget(GangTyp[i]);
        connect(GangTyp[i], &QRadioButton::clicked, this, &frmHelix::GangTyp_Click);
    }

    fraArbetssatt = new QGroupBox(QStringLiteral("Arbetssätt"), this);
    fraArbetssatt->setObjectName(QStringLiteral("fraArbetssatt"));
    setTag(fraArbetssatt, 812);
    chkUseG1 = new QCheckBox(QStringLiteral("Linjär rörelse ( G1 )"), fraArbetssatt);
    chkUseG1->setObjectName(QStringLiteral("chkUseG1"));
    setTag(chkUseG1, 813);
    connect(chkUseG1, &QCheckBox::clicked, this, &frmHelix::chkUseG1_Click);
    auto *workLay = new QVBoxLayout(fraArbetssatt);
    workLay->addWidget(chkUseG1);
    const char *stepTexts[2] = {"1.0 graders delning", "0.5 graders delning"};
    for (int i = 0; i < 2; ++i) {
        optGradDelning[i] = new QRadioButton(QString::fromLatin1(stepTexts[i]), fraArbetssatt);
        optGradDelning[i]->setObjectName(QStringLiteral("optGradDelning_%1").arg(i));
        optGradDelning[i]->setProperty("index", i);
        setTag(optGradDelning[i], 814 + i);
        optGradDelning[i]->setEnabled(false);
        workLay->addWidget(optGradDelning[i]);
        connect(optGradDelning[i], &QRadioButton::clicked, this, &frmHelix::optGradDelning_Click);
    }

    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    setTag(btnOk, 5);
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    btnAbort = new QPushButton(QStringLiteral("&Avbryt"), this);
    btnAbort->setObjectName(QStringLiteral("btnAbort"));
    setTag(btnAbort, 25);
    btnHelp = new QPushButton(QStringLiteral("&Hjälp"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    connect(btnOk, &QPushButton::clicked, this, &frmHelix::btnOk_Click);
    connect(btnAbort, &QPushButton::clicked, this, &frmHelix::btnAbort_Click);
    connect(btnHelp, &QPushButton::clicked, this, &frmHelix::btnHelp_Click);

    auto *side = new QVBoxLayout;
    side->addWidget(fraGangTyp);
    side->addWidget(fraArbetssatt);
    side->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnAbort);
    buttons->addWidget(btnHelp);
    auto *top = new QHBoxLayout;
    top->addLayout(grid, 1);
    top->addLayout(side);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addLayout(buttons);

    // The fields in the order of the form, then "&Ok"; with "&Ok" still
    // disabled the focus goes on to the thread type, never to "&Avbryt".
    QList<QWidget *> order(boxes_.begin(), boxes_.end());
    order << btnOk << GangTyp[0] << GangTyp[1] << chkUseG1 << optGradDelning[0] << optGradDelning[1] << btnAbort
          << btnHelp;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    // Key preview: the dialog sees every key before its controls.
    for (QWidget *w : order)
        w->installEventFilter(this);

    SetLanguage(this);
}

QString frmHelix::helixFile()
{
    return tmpFile(kHelixTmp);
}

int frmHelix::OnlyNumbers(int &iKey)
{
    if (iKey == ',' && bKeypadDecimal) {
        iKey = '.';
        bKeypadDecimal = false;
    }
    if (iKey == 8 || (iKey > 0 && iKey < 128 && QStringLiteral("+-.,0123456789").contains(QChar(iKey))))
        return iKey;
    RkBeep();
    return 0;
}

void frmHelix::GangTyp_Click()
{
    data.external = GangTyp[1]->isChecked();
    btnOk->setEnabled(true);
}

void frmHelix::chkUseG1_Click()
{
    const bool on = chkUseG1->isChecked();
    optGradDelning[0]->setEnabled(on);
    optGradDelning[1]->setEnabled(on);
    if (on) {
        optGradDelning[0]->setChecked(true);
        optGradDelning_Click();
    }
}

void frmHelix::optGradDelning_Click()
{
    data.halfDegree = optGradDelning[1]->isChecked();
}

HelixFields frmHelix::fields() const
{
    HelixFields f;
    f.gx = txtGx->text();
    f.gy = txtGy->text();
    f.gdiam = txtGdiam->text();
    f.gs = txtGs->text();
    f.safeZ = txtSafeZ->text();
    f.endZ = txtEndZ->text();
    f.inR = txtInR->text();
    f.compNo = txtCompNo->text();
    f.external = GangTyp[1]->isChecked();
    return f;
}

bool frmHelix::CheckHelixInput()
{
    const bool half = data.halfDegree;
    const QString msg = lumrik::CheckHelixInput(fields(), data);
    data.halfDegree = half;
    if (msg.size() > 1) {
        RkMsgBox(msg, MbButtons::Ok, MbIcon::Critical, {}, 0, this);
        return false;
    }
    return true;
}

void frmHelix::btnOk_Click()
{
    RkGuard("btnOk_Click()", [&] {
        if (!btnOk->isEnabled() || !CheckHelixInput())
            return;
        const bool linear = chkUseG1->isChecked();
        data.halfDegree = linear && optGradDelning[1]->isChecked();
        const QByteArray program = helixProgram(data, linear);
        QString message;
        if (!writeHelixFile(helixFile(), program, message)) {
            RkMsgBox(message, MbButtons::Ok, MbIcon::Critical, {}, 0, this);
            return;
        }
        QCoreApplication::processEvents();
        accept();
    });
}

void frmHelix::btnAbort_Click()
{
    reject();
}

void frmHelix::btnHelp_Click()
{
    ShowHelpTopic(3320);
}

bool frmHelix::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *e = static_cast<QKeyEvent *>(event);
    // The keypad's decimal key types "." when the setting says so; the flag
    // lives for this one key only.
    bKeypadDecimal = programSession().settings().values().numKbdDec && isKeypadDecimal(e);
    struct ClearFlag {
        bool &flag;
        ~ClearFlag() { flag = false; }
    } clear{bKeypadDecimal};

    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !qobject_cast<QPushButton *>(watched)) {
        focusNextChild(); // Enter moves on as Tab does; a button takes it itself
        return true;
    }
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box || !boxes_.contains(box) || e->text().size() != 1)
        return QDialog::eventFilter(watched, event);
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false; // shortcuts: copy, paste, undo
    const QChar typed = e->text().at(0);
    if (typed.unicode() < 32 && typed.unicode() != 8)
        return false; // Tab, Escape and the like keep their meaning
    int key = typed.unicode();
    const int original = key;
    const int result = OnlyNumbers(key);
    if (result == 0)
        return true;
    if (result != original) {
        box->insert(QString(QChar(result)));
        return true;
    }
    return false;
}

}
