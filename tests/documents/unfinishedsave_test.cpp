// A save in place that was cut short is told when the file is opened again
// (or the editor starts): by the program's name, with the old text put back
// on "Ja", and nothing removed before the answer.
#include "core/atomicfile.h"
#include "core/msgbox.h"
#include "core/savecopy.h"
#include "documents/frmdocument.h"
#include "documents/unfinishedsave.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

const QByteArray kOld = "%\r\nO1000 (GAMMAL)\r\nN10 G0 X0\r\nN20 G1 X100.\r\nN30 G1 Y50.\r\nM30\r\n%\r\n";
const QByteArray kNew = "%\r\nO1000 (NY)\r\nN10 G0\r\nM30\r\n%\r\n";

// A program with a second name whose save in place was killed after `step`
// steps (3: the new text is written over the start of the old, not cut).
struct KilledSave {
    TempEnv env;
    MsgBoxRecorder boxes;
    QString path;
    explicit KilledSave(int step = 3) : path(env.write("O1000.NC", kOld))
    {
        ::link(QFile::encodeName(path).constData(), QFile::encodeName(env.path("O1000-ARKIV.NC")).constData());
        const pid_t pid = ::fork();
        if (pid == 0) {
            setInPlaceStepHook([step, n = 0](InPlaceStep) mutable {
                if (++n == step)
                    ::raise(SIGKILL);
            });
            writeFileAtomic(path, kNew);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    bool copyLeft() const
    {
        for (const QString &n : QDir(env.dataPath()).entryList(QDir::Files | QDir::Hidden))
            if (n.startsWith("O1000.NC.lumrik-kopia-"))
                return true;
        return false;
    }
};

}

TEST(UnfinishedSave, OpeningTellsOfItAndYesPutsTheOldTextBack)
{
    KilledSave s;
    ASSERT_NE(readFile(s.path), kOld);
    ASSERT_NE(readFile(s.path), kNew);
    ASSERT_TRUE(s.copyLeft());

    frmDocument doc;
    s.boxes.answer(MbYes);
    doc.FileOpen(s.path);
    ASSERT_EQ(s.boxes.calls().size(), 1u);
    const MsgBoxCall &q = s.boxes.calls()[0];
    EXPECT_EQ(q.title, "Avbruten sparning");
    EXPECT_EQ(q.buttons, MbButtons::YesNoCancel);
    EXPECT_TRUE(q.text.startsWith("Programmet \"" + s.path + "\" sparades inte färdigt")) << q.text.toStdString();
    EXPECT_TRUE(q.text.contains("O1000.NC.lumrik-kopia-"));
    // The old text is back, in the window too, and nothing is left.
    EXPECT_EQ(readFile(s.path), kOld);
    EXPECT_EQ(readFile(s.env.path("O1000-ARKIV.NC")), kOld);
    EXPECT_EQ(doc.txtText->TextAll(), kOld);
    EXPECT_FALSE(s.copyLeft());
    doc.FileOpen(s.path);
    EXPECT_EQ(s.boxes.calls().size(), 1u);
}

TEST(UnfinishedSave, CancelLeavesBothAndNoKeepsTheFile)
{
    KilledSave s;
    const QByteArray mixed = readFile(s.path);
    {
        frmDocument doc;
        s.boxes.answer(MbCancel);
        doc.FileOpen(s.path);
        EXPECT_EQ(readFile(s.path), mixed);
        EXPECT_TRUE(s.copyLeft());
        EXPECT_EQ(doc.txtText->TextAll(), mixed);
    }
    // Asked again at the next start, from the recent files.
    s.boxes.answer(MbNo);
    settleUnfinishedSavesAtStart({s.path});
    EXPECT_EQ(s.boxes.calls().size(), 2u);
    EXPECT_EQ(readFile(s.path), mixed);
    EXPECT_FALSE(s.copyLeft());
}

TEST(UnfinishedSave, AWholeFileOnlyLosesTheLeftoverCopy)
{
    for (int step : {1, 5}) { // before the first write; after the file was cut
        SCOPED_TRACE(step);
        KilledSave s(step);
        ASSERT_TRUE(s.copyLeft());
        frmDocument doc;
        doc.FileOpen(s.path);
        EXPECT_TRUE(s.boxes.calls().empty());
        EXPECT_EQ(readFile(s.path), step == 1 ? kOld : kNew);
        EXPECT_FALSE(s.copyLeft());
    }
}
