// Macro packages: reading "MACRO.INI", copying the templates as one change and
// registering the package in the Macro menu.
#include "core/globals.h"
#include "core/inifile.h"
#include "documents/macropackage.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace lumrik;

namespace {

class MacroPackageTest : public ::testing::Test {
protected:
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    std::array<QString, 10> captions;
    std::array<bool, 10> visible{};
    MacroMenuAccess menu;

    void SetUp() override
    {
        gbNotSwedish = false;
        test::SessionScope::macroFolders([](MacroFolderValues &f) { f = {}; });
        captions = {};
        captions[0] = "Standard";
        menu.caption = [this](int n) { return captions[size_t(n)]; };
        menu.showEntry = [this](int n, const QString &c) {
            captions[size_t(n)] = c;
            visible[size_t(n)] = true;
        };
        env.write("lumrik32.INI", "[Settings]\r\nLastCnc=MILL\r\n");
    }
    void TearDown() override
    {
        test::SessionScope::macroFolders([](MacroFolderValues &f) { f = {}; });
    }

    // A package below the temporary folder: "MACRO.INI" and the given files.
    QString package(const QString &name, const QByteArray &ini, const QStringList &files = {"BORR.NCM", "FICKA.NCM", "BILD.BMP"})
    {
        const QString dir = env.tmpPath() + "/" + name;
        QDir().mkpath(dir);
        if (!ini.isNull())
            test::writeFile(dir + "/MACRO.INI", ini);
        for (const QString &f : files)
            test::writeFile(dir + "/" + f, "innehåll " + f.toUtf8());
        return dir;
    }
    static QByteArray ini(const QByteArray &path, const QByteArray &name)
    {
        return "[MACRO]\r\nMACROPATH=" + path + "\r\nMACROCNC=" + name + "\r\n";
    }
    QByteArray settings() const { return test::readFile(env.path("lumrik32.INI")); }
    QString setting(const QString &key) const { return GetIniSetting("MACRO", key, "<saknas>"); }
};

}

