#include "core/features.h"

namespace lumrik {

void Features::set(const FeatureValues &v)
{
    if (v == values_)
        return;
    values_ = v;
    Q_EMIT changed();
}

void Features::change(const std::function<void(FeatureValues &)> &edit)
{
    FeatureValues v = values_;
    edit(v);
    set(v);
}

}
