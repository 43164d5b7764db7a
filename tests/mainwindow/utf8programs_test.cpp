// A UTF-8 program in the real main window: typed into, replaced in, found in,
// upper-cased and saved as UTF-8 with its byte-order mark; the same steps on a
// Windows-1252 program give the bytes they always gave.
#include "core/codepage.h"
#include "core/globals.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/frmfind.h"
#include "documents/frmreplace.h"
#include "documents/frmreplaceconfirm.h"
#include "mainwindow/commands_find.h"
#include "mainwindow/frmmain.h"
#include "mainwindowfixture.h"
#include "modaldialog.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace lumrik;

namespace {

class Utf8ProgramsTest : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        test::SessionScope::search([](SearchValues &v) { v.target.clear(); });
        test::SessionScope::set(&SettingValues::upperCase, false);
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        test::SessionScope::search([](SearchValues &v) { v.target.clear(); });
    }

    // Runs `inside` on the modal dialog of type D when it shows.
    template <class D> static void whenShown(std::function<void(D *)> inside, bool *shown)
    {
        test::whenModalShown<D>(inside, shown);
    }
    // The replace questions of the dialog's replace answered with "&Alla".
    static void answerAll(QObject *dialog)
    {
        test::answerEachModal<frmReplaceConfirm>(dialog, [](frmReplaceConfirm *c) { c->cmdAll->click(); });
    }

    // Types «Ö» at the end of line 2, replaces every «z» by «ö» (written «Ö»),
    // finds «å» from the start and copies what it found; then saves. Gives the
    // saved bytes and the copied text.
    std::pair<QByteArray, QString> editAndSave(const QByteArray &program)
    {
        frmMain w;
        installFindCommands(&w);
        w.resize(1024, 768);
        w.show();
        const QString path = env.write("ncprog/P1.NC", program);
        frmDocument *doc = w.openDocument(path, "MILL");
        if (!doc) {
            ADD_FAILURE() << "not opened";
            return {};
        }
        Editor *ed = doc->txtText;
        ed->setFocus();
        ed->setTextIndex(2);
        ed->setCaret(int(ed->Text().size()) + 1, 2);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("Ö"));
        QApplication::sendEvent(ed->focusProxy(), &press);

        bool replaced = false, found = false;
        whenShown<frmReplace>(
            [](frmReplace *d) {
                d->comboText->setEditText(QStringLiteral("z"));
                d->comboNewText->setEditText(QStringLiteral("ö"));
                d->optOrigin[0]->setChecked(true);
                answerAll(d);
                d->cmdOk->click();
            },
            &replaced);
        w.menuAction("mnuEditReplace")->trigger();
        EXPECT_TRUE(replaced);

        whenShown<frmFind>(
            [](frmFind *d) {
                d->comboText->setEditText(QStringLiteral("å"));
                d->optOrigin[0]->setChecked(true);
                d->cmdFind->click();
                d->cmdCancel->click();
            },
            &found);
        w.menuAction("mnuEditFind")->trigger();
        EXPECT_TRUE(found);
        QApplication::clipboard()->clear();
        w.runCommand("mnuEditCopy");
        const QString copied = QApplication::clipboard()->text();

        w.runCommand("mnuFileSave");
        EXPECT_FALSE(ed->IsDirty());
        EXPECT_TRUE(boxes.calls().empty()) << boxes.calls().front().text.toStdString();
        const QByteArray saved = test::readFile(path);
        doc->close();
        return {saved, copied};
    }
};

}

TEST_F(Utf8ProgramsTest, AUtf8ProgramIsEditedAndSavedAsUtf8WithItsByteOrderMark)
{
    const auto [saved, copied] = editAndSave("\xEF\xBB\xBF(FR\xC3\x85N Z)\r\nN10 G1 Z5\r\n");
    EXPECT_EQ(saved, QByteArray("\xEF\xBB\xBF(FR\xC3\x85N \xC3\x96)\r\nN10 G1 \xC3\x96" "5\xC3\x96\r\n"));
    EXPECT_TRUE(isValidUtf8(saved));
    EXPECT_EQ(copied, QStringLiteral("Å"));
}

TEST_F(Utf8ProgramsTest, AWindows1252ProgramGivesTheBytesItAlwaysGave)
{
    const auto [saved, copied] = editAndSave("(FR\xC5N Z)\r\nN10 G1 Z5\r\n");
    EXPECT_EQ(saved, QByteArray("(FR\xC5N \xD6)\r\nN10 G1 \xD6" "5\xD6\r\n"));
    EXPECT_EQ(copied, QStringLiteral("Å"));
}

TEST_F(Utf8ProgramsTest, UpperCaseTwiceKeepsAUtf8ProgramValid)
{
    frmMain w;
    const QByteArray program = QByteArray("\xEF\xBB\xBF") + QStringLiteral("(dış çap ölçü)\r\nn10 g1 x5 (ſ ı)\r\n").toUtf8();
    const QString path = env.write("ncprog/P1.NC", program);
    frmDocument *doc = w.openDocument(path, "MILL");
    ASSERT_NE(doc, nullptr);
    const QByteArray expected = QByteArray("\xEF\xBB\xBF") + QStringLiteral("(DIŞ ÇAP ÖLÇÜ)\r\nN10 G1 X5 (S I)\r\n").toUtf8();
    for (int round = 0; round < 2; ++round) {
        w.menuAction("mnuViewUppercase")->trigger();
        EXPECT_EQ(doc->txtText->document().fileBytes(doc->txtText->TextAll()), expected) << round;
        EXPECT_EQ(doc->txtText->encoding(), TextEncoding::Utf8);
    }
    w.runCommand("mnuFileSave");
    EXPECT_EQ(test::readFile(path), expected);

    // A Windows-1252 program: every byte but the line ends as the 8-bit rule has it.
    QByteArray every, upper;
    for (int b = 0; b < 256; ++b) {
        if (b == '\r' || b == '\n')
            continue;
        every += char(b);
    }
    const QString path2 = env.write("ncprog/P2.NC", every + "\r\n");
    frmDocument *doc2 = w.openDocument(path2, "MILL");
    ASSERT_NE(doc2, nullptr);
    ASSERT_EQ(doc2->txtText->encoding(), TextEncoding::Windows1252);
    w.menuAction("mnuViewUppercase")->trigger();
    for (char c : every) {
        const auto b = static_cast<unsigned char>(c);
        const bool small = (b >= 'a' && b <= 'z') || (b >= 0xE0 && b != 0xF7 && b != 0xFF);
        upper += char(b == 0x9A ? 0x8A : b == 0x9C ? 0x8C : b == 0x9E ? 0x8E : b == 0xFF ? 0x9F : small ? b - 0x20 : b);
    }
    EXPECT_EQ(doc2->txtText->TextAll(), upper + "\r\n");
}
