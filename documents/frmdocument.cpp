#include "documents/frmdocument.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/fonts.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/services.h"
#include "core/sessionstate.h"
#include "documents/host.h"
#include "documents/inputhold.h"
#include "documents/saving.h"
#include "documents/statusbar.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

namespace lumrik {

namespace {
frmDocument::ReplaceConfirm gReplaceConfirm;

int defaultReplaceConfirm(frmDocument *doc)
{
    switch (RkMsgBox(QStringLiteral("Ersätta denna förekomst?"), MbButtons::YesNoCancel, MbIcon::Question,
                     QStringLiteral("Ersätt"), 0, doc)) {
    case MbYes: return 1;
    case MbNo: return 2;
    default: return 0;
    }
}
}

void frmDocument::setReplaceConfirm(ReplaceConfirm confirm) { gReplaceConfirm = std::move(confirm); }

frmDocument::frmDocument(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmDocument"));
    setAttribute(Qt::WA_DeleteOnClose, false); // the sub-window owns the lifetime
    program_ = new ProgramDocument(this);
    txtText = new Editor(program_, this);
    txtText->setObjectName(QStringLiteral("txtText"));
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    static const int kStretch[4] = {1, 1, 2, 1};
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new QLabel(StatusBar);
        panels_[i]->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i + 1));
        panels_[i]->setMinimumWidth(60);
        StatusBar->addWidget(panels_[i], kStretch[i]);
    }
    setFocusProxy(txtText);

    // Load.
    bNamed = false;
    fileStamp = QDateTime();
    fileIdentity = seenIdentity = FileIdentity();
    const SettingValues &settings = programSession().settings().values();
    if (settings.scrollbarShow == 2 || settings.scrollbarShow == 4) txtText->setScrollBars(settings.scrollbarShow);
    txtText->setLeftMargin(20);
    txtText->setTextType(programSession().active().textType());
    txtText->setFont(RkFixedFontFamily(settings.textFont));
    txtText->setFontSize(settings.textFontSize);
    txtText->setForeColor(rkColor(settings.textColor));
    txtText->setBackColor(rkColor(settings.textBackColor));
    txtText->setInsertMode(programSession().active().insertMode());

    connect(txtText, &Editor::KeyPreview, this, &frmDocument::onKeyPreview);
    connect(txtText, &Editor::KeyPress, this, &frmDocument::onKeyPress);
    connect(txtText, &Editor::KeyDown, this, &frmDocument::onKeyDown);
    connect(txtText, &Editor::MouseDown, this, &frmDocument::onMouseDown);
    connect(txtText, &Editor::CaretMoved, this, &frmDocument::onCaretMoved);
    // The totals follow the program: every change, an undo or redo too, even
    // one that puts the caret back where it stood.
    connect(program_, &ProgramDocument::totalsChanged, this, [this] {
        if (!bLoading) RkUpdateGlobalStatus();
    });
    connect(txtText, &Editor::ModifiedChanged, this, &frmDocument::onModifiedChanged);
    connect(txtText, &Editor::ReplaceQuery, this, &frmDocument::onReplaceQuery);
    connect(txtText, &Editor::PaintBackground, this, &frmDocument::onPaintBackground);
    connect(txtText, &Editor::Activate, this, &frmDocument::Activation);
    connect(txtText, &Editor::GotFocus, this, &frmDocument::onGotFocus);
    connect(txtText, &Editor::FilesDropped, this, [](const QStringList &files) {
        if (DocumentHost *host = documentHost())
            host->openDroppedFiles(files);
    });
    connect(txtText, &Editor::LostFocus, this, &frmDocument::onLostFocus);

    resize(600, 400);
}

frmDocument::~frmDocument()
{
    programSession().active().releaseEditor(txtText->hWnd());
    programSession().active().release(this);
    // The editor is destroyed after this window: its last signals (the focus it
    // loses) must not reach a window that is half gone.
    disconnect(txtText, nullptr, this, nullptr);
    disconnect(program_, nullptr, this, nullptr);
    // Terminate: once the window is gone, rearrange the rest and bring the
    // command state and the status display up to date.
    QTimer::singleShot(0, qApp, [] {
        DocumentHost *host = documentHost();
        if (!host) return;
        RkGuard("~frmDocument()", [&] {
            bool ok = false;
            const int arrangement = programSession().settings().values().defaultTile.trimmed().toInt(&ok);
            host->Arrange(ok ? arrangement : 0);
            host->RkUpdateValidSelections();
        });
        RkUpdateGlobalStatus();
    });
}

QString frmDocument::panelText(int panel) const
{
    if (panel < 1 || panel > 4) return {};
    return panels_[panel - 1]->text();
}

void frmDocument::setPanelText(int panel, const QString &text)
{
    if (panel < 1 || panel > 4) return;
    panels_[panel - 1]->setText(text);
}

void frmDocument::setCaption(const QString &caption)
{
    caption_ = caption;
    setWindowTitle(RkShownName(caption));
}

void frmDocument::UpdateText()
{
    Activation();
}

