#include "generators/frmmacron.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/sessionstate.h"
#include "generators/macrotemplate_expand.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace lumrik {

namespace {
constexpr int kPictureSize = 280;
}

frmMacron::frmMacron(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMacron"));
    setWindowTitle(QStringLiteral("Macro"));
    setModal(true);

    cmbNcmFiler = new QComboBox(this);
    cmbNcmFiler->setObjectName(QStringLiteral("cmbNcmFiler"));
    cmbNcmFiler->setEditable(false);

    FileNcm = new QListWidget(this);
    FileNcm->setObjectName(QStringLiteral("FileNcm"));
    FileNcm->setVisible(false);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(Frame1);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < kMacroFields; ++i) {
        lblText[i] = new QLabel(Frame1);
        lblText[i]->setObjectName(QStringLiteral("lblText%1").arg(i));
        Text1[i] = new QLineEdit(Frame1);
        Text1[i]->setObjectName(QStringLiteral("Text1%1").arg(i));
        Text1[i]->setProperty("index", i);
        lblText[i]->setBuddy(Text1[i]);
        lblText[i]->setVisible(false);
        Text1[i]->setVisible(false);
        grid->addWidget(lblText[i], i, 0);
        grid->addWidget(Text1[i], i, 1);
        Text1[i]->installEventFilter(this);
    }
    grid->setColumnStretch(1, 1);

    pic = new QLabel(this);
    pic->setObjectName(QStringLiteral("pic"));
    pic->setFixedSize(kPictureSize, kPictureSize);
    pic->setAlignment(Qt::AlignCenter);
    pic->setFrameShape(QFrame::StyledPanel);
    pic->setVisible(false);

    cmdOk = new QPushButton(QStringLiteral("&Ok"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdAbort = new QPushButton(QStringLiteral("&Avbryt"), this);
    cmdAbort->setObjectName(QStringLiteral("cmdAbort"));
    for (QPushButton *b : {cmdOk, cmdAbort}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(this);
    }
    cmbNcmFiler->installEventFilter(this);

    auto *middle = new QHBoxLayout;
    middle->addWidget(Frame1, 1, Qt::AlignTop);
    middle->addWidget(pic, 0, Qt::AlignTop);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdAbort);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(cmbNcmFiler);
    lay->addLayout(middle);
    lay->addStretch();
    lay->addLayout(buttons);
    lay->addWidget(FileNcm);

    cmdOk->setEnabled(false);
    connect(cmbNcmFiler, &QComboBox::activated, this, [this](int) { cmbNcmFiler_Click(); });
    connect(cmdOk, &QPushButton::clicked, this, &frmMacron::cmdOk_Click);
    connect(cmdAbort, &QPushButton::clicked, this, &frmMacron::cmdAbort_Click);
    setWide(false);
}

void frmMacron::setWide(bool wide)
{
    pic->setVisible(wide);
    const int width = wide ? kWideWidth : kNarrowWidth;
    layout()->activate();
    resize(width, std::max(layout()->sizeHint().height(), 120));
}

void frmMacron::showEvent(QShowEvent *e)
{
    if (!loaded_)
        Form_Load();
    Form_Activate();
    QDialog::showEvent(e);
}

void frmMacron::Form_Load()
{
    RkGuard("frmMacron.Form_Load()", [&] {
        loaded_ = true;
        SetLanguage(this);
        cmbNcmFiler->clear();
        FileNcm->clear();
        cmdOk->setEnabled(false);
        templateName_.clear();
        templatePath_.clear();
        folder_ = macroFolder(ncmPath);
        const QFileInfo fi(folder_);
        if (!fi.isDir() || !QDir(folder_).isReadable()) {
            RkMsgBox(QStringLiteral("Felaktig sökväg till macro ") + RkNativePath(gsDataPath + u'/' + ncmPath),
                     MbButtons::Ok, MbIcon::Critical, QStringLiteral("Macrofel !"), 0, this);
            return;
        }
        const QList<MacroTemplateFile> files = listMacroTemplates(folder_);
        for (const MacroTemplateFile &f : files) {
            FileNcm->addItem(QFileInfo(f.path).fileName());
            cmbNcmFiler->addItem(f.name, f.path);
        }
        cmbNcmFiler->setCurrentIndex(-1);
    });
}

void frmMacron::Form_Activate()
{
    setWindowTitle(ncmMachine.isEmpty() ? QStringLiteral("Macro") : ncmMachine);
}

bool frmMacron::chooseTemplate(const QString &name)
{
    const int i = cmbNcmFiler->findText(name, Qt::MatchFixedString);
    if (i < 0)
        return false;
    cmbNcmFiler->setCurrentIndex(i);
    cmbNcmFiler_Click();
    return true;
}

