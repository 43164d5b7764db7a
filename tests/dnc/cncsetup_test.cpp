// The machine set-up dialog: loading a machine, the unsaved-changes flag and
// its "Spara?" prompt, storing in the machine file's order, refusing values
// that cannot be stored, the port list, the key filters and normalising, the
// colour and folder buttons, and a new machine.
#include "dnc/cncsetup_fields.h"
#include "dnc/frmcncsetup.h"
#include "dnc/frmhexedit.h"
#include "dnc/machineconfig.h"
#include "dnc/txdsend.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/services.h"
#include "testsupport/modaldialog.h"
#include "testsupport/sessionscope.h"
#include "testsupport/testsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <unistd.h>

using namespace lumrik;
using lumrik::test::readFile;

namespace {

using test::whenWindowShown;

class CncSetupTest : public ::testing::Test {
protected:
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    std::vector<QString> errors;
    QString portA, portB, portC;

    void SetUp() override
    {
        setErrorBoxHook([this](const QString &t) {
            errors.push_back(t);
            return true;
        });
        gbNotSwedish = false;
        portA = env.write("dev/ttyA", "");
        portB = env.write("dev/ttyB", "");
        portC = env.write("dev/ttyC", "");
        writeIni({});
        cncSetupHooks().systemPorts = [] { return QStringList(); };
        currentMachine().use("MILL", QString());
        test::changeMachineKeys([](MachineKeys &k) {
            k.rootFolder = "/nc/root/";
            k.codeColor.fill(0);
            k.commentColor = 0;
        });
    }
    void TearDown() override
    {
        cncSetupHooks() = CncSetupHooks();
        setErrorBoxHook({});
        currentMachine().use(QString(), QString());
        test::changeMachineKeys([&](MachineKeys &k) { k.rootFolder = QString(); });
        EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors.front().toStdString());
    }
    void writeIni(const QByteArray &more)
    {
        env.write("lumrik32.INI", "[Settings]\r\nEditFontColor=255\r\n[ComPorts]\r\nCOM1=" + portA.toUtf8() +
                                      "\r\nCOM2=" + env.path("dev/gone").toUtf8() + "\r\nCOM3=" + portB.toUtf8() +
                                      "\r\nCOM123=" + portC.toUtf8() + "\r\n" + more);
    }
    std::unique_ptr<frmCncSetup> open(QComboBox *mainSelector = nullptr)
    {
        return std::make_unique<frmCncSetup>(test::testSession(), nullptr, mainSelector);
    }
    static QStringList items(QComboBox *c)
    {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    // The (section, key) pairs of a file, in file order.
    static QStringList keyOrder(const QByteArray &bytes)
    {
        QStringList out;
        QString section;
        for (const QByteArray &line : bytes.split('\n')) {
            const QString l = QString::fromLatin1(line).trimmed();
            if (l.startsWith('['))
                section = l.mid(1, l.size() - 2);
            else if (l.contains('='))
                out << section + '/' + l.left(l.indexOf('='));
        }
        return out;
    }
};

}

TEST_F(CncSetupTest, EmptyMachineOpensWithTheDefaultsAndNothingChanged)
{
    env.write("MILL.cfg", "");
    env.write("LATHE.CFG", "");
    env.write("fanuc.syn", "");
    env.write("heidenhain.SYN", "");
    QComboBox mainSelector;
    mainSelector.addItems({"LATHE", "MILL"});
    mainSelector.setCurrentIndex(0);
    auto dlg = open(&mainSelector);

    EXPECT_EQ(items(dlg->cmbCfgFiler), QStringList({"LATHE", "MILL"}));
    EXPECT_EQ(dlg->cmbCfgFiler->currentText(), "MILL");
    EXPECT_EQ(dlg->shownMachine(), "MILL");
    EXPECT_EQ(currentMachine().name(), "MILL");
    EXPECT_TRUE(currentMachine().file().endsWith("/MILL.cfg"));
    EXPECT_EQ(mainSelector.currentText(), "MILL");
    EXPECT_TRUE(boxes.calls().empty());   // no "Spara?" on opening
    EXPECT_FALSE(dlg->cmdApply->isEnabled());
    EXPECT_TRUE(dlg->SSTab1->isEnabled());
    EXPECT_EQ(dlg->SSTab1->currentIndex(), 0);

    EXPECT_EQ(dlg->txtDefaultPath->text(), "[exedrive]\\Ncprog\\");
    EXPECT_EQ(dlg->txtFileExtension->text(), "*.*");
    EXPECT_EQ(dlg->cmbComPort->currentText(), "1 - " + portA);
    EXPECT_EQ(dlg->cmbBaud->currentText(), "2400");
    EXPECT_EQ(dlg->cmbProtokoll->currentText(), "RTS/CTS");
    EXPECT_EQ(dlg->cmbCodeSyst->currentText(), "ISO");
    EXPECT_EQ(dlg->cmbDataBits->currentText(), "7");
    EXPECT_EQ(dlg->cmbParity->currentText(), QStringLiteral("JÄMN"));
    EXPECT_EQ(dlg->cmbStopBits->currentText(), "1");
    EXPECT_EQ(dlg->cmbEOB->currentText(), "CR LF");
    EXPECT_EQ(dlg->cmbBufSize->currentText(), "256");
    EXPECT_EQ(dlg->txtChrDelay->text(), "0");
    EXPECT_EQ(dlg->txtCloseDelay->text(), "0");
    EXPECT_TRUE(dlg->chkTxdDisplay->isChecked());
    EXPECT_FALSE(dlg->chk30Null->isChecked());
    EXPECT_FALSE(dlg->chkLoopSend->isChecked());
    EXPECT_TRUE(dlg->txtLeader->text().isEmpty() && dlg->txtTrailer->text().isEmpty() &&
                dlg->txtFilter->text().isEmpty() && dlg->txtSendTo->text().isEmpty() &&
                dlg->txtCodeText[0]->text().isEmpty());
    // Folders come from the root folder, shown with a trailing backslash.
    EXPECT_EQ(dlg->txtDefaultTxdCNCpath->text(), "/nc/root/");
    // The colour files of the program folder; none chosen.
    EXPECT_EQ(items(dlg->ComboColorFile), QStringList({"fanuc", "heidenhain"}));
    EXPECT_EQ(dlg->ComboColorFile->currentIndex(), -1);
    // Colours from the editor's text colour.
    EXPECT_EQ(currentMachine().keys().codeColor[4], 255);
    EXPECT_EQ(dlg->txtCodeText[4]->palette().color(QPalette::Text), rkColor(255));
}

