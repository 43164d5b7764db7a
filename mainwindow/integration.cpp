#include "mainwindow/integration.h"

#include "files/frmrkselfile.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handover.h"

#include <QComboBox>

namespace lumrik {

void installFileSelector()
{
    auto &hooks = fileSelectorHooks();
    hooks.choose = [](QWidget *owner, const QString &rootPath, const QString &preSelectedPath,
                      QString &selectedPath, QString &selectedFile, QString &machine) {
        frmRkSelFile *sel = rkSelFile(owner);
        sel->sRootPath = rootPath;
        sel->sPreSelectedPath = preSelectedPath;
        sel->exec();
        selectedPath = sel->sSelectedPath;
        selectedFile = sel->sSelectedFile;
        machine = sel->cmbMaskiner->currentText();
    };
    hooks.isVisible = [] { return rkSelFileVisible(); };
    // The machine list is empty until the selector has been shown once.
    hooks.machine = [] { return rkSelFile(frmMain::instance())->cmbMaskiner->currentText(); };
}

void installHandOver(frmMain *w)
{
    auto *server = new HandOverServer(w);
    if (!server->listen())
        return;
    QObject::connect(server, &HandOverServer::handedOver, w, [w](const QString &commandLine) {
        if (w->isMinimized())
            w->showNormal();
        w->raise();
        w->activateWindow();
        w->openHandedOver(commandLine);
    });
}

}
