// Whether the machine holds the line, from looks at the port at given times.
#include "dnc/linehold.h"

#include <gtest/gtest.h>

using namespace lumrik;
using State = LineHold::State;

TEST(LineHold, OutputThatStopsMovingIsHeldUntilItMovesAgain)
{
    LineHold h;
    EXPECT_EQ(h.look(500, true, 0), State::Free);
    EXPECT_EQ(h.look(400, true, 300), State::Free);   // moving
    EXPECT_EQ(h.look(400, true, 1200), State::Free);  // still for 900 ms: not yet
    EXPECT_EQ(h.look(400, true, 1300), State::Stopped);
    EXPECT_EQ(h.look(400, true, 5000), State::Stopped);
    EXPECT_EQ(h.look(399, true, 5001), State::Free);
    // Nothing waiting is no hold, however long.
    EXPECT_EQ(h.look(0, true, 9000), State::Free);
    EXPECT_EQ(h.look(0, true, 20000), State::Free);
}

TEST(LineHold, CtsLowIsHeldAtOnceAndResetForgetsEverything)
{
    LineHold h;
    EXPECT_EQ(h.look(10, false, 0), State::Cts);
    EXPECT_EQ(h.look(10, true, 500), State::Free);
    EXPECT_EQ(h.look(10, true, 1000), State::Stopped);
    h.reset();
    EXPECT_EQ(h.state(), State::Free);
    EXPECT_EQ(h.look(10, true, 1100), State::Free);
    EXPECT_TRUE(LineHold::text(State::Stopped, true).contains(QStringLiteral("XOFF")));
    EXPECT_FALSE(LineHold::text(State::Stopped, false).contains(QStringLiteral("XOFF")));
    EXPECT_TRUE(LineHold::text(State::Cts, false).contains(QStringLiteral("CTS")));
    EXPECT_TRUE(LineHold::text(State::Free, true).isEmpty());
}
