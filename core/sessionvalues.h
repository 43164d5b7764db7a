#pragma once
// A part of the session's state: a struct of values kept in one object,
// replaced whole or in part, with `changed` once for every real change.
// Settings, print settings, the last search, the feature switches, the macro
// folders and the status words are each one.
#include <QObject>

#include <functional>

namespace lumrik {

// The signal of a value object (the template below cannot declare one).
class ValuesChanged : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void changed();
};

template <typename V>
class SessionValues : public ValuesChanged {
public:
    const V &values() const { return values_; }
    // Takes the values; `changed` when anything differs.
    void set(const V &values)
    {
        if (values == values_)
            return;
        values_ = values;
        Q_EMIT changed();
    }
    // Changes some values in place, as `edit` does to a copy of them.
    void change(const std::function<void(V &)> &edit)
    {
        V v = values_;
        edit(v);
        set(v);
    }

private:
    V values_;
};

}