TEST_F(CncSetupTest, WithoutACurrentMachineNothingIsLoadedOrStored)
{
    env.write("MILL.cfg", "[Settings]\r\nFileExtension=*.NC\r\n");
    test::useMachineName("GONE");
    auto dlg = open();
    EXPECT_EQ(dlg->cmbCfgFiler->count(), 1);
    EXPECT_EQ(dlg->cmbCfgFiler->currentIndex(), -1);
    EXPECT_TRUE(dlg->shownMachine().isEmpty());
    EXPECT_FALSE(dlg->SSTab1->isEnabled());
    EXPECT_FALSE(dlg->cmdApply->isEnabled());
    // F5 finds the ports again, but there is no machine to mark changed.
    QTest::keyClick(dlg.get(), Qt::Key_F5);
    EXPECT_FALSE(dlg->cmdApply->isEnabled());
    // OK has nothing to store into: the main settings file stays as it was.
    const QByteArray ini = readFile(env.path("lumrik32.INI"));
    dlg->cmdOk_Click();
    EXPECT_EQ(readFile(env.path("lumrik32.INI")), ini);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(CncSetupTest, ApplyWritesEveryKeyInOrderAndKeepsOtherSections)
{
    const QString file = env.write("MILL.cfg", "[OmNum]\r\nIncr=5\r\nIsTNC=1\r\n");
    auto dlg = open();
    ASSERT_EQ(dlg->shownMachine(), "MILL");

    dlg->txtFileExtension->setText("*.NC");
    EXPECT_TRUE(dlg->cmdApply->isEnabled());
    dlg->cmbBaud->setCurrentText("9600");
    dlg->cmbParity->setCurrentText("INGEN");
    dlg->cmbComPort->setCurrentIndex(2);   // port 123
    dlg->txtLeader->setText("(00*50)");
    dlg->txtTrailer->setText("0d, 0a");   // normalised when stored
    dlg->txtDoNotSend->setText("/n");
    dlg->chkLoopSend->setChecked(true);
    dlg->txtCodeText[1]->setText("  M6 ");
    dlg->txtDefaultPath->setText(" " + gsDataPath + "/program ");
    ASSERT_TRUE(dlg->cmdApply_Click());
    EXPECT_FALSE(dlg->cmdApply->isEnabled());
    EXPECT_EQ(dlg->txtTrailer->text(), "0D,0A");

    const QByteArray bytes = readFile(file);
    // The renumbering's section is untouched and first; then the three
    // sections in the order the keys are written.
    EXPECT_TRUE(bytes.startsWith("[OmNum]\r\nIncr=5\r\nIsTNC=1\r\n")) << bytes.constData();
    QStringList expected;
    for (const auto &[section, key] : MachineConfig::writeOrder())
        if (section != kCfgProgPath)
            expected << section + '/' + key;
    // SendTo and BufSize come after RecDelay, before "CNCProgPath".
    expected << kCfgProgPath + "/DefaultCncPath" << kCfgProgPath + "/DefaultRxdCncPath";
    QStringList written = keyOrder(bytes);
    written.removeFirst();
    written.removeFirst();
    EXPECT_EQ(written, expected);

    const MachineConfig cfg(file);
    EXPECT_EQ(cfg.FileExtension(), "*.NC");
    EXPECT_EQ(cfg.BaudRate(), "9600");
    EXPECT_EQ(cfg.Parity(), "INGEN");
    EXPECT_EQ(cfg.ComPort(), 123);
    EXPECT_EQ(cfg.LeaderChr(), "(00*50)");
    EXPECT_EQ(cfg.TrailerChr(), "0D,0A");
    EXPECT_EQ(cfg.DoNotSend(), "/N");
    EXPECT_TRUE(cfg.LoopSend());
    EXPECT_EQ(cfg.CodeText(2), "M6");
    EXPECT_EQ(cfg.CodeColor(2), 255);
    // The folder is stored with its token, in the form every installation reads.
    EXPECT_EQ(cfg.DefaultPath(), "[exedir]\\program");
    EXPECT_EQ(cfg.DefaultCncPath(), "/nc/root/");
    EXPECT_EQ(GetIniSetting("OmNum", "Incr", "", file), "5");
    // The program follows the stored values.
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.NC");
    EXPECT_EQ(currentMachine().keys().codeText[1], "M6");
    EXPECT_EQ(currentMachine().keys().rootFolder, gsDataPath + "/program");
    EXPECT_EQ(test::activeNow().path(), currentMachine().keys().rootFolder);

    // Loading the machine again shows what was stored, port 123 selected.
    auto again = open();
    EXPECT_EQ(again->cmbComPort->currentText(), "123 - " + portC);
    EXPECT_EQ(again->cmbBaud->currentText(), "9600");
    EXPECT_TRUE(again->chkLoopSend->isChecked());
    EXPECT_FALSE(again->cmdApply->isEnabled());

    // OK stores even when nothing was changed, and a path loaded without
    // its closing separator is stored with one, of the kind the path uses.
    SaveIniSetting("CNCProgPath", "DefaultCncPath", "/send/folder", file);
    SaveIniSetting("CNCProgPath", "DefaultRxdCncPath", "[exedir]\\rx", file);
    auto third = open();
    EXPECT_EQ(third->txtDefaultTxdCNCpath->text(), "/send/folder/");
    EXPECT_EQ(third->txtDefaultRxdCNCpath->text(), "[exedir]\\rx\\");
    third->cmdOk_Click();
    EXPECT_EQ(third->result(), QDialog::Accepted);
    EXPECT_EQ(MachineConfig(file).DefaultCncPath(), "/send/folder/");
    EXPECT_EQ(MachineConfig(file).DefaultRxdCncPath(), "[exedir]\\rx\\");

    // A machine without folders of its own shows the base folder, a folder
    // of this system, with "/" at its end.
    env.write("MILL.cfg", "[OmNum]\r\nIncr=5\r\n");
    test::changeMachineKeys([&](MachineKeys &k) { k.rootFolder = gsDataPath + "/program"; });
    auto fourth = open();
    EXPECT_EQ(fourth->txtDefaultTxdCNCpath->text(), gsDataPath + "/program/");
    EXPECT_EQ(fourth->txtDefaultRxdCNCpath->text(), gsDataPath + "/program/");
}

TEST_F(CncSetupTest, ChoosingAnotherMachineAsksToSaveTheChanges)
{
    const QString mill = env.write("MILL.cfg", "[Communication]\r\nBaudRate=4800\r\n");
    const QString lathe = env.write("LATHE.cfg", "[Communication]\r\nBaudRate=9600\r\n");
    auto dlg = open();
    // The user's choice: the list's drop-down, the entry, Enter.
    auto choose = [&](const QString &machine) {
        QComboBox *list = dlg->cmbCfgFiler;
        list->showPopup();
        list->view()->setCurrentIndex(list->model()->index(list->findText(machine), 0));
        QTest::keyClick(list->view(), Qt::Key_Return);
        QApplication::processEvents();
    };
    dlg->txtSendTo->setText("M30");

    // Cancel: the fields, the current machine and the flag stay; the list
    // shows the entry just chosen, and Apply stores into the machine shown.
    boxes.answer(MbCancel);
    choose("LATHE");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Spara?");
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Vill du spara gjorda ändringarna till förinställningen \"MILL\"?"));
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::YesNoCancel);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Question);
    EXPECT_EQ(dlg->cmbCfgFiler->currentText(), "LATHE");
    EXPECT_EQ(dlg->shownMachine(), "MILL");
    EXPECT_EQ(currentMachine().name(), "MILL");
    EXPECT_EQ(dlg->txtSendTo->text(), "M30");
    EXPECT_EQ(dlg->cmbBaud->currentText(), "4800");
    EXPECT_TRUE(dlg->cmdApply->isEnabled());
    ASSERT_TRUE(dlg->cmdApply_Click());
    EXPECT_EQ(MachineConfig(mill).SendTo(), "M30");
    EXPECT_TRUE(MachineConfig(lathe).SendTo().isEmpty());

    // The entry the list shows, chosen again: now it loads.
    choose("LATHE");
    EXPECT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(dlg->shownMachine(), "LATHE");
    EXPECT_EQ(dlg->cmbBaud->currentText(), "9600");

    // No: the change is dropped and the other machine loads.
    dlg->txtSendTo->setText("M99");
    boxes.answer(MbNo);
    choose("MILL");
    EXPECT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(dlg->shownMachine(), "MILL");
    EXPECT_EQ(dlg->cmbBaud->currentText(), "4800");
    EXPECT_EQ(dlg->txtSendTo->text(), "M30");
    EXPECT_TRUE(MachineConfig(lathe).SendTo().isEmpty());
    EXPECT_FALSE(dlg->cmdApply->isEnabled());

    // Yes: the change goes to the machine it was made on. A choice made by
    // the program runs the same way.
    dlg->txtSendTo->setText("M02");
    boxes.answer(MbYes);
    dlg->cmbCfgFiler->setCurrentText("LATHE");
    EXPECT_EQ(MachineConfig(mill).SendTo(), "M02");
    EXPECT_TRUE(MachineConfig(lathe).SendTo().isEmpty());
    EXPECT_EQ(dlg->shownMachine(), "LATHE");
    EXPECT_EQ(dlg->cmbBaud->currentText(), "9600");
    EXPECT_EQ(currentMachine().name(), "LATHE");
    EXPECT_EQ(boxes.calls().size(), 3u);

    // Without changes there is no question.
    choose("MILL");
    EXPECT_EQ(boxes.calls().size(), 3u);
    EXPECT_EQ(dlg->shownMachine(), "MILL");
}

