#include "mainwindow/commands_plugins.h"

#include "mainwindow/frmmain.h"
#include "mainwindow/pluginhost.h"

namespace lumrik {

PluginHost *installPluginHost(frmMain *w)
{
    if (PluginHost *h = PluginHost::of(w))
        return h;
    auto *host = new PluginHost(w);
    host->LookForPlugins();
    return host;
}

}
