#include "documents/host.h"

namespace lumrik {

namespace {
DocumentHost *gHost = nullptr;
}

void setDocumentHost(DocumentHost *host)
{
    gHost = host;
    setMainWidgetHost(host);
}
DocumentHost *documentHost() { return gHost; }

}