// A write that fails is told each time, and nothing looks stored: the
// dialog stays open with "&Verkställ" enabled, and the program keeps the
// stored values.
TEST_F(CncSetupTest, FailedWriteIsReportedAndTheChangesStayUnsaved)
{
    const QString file = env.write("MILL.cfg", "[Settings]\r\nFileExtension=*.NC\r\n");
    auto dlg = open();
    test::changeMachineKeys([&](MachineKeys &k) { k.fileExtension = "*.NC"; });
    // The block size is an edit like any other: without the flag it could
    // not be stored with "&Verkställ", nor offered when another machine is chosen.
    dlg->cmbBufSize->setCurrentText("64");
    EXPECT_TRUE(dlg->cmdApply->isEnabled());
    dlg->txtFileExtension->setText("*.H");
    QFile::setPermissions(file, QFile::ReadOwner);
    const QByteArray before = readFile(file);

    EXPECT_FALSE(dlg->cmdApply_Click());
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("Fel vid skrivning till INI-fil...\r\n\r\n" + file));
    EXPECT_TRUE(dlg->cmdApply->isEnabled());
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.NC");
    EXPECT_EQ(readFile(file), before);

    // Again, and through OK: still not stored, the dialog stays open.
    dlg->cmdApply->click();
    dlg->cmdOk_Click();
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(dlg->cmdApply->isEnabled());
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(boxes.calls().size(), 3u);

    // Writable again: stored, and the flag comes down.
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    dlg->cmdOk_Click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->cmdApply->isEnabled());
    EXPECT_EQ(MachineConfig(file).FileExtension(), "*.H");
    EXPECT_EQ(MachineConfig(file).BufSize(), "64");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.H");
}

