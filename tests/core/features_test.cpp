#include "core/sessionstate.h"
#include "sessionscope.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace lumrik;

// The feature switches are stored whole and signalled once for each real
// change; the scope gives them back as it found them.
TEST(Features, ChangesAreStoredAndSignalledOnceAndTheScopeGivesThemBack)
{
    const FeatureValues before = programSession().features().values();
    {
        test::SessionScope scope;
        Features &features = programSession().features();
        features.set({});
        QSignalSpy spy(&features, &Features::changed);
        features.set({});
        EXPECT_EQ(spy.count(), 0);

        bool FeatureValues::*const all[] = {
            &FeatureValues::cncComm, &FeatureValues::decCheck,  &FeatureValues::helix,
            &FeatureValues::macro,   &FeatureValues::subFix,    &FeatureValues::macBild,
            &FeatureValues::tapePunch, &FeatureValues::gaDb,    &FeatureValues::makeBackup,
        };
        int expected = 0;
        for (bool FeatureValues::*member : all) {
            features.change([&](FeatureValues &f) { f.*member = true; });
            EXPECT_EQ(spy.count(), ++expected);
            EXPECT_TRUE(test::featuresNow().*member);
            features.change([&](FeatureValues &f) { f.*member = true; }); // already on
            EXPECT_EQ(spy.count(), expected);
        }
        FeatureValues on;
        for (bool FeatureValues::*member : all)
            on.*member = true;
        EXPECT_TRUE(features.values() == on);
    }
    EXPECT_TRUE(programSession().features().values() == before);
}