void frmMacron::cmbNcmFiler_Click()
{
    RkGuard("frmMacron.cmbNcmFiler_Click()", [&] {
        const int index = cmbNcmFiler->currentIndex();
        templateName_ = index >= 0 ? cmbNcmFiler->itemText(index) : QString();
        templatePath_ = index >= 0 ? cmbNcmFiler->itemData(index).toString() : QString();
        if (templateName_.isEmpty()) {
            cmdOk->setEnabled(false);
            return;
        }
        for (int i = 0; i < kMacroFields; ++i) {
            lblText[i]->setVisible(false);
            Text1[i]->setVisible(false);
        }
        fieldCount_ = 0;
        pic->clear();

        QStringList lines;
        QString error;
        if (!readMacroLines(templatePath_, lines, &error)) {
            setWide(false);
            cmdOk->setEnabled(false);
            RkMsgBox(QStringLiteral("Kan inte läsa macro ") + templatePath_ + QStringLiteral(" (") + error + u')',
                     MbButtons::Ok, MbIcon::Critical, QStringLiteral("Macrofel !"), 0, this);
            return;
        }
        const MacroHeader header = parseMacroHeader(lines);
        fieldCount_ = int(header.fields.size());
        for (int i = 0; i < fieldCount_; ++i) {
            lblText[i]->setText(header.fields[i].label);
            Text1[i]->setText(header.fields[i].value);
            lblText[i]->setVisible(true);
            Text1[i]->setVisible(true);
        }
        for (const QString &name : header.pictures) {
            const QString file = findFileNoCase(folder_, RkNativePath(name));
            QPixmap picture;
            if (QFileInfo(file).isFile() && picture.load(file)) {
                const QSize room = pic->size() - QSize(4, 4);
                if (picture.width() > room.width() || picture.height() > room.height())
                    picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                pic->setPixmap(picture);
            }
        }
        setWide(!header.pictures.isEmpty());
        if (fieldCount_ > 0)
            Text1[0]->setFocus();
        else
            cmdOk->setFocus();
        cmdOk->setEnabled(true);
    });
}

void frmMacron::cmdOk_Click()
{
    RkGuard("frmMacron.cmdOk_Click()", [&] {
        if (templatePath_.isEmpty())
            return;
        MacroFieldValues fields;
        for (int n = 1; n <= kMacroFields; ++n)
            fields[n] = Text1[n - 1]->text();
        QStringList lines;
        QString error;
        if (!readMacroLines(templatePath_, lines, &error)) {
            RkMsgBox(QStringLiteral("Kan inte läsa macro ") + templatePath_ + QStringLiteral(" (") + error + u')',
                     MbButtons::Ok, MbIcon::Critical, QStringLiteral("Macrofel !"), 0, this);
            return;
        }
        const MacroExpansion r = RkExpandMacro(lines, fields, macroExpressionParser());
        if (!r.ok) {
            RkMsgBox(r.message, MbButtons::Ok, MbIcon::Critical, QStringLiteral("Fel i macro"), 0, this);
            return;
        }
        if (!r.notice.isEmpty())
            RkMsgBox(r.notice, MbButtons::Ok, MbIcon::Exclamation, QStringLiteral("Macro"), 0, this);
        QClipboard *clip = QGuiApplication::clipboard();
        clip->clear();
        clip->setText(r.output);
        RkMsgBox(QStringLiteral("Resultatet är kopierat till klippbordet!"), MbButtons::Ok, MbIcon::None, QString(), 0,
                 this);
        accept();
    });
}

void frmMacron::cmdAbort_Click()
{
    reject();
}

bool frmMacron::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    const bool field = edit && edit->property("index").isValid();
    if (event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
            // Enter moves on like Tab; on a button it presses the button.
            if (auto *button = qobject_cast<QPushButton *>(watched))
                button->click();
            else
                focusNextChild();
            return true;
        }
        if (field) {
            const QString t = ke->text();
            if (programSession().settings().values().numKbdDec && (ke->modifiers() & Qt::KeypadModifier) && (t == u',' || t == u'.')) {
                edit->insert(QStringLiteral("."));
                return true;
            }
            const bool typed = !t.isEmpty() && t[0].isPrint()
                               && !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
            if (programSession().settings().values().upperCase && typed) {
                const QString up = t.toUpper();
                if (up != t) {
                    edit->insert(up);
                    return true;
                }
            }
        }
    } else if (event->type() == QEvent::FocusIn && field) {
        QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
    }
    return QDialog::eventFilter(watched, event);
}

}
