#include "core/words.h"

namespace lumrik {

void Words::set(const WordValues &v)
{
    if (v == values_)
        return;
    values_ = v;
    Q_EMIT changed();
}

void Words::change(const std::function<void(WordValues &)> &edit)
{
    WordValues v = values_;
    edit(v);
    set(v);
}

}
