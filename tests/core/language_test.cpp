#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/progress.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {
struct LanguageEnv : TempEnv {
    explicit LanguageEnv(const QByteArray &content)
    {
        gsLanguageFile = write("Lumrik32.LNG", content);
        gbNotSwedish = true;
    }
    ~LanguageEnv()
    {
        gsLanguageFile.clear();
        gbNotSwedish = false;
    }
};
}

TEST(Language, LookupWithAndWithoutFile)
{
    TempEnv env;
    gsLanguageFile = env.path("Lumrik32.LNG");
    QString file;
    EXPECT_EQ(RkGetLanguage("1023", file), "str1023");
    EXPECT_EQ(file, gsLanguageFile);
    env.write("Lumrik32.LNG", "[LANGUAGE]\r\n1023=One moment...\r\n");
    EXPECT_EQ(RkGetLanguage(1023), "One moment...");
    EXPECT_EQ(RkGetLanguage(441), "str441");
    const QString longText(300, 'a');
    env.write("Lumrik32.LNG", "[LANGUAGE]\r\n5=" + longText.toLatin1() + "\r\n");
    EXPECT_EQ(RkGetLanguage(5), longText);
    gsLanguageFile.clear();
}

TEST(Language, TextsInCodeFollowTheLanguageSwitch)
{
    EXPECT_EQ(RkText(721, "Det finns inget att sända"), "Det finns inget att sända");
    LanguageEnv env("[LANGUAGE]\r\n721=Nothing to send\r\n");
    EXPECT_EQ(RkText(721, "Det finns inget att sända"), "Nothing to send");
}

TEST(Language, SetLanguageTranslatesCaptionsByTag)
{
    LanguageEnv env("[LANGUAGE]\r\n100=inställningar\r\n12=Twelve\r\n20=Cancel\r\n1023=one moment\r\n370=T0\r\n"
                    "440=A\r\n442=C\r\n377=D\r\n");
    QDialog dlg;
    setTag(&dlg, 100);
    auto *label = new QLabel("Etikett", &dlg);
    setTag(label, "0012");
    auto *untagged = new QLabel("Behålls", &dlg);
    auto *tabs = new QTabWidget(&dlg);
    for (int i = 0; i < 4; ++i)
        tabs->addTab(new QWidget, QString::number(i));
    setTag(tabs, "399");
    SetLanguage(&dlg);
    EXPECT_EQ(dlg.windowTitle(), "INSTÄLLNINGAR");
    EXPECT_EQ(label->text(), "Twelve");
    EXPECT_EQ(untagged->text(), "Behålls");
    EXPECT_EQ(tabs->tabText(0), "A");
    EXPECT_EQ(tabs->tabText(1), "str441");
    EXPECT_EQ(tabs->tabText(3), "D");

    frmProgress progress;
    EXPECT_EQ(progress.windowTitle(), "ONE MOMENT");
    EXPECT_EQ(progress.btnProgessAbort->text(), "Cancel");
}

TEST(Language, WithoutLanguageFileNothingChanges)
{
    gbNotSwedish = false;
    QDialog dlg;
    dlg.setWindowTitle("Original");
    setTag(&dlg, 100);
    auto *box = new QCheckBox("Kryss", &dlg);
    setTag(box, 12);
    SetLanguage(&dlg);
    EXPECT_EQ(dlg.windowTitle(), "Original");
    EXPECT_EQ(box->text(), "Kryss");
}

TEST(Language, BadTagIsReportedAndTheRestKeepsItsTexts)
{
    LanguageEnv env("[LANGUAGE]\r\n12=Twelve\r\n");
    bool reported = false;
    setErrorBoxHook([&](const QString &text) {
        reported = text.contains("Felnummer: 13");
        return true;
    });
    QDialog dlg;
    setTag(&dlg, "abc");
    auto *label = new QLabel("Etikett", &dlg);
    setTag(label, 12);
    SetLanguage(&dlg);
    setErrorBoxHook({});
    EXPECT_TRUE(reported);
    EXPECT_EQ(label->text(), "Etikett");
}
