#include "core/mainwidget.h"

namespace lumrik {

namespace {
MainWidgetHost *gMainWidgetHost = nullptr;
}

void setMainWidgetHost(MainWidgetHost *host) { gMainWidgetHost = host; }
MainWidgetHost *mainWidgetHost() { return gMainWidgetHost; }
QWidget *mainWidgetOrNull() { return gMainWidgetHost ? gMainWidgetHost->mainWidget() : nullptr; }

}
