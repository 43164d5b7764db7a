#include "core/printsettings.h"

namespace lumrik {

void PrintSettings::set(const PrintValues &v)
{
    if (v == values_)
        return;
    values_ = v;
    Q_EMIT changed();
}

}
