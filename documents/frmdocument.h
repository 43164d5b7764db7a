#pragma once
// The window of one open NC program. frmDocument is a plain QWidget: the main
// window puts it into a QMdiSubWindow of its document area
// (mdiArea->addSubWindow(doc), with Qt::WA_DeleteOnClose on the sub-window).
// Its window title is the caption: the full path of its file, or the
// session's untitled word (core/words.h) for a document that was never saved;
// the sub-window shows the same title.
//
// The window answers its editor's events (status bar, Save buttons, command
// state, typed characters, lined paper, context menu, replace confirmation)
// and, whenever it becomes active, notices a file changed by another program.
#include "core/fileidentity.h"
#include "core/printableprogram.h"
#include "documents/editor.h"

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QStatusBar;

namespace lumrik {

class InputHold;

class frmDocument : public QWidget, public PrintableProgram {
    Q_OBJECT
public:
    explicit frmDocument(QWidget *parent = nullptr);
    ~frmDocument() override;

    // Printing reads the caption and the program's lines (the editor's
    // current line is the last one afterwards).
    QString printCaption() const override { return caption(); }
    QWidget *printOwner() override { return window(); }
    QStringList printLines() override;

    // The program this window holds: its text, undo, changed state and
    // totals. txtText is the view of it.
    ProgramDocument *program() const { return program_; }
    Editor *txtText = nullptr;
    // The window's own status bar with four panels (1..4). Panel 3 shows the
    // machine, panel 4 "Ej sparad" while the text has unsaved changes.
    QStatusBar *StatusBar = nullptr;
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);

    bool bLoading = false;
    bool bHexView = false;
    bool bReadOnly = false;
    bool bNamed = false;
    QString sMaskin;

    // Modification time of the file as last loaded, saved or accepted;
    // invalid (null) while there is none.
    QDateTime fileStamp;
    // The file as it was last loaded or saved: a save asks first when the
    // caption's path now names another file, or that file has changed since.
    FileIdentity fileIdentity;
    // The file as the changed-on-disk check last saw it: loaded, saved, or
    // left as it was with "Nej". Another file or size counts as a change
    // too, not only another time.
    FileIdentity seenIdentity;

    // The caption: the full path of the file, or the untitled word. The
    // window's title shows it with a name's kept bytes read as Windows-1252.
    QString caption() const { return caption_; }
    void setCaption(const QString &caption);

    // Runs the activation handling; the main window calls it after it has
    // opened a file into the window.
    void UpdateText();
    // Renews fileStamp from the file named by the caption (after a save).
    void ForceFileStamp();
    // Hex rendering of the text (dump mode 1 or 3) and its character routine.
    // The rendering is made off the window (renderHexView): `done` gets it
    // from the event loop, the bytes unchanged when the user aborted.
    QString FixCh(unsigned char b);
    void Asc2hex(const QByteArray &text, int iMode, std::function<void(const QString &hex)> done);
    // Loads a file into this window.
    void FileOpen(const QString &sFilename);

    // The activation handling: command state, machine panel and the check for
    // a file changed by another program. Safe to run several times in a row.
    void Activation();
    // Ctrl+Alt+H (mode 3) and Ctrl+Alt+G (mode 2): shows the text as a hex
    // dump. A changed text is offered for saving first; without a save the
    // dump is not made, so no edit is lost. Returns true when the dump is
    // under way: it is rendered off the window and replaces the text once
    // that is over. A window busy with other work takes the command once
    // that work is over (false is returned then).
    bool HexDump(int mode);
    // The keypad's decimal key was pressed (with the setting numKbdDec on) and no comma
    // has been turned into a point since.
    bool numpadFlag() const { return numpad_; }

    // The replace confirmation asked once per match (1 replace, 2 skip,
    // 4 replace all, 0 cancel). The find-and-replace dialog installs its own;
    // without one a Yes/No/Cancel message box asks.
    using ReplaceConfirm = std::function<int(frmDocument *)>;
    static void setReplaceConfirm(ReplaceConfirm confirm);

    // True while long work rewrites the program off the window: the text is
    // read-only, and what would act on it (the check for a file changed on
    // disk, a close of the window, keys typed into it) waits until the work
    // is over and then comes in its turn; clicks into the text are refused.
    bool busy() const { return busy_; }
    void setBusy(bool busy);

    // A usable first size (the window has no layout of its own).
    QSize sizeHint() const override { return {640, 420}; }

protected:
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool event(QEvent *e) override;

private:
    // The automatic colouring of a program just opened.
    void colourFirstLines();
    void onKeyPreview(int keyCode, int shift, bool &handled);
    void onKeyPress(int &charCode);
    void onKeyDown(int keyCode, int shift);
    void onMouseDown(int button, int shift, int x, int y);
    void onCaretMoved();
    void onModifiedChanged();
    void onReplaceQuery(int &answer);
    void onPaintBackground(QPainter *painter, bool &handled);
    void onGotFocus();
    void onLostFocus();
    void hookSubWindow();

    ProgramDocument *program_ = nullptr;
    QString caption_;
    bool busy_ = false;
    bool busyReadOnly_ = false;       // the editor's read-only state before
    InputHold *inputHold_ = nullptr;  // what is typed into it meanwhile
    bool activationWaiting_ = false;  // an activation waits for the end of the work
    QLabel *panels_[4] = {};
    bool numpad_ = false;
    bool asking_ = false;
    QObject *hookedSubWindow_ = nullptr;
};

}