TEST_F(CncSetupTest, ValuesThatCannotBeStoredAreRefusedWithAClearMessage)
{
    const QString file = env.write("MILL.cfg", "[Communication]\r\nLeaderChr=0D\r\n");
    auto dlg = open();
    const QByteArray before = readFile(file);

    struct Case {
        std::function<void()> edit;
        QString field;
        QString messagePart;
        int tab;
    };
    const std::vector<Case> cases = {
        {[&] { dlg->txtLeader->setText("(1B)"); }, "txtLeader", "Leader ( hex )", 0},
        {[&] { dlg->txtStartRxdFrom->setText("1G"); }, "txtStartRxdFrom", "Felaktig hexkod", 0},
        {[&] { dlg->txtFileExtension->setText(""); }, "txtFileExtension", "*.NC", 1},
        {[&] { dlg->txtRecDelay->setText("fem"); }, "txtRecDelay", "antal sekunder", 2},
        {[&] { dlg->txtChrDelay->setText("999999"); }, "txtChrDelay", "millisekunder", 2},
        {[&] { dlg->txtDoNotSend->setText(QString(120, 'X')); }, "txtDoNotSend", "99 tecken", 0},
        {[&] { dlg->txtCodeText[2]->setText(QStringLiteral("漢字")); }, "txtCodeText3", "inte kan sparas i filen", 3},
    };
    for (const Case &c : cases) {
        dlg->Form_Load();   // back to the stored values
        boxes.clear();
        c.edit();
        EXPECT_FALSE(dlg->cmdApply_Click()) << c.field.toStdString();
        ASSERT_EQ(boxes.calls().size(), 1u) << c.field.toStdString();
        EXPECT_TRUE(boxes.calls()[0].text.contains(c.messagePart)) << boxes.calls()[0].text.toStdString();
        EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Exclamation);
        EXPECT_EQ(dlg->SSTab1->currentIndex(), c.tab) << c.field.toStdString();
        EXPECT_TRUE(dlg->cmdApply->isEnabled());
        EXPECT_EQ(readFile(file), before) << c.field.toStdString();
    }
    // OK with a bad value keeps the dialog open.
    dlg->cmdOk_Click();
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(readFile(file), before);
}

TEST_F(CncSetupTest, CloseDelayTellsItsRuleAndStoresTheNoWaitValue)
{
    const QString file = env.write("MILL.cfg", "[Communication]\r\nDelayBeforeClose=5\r\n");
    auto dlg = open();
    const QByteArray before = readFile(file);
    EXPECT_TRUE(dlg->txtCloseDelay->toolTip().contains(QStringLiteral("0 väntar 2 sekunder")));

    // Values the send does not take as told are refused, with the real rule.
    for (const QString &bad : {QStringLiteral("-2"), QStringLiteral("1-"), QStringLiteral("-"),
                               QStringLiteral("32768"), QStringLiteral("--1")}) {
        dlg->Form_Load();
        boxes.clear();
        dlg->txtCloseDelay->setText(bad);
        EXPECT_FALSE(dlg->cmdApply_Click()) << bad.toStdString();
        ASSERT_EQ(boxes.calls().size(), 1u) << bad.toStdString();
        const QString told = boxes.calls()[0].text;
        EXPECT_TRUE(told.contains(QStringLiteral("0 väntar 2 sekunder"))) << told.toStdString();
        EXPECT_TRUE(told.contains(QStringLiteral("-1 stänger porten utan att vänta"))) << told.toStdString();
        EXPECT_FALSE(told.contains(QStringLiteral("0: ingen väntan"))) << told.toStdString();
        EXPECT_EQ(readFile(file), before);
    }

    // The no-wait value is typed as a user types it and stored; the send reads it as no wait.
    dlg->Form_Load();
    boxes.clear();
    dlg->txtCloseDelay->selectAll();
    QTest::keyClicks(dlg->txtCloseDelay, "-x1");
    EXPECT_EQ(dlg->txtCloseDelay->text(), "-1");
    ASSERT_TRUE(dlg->cmdApply_Click());
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(readFile(file).contains("\r\nDelayBeforeClose=-1\r\n")) << readFile(file).toStdString();
    test::useMachineFile(file);
    TxdSettings send;
    ASSERT_EQ(readTxdSettings(MachineConfig::active(), send), TxdSettingsStatus::Ok);
    EXPECT_LT(send.delayBeforeClose, 0);
    // And 0 and the largest whole number stay storable.
    for (const QString &good : {QStringLiteral("0"), QStringLiteral("32767")}) {
        dlg->txtCloseDelay->setText(good);
        ASSERT_TRUE(dlg->cmdApply_Click()) << good.toStdString();
        EXPECT_TRUE(readFile(file).contains("DelayBeforeClose=" + good.toLatin1()));
    }
    // The character delay still takes digits only.
    dlg->txtChrDelay->clear();
    QTest::keyClicks(dlg->txtChrDelay, "-5");
    EXPECT_EQ(dlg->txtChrDelay->text(), "5");
}

