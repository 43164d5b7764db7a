// A plug-in library whose own start code goes wrong while the library is
// loaded, before any plug-in object exists: it throws (LUMRIK_LOAD_THROWS),
// never returns (LUMRIK_LOAD_HANGS) or brings the process down
// (LUMRIK_LOAD_CRASHES).
#include "mainwindow/plugininterface.h"

#include <QObject>
#include <csignal>
#include <stdexcept>
#include <unistd.h>

namespace {
struct GoesWrongWhenLoaded {
    GoesWrongWhenLoaded()
    {
#if defined(LUMRIK_LOAD_THROWS)
        throw std::runtime_error("Licensservern svarar inte");
#elif defined(LUMRIK_LOAD_HANGS)
        for (;;)
            pause();
#elif defined(LUMRIK_LOAD_CRASHES)
        std::raise(SIGSEGV);
#endif
    }
};
GoesWrongWhenLoaded goesWrongWhenLoaded;
}

class BadLoadPlugin : public QObject, public lumrik::RkPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
    Q_INTERFACES(lumrik::RkPlugin)

public:
    void sethost(lumrik::RkPluginHost *) override {}
    void startup(qint16) override {}
    QString PluginName() override { return QStringLiteral("Laddas fel"); }
    QString PluginVersion() override { return QString(); }
    QString PluginDesc() override { return QString(); }
    bool can(qint16) override { return false; }
    void setup() override {}
};

#include "badloadplugin.moc"
