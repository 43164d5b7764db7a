// The about window: its texts and the shortcuts to the desktop's system tools.
#include "core/msgbox.h"
#include "mainwindow/frmabout.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

// A PATH of one folder, put back afterwards.
class PathGuard {
public:
    explicit PathGuard(const QString &path) : old_(qgetenv("PATH")) { qputenv("PATH", QFile::encodeName(path)); }
    ~PathGuard() { qputenv("PATH", old_); }

private:
    QByteArray old_;
};

// A stand-in program that leaves a mark when it runs.
void writeStandIn(const QString &path, const QString &mark)
{
    test::writeFile(path, ("#!/bin/sh\necho ran > '" + mark + "'\n").toUtf8());
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ReadOwner);
}

}

TEST(About, Texts)
{
    frmAbout a;
    EXPECT_EQ(a.objectName(), "frmAbout");
    EXPECT_EQ(a.windowTitle(), "Lumrik - 32");
    EXPECT_EQ(a.lblVersion->text(), "Version 1.0.0");
    EXPECT_EQ(a.lblTitle->text(), appTitle());
    EXPECT_EQ(a.lblTitleShadow->text(), appTitle());
    EXPECT_EQ(a.lblCopyRight->text(), programVersion().copyright);
    EXPECT_EQ(a.lblComments->text(), "." + programVersion().comments);
    EXPECT_EQ(a.cmdOK->text(), "OK");
    EXPECT_EQ(a.cmdSysInfo->text(), "&System Info...");
    EXPECT_EQ(a.cmdDeviceManager->text(), "Enhetshant.");

    a.show();
    QTest::mouseClick(a.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(a.isVisible());
    EXPECT_EQ(a.result(), QDialog::Accepted);
}

TEST(About, SystemToolsMissing)
{
    test::MsgBoxRecorder boxes;
    QTemporaryDir empty;
    PathGuard path(empty.path());
    frmAbout a;
    a.cmdSysInfo->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::Ok);
    // A missing device manager is not told.
    a.cmdDeviceManager->click();
    EXPECT_EQ(boxes.calls().size(), 1u);
}

TEST(About, SystemToolsStartTheDesktopsPrograms)
{
    test::MsgBoxRecorder boxes;
    QTemporaryDir bin;
    const QString infoMark = bin.filePath("info.mark"), devMark = bin.filePath("dev.mark");
    writeStandIn(bin.filePath("kinfocenter"), infoMark);  // a later choice of the info list
    writeStandIn(bin.filePath("lshw-gtk"), devMark);
    test::writeFile(bin.filePath("hardinfo"), "not a program"); // not executable: passed over
    PathGuard path(bin.path());
    EXPECT_EQ(findFirstProgram(systemInfoPrograms()), bin.filePath("kinfocenter"));
    frmAbout a;
    a.cmdSysInfo->click();
    a.cmdDeviceManager->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(infoMark) && QFile::exists(devMark); }, 5000));
    EXPECT_TRUE(boxes.calls().empty());
}