TEST_F(CncSetupTest, EachStoredValueThatCannotBeShownIsWarnedOf)
{
    env.write("MILL.cfg", "[Communication]\r\nBaudRate=12345\r\nParity=UDDA\r\nSend30Null=ja\r\n"
                          "[Settings]\r\nCodeColor3=röd\r\nCodeColor4=65280\r\n");
    test::changeMachineKeys([&](MachineKeys &k) { k.codeColor[2] = 0x123456; });
    auto dlg = open();
    // One warning per value, in the order of loading, each with what it is about.
    ASSERT_EQ(boxes.calls().size(), 3u);
    const QString warning = QStringLiteral("En kommunikationsport som inte är installerad är vald.\r\n\n"
                                           "Ställ in porten eller anslut rätt enhet och försök igen.");
    for (const auto &call : boxes.calls()) {
        EXPECT_TRUE(call.text.startsWith(warning)) << call.text.toStdString();
        EXPECT_EQ(call.title, "ComPort fel !");
        EXPECT_EQ(call.icon, MbIcon::Exclamation);
        EXPECT_EQ(call.buttons, MbButtons::Ok);
    }
    EXPECT_TRUE(boxes.calls()[0].text.endsWith(QStringLiteral("CodeColor3 = \"röd\" kan inte visas. Fältet visar \"%1\".")
                                                   .arg(0x123456)))
        << boxes.calls()[0].text.toStdString();
    EXPECT_TRUE(boxes.calls()[1].text.contains("BaudRate = \"12345\""));
    EXPECT_TRUE(boxes.calls()[1].text.contains(QStringLiteral("Fältet visar \"2400\"")));
    EXPECT_TRUE(boxes.calls()[2].text.contains("Send30Null = \"ja\""));
    // Each field keeps what it showed; the other values load.
    EXPECT_EQ(dlg->cmbBaud->currentText(), "2400");
    EXPECT_EQ(dlg->cmbParity->currentText(), "UDDA");
    EXPECT_EQ(currentMachine().keys().codeColor[2], 0x123456);
    EXPECT_EQ(currentMachine().keys().codeColor[3], 65280);
    EXPECT_FALSE(dlg->cmdApply->isEnabled());
}

