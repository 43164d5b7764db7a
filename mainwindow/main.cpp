#include "core/filenames.h"
#include "core/globals.h"
#include "documents/pluginlist.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handover.h"
#include "mainwindow/startup.h"

#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    // The check of one plug-in library, in a process of its own.
    if (argc == 3 && std::strcmp(argv[1], lumrik::kPluginCheckOption) == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        const int rc = lumrik::runPluginCheck(QString::fromLocal8Bit(argv[2]));
        std::fflush(stdout);
        std::_Exit(rc); // nothing of the library runs after the answer
    }
    // Before anything else: of two starts close together, only one becomes the editor.
    lumrik::isFirstInstance();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lumrik");
    QApplication::setOrganizationName("Lumrik");
    lumrik::answerBoxesForTests();
    // The settings file is named after the executable ("lumrik32.INI").
    if (const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(); !exe.isEmpty())
        lumrik::gsExeName = exe;
    // The arguments as the bytes they are: a file name that is not UTF-8 must
    // still name its file (Qt's own list would replace such bytes).
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << lumrik::RkDecodeName(argv[i]);
    lumrik::frmMain *w = lumrik::Main(arguments);
    if (!w)
        return lumrik::startupExitCode();
    return app.exec();
}
