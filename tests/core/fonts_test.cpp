// The stand-in for a font that is not installed.
#include "core/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QStringList>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

bool fixedPitch(const QString &family)
{
    QFont f(family);
    return QFontInfo(f).fixedPitch() && QFontInfo(f).family() == family;
}

TEST(Fonts, AMissingFamilyGetsAnInstalledFixedPitchFont)
{
    for (const QString &missing : {QStringLiteral("Courier New"), QStringLiteral("Lucida Console"),
                                   QStringLiteral("Ingen Sådan Font"), QString()}) {
        ASSERT_FALSE(QFontDatabase::families().contains(missing));
        const QString family = RkFixedFontFamily(missing);
        EXPECT_TRUE(QFontDatabase::families().contains(family)) << family.toStdString();
        EXPECT_TRUE(fixedPitch(family)) << missing.toStdString() << " -> " << family.toStdString();
    }
}

TEST(Fonts, AnInstalledFamilyStays)
{
    const QStringList families = QFontDatabase::families();
    ASSERT_FALSE(families.isEmpty());
    QString proportional;
    for (const QString &f : families)
        if (!QFontDatabase::isFixedPitch(f) && !QFontDatabase::isPrivateFamily(f))
            proportional = f;
    // What the user chose on purpose is kept, in the letter case it is installed in.
    if (!proportional.isEmpty()) {
        EXPECT_EQ(RkFixedFontFamily(proportional), proportional);
        EXPECT_EQ(RkFixedFontFamily(proportional.toUpper()), proportional);
    }
}

}

namespace {

TEST(Fonts, TheFontDialogOpensOnTheFontInUseInItsRegularStyle)
{
    QFontDialog dialog;
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setCurrentFont(RkFontForDialog("Courier New", 12));
    const QFont shown = dialog.currentFont();
    EXPECT_EQ(shown.family(), RkFixedFontFamily("Courier New"));
    EXPECT_EQ(shown.pointSize(), 12);
    EXPECT_FALSE(shown.italic());
    EXPECT_FALSE(shown.bold());
}

}
