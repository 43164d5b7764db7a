// A plug-in whose start fails after it has registered a command and taken
// over File > Save.
#include "mainwindow/plugininterface.h"

#include <QObject>
#include <stdexcept>

class ThrowingPlugin : public QObject, public lumrik::RkPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
    Q_INTERFACES(lumrik::RkPlugin)

public:
    void sethost(lumrik::RkPluginHost *host) override
    {
        host->RegisterPlugin(0, QStringLiteral("Före felet"), 1, true, QStringLiteral("Före felet"), 2);
        host->RegisterPlugin(8, QStringLiteral("Verktyg före felet"), 2, false, QString(), 0);
        host->DisableEvents(host->control(QStringLiteral("mnuFileSave")));
        throw std::runtime_error("Licensfil saknas");
    }
    void startup(qint16) override {}
    QString PluginName() override { return QStringLiteral("Felplugin"); }
    QString PluginVersion() override { return QStringLiteral("0.1"); }
    QString PluginDesc() override { return QString(); }
    bool can(qint16) override { return false; }
    void setup() override {}
};

#include "throwingplugin.moc"
