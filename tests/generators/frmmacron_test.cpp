// The macro template window: the list of a folder, the fields and picture of
// the chosen template, OK onto the clipboard, errors, and the keys.
#include "core/globals.h"
#include "generators/frmmacron.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

const QByteArray kBore = "' Borrning\r\n"
                         "D >= Diameter [20]\r\n"
                         "Z >= Djup\r\n"
                         "' A >= Dold [1]\r\n"
                         "//\r\n"
                         "G81 X0 Y0 Z-[<2>] R[<1>/10]\r\n"
                         "(D<1>)\r\n";

class MacronTest : public ::testing::Test {
protected:
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    test::SessionScope session;

    void SetUp() override { QGuiApplication::clipboard()->setText("kvar"); }
    QString clipboard() { return QGuiApplication::clipboard()->text(); }
    // A window for the folder, loaded as the window does when it is shown.
    std::unique_ptr<frmMacron> open(const QString &ncmPath)
    {
        auto w = std::make_unique<frmMacron>();
        w->ncmPath = ncmPath;
        w->ncmMachine = "FANUC";
        w->Form_Load();
        return w;
    }
    static QStringList entries(frmMacron &w)
    {
        QStringList l;
        for (int i = 0; i < w.cmbNcmFiler->count(); ++i)
            l << w.cmbNcmFiler->itemText(i);
        return l;
    }
    static int visibleRows(frmMacron &w)
    {
        int n = 0;
        for (int i = 0; i < kMacroFields; ++i)
            n += w.Text1[size_t(i)]->isVisibleTo(&w) && w.lblText[size_t(i)]->isVisibleTo(&w);
        return n;
    }
};

}

TEST_F(MacronTest, MissingFolderSaysSoAndEmptyFolderListsNothing)
{
    auto w = open("\\Macron\\NONE");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Felaktig sökväg till macro " + env.dataPath() + "/Macron/NONE");
    EXPECT_EQ(boxes.calls()[0].title, "Macrofel !");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_EQ(w->cmbNcmFiler->count(), 0);
    EXPECT_FALSE(w->cmdOk->isEnabled());

    boxes.clear();
    env.write("Macron/Tom/readme.txt", "x");
    auto empty = open("\\macron\\TOM\\");
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(empty->cmbNcmFiler->count(), 0);
    EXPECT_FALSE(empty->cmdOk->isEnabled());
    // The "Standard" entry without a folder of its own lists the program folder.
    auto standard = open("\\");
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(standard->templateFolder(), env.dataPath());
}

TEST_F(MacronTest, ChoosingShowsTheFieldsOfThatTemplateOnly)
{
    env.write("Macron/Fanuc/bore.ncm", kBore);
    env.write("Macron/Fanuc/Fick.NCM", "X >= L\xE4ngd [5]\r\nY >= Bredd [3]\r\nR >= Radie [1]\r\n//\r\n");
    auto w = open("\\Macron\\Fanuc");
    EXPECT_EQ(entries(*w), QStringList({"BORE", "FICK"}));
    EXPECT_FALSE(w->cmdOk->isEnabled());

    ASSERT_TRUE(w->chooseTemplate("FICK"));
    EXPECT_EQ(visibleRows(*w), 3);
    EXPECT_EQ(w->lblText[0]->text(), QStringLiteral("Längd"));
    EXPECT_EQ(w->Text1[2]->text(), "1");
    w->Text1[2]->setText("7");

    ASSERT_TRUE(w->chooseTemplate("BORE"));
    EXPECT_TRUE(w->cmdOk->isEnabled());
    EXPECT_EQ(w->fieldCount(), 2);
    EXPECT_EQ(visibleRows(*w), 2);
    EXPECT_EQ(w->lblText[0]->text(), "Diameter");
    EXPECT_EQ(w->Text1[0]->text(), "20");
    EXPECT_EQ(w->lblText[1]->text(), "Djup");
    EXPECT_EQ(w->Text1[1]->text(), "");
    EXPECT_FALSE(w->Text1[2]->isVisibleTo(w.get()));
    EXPECT_EQ(w->Text1[2]->text(), "7"); // hidden rows keep their text
    EXPECT_EQ(w->width(), frmMacron::kNarrowWidth);
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(MacronTest, OkPutsTheResultOnTheClipboardAndCloses)
{
    env.write("Macron/Fanuc/BORE.NCM", kBore);
    auto w = open("\\Macron\\Fanuc");
    w->show();
    EXPECT_EQ(w->windowTitle(), "FANUC");
    ASSERT_TRUE(w->chooseTemplate("BORE"));
    w->Text1[0]->setText("12");
    w->Text1[1]->setText("5,5");
    w->cmdOk->click();
    EXPECT_EQ(clipboard(), "G81 X0 Y0 Z-6 R1\r\n(D12)\r\n"); // 5.5 rounds to the even 6
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Resultatet är kopierat till klippbordet!");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::None);
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MacronTest, TemplateErrorsKeepTheWindowOpenAndTheClipboardAsItWas)
{
    env.write("Macron/Fanuc/BORE.NCM", kBore);
    auto w = open("\\Macron\\Fanuc");
    w->show();
    ASSERT_TRUE(w->chooseTemplate("BORE"));
    w->Text1[1]->setText("abc"); // used in a formula
    w->cmdOk->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Fel i formel. (Rad: 6)");
    EXPECT_EQ(boxes.calls()[0].title, "Fel i macro");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_EQ(clipboard(), "kvar");
    EXPECT_TRUE(w->isVisible());

    // The file gone between the choice and OK: said, nothing copied.
    boxes.clear();
    QFile::remove(env.path("Macron/Fanuc/BORE.NCM"));
    w->cmdOk->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("Kan inte läsa macro "));
    EXPECT_EQ(clipboard(), "kvar");
    EXPECT_TRUE(w->isVisible());

    w->cmdAbort->click();
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_EQ(clipboard(), "kvar");
}