TEST_F(MacroPackageTest, GoodPackageIsCopiedAndRegistered)
{
    const QString dir = package("pkg", ini("Macron\\Fanuc", "FANUC 0M"));
    QStringList shown;
    // Typed with blanks around it and without a trailing separator.
    const auto r = RkImportMacroPackage("  " + dir + "  ", menu, nullptr,
                                        [&](const QString &p, const QString &n) { shown << p << n; });
    EXPECT_EQ(r.outcome, MacroImportResult::Imported);
    EXPECT_EQ(r.entry, 0);
    EXPECT_EQ(r.count, 4); // the templates, the picture and MACRO.INI
    EXPECT_EQ(shown, (QStringList{"Macron\\Fanuc", "FANUC 0M"}));
    EXPECT_EQ(test::readFile(env.path("Macron/Fanuc/BORR.NCM")), "innehåll BORR.NCM");
    EXPECT_TRUE(QFileInfo::exists(env.path("Macron/Fanuc/BILD.BMP")));
    EXPECT_EQ(setting("0_NAMN"), "FANUC 0M");
    EXPECT_EQ(setting("0_PATH"), "Macron\\Fanuc");
    EXPECT_EQ(captions[0], "FANUC 0M");
    EXPECT_TRUE(visible[0]);
    EXPECT_EQ(test::macroFoldersNow()[0], "Macron\\Fanuc");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Import av macro genomförd. 4 filer.");
    EXPECT_EQ(boxes.calls()[0].title, "Klar");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
    // No temporary file is left in the target folder.
    EXPECT_EQ(QDir(env.path("Macron/Fanuc")).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

TEST_F(MacroPackageTest, NewPackageTakesTheFirstFreeEntry)
{
    env.write("lumrik32.INI", "[MACRO]\r\n0_NAMN=A1\r\n0_PATH=M\\A\r\n1_NAMN=B1\r\n1_PATH=M\\B\r\n"
                              "3_NAMN=D1\r\n3_PATH=M\\D\r\n4_NAMN=UTAN SÖKVÄG\r\n");
    test::SessionScope::macroFolders([](MacroFolderValues &f) {
        f[0] = "M\\A";
        f[1] = "M\\B";
        f[3] = "M\\D";
    });
    captions = {"A1", "B1", "", "D1", "UTAN SÖKVÄG"};
    const auto r = RkImportMacroPackage(package("p", ini("\\Macron\\Okuma", "OKUMA")) + "/", menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Imported);
    EXPECT_EQ(r.entry, 2);
    EXPECT_EQ(setting("2_NAMN"), "OKUMA");
    EXPECT_EQ(setting("2_PATH"), "Macron\\Okuma");
    EXPECT_TRUE(visible[2]);
    EXPECT_EQ(captions[2], "OKUMA");
    // The other registrations stay as they were.
    EXPECT_EQ(setting("3_PATH"), "M\\D");

    // A registered name without a folder is not free either.
    EXPECT_EQ(freeMacroEntry(test::macroFoldersNow(), registeredMacroNames()), 5);
}

TEST_F(MacroPackageTest, MissingDescriptionFileChangesNothing)
{
    const QByteArray before = settings();
    const auto r = RkImportMacroPackage(package("tom", QByteArray()), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::NoIniFile);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Installations fil saknas! [MACRO.INI]");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_EQ(settings(), before);
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron")));

    // An empty box and a missing folder say the same.
    boxes.clear();
    EXPECT_EQ(RkImportMacroPackage("   ", menu).outcome, MacroImportResult::NoIniFile);
    EXPECT_EQ(RkImportMacroPackage(env.tmpPath() + "/finns-inte", menu).outcome, MacroImportResult::NoIniFile);
    EXPECT_EQ(boxes.calls().size(), 2u);
}

TEST_F(MacroPackageTest, DescriptionFileNameIgnoresCase)
{
    const QString dir = package("gemener", QByteArray());
    test::writeFile(dir + "/macro.ini", ini("Macron\\Gemen", "GEMEN"));
    EXPECT_EQ(RkImportMacroPackage(dir, menu).outcome, MacroImportResult::Imported);
    EXPECT_TRUE(QFileInfo::exists(env.path("Macron/Gemen/FICKA.NCM")));
}

TEST_F(MacroPackageTest, BrokenPackagesAreRefusedBeforeAnythingIsCopied)
{
    struct Case {
        const char *name;
        QByteArray ini;
        QStringList files;
        const char *reason;
    };
    const QStringList good{"A.NCM"};
    const Case cases[] = {
        {"noname", ini("Macron\\X", ""), good, "MACROCNC"},
        {"shortname", ini("Macron\\X", "X"), good, "MACROCNC"},
        {"nopath", ini("", "NAMN"), good, "MACROPATH"},
        {"rootpath", ini("\\", "NAMN"), good, "MACROPATH"},
        {"escape", ini("Macron\\..\\..\\etc", "NAMN"), good, "programmappen"},
        {"drive", ini("C:\\Macron", "NAMN"), good, "enhetsbokstav"},
        {"outside", ini("[exedrive]\\Macron", "NAMN"), good, "programmappen"},
        {"twins", ini("Macron\\X", "NAMN"), {"A.NCM", "a.ncm"}, "flera filer"},
    };
    const QByteArray before = settings();
    for (const Case &c : cases) {
        boxes.clear();
        const auto r = RkImportMacroPackage(package(c.name, c.ini, c.files), menu);
        EXPECT_EQ(r.outcome, MacroImportResult::Invalid) << c.name;
        ASSERT_EQ(boxes.calls().size(), 1u) << c.name;
        EXPECT_TRUE(boxes.calls()[0].text.startsWith("Ogiltigt macro")) << c.name;
        EXPECT_TRUE(boxes.calls()[0].text.contains(c.reason)) << c.name << " " << boxes.calls()[0].text.toStdString();
        EXPECT_EQ(boxes.calls()[0].icon, MbIcon::None);
    }
    EXPECT_EQ(settings(), before);
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron")));
    EXPECT_FALSE(visible[0]);
}

TEST_F(MacroPackageTest, PackageWithoutTemplatesIsImportedAsItStands)
{
    const auto r = RkImportMacroPackage(package("bare", ini("Macron\\Bar", "BAR"), {"LASMIG.TXT"}), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Imported);
    EXPECT_EQ(r.entry, 0);
    EXPECT_EQ(test::readFile(env.path("Macron/Bar/LASMIG.TXT")), "innehåll LASMIG.TXT");
    EXPECT_EQ(setting("0_NAMN"), "BAR");
    EXPECT_TRUE(visible[0]);
}

TEST_F(MacroPackageTest, ProgramFolderTokenInsideIsAccepted)
{
    const auto r = RkImportMacroPackage(package("tok", ini("[exedir]\\Macron\\Tok", "TOKEN")), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Imported);
    EXPECT_EQ(setting("0_PATH"), "Macron\\Tok");
    EXPECT_TRUE(QFileInfo::exists(env.path("Macron/Tok/BORR.NCM")));
}

TEST_F(MacroPackageTest, UpgradeAsksAndCopiesIntoThePackagesOwnFolder)
{
    env.write("lumrik32.INI", "[MACRO]\r\n0_NAMN=FANUC\r\n0_PATH=Macron\\Gammal\r\n");
    test::SessionScope::macroFolders([](MacroFolderValues &f) { f[0] = "Macron\\Gammal"; });
    captions[0] = "FANUC";
    env.write("Macron/Ny/BORR.NCM", "gammal");
    const QByteArray before = settings();
    const QString dir = package("upp", ini("Macron\\Ny", "FANUC"), {"BORR.NCM", "NY.NCM"});

    boxes.answer(MbNo);
    auto r = RkImportMacroPackage(dir, menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Declined);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "FANUC finns redan, uppgradera??");
    EXPECT_EQ(boxes.calls()[0].title, "Namn upptaget");
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::YesNo);
    EXPECT_EQ(test::readFile(env.path("Macron/Ny/BORR.NCM")), "gammal");
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron/Ny/NY.NCM")));

    boxes.clear();
    boxes.answer(MbYes);
    r = RkImportMacroPackage(dir, menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Upgraded);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(test::readFile(env.path("Macron/Ny/BORR.NCM")), "innehåll BORR.NCM");
    EXPECT_TRUE(QFileInfo::exists(env.path("Macron/Ny/NY.NCM")));
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron/Gammal")));
    EXPECT_EQ(settings(), before);
    EXPECT_FALSE(visible[1]);
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[1].text, "Uppgradering genomförd. 3 filer");
    EXPECT_EQ(boxes.calls()[1].title, "Klar");
}

