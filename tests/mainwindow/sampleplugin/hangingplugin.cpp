// A plug-in library whose own start code never returns while it is loaded.
#include "mainwindow/plugininterface.h"

#include <QObject>
#include <unistd.h>

namespace {
struct HangsWhenLoaded {
    HangsWhenLoaded()
    {
        for (;;)
            pause();
    }
};
HangsWhenLoaded hangsWhenLoaded;
}

class HangingPlugin : public QObject, public lumrik::RkPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
    Q_INTERFACES(lumrik::RkPlugin)

public:
    void sethost(lumrik::RkPluginHost *) override {}
    void startup(qint16) override {}
    QString PluginName() override { return QStringLiteral("Hänger"); }
    QString PluginVersion() override { return QString(); }
    QString PluginDesc() override { return QString(); }
    bool can(qint16) override { return false; }
    void setup() override {}
};

#include "hangingplugin.moc"