TEST_F(MacronTest, PictureWidensTheWindow)
{
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::red);
    QDir().mkpath(env.path("Macron/P"));
    ASSERT_TRUE(img.save(env.path("Macron/P/Bild.png")));
    env.write("Macron/P/A.NCM", "' BILDFIL=bild.PNG\r\nX >= Djup [1]\r\n//\r\n");
    env.write("Macron/P/B.NCM", "' BILDFIL=saknas.bmp\r\n//\r\n");
    env.write("Macron/P/C.NCM", "X >= Djup [1]\r\n//\r\nBILDFIL=bild.png\r\n");
    auto w = open("\\Macron\\P");
    ASSERT_TRUE(w->chooseTemplate("A"));
    EXPECT_EQ(w->width(), frmMacron::kWideWidth);
    EXPECT_TRUE(w->pic->isVisibleTo(w.get()));
    EXPECT_FALSE(w->pic->pixmap().isNull());

    ASSERT_TRUE(w->chooseTemplate("B")); // a missing picture: none shown, still wide
    EXPECT_EQ(w->width(), frmMacron::kWideWidth);
    EXPECT_TRUE(w->pic->pixmap().isNull());
    EXPECT_TRUE(w->cmdOk->isEnabled()); // no fields at all is fine

    ASSERT_TRUE(w->chooseTemplate("C")); // the body is not read for the window
    EXPECT_EQ(w->width(), frmMacron::kNarrowWidth);
    EXPECT_FALSE(w->pic->isVisibleTo(w.get()));
}

TEST_F(MacronTest, KeysEnterUpperCaseAndNumpadDecimal)
{
    env.write("Macron/K/K.NCM", "A >= Första [abc]\r\nB >= Andra\r\n//\r\n");
    auto w = open("\\Macron\\K");
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    ASSERT_TRUE(w->chooseTemplate("K"));
    (void)QTest::qWaitFor(
        [&] { return QApplication::focusWidget() == w->Text1[0] && w->Text1[0]->hasSelectedText(); }, 60000);
    EXPECT_EQ(QApplication::focusWidget(), w->Text1[0]);
    EXPECT_EQ(w->Text1[0]->selectedText(), "abc"); // focus selects the whole text

    QTest::keyClick(w->Text1[0], Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->Text1[1]);
    EXPECT_TRUE(w->isVisible()); // Enter does not press OK

    test::SessionScope::set(&SettingValues::upperCase, true);
    test::SessionScope::set(&SettingValues::numKbdDec, true);
    QTest::keyClicks(w->Text1[1], "x1");
    QTest::keyClick(w->Text1[1], Qt::Key_Comma, Qt::KeypadModifier);
    QTest::keyClick(w->Text1[1], '5');
    QTest::keyClick(w->Text1[1], ',');
    EXPECT_EQ(w->Text1[1]->text(), "X1.5,");

    test::SessionScope::set(&SettingValues::upperCase, false);
    test::SessionScope::set(&SettingValues::numKbdDec, false);
    QTest::keyClicks(w->Text1[1], "y");
    QTest::keyClick(w->Text1[1], Qt::Key_Comma, Qt::KeypadModifier);
    EXPECT_EQ(w->Text1[1]->text(), "X1.5,y,");
}
