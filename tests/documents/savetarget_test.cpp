// A save writes the program the user loaded, where it was loaded from: a
// link or another file put at its name since, or a change by someone else,
// is asked about first; another user's link in a shared folder is never
// written through.
#include "core/globals.h"
#include "core/msgbox.h"
#include "documents/frmdocument.h"
#include "documents/saving.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

constexpr uid_t kColleague = 4343;

// A program loaded from a shared folder and changed by the user.
struct OpenProgram {
    TempEnv env;
    MsgBoxRecorder boxes;
    QString shop, path, bashrc;
    frmDocument doc;
    OpenProgram()
    {
        shop = env.path("shop");
        QDir().mkpath(shop);
        ::chmod(QFile::encodeName(shop).constData(), 0777);
        path = env.write("shop/O7000.NC", "%\r\nO7000\r\nM30\r\n%\r\n");
        bashrc = env.write("home/.bashrc", "export PATH=$HOME/bin:$PATH\n");
        doc.FileOpen(path);
        doc.txtText->setTextAll("%\r\nO7000\r\nG0 X0\r\nM30\r\n%\r\n");
        doc.txtText->setIsDirty(true);
    }
    // The colleague replaces the program with a link to the user's file.
    void swapInLink(uid_t owner)
    {
        QFile::remove(path);
        ASSERT_TRUE(QFile::link(bashrc, path));
        if (owner != ::geteuid()) {
            ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), owner, owner), 0);
        }
    }
    bool save(bool saveAs = false)
    {
        int result = 0;
        const bool written = RkSaveDocument(&doc, saveAs, result);
        EXPECT_EQ(written, result == 0);
        return written;
    }
};

}

TEST(SaveTarget, ALinkSwappedInAfterLoadingIsAskedAboutAndNoSavesNothing)
{
    OpenProgram p;
    p.swapInLink(::geteuid()); // a link of the user's own: only the question stands
    const QByteArray before = readFile(p.bashrc);

    p.boxes.answer(MbNo);
    EXPECT_FALSE(p.save());
    ASSERT_EQ(p.boxes.calls().size(), 1u);
    const MsgBoxCall &q = p.boxes.calls()[0];
    EXPECT_EQ(q.title, "Spara");
    EXPECT_EQ(q.buttons, MbButtons::YesNo);
    EXPECT_EQ(q.defaultButton, 1); // "Nej" unless the user says otherwise
    EXPECT_TRUE(q.text.contains("är inte längre den fil som lästes in")) << q.text.toStdString();
    EXPECT_TRUE(q.text.contains("en länk till \"" + p.bashrc + "\"")) << q.text.toStdString();
    EXPECT_EQ(readFile(p.bashrc), before);
    EXPECT_TRUE(p.doc.txtText->IsDirty());

    // Asked again at the next save, until the user says "Ja".
    p.boxes.answer(MbYes);
    EXPECT_TRUE(p.save());
    EXPECT_EQ(p.boxes.calls().size(), 2u);
    EXPECT_EQ(readFile(p.bashrc), "%\r\nO7000\r\nG0 X0\r\nM30\r\n%\r\n");
    EXPECT_TRUE(QFileInfo(p.path).isSymLink());
    // Saved: that file is now the document's, and the next save asks nothing.
    p.doc.txtText->setIsDirty(true);
    EXPECT_TRUE(p.save());
    EXPECT_EQ(p.boxes.calls().size(), 2u);
}

