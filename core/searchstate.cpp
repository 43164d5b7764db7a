#include "core/searchstate.h"

namespace lumrik {

void SearchState::set(const SearchValues &v)
{
    if (v == values_)
        return;
    values_ = v;
    Q_EMIT changed();
}

void SearchState::change(const std::function<void(SearchValues &)> &edit)
{
    SearchValues v = values_;
    edit(v);
    set(v);
}

}
