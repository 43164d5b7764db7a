// Saving documents: the text written and the save prompt.
#include "core/errors.h"
#include "core/globals.h"
#include "core/lineends.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

// ----- saving a document window -------------------------------------------------

#include "core/inifile.h"
#include "documents/frmdocument.h"
#include "documents/saving.h"
#include "sessionscope.h"

namespace {

struct DialogCall {
    QString title, file, folder, filter;
};

// Answers the Save As dialog with `answer` and remembers what it was shown.
class SaveDialogStub {
public:
    explicit SaveDialogStub(QString answer) : answer_(std::move(answer))
    {
        setSaveDialogHook([this](QWidget *, const QString &title, const QString &file, const QString &folder,
                                 const QString &filter) {
            calls.push_back({title, file, folder, filter});
            return answer_;
        });
    }
    ~SaveDialogStub() { setSaveDialogHook({}); }
    std::vector<DialogCall> calls;

private:
    QString answer_;
};

QByteArray program(const QByteArray &eol)
{
    QByteArray p = "%" + eol + "O1000 (TEST)" + eol;
    for (int i = 0x80; i < 0x100; i += 16) {
        p += "N" + QByteArray::number(i) + " (";
        for (int k = i; k < i + 16; ++k)
            p += char(k);
        p += ")" + eol;
    }
    return p + "M30" + eol;
}

// A document loaded from a file and marked as changed.
void openChanged(frmDocument &doc, const QString &path)
{
    doc.FileOpen(path);
    doc.txtText->setIsDirty(true);
}

}

TEST(SaveDocument, FilterHasEachPatternThenAllFiles)
{
    EXPECT_EQ(saveDialogFilter("*.NC"), "*.NC|*.NC|Alla filer (*.*)|*.*");
    EXPECT_EQ(saveDialogFilter("*.NC;*.MPF"), "*.NC|*.NC|*.MPF|*.MPF|Alla filer (*.*)|*.*");
    EXPECT_EQ(saveDialogFilter(""), "Alla filer (*.*)|*.*");
}

TEST(SaveDocument, RoundTripsBytesAndConvertsOnlyBySetting)
{
    TempEnv env;
    test::SessionScope scope;
    for (const QByteArray &eol : {QByteArray("\r\n"), QByteArray("\n")}) {
        for (int setting : {1, 2}) {
            const QString path = env.write("O1000.NC", program(eol));
            test::SessionScope::set(&SettingValues::saveAsUnixType, setting);
            frmDocument doc;
            openChanged(doc, path);
            bool saveAs = false;
            int result = 0;
            EXPECT_TRUE(RkSaveDocument(&doc, saveAs, result));
            EXPECT_EQ(result, 0);
            EXPECT_EQ(readFile(path), program(setting == 1 ? "\r\n" : "\n"));
            EXPECT_FALSE(doc.txtText->IsDirty());
            EXPECT_EQ(doc.txtText->TextType(), setting);
            EXPECT_EQ(doc.fileStamp, QFileInfo(path).lastModified());
        }
    }
}

TEST(SaveDocument, UntitledAsksForANameAndTakesIt)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    test::SessionScope::words([](WordValues &w) { w.untitled = "NAMNLÖS"; });
    test::changeMachineKeys([&](MachineKeys &k) { k.fileExtension = "*.NC"; });
    env.write("DEMO.cfg", "[CNCProgPath]\nDefaultRxdCncPath=[exedir]\\rec\\\n");
    test::useMachineName("DEMO");
    const QString target = env.path("NY.NC");
    SaveDialogStub dialog(target);
    QStringList saved;
    setSavedFileHook([&](const QString &p) { saved << p; });

    frmDocument doc;
    doc.setCaption(test::wordsNow().untitled);
    doc.txtText->setTextAll("N10 G0\r\n");
    bool saveAs = false;
    int result = 0;
    EXPECT_TRUE(RkSaveDocument(&doc, saveAs, result));
    EXPECT_TRUE(saveAs);
    ASSERT_EQ(dialog.calls.size(), 1u);
    EXPECT_EQ(dialog.calls[0].title, "Ange filnamn");
    EXPECT_EQ(dialog.calls[0].file, "NAMNLÖS");
    EXPECT_EQ(dialog.calls[0].folder, env.dataPath() + "/rec/");
    EXPECT_EQ(dialog.calls[0].filter, "*.NC|*.NC|Alla filer (*.*)|*.*");
    EXPECT_EQ(doc.caption(), target);
    EXPECT_TRUE(doc.bNamed);
    EXPECT_EQ(readFile(target), QByteArray("N10 G0\r\n"));
    EXPECT_EQ(saved, QStringList{target});
    EXPECT_TRUE(boxes.calls().empty());
    setSavedFileHook({});
    test::useMachineName(QString());
    test::changeMachineKeys([&](MachineKeys &k) { k.fileExtension = QString(); });
}

