#pragma once
// The window the program's own windows belong to (the main window), for the
// libraries below the main window that open windows of their own. The main
// window registers itself (through the document host); without one, windows
// are opened without an owner.
class QWidget;

namespace lumrik {

class MainWidgetHost {
public:
    virtual ~MainWidgetHost() = default;
    virtual QWidget *mainWidget() = 0;
};

void setMainWidgetHost(MainWidgetHost *host);
MainWidgetHost *mainWidgetHost();
// The registered host's main widget, or nullptr.
QWidget *mainWidgetOrNull();

}
