#include "documents/pluginlist.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handover.h"
#include "mainwindow/startup.h"

#include <QApplication>
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
    lumrik::frmMain *w = lumrik::Main(app.arguments());
    if (!w)
        return 0;
    return app.exec();
}