TEST_F(CncSetupTest, PortListMapsNumbersToPresentPorts)
{
    const QString file = env.write("MILL.cfg", "[Communication]\r\nComPort=3\r\n");
    auto dlg = open();
    // Port 2's device is gone: not listed.
    EXPECT_EQ(items(dlg->cmbComPort), QStringList({"1 - " + portA, "3 - " + portB, "123 - " + portC}));
    EXPECT_EQ(dlg->cmbComPort->currentText(), "3 - " + portB);

    // F5 finds the same port again, which counts as a change.
    QTest::keyClick(dlg->txtSendTo, Qt::Key_F5);
    EXPECT_EQ(dlg->cmbComPort->currentText(), "3 - " + portB);
    EXPECT_TRUE(dlg->cmdApply->isEnabled());

    // The port is gone: nothing is selected, and the stored number stays.
    QFile::remove(portB);
    QTest::keyClick(dlg.get(), Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(dlg->cmbComPort->currentIndex(), -1);
    ASSERT_TRUE(dlg->cmdApply_Click());
    EXPECT_EQ(MachineConfig(file).ComPort(), 3);

    // A number stored with a leading zero selects nothing.
    SaveIniSetting("Communication", "ComPort", "01", file);
    dlg->Form_Load();
    EXPECT_EQ(dlg->cmbComPort->currentIndex(), -1);

    // A port of this computer without a number is offered the next free one,
    // which is stored only when a machine is saved with it.
    const QString fresh = env.write("dev/ttyUSB0", "");
    cncSetupHooks().systemPorts = [fresh] { return QStringList{fresh}; };
    const QByteArray before = readFile(env.path("lumrik32.INI"));
    dlg->RefreshComPortList();
    EXPECT_EQ(dlg->cmbComPort->itemText(dlg->cmbComPort->count() - 1), "124 - " + fresh);
    EXPECT_EQ(readFile(env.path("lumrik32.INI")), before);
    dlg->cmbComPort->setCurrentIndex(dlg->cmbComPort->count() - 1);
    ASSERT_TRUE(dlg->cmdApply_Click());
    EXPECT_EQ(GetIniSetting("ComPorts", "COM124"), fresh);
    EXPECT_EQ(MachineConfig(file).ComPort(), 124);

    EXPECT_EQ(GetPortPart("7 - /dev/ttyS6"), "7");
    EXPECT_EQ(GetPortPart(" 12 "), " 12 ");
    EXPECT_EQ(GetPortPart(""), "");
}

TEST_F(CncSetupTest, OpenedAndCancelledWritesNothing)
{
    // A port of this computer without a number, a truth text for "LoopSend".
    const QString fresh = env.write("dev/ttyS0", "");
    cncSetupHooks().systemPorts = [fresh] { return QStringList{fresh}; };
    const QString file = env.write("MILL.cfg", "[Communication]\r\nComPort=1\r\nLoopSend=True\r\n");
    const QByteArray ini = readFile(env.path("lumrik32.INI"));
    const QByteArray cfg = readFile(file);
    {
        auto dlg = open();
        EXPECT_TRUE(dlg->chkLoopSend->isChecked());
        EXPECT_TRUE(boxes.calls().empty());
        EXPECT_FALSE(dlg->cmdApply->isEnabled());
        dlg->RefreshComPortList();
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
    }
    EXPECT_EQ(readFile(env.path("lumrik32.INI")), ini);
    EXPECT_EQ(readFile(file), cfg);
    // Both forms read alike everywhere.
    EXPECT_TRUE(MachineConfig(file).LoopSend());
    for (const char *text : {"1", "True", "true", "-1"})
        EXPECT_EQ(loopSendValue(text), std::optional<bool>(true)) << text;
    for (const char *text : {"0", "False"})
        EXPECT_EQ(loopSendValue(text), std::optional<bool>(false)) << text;
    EXPECT_FALSE(loopSendValue("ja"));
}

TEST_F(CncSetupTest, DropDownWidensToItsWidestItem)
{
    env.write("MILL.cfg", "");
    auto dlg = open();
    QComboBox combo;
    combo.resize(80, 20);
    EXPECT_FALSE(dlg->AutoSizeDropDownWidth(&combo));        // no items
    EXPECT_FALSE(dlg->AutoSizeDropDownWidth(dlg->txtLeader)); // not a list
    combo.addItem("1");
    EXPECT_TRUE(dlg->AutoSizeDropDownWidth(&combo));
    EXPECT_LE(combo.view()->minimumWidth(), 80);               // already wide enough
    combo.addItem(QString(2000, 'W'));
    EXPECT_TRUE(dlg->AutoSizeDropDownWidth(&combo));
    EXPECT_EQ(combo.view()->minimumWidth(), combo.screen()->geometry().width() - 20);
}

TEST_F(CncSetupTest, KeyFiltersAndNormalisingOnLeavingABox)
{
    env.write("MILL.cfg", "");
    auto dlg = open();
    auto leave = [](QWidget *w) {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(w, &out);
    };

    QTest::keyClicks(dlg->txtChrDelay, "1x2");
    EXPECT_EQ(dlg->txtChrDelay->text(), "012");
    QTest::keyClicks(dlg->txtRecDelay, "x");
    EXPECT_EQ(dlg->txtRecDelay->text(), "0x");

    QTest::keyClicks(dlg->txtTrailer, "0a, 0dq");
    EXPECT_EQ(dlg->txtTrailer->text(), "0a, 0d");
    leave(dlg->txtTrailer);
    EXPECT_EQ(dlg->txtTrailer->text(), "0A,0D");

    QTest::keyClicks(dlg->txtLeader, "(00*10)");
    leave(dlg->txtLeader);
    EXPECT_EQ(dlg->txtLeader->text(), "(00*10)");

    QTest::keyClicks(dlg->txtFilter, "(*1b");
    EXPECT_EQ(dlg->txtFilter->text(), "1b");
    leave(dlg->txtFilter);
    EXPECT_EQ(dlg->txtFilter->text(), "1B");

    // The start character is not normalised.
    QTest::keyClicks(dlg->txtStartRxdFrom, "d");
    leave(dlg->txtStartRxdFrom);
    EXPECT_EQ(dlg->txtStartRxdFrom->text(), "d");

    QTest::keyClicks(dlg->txtDoNotSend, "g1");
    leave(dlg->txtDoNotSend);
    EXPECT_EQ(dlg->txtDoNotSend->text(), "G1");

    // Paste shortcuts do nothing in a filtered box.
    QTest::keyClick(dlg->txtFilter, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dlg->txtFilter->text(), "1B");
    QTest::keyClick(dlg->txtFilter, Qt::Key_Backspace);
    EXPECT_EQ(dlg->txtFilter->text(), "1");
}

TEST_F(CncSetupTest, ColourAndFolderButtons)
{
    const QString file = env.write("MILL.cfg", "");
    auto dlg = open();

    std::optional<int> answer;
    int asked = -1;
    cncSetupHooks().chooseColor = [&](QWidget *, int colour, const QString &) {
        asked = colour;
        return answer;
    };
    // Cancelled: nothing changes.
    dlg->cmdCodeColor[2]->click();
    EXPECT_EQ(asked, 255);
    EXPECT_EQ(currentMachine().keys().codeColor[2], 255);
    EXPECT_FALSE(dlg->cmdApply->isEnabled());

    answer = 0x0000FF00;
    dlg->cmdCodeColor[2]->click();
    EXPECT_EQ(currentMachine().keys().codeColor[2], 0x0000FF00);
    EXPECT_EQ(dlg->txtCodeText[2]->palette().color(QPalette::Text), QColor(0, 255, 0));
    EXPECT_TRUE(dlg->cmdApply->isEnabled());
    answer = 0x00FF0000;
    dlg->cmdCommentColor->click();
    EXPECT_EQ(currentMachine().keys().commentColor, 0x00FF0000);

    QString browsed;
    QString startedAt;
    cncSetupHooks().browseFolder = [&](const QString &, QWidget *, const QString &initial) {
        startedAt = initial;
        return browsed;
    };
    dlg->txtDefaultTxdCNCpath->setText("[exedir]\\old\\");
    browsed.clear();
    dlg->btnBrowse->click();
    EXPECT_EQ(startedAt, gsDataPath + "/old/");
    EXPECT_EQ(dlg->txtDefaultTxdCNCpath->text(), "[exedir]\\old\\");
    browsed = gsDataPath + "/send";
    dlg->btnBrowse->click();
    EXPECT_EQ(dlg->txtDefaultTxdCNCpath->text(), "[exedir]\\send");
    browsed = "/srv/rx";
    dlg->btnBrowseRxd->click();
    EXPECT_EQ(dlg->txtDefaultRxdCNCpath->text(), "/srv/rx");
    // The base folder is not replaced by the root folder it already is.
    const QString before = dlg->txtDefaultPath->text();
    browsed = "/nc/root/";
    dlg->btnBrowseForNcPrg->click();
    EXPECT_EQ(dlg->txtDefaultPath->text(), before);

    ASSERT_TRUE(dlg->cmdApply_Click());
    const MachineConfig cfg(file);
    EXPECT_EQ(cfg.CodeColor(3), 0x0000FF00);
    EXPECT_EQ(cfg.CommentColor(), 0x00FF0000);
    EXPECT_EQ(cfg.DefaultCncPath(), "[exedir]\\send");
    EXPECT_EQ(cfg.DefaultRxdCncPath(), "/srv/rx");
}

TEST_F(CncSetupTest, NewMachineIsCreatedEmptyAndLoadedWithTheDefaults)
{
    const QString mill = env.write("MILL.cfg", "[Communication]\r\nBaudRate=9600\r\n");
    auto dlg = open();

    // A name of one character: nothing is made, the small dialog closes,
    // and the current machine loads again.
    bool closed = false;
    whenWindowShown("frmCreateCfg", [&](QWidget *w) {
        auto *create = static_cast<frmCreateCfg *>(w);
        create->txtCfgName->setText(" a ");
        create->btnOk->click();
        closed = !create->isVisible();
    });
    dlg->cmdCreateCNC->click();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(machineList(), QStringList({"MILL"}));
    EXPECT_EQ(dlg->shownMachine(), "MILL");
    EXPECT_EQ(dlg->cmbBaud->currentText(), "9600");

    // Changes are offered for saving before the new machine is made.
    dlg->txtSendTo->setText("M30");
    boxes.clear();
    boxes.answer(MbYes);
    whenWindowShown("frmCreateCfg", [&](QWidget *w) {
        auto *create = static_cast<frmCreateCfg *>(w);
        QTest::keyClicks(create->txtCfgName, QString(40, 'x'));
        EXPECT_EQ(create->txtCfgName->text().size(), 30);
        create->txtCfgName->setText("  lathe 2 ");
        create->btnOk->click();
    });
    dlg->cmdCreateCNC->click();
    ASSERT_GE(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Spara?");
    EXPECT_EQ(MachineConfig(mill).SendTo(), "M30");
    const QString created = env.path("LATHE 2.CFG");
    ASSERT_TRUE(QFile::exists(created));
    EXPECT_EQ(QFile(created).size(), 0);
    EXPECT_EQ(currentMachine().name(), "LATHE 2");
    EXPECT_EQ(dlg->shownMachine(), "LATHE 2");
    EXPECT_EQ(dlg->cmbCfgFiler->currentText(), "LATHE 2");
    EXPECT_EQ(dlg->cmbBaud->currentText(), "2400");
    EXPECT_FALSE(dlg->cmdApply->isEnabled());
    EXPECT_EQ(boxes.calls().size(), 1u);

    // An existing name (in any case) asks before emptying that file.
    boxes.clear();
    boxes.answer(MbNo);
    boxes.answer(MbYes);
    whenWindowShown("frmCreateCfg", [&](QWidget *w) {
        auto *create = static_cast<frmCreateCfg *>(w);
        create->txtCfgName->setText("Mill");
        create->btnOk->click();     // No: stays open
        EXPECT_TRUE(create->isVisible());
        create->btnOk->click();     // Yes
    });
    dlg->cmdCreateCNC->click();
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[0].text, "Namnet finns redan !!! Skriva över ?");
    EXPECT_EQ(boxes.calls()[0].title, "Namnet upptaget !!");
    EXPECT_EQ(boxes.calls()[0].defaultButton, 1);
    EXPECT_EQ(QFile(mill).size(), 0);
    // The machine's own file was emptied; no second file of the name was made.
    EXPECT_EQ(QDir(gsDataPath).entryList({"mill.cfg"}, QDir::Files).size(), 1);
    EXPECT_EQ(dlg->shownMachine(), "MILL");
    EXPECT_EQ(dlg->cmbBaud->currentText(), "2400");

    // A name that cannot be a file name: the error box, nothing created.
    // A leading "." among them: ".." would make the file "...CFG".
    for (const char *bad : {"a/b", "..", ".MILL"}) {
        boxes.clear();
        whenWindowShown("frmCreateCfg", [&](QWidget *w) {
            auto *create = static_cast<frmCreateCfg *>(w);
            create->txtCfgName->setText(bad);
            create->btnOk->click();
            EXPECT_TRUE(create->isVisible());
            create->btnAbort->click();
        });
        dlg->cmdCreateCNC->click();
        ASSERT_EQ(boxes.calls().size(), 1u) << bad;
        EXPECT_TRUE(boxes.calls()[0].text.startsWith("Error creating CFG File\r\n\r\nErroro : "));
        EXPECT_TRUE(boxes.calls()[0].text.contains("File   : "));
    }
    EXPECT_TRUE(boxes.calls()[0].text.contains(QStringLiteral("Namnet får inte börja med en punkt.")));
    EXPECT_EQ(machineList(), QStringList({"LATHE 2", "MILL"}));
    EXPECT_EQ(QDir(gsDataPath).entryList(QDir::Files | QDir::Hidden).filter(".CFG", Qt::CaseInsensitive).size(), 2);
}

TEST_F(CncSetupTest, ANewMachineWhoseNameIsALinkNeverEmptiesTheLinksTarget)
{
    env.write("MILL.cfg", "");
    const QString kept = env.write("outside/TURN.cfg", "[Communication]\r\nBaudRate=9600\r\n");
    const QString name = env.path("TURN.CFG");
    ASSERT_TRUE(QFile::link(kept, name));
    auto dlg = open();
    // "Ny maskin" with a name; the small dialog is closed by hand when it stays.
    auto create = [&](const QString &machine) {
        whenWindowShown("frmCreateCfg", [&](QWidget *w) {
            auto *c = static_cast<frmCreateCfg *>(w);
            c->txtCfgName->setText(machine);
            c->btnOk->click();
            if (c->isVisible())
                c->btnAbort->click();
        });
        dlg->cmdCreateCNC->click();
    };

    // Asked about; "Nej" leaves everything as it was.
    boxes.answer(MbNo);
    create("turn");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Namnet finns redan !!! Skriva över ?");
    EXPECT_TRUE(QFileInfo(name).isSymLink());

    // "Ja": the name becomes a new empty machine file; the link's target keeps its bytes.
    boxes.clear();
    boxes.answer(MbYes);
    create("turn");
    EXPECT_EQ(test::readFile(kept), "[Communication]\r\nBaudRate=9600\r\n");
    EXPECT_FALSE(QFileInfo(name).isSymLink());
    EXPECT_TRUE(QFileInfo(name).isFile());
    EXPECT_EQ(QFileInfo(name).size(), 0);
    EXPECT_EQ(currentMachine().name(), "TURN");
    EXPECT_EQ(dlg->shownMachine(), "TURN");

    // A dangling link as the name of a new machine: asked about too, and
    // nothing is made where it points.
    const QString nowhere = env.path("outside/BORR.cfg");
    ASSERT_TRUE(QFile::link(nowhere, env.path("BORR.CFG")));
    boxes.clear();
    boxes.answer(MbNo);
    create("BORR");
    EXPECT_TRUE(boxes.saw("Namnet finns redan !!! Skriva över ?"));
    EXPECT_FALSE(QFileInfo::exists(nowhere));

    if (::geteuid() != 0)
        return;
    // Another user's link: refused with the reason, not even asked about.
    const QString profile = env.write("home/.profile", "export PATH=/usr/bin\n");
    const QString theirs = env.path("SLIP.CFG");
    ASSERT_TRUE(QFile::link(profile, theirs));
    ASSERT_EQ(::lchown(QFile::encodeName(theirs).constData(), 4343, 4343), 0);
    boxes.clear();
    create("slip");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("Error creating CFG File"));
    EXPECT_TRUE(boxes.calls()[0].text.contains(QStringLiteral("en annan användare")));
    EXPECT_EQ(test::readFile(profile), "export PATH=/usr/bin\n");
}

