#include "mainwindow/commands_generators.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/paths.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "generators/frmbult.h"
#include "generators/frmhelix.h"
#include "generators/frmskardata.h"
#include "mainwindow/frmmain.h"

#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace lumrik {

namespace {

QPointer<frmSkardata> &theSkardata()
{
    static QPointer<frmSkardata> window;
    return window;
}

// "helix.tmp" of the temporary folder under any spelling, or "".
QString helixHandOff()
{
    const QString found = findFileNoCase(gsTmpPath, kHelixTmp);
    return QFile::exists(found) ? found : QString();
}

void mnuHelix_Click(frmMain *w)
{
    RkGuard("mnuHelix_Click()", [&] {
        // A file left by an earlier run that ended early must not pass for
        // this run's program when the generator is closed without one.
        if (const QString stale = helixHandOff(); !stale.isEmpty())
            QFile::remove(stale);
        {
            frmHelix dlg(w);
            dlg.exec();
        }
        openHelixResult(w);
    });
}

void mnuBult_Click(frmMain *w)
{
    RkGuard("mnuBult_Click()", [&] {
        frmBult dlg(w);
        dlg.exec();
    });
}

void mnuOptionSkardata_Click(frmMain *w)
{
    auto &window = theSkardata();
    if (!window) {
        window = new frmSkardata(w);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

}

frmDocument *openHelixResult(frmMain *w)
{
    const QString path = helixHandOff();
    if (path.isEmpty())
        return nullptr;
    struct RemoveFile {
        QString path;
        ~RemoveFile() { QFile::remove(path); }
    } remove{path};
    frmDocument *doc = w->LoadNewDoc();
    if (!doc)
        return nullptr;
    try {
        doc->txtText->FileLoad(path);
    } catch (...) {
        // An empty window would only stand in the way: it goes, and the
        // failure is reported.
        {
            const RkTraceKeep keep;
            for (QMdiSubWindow *sub : w->mdiArea->subWindowList())
                if (sub->widget() == doc) {
                    sub->hide();
                    sub->deleteLater();
                }
            w->RkUpdateValidSelections();
        }
        throw;
    }
    // The generated program exists nowhere else: closing it asks to save.
    doc->program()->setModified(true);
    doc->UpdateText();
    return doc;
}

frmSkardata *skardataWindow()
{
    return theSkardata();
}

void installGeneratorCommands(frmMain *w)
{
    w->setCommand(QStringLiteral("mnuHelix"), [w] { mnuHelix_Click(w); });
    w->setCommand(QStringLiteral("mnuBult"), [w] { mnuBult_Click(w); });
    w->setCommand(QStringLiteral("mnuOptionSkardata"), [w] { mnuOptionSkardata_Click(w); });
}

}
