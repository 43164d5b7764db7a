// A plug-in library that brings down the process loading it.
#include "mainwindow/plugininterface.h"

#include <QObject>
#include <csignal>

namespace {
struct CrashesWhenLoaded {
    CrashesWhenLoaded() { std::raise(SIGSEGV); }
};
CrashesWhenLoaded crashesWhenLoaded;
}

class CrashingPlugin : public QObject, public lumrik::RkPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
    Q_INTERFACES(lumrik::RkPlugin)

public:
    void sethost(lumrik::RkPluginHost *) override {}
    void startup(qint16) override {}
    QString PluginName() override { return QStringLiteral("Kraschar"); }
    QString PluginVersion() override { return QString(); }
    QString PluginDesc() override { return QString(); }
    bool can(qint16) override { return false; }
    void setup() override {}
};

#include "crashingplugin.moc"
