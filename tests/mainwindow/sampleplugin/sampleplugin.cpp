// A plug-in for the tests of the plug-in host. It registers a few commands,
// takes over File > Open and works on the active document through the host.
// What the host asked of it is kept in dynamic properties of its object.
#include "mainwindow/plugininterface.h"

#include <QAction>
#include <QObject>
#include <stdexcept>

class SamplePlugin : public QObject, public lumrik::RkPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
    Q_INTERFACES(lumrik::RkPlugin)

public:
    void sethost(lumrik::RkPluginHost *host) override
    {
        host_ = host;
        bump("sethostCalls");
        setProperty("machineAtSethost", host->pReadGlobal(QStringLiteral("gActiveCfg")));
        setProperty("extensionAtSethost", host->pReadGlobal(QStringLiteral("gsFileExtension")));
        host->RegisterPlugin(0, QStringLiteral("Konvertera"), 3, false, QString(), 0);
        host->RegisterPlugin(2, QStringLiteral("Versaler"), 4, true, QStringLiteral("Gör om till versaler"), 5);
        host->RegisterPlugin(8, QStringLiteral("Tempmapp"), 5, false, QString(), 0);
        host->RegisterPlugin(4, QStringLiteral("Fel"), 6, false, QString(), 0);
        host->RegisterPlugin(9, QStringLiteral("Registrera sen"), 7, false, QString(), 0);
        if (auto *open = qobject_cast<QAction *>(host->control(QStringLiteral("mnuFileOpen")))) {
            host->DisableEvents(open);
            connect(open, &QAction::triggered, this, [this] { bump("openClicks"); });
        }
    }

    void startup(qint16 command) override
    {
        setProperty("lastCommand", int(command));
        switch (command) {
        case 3:
            host_->plugin_AddEditText("(KONVERTERAD)");
            break;
        case 4:
            for (int i = 1; i <= host_->plugin_GetTextRowCount(); ++i)
                host_->plugin_SetTextRow(i, host_->plugin_GetTextRow(i).toUpper());
            break;
        case 5:
            host_->plugin_InsertEditText("(" + host_->pReadGlobal(QStringLiteral("gsTmpPath")).toString().toUtf8()
                                         + ")\r\n");
            break;
        case 6:
            throw std::runtime_error("Provfel i plugin:en");
        case 7:
            host_->RegisterPlugin(1, QStringLiteral("Sen"), 8, false, QString(), 0);
            break;
        default:
            break;
        }
    }

    QString PluginName() override { return QStringLiteral("Provplugin"); }
    QString PluginVersion() override { return QStringLiteral("1.2"); }
    QString PluginDesc() override { return QStringLiteral("Plugin för test"); }
    bool can(qint16 code) override { return code == 1; }
    void setup() override { bump("setupCalls"); }

private:
    void bump(const char *name) { setProperty(name, property(name).toInt() + 1); }
    lumrik::RkPluginHost *host_ = nullptr;
};

#include "sampleplugin.moc"
