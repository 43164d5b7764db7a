#include "core/globals.h"
#include "core/inifile.h"
#include "mainwindow/arrange.h"
#include "mainwindow/recentfiles.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace lumrik;

TEST(RecentFiles, MovesAndPushes)
{
    const QStringList abcd{"A", "B", "C", "D"};
    EXPECT_EQ(addToMru(abcd, "C"), (QStringList{"C", "A", "B", "D"}));
    EXPECT_EQ(addToMru(abcd, "E"), (QStringList{"E", "A", "B", "C"}));
    EXPECT_EQ(addToMru(abcd, "A"), abcd);
    EXPECT_EQ(addToMru(abcd, "D"), (QStringList{"D", "A", "B", "C"}));
    // Exact comparison: a path in other letter case is another entry.
    EXPECT_EQ(addToMru(QStringList{"/p/a.nc", "", "", ""}, "/p/A.NC"), (QStringList{"/p/A.NC", "/p/a.nc", "", ""}));
    // A short list is padded with free entries.
    EXPECT_EQ(addToMru(QStringList{}, "X"), (QStringList{"X", "", "", ""}));
}

TEST(RecentFiles, StoredInRecentFilesSection)
{
    test::TempEnv env;
    saveMruList({"/a b/1.nc", "", "/c&d/2.nc", ""});
    EXPECT_EQ(GetIniSetting("Recent Files", "MRU2"), "/c&d/2.nc");
    EXPECT_EQ(loadMruList(), (QStringList{"/a b/1.nc", "", "/c&d/2.nc", ""}));
}

TEST(Arrange, TilesCoverTheAreaWithoutOverlap)
{
    const QSize area(900, 601);
    for (int mode : {kArrangeTileHorizontal, kArrangeTileVertical})
        for (int n : {1, 2, 3, 7, 20}) {
            const auto rects = tileRects(mode, area, n, 80);
            ASSERT_EQ(int(rects.size()), n);
            long long sum = 0;
            for (size_t i = 0; i < rects.size(); ++i) {
                EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(rects[i])) << mode << " " << n;
                sum += (long long)rects[i].width() * rects[i].height();
                for (size_t j = i + 1; j < rects.size(); ++j)
                    EXPECT_FALSE(rects[i].intersects(rects[j]));
            }
            EXPECT_EQ(sum, (long long)area.width() * area.height()) << mode << " " << n;
        }
    // Above each other: full width; side by side: full height.
    auto r = tileRects(kArrangeTileHorizontal, area, 3);
    EXPECT_EQ(r[0].width(), 900);
    EXPECT_LT(r[0].bottom(), r[1].top());
    r = tileRects(kArrangeTileVertical, area, 3);
    EXPECT_EQ(r[2].height(), 601);
    EXPECT_LT(r[0].right(), r[1].left());
    EXPECT_TRUE(tileRects(kArrangeCascade, area, 3).empty());
    EXPECT_EQ(arrangementOf("2"), 2);
    EXPECT_EQ(arrangementOf("x"), 0);
}