void frmDocument::setBusy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy) {
        busyReadOnly_ = txtText->ReadOnly();
        txtText->setReadOnly(true);
        inputHold_ = new InputHold(txtText);
    } else {
        txtText->setReadOnly(busyReadOnly_);
        inputHold_->release();
        delete std::exchange(inputHold_, nullptr);
    }
    // The commands that look at the text's read-only state follow it.
    if (DocumentHost *host = documentHost(); host && host->activeDocument() == this)
        host->MnUpdateValidSelections(true);
}

void frmDocument::Activation()
{
    RkGuard("Activation()", [&] {
        programSession().active().activate(this, [program = QPointer<ProgramDocument>(program_)] {
            return program && program->isModified();
        });
        if (DocumentHost *host = documentHost()) host->MnUpdateValidSelections(true);
        setPanelText(3, sMaskin);
        if (asking_) return;
        if (busy_) {
            // The file on disk is looked at on the finished text.
            if (!std::exchange(activationWaiting_, true))
                LongWork::whenDone(this, [this] {
                    activationWaiting_ = false;
                    Activation();
                });
            return;
        }
        const QString path = caption();
        if (path.isEmpty() || path == programSession().words().values().untitled) return;
        if (!RkIsFile(path)) return; // deleted on disk: keep text and stamp
        const QDateTime onDisk = RkFileModified(path);
        const FileIdentity now = RkFileIdentity(path);
        const bool changed = onDisk != fileStamp || (seenIdentity.valid && !now.unchanged(seenIdentity));
        if (fileStamp.isValid() && changed) {
            const QString text = QStringLiteral("Filen \"") + path + QStringLiteral("\"har ändrats utanför Lumrik-32.\n")
                                 + QStringLiteral("Vill du ladda om den?\n\n")
                                 + QStringLiteral("Notera att eventuella ändringar gjorda i Lumrik-32 kanske inte kommer sparas.");
            asking_ = true;
            const int answer = RkMsgBox(text, MbButtons::YesNo, MbIcon::Exclamation, QStringLiteral("Ändrad fil"), 0, this);
            asking_ = false;
            if (answer == MbYes) {
                FileOpen(path); // sets the new stamp
            } else {
                // Only this state of the file is let be: a later change or
                // another file put in its place is asked about again, and a
                // save still asks before it overwrites what changed.
                fileStamp = onDisk;
                seenIdentity = now;
            }
        } else if (!fileStamp.isValid()) {
            fileStamp = onDisk;
            seenIdentity = now;
        }
    });
}

bool frmDocument::HexDump(int mode)
{
    return RkGuard("HexDump()", [&]() -> bool {
        if (busy_) {
            // The text is not its own yet: the command comes after the work.
            LongWork::whenDone(this, [this, mode] { HexDump(mode); });
            return false;
        }
        if (program_->isModified()) {
            // The dump replaces the text and cannot be saved: unsaved edits
            // are saved first, or the dump is not made.
            int cancel = 0;
            SaveOrNot(this, cancel);
            if (cancel != 0 || program_->isModified()) return false;
        }
        // The file's bytes: the byte-order mark shows in the dump.
        Asc2hex(program_->form().fileBytes(program_->text(program_->lineEnds())), mode, [this](const QString &hex) {
            RkGuard("HexDump()", [&] {
                program_->setText(hex.toLatin1());
                txtText->setEncoding(TextEncoding::Windows1252); // a dump: one character per byte
                // The dump is a view, not an edit: nothing to undo back to or to save.
                txtText->emptyUndoBuffer();
                txtText->setReadOnly(true);
                bReadOnly = true;
                bHexView = true;
                program_->setModified(false);
            });
        });
        return true;
    });
}

// The window sees its editor's keys first: Ctrl+Alt+H and Ctrl+Alt+G are its own.
void frmDocument::onKeyPreview(int keyCode, int shift, bool &handled)
{
    constexpr int kCtrlAlt = 2 | 4;
    constexpr int kKeyG = 71, kKeyH = 72;
    if ((shift & kCtrlAlt) == kCtrlAlt && (keyCode == kKeyH || keyCode == kKeyG)) {
        HexDump(keyCode == kKeyH ? 3 : 2);
        handled = true;
    }
}

void frmDocument::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    // One twip from the top-left corner is less than a pixel: the editor fills
    // the window above the status bar.
    const int sbh = StatusBar->sizeHint().height();
    const int w = qMax(0, width());
    const int h = qMax(0, height() - sbh);
    txtText->setGeometry(0, 0, w, h);
    StatusBar->setGeometry(0, h, w, qMin(sbh, height()));
}

bool frmDocument::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::ParentChange:
    case QEvent::Show:
        hookSubWindow();
        break;
    case QEvent::WindowActivate:
        // A window of its own (not inside a sub-window): its activation.
        if (!qobject_cast<QMdiSubWindow *>(parentWidget())) Activation();
        break;
    default: break;
    }
    return QWidget::event(e);
}