TEST(SaveTarget, AColleaguesLinkInASharedFolderIsNeverWrittenThrough)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a link of another user";
    OpenProgram p;
    p.swapInLink(kColleague);
    const QByteArray before = readFile(p.bashrc);

    // Refused, said why; "Nej" leaves it at that.
    p.boxes.answer(MbNo);
    EXPECT_FALSE(p.save());
    ASSERT_EQ(p.boxes.calls().size(), 1u);
    const MsgBoxCall &q = p.boxes.calls()[0];
    EXPECT_TRUE(q.text.startsWith("Programmet sparades inte.")) << q.text.toStdString();
    EXPECT_TRUE(q.text.contains("symbolisk länk som tillhör användaren 4343")) << q.text.toStdString();
    EXPECT_TRUE(q.text.contains("(Spara som)?"));
    EXPECT_EQ(q.buttons, MbButtons::YesNo);
    EXPECT_EQ(readFile(p.bashrc), before);

    // "Ja" is Save As: the program goes where the user says, the link's
    // target stays as it was.
    const QString elsewhere = p.env.path("O7000-EGEN.NC");
    setSaveDialogHook([&](QWidget *, const QString &, const QString &, const QString &, const QString &) {
        return elsewhere;
    });
    p.boxes.answer(MbYes);
    EXPECT_TRUE(p.save());
    setSaveDialogHook({});
    EXPECT_EQ(readFile(elsewhere), "%\r\nO7000\r\nG0 X0\r\nM30\r\n%\r\n");
    EXPECT_EQ(p.doc.caption(), elsewhere);
    EXPECT_EQ(readFile(p.bashrc), before);

    // Save As onto the link itself is refused the same way.
    setSaveDialogHook([&](QWidget *, const QString &, const QString &, const QString &, const QString &) {
        return p.path;
    });
    p.boxes.clear();
    p.boxes.answer(MbNo);
    EXPECT_FALSE(p.save(true));
    setSaveDialogHook({});
    EXPECT_TRUE(p.boxes.saw("symbolisk länk som tillhör användaren"));
    EXPECT_EQ(readFile(p.bashrc), before);
}

TEST(SaveTarget, AFileChangedSinceLoadingIsAskedAbout)
{
    OpenProgram p;
    // The colleague adds a block: the same file, another size.
    ASSERT_TRUE(writeFile(p.path, "%\r\nO7000\r\nN1 (KOLLEGA)\r\nM30\r\n%\r\n"));
    p.boxes.answer(MbNo);
    EXPECT_FALSE(p.save());
    ASSERT_EQ(p.boxes.calls().size(), 1u);
    EXPECT_TRUE(p.boxes.calls()[0].text.contains("har ändrats utanför Lumrik-32 sedan den lästes in"));
    EXPECT_EQ(readFile(p.path), "%\r\nO7000\r\nN1 (KOLLEGA)\r\nM30\r\n%\r\n");

    // Another file of the same size and time in its place: still another file.
    const QString other = p.env.write("shop/ANNAN.NC", readFile(p.path));
    const QDateTime t = QFileInfo(p.path).lastModified();
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(t, QFileDevice::FileModificationTime));
    f.close();
    p.boxes.clear();
    p.boxes.answer(MbYes);
    EXPECT_TRUE(p.save());
    ASSERT_EQ(p.boxes.calls().size(), 1u);
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(p.path).constData()), 0);
    p.doc.txtText->setIsDirty(true);
    p.boxes.clear();
    p.boxes.answer(MbNo);
    EXPECT_FALSE(p.save());
    EXPECT_TRUE(p.boxes.saw("är inte längre den fil som lästes in"));
}

TEST(SaveTarget, ANormalSaveOfAShopFileAsksNothingAndKeepsItsWay)
{
    OpenProgram p;
    const QFileInfo before(p.path);
    EXPECT_TRUE(p.save());
    EXPECT_TRUE(p.boxes.calls().empty());
    EXPECT_EQ(readFile(p.path), "%\r\nO7000\r\nG0 X0\r\nM30\r\n%\r\n");
    EXPECT_EQ(QFileInfo(p.path).permissions(), before.permissions());
    for (int i = 0; i < 3; ++i) {
        p.doc.txtText->setTextAll("%\r\nO7000\r\nN" + QByteArray::number(i) + "\r\nM30\r\n%\r\n");
        p.doc.txtText->setIsDirty(true);
        EXPECT_TRUE(p.save());
    }
    EXPECT_TRUE(p.boxes.calls().empty());
    EXPECT_EQ(QDir(p.shop).entryList(QDir::Files | QDir::Hidden), QStringList{"O7000.NC"});
}
