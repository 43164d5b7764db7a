#pragma once
namespace lumrik {

class frmMain;
class PluginHost;

// The plug-in host of the main window: created once, it loads the plug-ins of
// the plug-ins folder, whose commands then appear in the menus and on the
// plug-in toolbar, and makes the loaded plug-ins known to the plug-in list of
// the editor settings (pluginCatalog()). Call it after every other command
// has been installed, so that a plug-in's take-over of a built-in command is
// not undone by a later install. Returns the host (the same one when called
// again).
PluginHost *installPluginHost(frmMain *w);

}