TEST(SaveDocument, FailedSaveAsKeepsCaptionAndName)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString path = env.write("O1.NC", "A\r\n");
    frmDocument doc;
    openChanged(doc, path);

    {   // cancelled dialog
        SaveDialogStub dialog("");
        bool saveAs = true;
        int result = 0;
        EXPECT_FALSE(RkSaveDocument(&doc, saveAs, result));
        EXPECT_EQ(result, 2);
        EXPECT_EQ(dialog.calls[0].file, path); // proposes its own path
    }
    {   // folder that does not exist
        SaveDialogStub dialog(env.path("nowhere/O2.NC"));
        bool saveAs = true;
        int result = 0;
        EXPECT_FALSE(RkSaveDocument(&doc, saveAs, result));
        EXPECT_EQ(result, 2);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].text, "Felaktigt filnamn! Programmet är inte sparat!");
        EXPECT_EQ(boxes.calls()[0].title, "Fel i filnamn");
        EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
    }
    {   // a write that fails
        const QString ro = env.write("RO.NC", "keep");
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        SaveDialogStub dialog(ro);
        bool saveAs = true;
        int result = 0;
        boxes.clear();
        EXPECT_FALSE(RkSaveDocument(&doc, saveAs, result));
        EXPECT_EQ(result, 2);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
        EXPECT_EQ(readFile(ro), QByteArray("keep"));
    }
    EXPECT_EQ(doc.caption(), path);
    EXPECT_TRUE(doc.bNamed);
    EXPECT_TRUE(doc.txtText->IsDirty());
    EXPECT_EQ(readFile(path), QByteArray("A\r\n"));
}

TEST(SaveDocument, HexViewAndReadOnlyAreRefused)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString path = env.write("O1.NC", "A\r\n");
    frmDocument doc;
    doc.FileOpen(path);
    doc.bReadOnly = true;
    bool saveAs = false;
    int result = 7;
    EXPECT_FALSE(RkSaveDocument(&doc, saveAs, result));
    EXPECT_EQ(result, 7);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Denna filen är inte tillåten att spara.");
    EXPECT_EQ(boxes.calls()[0].title, "Spara");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
}

TEST(SavePrompt, AnswersDecideWhetherTheWindowCloses)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    test::SessionScope::words([](WordValues &w) { w.untitled = "NAMNLÖS"; });
    const QString path = env.write("O1.NC", "A\r\n");

    {   // Cancel keeps the window and its changes
        frmDocument doc;
        openChanged(doc, path);
        boxes.answer(MbCancel);
        int cancel = 0;
        SaveOrNot(&doc, cancel);
        EXPECT_EQ(cancel, 2);
        EXPECT_TRUE(doc.txtText->IsDirty());
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].text, path + " har ändrats, skall det sparas ? ");
        EXPECT_EQ(boxes.calls()[0].title, "Programmet är ändrat !!");
        EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::YesNoCancel);
        EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Exclamation);
    }
    {   // No closes without writing
        frmDocument doc;
        openChanged(doc, path);
        doc.txtText->setTextAll("CHANGED\r\n");
        boxes.answer(MbNo);
        int cancel = 0;
        SaveOrNot(&doc, cancel);
        EXPECT_EQ(cancel, 0);
        EXPECT_EQ(readFile(path), QByteArray("A\r\n"));
    }
    {   // Yes saves a named document and lets it close
        frmDocument doc;
        openChanged(doc, path);
        doc.txtText->setTextAll("B\r\n");
        boxes.answer(MbYes);
        int cancel = 0;
        SaveOrNot(&doc, cancel);
        EXPECT_EQ(cancel, 0);
        EXPECT_EQ(readFile(path), QByteArray("B\r\n"));
        EXPECT_FALSE(doc.txtText->IsDirty());
    }
    {   // Yes on an untitled document, then a cancelled dialog: stays open
        SaveDialogStub dialog("");
        frmDocument doc;
        doc.setCaption(test::wordsNow().untitled);
        doc.txtText->setTextAll("C\r\n");
        boxes.answer(MbYes);
        int cancel = 0;
        SaveOrNot(&doc, cancel);
        EXPECT_EQ(cancel, 2);
        EXPECT_EQ(dialog.calls.size(), 1u);
    }
    {   // Yes on a hex view: refused, and the window may close
        frmDocument doc;
        openChanged(doc, path);
        doc.bHexView = true;
        boxes.clear();
        boxes.answer(MbYes);
        int cancel = 0;
        SaveOrNot(&doc, cancel);
        EXPECT_EQ(cancel, 0);
        EXPECT_TRUE(boxes.saw("Denna filen är inte tillåten att spara."));
    }
}

TEST(SavePrompt, ClosingAChangedWindowAndCancellingKeepsIt)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString path = env.write("O1.NC", "A\r\n");
    frmDocument doc;
    openChanged(doc, path);
    doc.show();
    boxes.answer(MbCancel);
    EXPECT_FALSE(doc.close());
    EXPECT_TRUE(doc.isVisible());
    boxes.answer(MbNo);
    EXPECT_TRUE(doc.close());
    EXPECT_EQ(readFile(path), QByteArray("A\r\n"));
}
