#include "mainwindow/commands_macro.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/paths.h"
#include "documents/frmdocument.h"
#include "generators/frmmacron.h"
#include "generators/macrotemplate.h"
#include "mainwindow/frmmain.h"

#include <QAction>
#include <QPointer>

namespace lumrik {

namespace {

// A menu caption as a window caption: "&" marks drop out, "&&" stays one "&".
QString plainCaption(const QString &caption)
{
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        out += caption[i];
    }
    return out;
}

// The entry's folder as a path below the program folder. Folders are stored
// relative to it; one stored with the path tokens or in full is taken as the
// part below the program folder.
QString entryBelowProgramFolder(const QString &entryFolder)
{
    QString data = RkNativePath(gsDataPath);
    while (data.size() > 1 && data.endsWith(u'/'))
        data.chop(1);
    const QString expanded = ExpandExePath(entryFolder);
    if (data.isEmpty() || !(expanded == data || expanded.startsWith(data + u'/')))
        return entryFolder;
    QString below = expanded.mid(data.size());
    while (below.startsWith(u'/'))
        below.remove(0, 1);
    below.replace(u'/', u'\\');
    return below;
}

void mnuSubMacro_Click(frmMain *w, int index)
{
    RkGuard("mnuSubMacro_Click()", [&] {
        const MacroFolderValues &folders = w->session().macroFolders().values();
        if (index < 0 || index >= int(folders.size()))
            return;
        frmDocument *doc = w->activeDocument();
        if (!doc)
            return;
        QPointer<frmMacron> dlg = new frmMacron(w);
        dlg->ncmPath = macroEntryPath(doc->sMaskin, folders[size_t(index)]);
        dlg->ncmMachine = plainCaption(w->mnuSubMacro[size_t(index)]->text());
        dlg->exec();
        delete dlg.data();
    });
}

}

QString macroEntryPath(const QString &machine, const QString &entryFolder)
{
    const QString entry = entryBelowProgramFolder(entryFolder);
    const QString own = QStringLiteral("\\Macron\\") + machine + u'\\' + entry;
    if (IsDirectory(resolveFolderNoCase(gsDataPath, own)))
        return own;
    return u'\\' + entry;
}

void installMacroCommands(frmMain *w)
{
    w->setIndexedCommand("mnuSubMacro", [w](int index) { mnuSubMacro_Click(w, index); });
}

}
