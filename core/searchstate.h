#pragma once
// The last search: what the find and replace dialog asked for, and the text
// and direction of the find window. F3 and Find Next repeat it; the plug-ins
// read it through the plug-in host's table of names.
#include "core/sessionvalues.h"

#include <QObject>
#include <QString>
#include <functional>

namespace lumrik {

struct SearchValues {
    QString target;             // what was searched for
    QString replacement;        // what it is replaced with
    int origin = 0;             // 1: from the start of the text, 0: from the caret
    int to = 0;                 // 0: towards the end, 1: towards the start
    bool wholeWordsOnly = false;
    int action = 0;             // 9 find, 10 replace
    QString findString;         // the find window's last text
    int findDirection = 0;      // 1 once the find window has searched
    bool operator==(const SearchValues &) const = default;
};

class SearchState : public SessionValues<SearchValues> {};

}
