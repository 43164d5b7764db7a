#include "core/sessionstate.h"
#include "sessionscope.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace lumrik;

// The status and caption words are stored whole and signalled once for each
// real change; the scope gives them back as it found them.
TEST(Words, ChangesAreStoredAndSignalledOnceAndTheScopeGivesThemBack)
{
    const WordValues before = programSession().words().values();
    {
        test::SessionScope scope;
        Words &words = programSession().words();
        WordValues v;
        v.insert = "Insert";
        v.overwrite = "Overwrite";
        v.row = "Line ";
        v.col = "Col ";
        v.total = "Total : ";
        v.rows = " Lines ";
        v.chars = " Chars ";
        v.untitled = "UNTITLED";
        v.receiving = "Receiving...";
        words.set({});
        QSignalSpy spy(&words, &Words::changed);
        words.set(v);
        EXPECT_EQ(spy.count(), 1);
        EXPECT_TRUE(test::wordsNow() == v);
        words.set(v);
        words.change([](WordValues &w) { w.untitled = "UNTITLED"; });
        EXPECT_EQ(spy.count(), 1);
        QString WordValues::*const all[] = {&WordValues::insert, &WordValues::overwrite, &WordValues::row,
                                            &WordValues::col,    &WordValues::total,     &WordValues::rows,
                                            &WordValues::chars,  &WordValues::untitled,  &WordValues::receiving};
        int expected = 1;
        for (QString WordValues::*member : all) {
            words.change([&](WordValues &w) { (w.*member) += QLatin1Char('!'); });
            EXPECT_EQ(spy.count(), ++expected);
        }
        EXPECT_EQ(test::wordsNow().untitled, "UNTITLED!");
        EXPECT_EQ(test::wordsNow().receiving, "Receiving...!");
    }
    EXPECT_TRUE(programSession().words().values() == before);
}
