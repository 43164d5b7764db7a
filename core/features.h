#pragma once
// The feature switches: which of the program's optional parts are in use.
// The main window turns the first six on when it loads; the last three stay
// off. The file selector's backup menu follows `makeBackup`; the plug-ins
// read them through the plug-in host's table of names.
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

class Features : public QObject {
    Q_OBJECT
public:
    const FeatureValues &values() const { return values_; }
    // Takes the values; `changed` when anything differs.
    void set(const FeatureValues &values);
    // Changes some values in place, as `edit` does to a copy of them.
    void change(const std::function<void(FeatureValues &)> &edit);

Q_SIGNALS:
    void changed();

private:
    FeatureValues values_;
};

}