void frmDocument::hookSubWindow()
{
    auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (!sub || sub == hookedSubWindow_) return;
    hookedSubWindow_ = sub;
    connect(sub, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates oldState, Qt::WindowStates newState) {
                if ((newState & Qt::WindowActive) && !(oldState & Qt::WindowActive)) Activation();
            });
}

void frmDocument::closeEvent(QCloseEvent *e)
{
    if (busy_) {
        // Not closed under the work: the close comes once it is over.
        e->ignore();
        QPointer<QWidget> closing = parentWidget() ? parentWidget() : this;
        LongWork::whenDone(this, [closing] {
            if (closing)
                closing->close();
        });
        return;
    }
    const int cancel = RkGuard("closeEvent()", [&]() -> int {
        if (caption() == programSession().words().values().untitled && program_->textView().isEmpty()) return 0;
        if (program_->isModified()) {
            int c = 0;
            SaveOrNot(this, c);
            return c;
        }
        return 0;
    });
    if (cancel != 0) e->ignore();
    else e->accept();
}

// ----- editor events -----------------------------------------------------------

void frmDocument::onKeyPress(int &charCode)
{
    if (charCode == 44 && numpad_) {
        charCode = 46;
        numpad_ = false;
    }
    if (programSession().settings().values().upperCase && charCode > 0 && charCode < 0x10000) {
        const QString up = QString(QChar(char16_t(charCode))).toUpper();
        if (up.size() == 1) charCode = up[0].unicode();
    }
    RkUpdateGlobalStatus();
}

void frmDocument::onKeyDown(int keyCode, int shift)
{
    if (keyCode == 45 && shift == 0) {
        txtText->setInsertMode(!txtText->InsertMode());
        programSession().active().setInsertMode(txtText->InsertMode());
        RkUpdateGlobalStatus();
    }
    if (keyCode == 114) {
        txtText->setAction(11);
    } else if (keyCode == 110 && programSession().settings().values().numKbdDec) {
        numpad_ = true;
        return;
    }
    // Any other key ends the keypad's turn: a comma typed later on the main
    // keyboard stays a comma.
    numpad_ = false;
}

void frmDocument::onMouseDown(int button, int shift, int x, int y)
{
    if (button != 2) return;
    DocumentHost *host = documentHost();
    if (!host) return;
    const QMimeData *md = QApplication::clipboard()->mimeData();
    const bool canPaste = md && md->hasText() && !md->text().isEmpty();
    const bool canCutCopy = txtText->SelMark() != 0;
    host->showDocumentPopup(txtText->viewport()->mapToGlobal(QPoint(x, y)), canPaste, canCutCopy);
}

void frmDocument::onCaretMoved()
{
    if (bLoading) return;
    RkUpdateGlobalStatus();
    if (DocumentHost *host = documentHost()) host->MnUpdateValidSelections(true);
}

void frmDocument::onModifiedChanged()
{
    if (DocumentHost *host = documentHost()) {
        if (host->activeDocument() == this || !host->activeDocument())
            host->setSaveButtonsEnabled(program_->isModified());
    }
    // This window's own "not saved" mark follows its flag even while another
    // document is active.
    setPanelText(4, program_->isModified() ? kTxtNotSaved : QString());
    RkUpdateGlobalStatus();
}

void frmDocument::onReplaceQuery(int &answer)
{
    answer = gReplaceConfirm ? gReplaceConfirm(this) : defaultReplaceConfirm(this);
}

void frmDocument::onPaintBackground(QPainter *painter, bool &handled)
{
    if (!programSession().settings().values().kollegieBlock || !painter) return;
    QWidget *vp = txtText->viewport();
    const int w = vp->width(), h = vp->height();
    painter->save();
    painter->fillRect(QRect(0, 0, w, h), rkColor(programSession().settings().values().textBackColor));
    QPen pen(QColor(0, 0, 180));
    pen.setWidth(1);
    pen.setCosmetic(true);
    painter->setPen(pen);
    const int lm = txtText->LeftMargin();
    painter->drawLine(lm - 1, 0, lm - 1, h);
    painter->drawLine(lm - 4, 0, lm - 4, h);
    // A rule under every visible line, each line's own height apart. The walk
    // uses the current line and gives it back afterwards.
    const int keep = txtText->TextIndex();
    const int count = txtText->Count();
    int line = txtText->TopY();
    int y = 0;
    const int n = txtText->VisibleLines();
    for (int i = 0; i < n && y < h; ++i) {
        if (line <= count) txtText->setTextIndex(line);
        y += txtText->LineHeight();
        painter->drawLine(0, y, w, y);
        ++line;
    }
    if (keep >= 1 && keep <= count) txtText->setTextIndex(keep);
    painter->restore();
    handled = true;
}

void frmDocument::onGotFocus()
{
    txtText->setInsertMode(programSession().active().insertMode());
    RkUpdateGlobalStatus();
    if (DocumentHost *host = documentHost()) host->setSaveButtonsEnabled(program_->isModified());
    programSession().active().setEditor(txtText->hWnd());
    Activation();
}

void frmDocument::onLostFocus()
{
    programSession().active().setEditor(0);
}

}