TEST_F(CncSetupTest, InformationButtonsAndTheCodeTable)
{
    env.write("MILL.cfg", "");
    auto dlg = open();
    dlg->cmdSendToInfo->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Avbryt sändning när texten som anges i rutan påträffas."));
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);

    cncSetupHooks().systemPorts = [] { return QStringList{"/dev/ttyS0", "/dev/ttyUSB0"}; };
    dlg->cmdQueryPorts->click();
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[1].text, "Dessa portar hittades i systemet:\r\n/dev/ttyS0\r\n/dev/ttyUSB0\r\n");
    // No port: nothing is shown.
    cncSetupHooks().systemPorts = [] { return QStringList(); };
    dlg->cmdQueryPorts->click();
    EXPECT_EQ(boxes.calls().size(), 2u);

    bool shown = false;
    whenWindowShown("frmHexEdit", [&](QWidget *w) {
        auto *hex = static_cast<frmHexEdit *>(w);
        shown = true;
        EXPECT_EQ(hex->lvHex->topLevelItemCount(), 256);
        hex->cmdClose->click();
    });
    dlg->cmdHex[3]->click();
    EXPECT_TRUE(shown);
}

TEST_F(CncSetupTest, LanguageFileTranslatesCaptionsByTheirIds)
{
    env.write("MILL.cfg", "");
    const QString lng = env.write("Lumrik32.LNG", "[LANGUAGE]\r\n400=Machine setup\r\n440=&Communication\r\n"
                                                   "441=&Folders\r\n442=&Advanced\r\n377=Colours\r\n30=&Apply\r\n"
                                                   "413=Trailer (hex)\r\n456=Loop sending\r\n");
    const QString oldFile = gsLanguageFile;
    gsLanguageFile = lng;
    gbNotSwedish = true;
    auto dlg = open();
    gbNotSwedish = false;
    gsLanguageFile = oldFile;
    EXPECT_EQ(dlg->windowTitle(), "MACHINE SETUP");
    EXPECT_EQ(dlg->SSTab1->tabText(0), "&Communication");
    EXPECT_EQ(dlg->SSTab1->tabText(3), "Colours");
    EXPECT_EQ(dlg->cmdApply->text(), "&Apply");
    EXPECT_EQ(dlg->findChild<QLabel *>("lblTrailer")->text(), "Trailer (hex)");
    EXPECT_EQ(dlg->chkLoopSend->text(), "Loop sending");
    // Controls whose id belongs to another caption keep their own text.
    EXPECT_EQ(dlg->findChild<QLabel *>("lblSendTo")->text(), QStringLiteral("Sänd t.o.m"));
    EXPECT_EQ(dlg->chkTxdDisplay->text(), QStringLiteral("Visar nc-program vid sändning"));
}
