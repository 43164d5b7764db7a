#include "documents/loading.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/sessionstate.h"
#include "core/inifile.h"
#include "core/lineends.h"
#include "core/paths.h"
#include "documents/frmdocument.h"
#include "documents/hexview.h"
#include "documents/host.h"
#include "documents/statusbar.h"
#include "documents/syntax.h"
#include "documents/unfinishedsave.h"


#include <QAction>
#include <QApplication>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace lumrik {

bool RkSetFileFormat(const QString &path)
{
    return RkGuard("RkSetFileFormat()", [&]() -> bool {
        programSession().active().setTextType(fileLineEndType(ExpandExePath(path)));
        return true;
    });
}

QString RkOpenProblem(const QString &path)
{
    // Tested by the name's bytes, so that a name that is not UTF-8 (kept
    // bytes) is judged as the file it names.
    const QString p = RkNativePath(path);
    const QByteArray bytes = RkPathBytes(p);
    struct stat st {};
    errno = 0;
    if (::stat(bytes.constData(), &st) != 0) {
        const int err = errno;
        struct stat link {};
        if (err == ENOENT || err == ENOTDIR)
            return ::lstat(bytes.constData(), &link) == 0 ? QStringLiteral("Länken pekar på en fil som inte finns.")
                                                         : QStringLiteral("Filen finns inte.");
        return QStringLiteral("Filen kan inte läsas: %1.").arg(RkSystemErrorText(err));
    }
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("Det är en mapp, inte en fil.");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("Det är ingen vanlig fil.");
    QFile f;
    errno = 0;
    if (!RkOpenFile(f, p, QIODevice::ReadOnly)) {
        const int err = errno;
        return QStringLiteral("Filen kan inte läsas: %1.").arg(RkSystemErrorText(err ? err : EACCES));
    }
    return {};
}

QString openProblemText(const QString &path, const QString &problem)
{
    return QStringLiteral("Filen \"%1\" kan inte öppnas.\r\n%2").arg(RkShownName(RkNativePath(path)), problem);
}

int extensionMode(const QString &path)
{
    const QString ext = GetFileExtension(GetFileNamePart(RkNativePath(path)));
    if (ext.isEmpty())
        return 0;
    const QString value = GetIniSetting(QStringLiteral("Extensions"), ext, QStringLiteral("0")).trimmed();
    bool ok = false;
    const int mode = value.toInt(&ok);
    if (!ok || mode < 0 || mode > 255)
        throw RkExpected(kErrTypeMismatch,
                      QStringLiteral("Felaktigt värde \"%1\" för filtypen \"%2\" under [Extensions] i inställningarna")
                          .arg(value, ext));
    return mode;
}

bool autoColorOnOpen()
{
    static const QString name = QStringLiteral("mnuViewAutoColorNC");
    if (DocumentHost *host = documentHost()) {
        if (QWidget *main = host->mainWidget()) {
            const QAction *a = main->findChild<QAction *>(name);
            return a && a->isChecked();
        }
    }
    for (QWidget *w : QApplication::topLevelWidgets())
        if (const QAction *a = w->findChild<QAction *>(name))
            return a->isChecked();
    return false;
}

namespace {

// Marks the window as loading and gives back bLoading and screen updating on
// every way out.
class LoadingGuard {
public:
    explicit LoadingGuard(frmDocument *doc) : doc_(doc) { doc_->bLoading = true; }
    ~LoadingGuard()
    {
        if (!doc_->txtText->Redraw())
            doc_->txtText->setRedraw(true);
        doc_->bLoading = false;
    }
    LoadingGuard(const LoadingGuard &) = delete;
    LoadingGuard &operator=(const LoadingGuard &) = delete;

private:
    frmDocument *doc_;
};

}

void frmDocument::FileOpen(const QString &sFilename)
{
    RkTraceProc(QStringLiteral("FileOpen()"));
    LoadingGuard loading(this);
    const QString path = RkNativePath(sFilename);

    // Everything that may fail before anything of the window changes.
    const int mode = extensionMode(path);
    bool hex = bHexView, readOnly = bReadOnly;
    switch (mode) {
    case 0: hex = false; readOnly = false; break;
    case 1: hex = true; break;
    case 2: readOnly = true; break;
    case 3: hex = true; readOnly = true; break;
    default: break;
    }

    // A save of this file that was cut short is settled before it is read.
    settleUnfinishedSaves(path, this);
    // Taken before the read: a change while it is read makes the next save ask.
    const FileIdentity identity = RkFileIdentity(path);

    if (hex) {
        const QByteArray bytes = readFileBytes(path);
        const QDateTime stamp = RkFileModified(path);
        // Rendered off the window; the old text stays until the new one is
        // made, so a failure before leaves it as it was.
        renderHexView(this, bytes, mode, [this, hex, readOnly, stamp, identity](const QByteArray &shown) {
            RkGuard("FileOpen()", [&] {
                LoadingGuard loading(this);
                txtText->setRedraw(false);
                txtText->setTextAll(shown);
                txtText->setEncoding(TextEncoding::Windows1252); // a dump: one character per byte
                txtText->setCaret(1, 1);
                // The view is not an edit: nothing to undo back to.
                txtText->emptyUndoBuffer();
                txtText->setReadOnly(true);
                txtText->setIsDirty(false);
                txtText->setRedraw(true);
                bNamed = true;
                bHexView = hex;
                bReadOnly = readOnly;
                fileStamp = stamp;
                fileIdentity = seenIdentity = identity;
                if (autoColorOnOpen())
                    colourFirstLines();
            });
            // The status bar shows the new text before any key.
            RkUpdateGlobalStatus();
        });
        return;
    } else {
        // The editor reads the file with the line ends of its TextType: take
        // them from the file itself, so that its lines keep their bytes.
        const int lineEnds = fileLineEndType(path);
        const int oldType = txtText->TextType();
        txtText->setTextType(lineEnds);
        try {
            txtText->FileLoad(path);
        } catch (...) {
            txtText->setTextType(oldType);
            throw;
        }
        if (readOnly)
            txtText->setReadOnly(true);
        setCaption(path);
    }
    bNamed = true;
    bHexView = hex;
    bReadOnly = readOnly;
    fileStamp = RkFileModified(path);
    fileIdentity = seenIdentity = identity;

    if (autoColorOnOpen())
        colourFirstLines();
}

void frmDocument::colourFirstLines()
{
    // In the open itself, within its time budget: a few milliseconds for the
    // first lines of a program. Coloured off the window they would need a
    // copy of what they colour, as large as the program when its first line
    // is the whole of it.
    ColorNC(txtText, sMaskin, 1, kAutoColorLines, kAutoColorBudgetMs, false, this);
}

void frmDocument::ForceFileStamp()
{
    fileStamp = RkFileModified(caption());
    fileIdentity = seenIdentity = RkFileIdentity(caption());
}

QString frmDocument::FixCh(unsigned char b)
{
    return QString(QChar(char16_t((unsigned char)hexDumpChar(b))));
}

void frmDocument::Asc2hex(const QByteArray &text, int iMode, std::function<void(const QString &hex)> done)
{
    renderHexView(this, text, iMode, [done = std::move(done)](const QByteArray &shown) {
        done(QString::fromLatin1(shown));
    });
}

}
