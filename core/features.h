#pragma once
// The feature switches: which of the program's optional parts are in use.
// The main window turns the first six on when it loads; the last three stay
// off. The file selector's backup menu follows `makeBackup`; the plug-ins
// read them through the plug-in host's table of names.
#include "core/sessionvalues.h"

#include <QObject>
#include <functional>

namespace lumrik {

struct FeatureValues {
    bool cncComm = false;    // sending to and receiving from the machines
    bool decCheck = false;   // the decimal check
    bool helix = false;      // the helix calculation
    bool macro = false;      // the macro menu
    bool subFix = false;
    bool macBild = false;
    bool tapePunch = false;  // the tape punch
    bool gaDb = false;
    bool makeBackup = false; // backup copies, and the file selector's menu of them
    bool operator==(const FeatureValues &) const = default;
};

class Features : public SessionValues<FeatureValues> {};

}
