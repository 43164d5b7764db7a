// A Qt plug-in of another program.
#include <QObject>
#include <QtPlugin>

class ForeignPlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.example.Other.Plugin/2.0")
};

#include "foreignplugin.moc"
