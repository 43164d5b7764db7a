#include "core/sessionstate.h"
#include "sessionscope.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace lumrik;

// The last search is stored whole and signalled once for each real change;
// the same values again, or an edit that leaves them, are no change. The
// scope gives the session's search back as it found it.
TEST(SearchState, ChangesAreStoredAndSignalledOnceAndTheScopeGivesThemBack)
{
    const SearchValues before = programSession().search().values();
    {
        test::SessionScope scope;
        SearchState &search = programSession().search();
        QSignalSpy spy(&search, &SearchState::changed);
        SearchValues v = search.values();
        v.target = QString::fromUtf8("G01 Ö");
        v.replacement = "G1";
        v.origin = 1;
        v.to = 1;
        v.wholeWordsOnly = true;
        v.action = 10;
        v.findString = "N20";
        v.findDirection = 1;
        search.set(v);
        EXPECT_EQ(spy.count(), 1);
        EXPECT_TRUE(test::searchNow() == v);
        search.set(v);
        EXPECT_EQ(spy.count(), 1);
        search.change([](SearchValues &s) { s.action = 10; });
        EXPECT_EQ(spy.count(), 1);

        // Each field on its own is a change.
        const std::vector<std::function<void(SearchValues &)>> edits = {
            [](SearchValues &s) { s.target = "X"; },          [](SearchValues &s) { s.replacement.clear(); },
            [](SearchValues &s) { s.origin = 0; },            [](SearchValues &s) { s.to = 0; },
            [](SearchValues &s) { s.wholeWordsOnly = false; }, [](SearchValues &s) { s.action = 9; },
            [](SearchValues &s) { s.findString = "Y"; },       [](SearchValues &s) { s.findDirection = 0; },
        };
        int expected = 1;
        for (const auto &edit : edits) {
            search.change(edit);
            EXPECT_EQ(spy.count(), ++expected);
        }
        // The signal comes once the values are stored.
        QString seen;
        const auto c =
            QObject::connect(&search, &SearchState::changed, &search, [&] { seen = search.values().target; });
        test::SessionScope::search([](SearchValues &s) { s.target = "M30"; });
        QObject::disconnect(c);
        EXPECT_EQ(seen, "M30");
    }
    EXPECT_TRUE(programSession().search().values() == before);
}