TEST_F(MacroPackageTest, ExistingFolderIsNotOverwrittenWithoutAsking)
{
    env.write("Macron/Fanuc/BORR.NCM", "egen");
    env.write("Macron/Fanuc/ficka.ncm", "egen ficka");
    env.write("Macron/Fanuc/EGEN.NCM", "behålls");
    const QByteArray before = settings();
    const QString dir = package("pkg", ini("Macron\\Fanuc", "FANUC"));

    boxes.answer(MbNo);
    auto r = RkImportMacroPackage(dir, menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Declined);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Mappen finns redan");
    EXPECT_TRUE(boxes.calls()[0].text.contains("BORR.NCM"));
    EXPECT_TRUE(boxes.calls()[0].text.contains("FICKA.NCM"));
    EXPECT_EQ(boxes.calls()[0].defaultButton, 1); // No
    EXPECT_EQ(test::readFile(env.path("Macron/Fanuc/BORR.NCM")), "egen");
    EXPECT_EQ(settings(), before);

    boxes.clear();
    boxes.answer(MbYes);
    r = RkImportMacroPackage(dir, menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Imported);
    EXPECT_EQ(test::readFile(env.path("Macron/Fanuc/BORR.NCM")), "innehåll BORR.NCM");
    // A file of the same name in other letter case is replaced, not doubled.
    EXPECT_EQ(test::readFile(env.path("Macron/Fanuc/FICKA.NCM")), "innehåll FICKA.NCM");
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron/Fanuc/ficka.ncm")));
    EXPECT_EQ(test::readFile(env.path("Macron/Fanuc/EGEN.NCM")), "behålls");
    EXPECT_EQ(setting("0_NAMN"), "FANUC");
}

TEST_F(MacroPackageTest, ExistingFolderWithoutClashesIsUsedWithoutAQuestion)
{
    env.write("Macron/Fanuc/EGEN.NCM", "behålls");
    const auto r = RkImportMacroPackage(package("pkg", ini("Macron\\Fanuc", "FANUC")), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Imported);
    EXPECT_EQ(boxes.calls().size(), 1u); // only the completion message
}

