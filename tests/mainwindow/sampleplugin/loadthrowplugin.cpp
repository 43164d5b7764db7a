// A plug-in library whose own start code throws while the library is loaded,
// before any plug-in object exists.
#include "mainwindow/plugininterface.h"

#include <QObject>
#include <stdexcept>

namespace {
struct ThrowsWhenLoaded {
    ThrowsWhenLoaded() { throw std::runtime_error("Licensservern svarar inte"); }
};
ThrowsWhenLoaded throwsWhenLoaded;
}

class LoadThrowPlugin : public QObject, public lumrik::RkPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
    Q_INTERFACES(lumrik::RkPlugin)

public:
    void sethost(lumrik::RkPluginHost *) override {}
    void startup(qint16) override {}
    QString PluginName() override { return QStringLiteral("Kastar"); }
    QString PluginVersion() override { return QString(); }
    QString PluginDesc() override { return QString(); }
    bool can(qint16) override { return false; }
    void setup() override {}
};

#include "loadthrowplugin.moc"
