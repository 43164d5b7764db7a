#pragma once
// Gives the program's session back as a test found it: every value a test
// changes through the session (or the product changes while the test runs)
// is restored when the scope ends, with its view in the globals.
#include "core/sessionstate.h"

namespace lumrik::test {

// The session the windows under test are given: the program's, the one a
// SessionScope gives back.
inline Session &testSession() { return programSession(); }

class SessionScope {
public:
    SessionScope()
        : settings_(programSession().settings().values()), print_(programSession().print().values()),
          keys_(programSession().machine().keys())
    {
    }
    ~SessionScope()
    {
        programSession().machine().setKeys(keys_);
        programSession().settings().set(settings_);
        programSession().print().set(print_);
    }
    SessionScope(const SessionScope &) = delete;
    SessionScope &operator=(const SessionScope &) = delete;

    // Changes the print settings in use.
    template <typename F>
    static void print(F &&change)
    {
        PrintValues v = programSession().print().values();
        change(v);
        programSession().print().set(v);
    }

private:
    SettingValues settings_;
    PrintValues print_;
    MachineKeys keys_;
};

}
