#include "mainwindow/frmmain.h"
#include "mainwindow/startup.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lumrik");
    QApplication::setOrganizationName("Lumrik");
    lumrik::frmMain *w = lumrik::Main(app.arguments());
    if (!w)
        return 0;
    return app.exec();
}