TEST_F(MacroPackageTest, AFolderInTheWayMakesThePackageInvalid)
{
    QDir().mkpath(env.path("Macron/Fanuc/BORR.NCM"));
    const auto r = RkImportMacroPackage(package("pkg", ini("Macron\\Fanuc", "FANUC")), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Invalid);
    EXPECT_TRUE(QFileInfo(env.path("Macron/Fanuc/BORR.NCM")).isDir());
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron/Fanuc/FICKA.NCM")));
}

TEST_F(MacroPackageTest, FailedCopyRegistersNothingAndLeavesNoFolder)
{
    // "Macron" is a file, so the folder below it cannot be made.
    env.write("Macron", "ingen mapp");
    const QByteArray before = settings();
    const auto r = RkImportMacroPackage(package("pkg", ini("Macron\\Fanuc", "FANUC")), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Failed);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("Importen av macro misslyckades"));
    EXPECT_EQ(settings(), before);
    EXPECT_FALSE(visible[0]);
    EXPECT_TRUE(test::macroFoldersNow()[0].isEmpty());
    EXPECT_EQ(test::readFile(env.path("Macron")), "ingen mapp");
}

TEST_F(MacroPackageTest, UnwritableSettingsFileUndoesTheCopy)
{
    // A settings "file" that is a folder cannot be written.
    QFile::remove(env.path("lumrik32.INI"));
    QDir().mkpath(env.path("lumrik32.INI"));
    const auto r = RkImportMacroPackage(package("pkg", ini("Macron\\Fanuc", "FANUC")), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Failed);
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron")));
    EXPECT_FALSE(visible[0]);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("Fel vid skrivning till INI-fil..."));
}

TEST_F(MacroPackageTest, AllEntriesInUseChangesNothingAndSaysNothing)
{
    for (int d = 0; d < 10; ++d) {
        test::SessionScope::macroFolders([&](MacroFolderValues &f) { f[size_t(d)] = QString("M%1").arg(d); });
        captions[size_t(d)] = QString("NAMN%1").arg(d);
    }
    const QByteArray before = settings();
    const auto r = RkImportMacroPackage(package("pkg", ini("Macron\\Fanuc", "FANUC")), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::NoFreeEntry);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(settings(), before);
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron")));
}

