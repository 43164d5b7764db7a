#include "core/globals.h"
#include "core/sessionstate.h"
#include "core/settings.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace lumrik;

TEST(PrintSettings, ChangesAreSignalledOnceAndStored)
{
    test::SessionScope scope;
    PrintSettings &print = programSession().print();
    QSignalSpy spy(&print, &PrintSettings::changed);
    PrintValues v = print.values();
    v.font = "DejaVu Sans Mono";
    v.fontSize = 11;
    v.columns = 3;
    v.leftMargin = 7;
    v.italicComments = true;
    print.set(v);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(test::printNow().font, "DejaVu Sans Mono");
    EXPECT_EQ(test::printNow().fontSize, 11);
    EXPECT_EQ(test::printNow().columns, 3);
    EXPECT_EQ(test::printNow().leftMargin, 7);
    EXPECT_TRUE(test::printNow().italicComments);
    // The same values again are no change.
    print.set(v);
    EXPECT_EQ(spy.count(), 1);
}

TEST(PrintSettings, LoadingFillsThemFromThePrintingSectionAndTheScopeGivesThemBack)
{
    test::TempEnv env;
    const PrintValues before = programSession().print().values();
    {
        test::SessionScope scope;
        env.write("lumrik32.INI", "[Printing]\r\nPrinterFont=Mono\r\nTopMargin=11\r\nColumns=2\r\nPrintTime=True\r\n");
        QSignalSpy spy(&programSession().print(), &PrintSettings::changed);
        RkLoadIniSettings();
        const PrintValues &p = programSession().print().values();
        EXPECT_EQ(p.font, "Mono");
        EXPECT_EQ(p.fontSize, 10);
        EXPECT_EQ(p.topMargin, 11);
        EXPECT_EQ(p.bottomMargin, 20);
        EXPECT_EQ(p.leftMargin, 40);
        EXPECT_EQ(p.columns, 2);
        EXPECT_TRUE(p.time);
        EXPECT_EQ(test::printNow().topMargin, 11);
        EXPECT_GE(spy.count(), 1);
    }
    EXPECT_TRUE(programSession().print().values() == before);
    EXPECT_EQ(test::printNow().topMargin, before.topMargin);
}
