// A plug-in that needs a function no library provides: it must not load.
#include "mainwindow/plugininterface.h"

#include <QObject>

extern "C" void lumrik_test_function_that_does_not_exist();

class UnresolvedPlugin : public QObject, public lumrik::RkPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
    Q_INTERFACES(lumrik::RkPlugin)

public:
    void sethost(lumrik::RkPluginHost *) override {}
    void startup(qint16) override { lumrik_test_function_that_does_not_exist(); }
    QString PluginName() override { return QStringLiteral("Ofullständig"); }
    QString PluginVersion() override { return QString(); }
    QString PluginDesc() override { return QString(); }
    bool can(qint16) override { return false; }
    void setup() override {}
};

#include "unresolvedplugin.moc"
