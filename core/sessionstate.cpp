#include "core/sessionstate.h"

namespace lumrik {

Session &programSession()
{
    static Session session;
    return session;
}

CurrentMachine &currentMachine() { return programSession().machine(); }

}