TEST_F(MacroPackageTest, CopyRollsBackEverythingOnAFailureHalfWay)
{
    const QString src = package("src", QByteArray(), {"A.NCM", "B.NCM", "C.NCM"});
    env.write("Macron/X/A.NCM", "gammal A");
    env.write("Macron/X/b.ncm", "gammal b");

    MacroFileCopy copy(src, env.path("Macron/X"), {"A.NCM", "B.NCM", "C.NCM"});
    EXPECT_EQ(copy.existingInTarget(), (QStringList{"A.NCM", "B.NCM"}));
    int renames = 0;
    copy.renameFile = [&](const QString &from, const QString &to) {
        // A, then B set aside and B placed; C fails.
        if (++renames == 5)
            return false;
        return QFile::rename(from, to);
    };
    ASSERT_TRUE(copy.stage());
    EXPECT_FALSE(copy.commit());
    EXPECT_FALSE(copy.error().isEmpty());
    EXPECT_EQ(test::readFile(env.path("Macron/X/A.NCM")), "gammal A");
    EXPECT_EQ(test::readFile(env.path("Macron/X/b.ncm")), "gammal b");
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron/X/B.NCM")));
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron/X/C.NCM")));
    EXPECT_EQ(QDir(env.path("Macron/X")).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(MacroPackageTest, FailedStageRemovesTheFoldersItMade)
{
    const QString src = package("src", QByteArray(), {"A.NCM", "B.NCM"});
    MacroFileCopy copy(src, env.path("Macron/Ny/Djup"), {"A.NCM", "B.NCM"});
    int copies = 0;
    copy.copyFile = [&](const QString &from, const QString &to) { return ++copies < 2 && QFile::copy(from, to); };
    EXPECT_FALSE(copy.stage());
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron")));
}

TEST_F(MacroPackageTest, APackageWritesOnlyIntoAFolderOfItsOwn)
{
    // The program's own folders, folders of the programs it starts, and ways
    // out of the program folder are refused before anything is copied.
    test::SessionScope scope;
    test::SessionScope::set(&SettingValues::kalmeroPath, env.path("LMK"));
    test::SessionScope::set(&SettingValues::programInfoPath, "Dalvinger"); // relative: below the program folder
    QDir().mkpath(env.path("plugins"));
    QDir().mkpath(env.path("Macron"));
    QDir().mkpath(env.tmpPath() + "/utanfor");
    ASSERT_TRUE(QFile::link(env.tmpPath() + "/utanfor", env.path("Macron/Lank")));
    struct Case {
        const char *name;
        QByteArray path;
        const char *reason;
    };
    const Case cases[] = {
        {"plugins", "plugins", "programmets egen mapp plugins"},
        {"plugins-case", "PlugIns\\Nya", "programmets egen mapp PlugIns"},
        {"plugins-dot", ".\\plugins", "programmets egen mapp plugins"},
        {"help", "help", "programmets egen mapp help"},
        {"up", "..", "programmappen"},
        {"up-deep", "Macron\\..\\..\\plugins", "programmappen"},
        {"absolute", "/usr/lib", "programmappen"},
        {"kalmero", "LMK", "där Lumrik32 startar program"},
        {"kalmero-inside", "LMK\\bin", "där Lumrik32 startar program"},
        {"kalmero-above", "[exedir]", "MACROPATH"},
        {"database", "Dalvinger", "där Lumrik32 startar program"},
        {"link", "Macron\\Lank\\Fanuc", "länken"},
    };
    const QByteArray before = settings();
    for (const Case &c : cases) {
        boxes.clear();
        const auto r = RkImportMacroPackage(package(c.name, ini(c.path, "NAMN"), {"Ond.so"}), menu);
        EXPECT_EQ(r.outcome, MacroImportResult::Invalid) << c.name;
        ASSERT_EQ(boxes.calls().size(), 1u) << c.name;
        EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8(c.reason)))
            << c.name << ": " << boxes.calls()[0].text.toStdString();
    }
    EXPECT_EQ(settings(), before);
    EXPECT_TRUE(QDir(env.path("plugins")).isEmpty());
    EXPECT_TRUE(QDir(env.tmpPath() + "/utanfor").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(env.path("help")));
    EXPECT_FALSE(QFileInfo::exists(env.path("LMK")));

    // A folder that merely starts like one of them is the package's own.
    const auto r = RkImportMacroPackage(package("egen", ini("pluginsamling\\Haas", "HAAS")), menu);
    EXPECT_EQ(r.outcome, MacroImportResult::Imported);
    EXPECT_TRUE(QFileInfo::exists(env.path("pluginsamling/Haas/BORR.NCM")));
}

TEST_F(MacroPackageTest, CopiesAreNeverExecutableAndLinksInAPackageAreRefused)
{
    const QString dir = package("x", ini("Macron\\Exe", "EXE"), {"BORR.NCM", "Skript.sh"});
    ASSERT_EQ(::chmod(QFile::encodeName(dir + "/Skript.sh").constData(), 04755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir + "/BORR.NCM").constData(), 0777), 0);
    const auto r = RkImportMacroPackage(dir, menu);
    ASSERT_EQ(r.outcome, MacroImportResult::Imported);
    for (const char *name : {"Skript.sh", "BORR.NCM", "MACRO.INI"}) {
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(env.path(QString("Macron/Exe/") + name)).constData(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH | S_ISUID | S_ISGID), 0u) << name;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
    }
    EXPECT_EQ(test::readFile(env.path("Macron/Exe/Skript.sh")), "innehåll Skript.sh");

    // A file of the package that is a link (here to a private file of the
    // user's) is neither copied nor followed.
    const QString secret = env.write("hemligt.txt", "lösenord");
    const QString linked = package("lank", ini("Macron\\Lank", "LANK"));
    ASSERT_TRUE(QFile::link(secret, linked + "/NYCKEL.NCM"));
    boxes.clear();
    const auto l = RkImportMacroPackage(linked, menu);
    EXPECT_EQ(l.outcome, MacroImportResult::Invalid);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("NYCKEL.NCM är en länk")));
    EXPECT_FALSE(QFileInfo::exists(env.path("Macron/Lank")));
}
