#include "core/sessionstate.h"
#include "sessionscope.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace lumrik;

// The macro menu's template folders are stored entry by entry and signalled
// once for each real change; the scope gives them back as it found them.
TEST(MacroFolders, ChangesAreStoredAndSignalledOnceAndTheScopeGivesThemBack)
{
    const MacroFolderValues before = programSession().macroFolders().values();
    {
        test::SessionScope scope;
        MacroFolders &folders = programSession().macroFolders();
        folders.set({});
        QSignalSpy spy(&folders, &MacroFolders::changed);
        folders.set({});
        EXPECT_EQ(spy.count(), 0);
        for (size_t n = 0; n < 10; ++n) {
            folders.change([&](MacroFolderValues &f) { f[n] = QStringLiteral("Macron\\%1").arg(n); });
            EXPECT_EQ(int(spy.count()), int(n) + 1);
            folders.change([&](MacroFolderValues &f) { f[n] = QStringLiteral("Macron\\%1").arg(n); });
            EXPECT_EQ(int(spy.count()), int(n) + 1);
        }
        for (size_t n = 0; n < 10; ++n)
            EXPECT_EQ(test::macroFoldersNow()[n], QStringLiteral("Macron\\%1").arg(n));
        test::SessionScope::macroFolders([](MacroFolderValues &f) { f[4].clear(); });
        EXPECT_EQ(spy.count(), 11);
        EXPECT_TRUE(test::macroFoldersNow()[4].isEmpty());
        EXPECT_EQ(test::macroFoldersNow()[5], "Macron\\5");
    }
    EXPECT_TRUE(programSession().macroFolders().values() == before);
}
