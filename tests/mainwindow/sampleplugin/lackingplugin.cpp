// Carries this program's interface id but implements nothing of it.
#include "mainwindow/plugininterface.h"

#include <QObject>

class LackingPlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
};

#include "lackingplugin.moc"
