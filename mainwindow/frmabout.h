#pragma once
// The about window (title, version, copyright) with its two shortcuts to the
// desktop's system tools, and the program's version record shown here and on
// the splash window.
#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;

namespace lumrik {

// The program's own version record (filled from the build).
struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int revision = 0;
    QString comments;  // the comments text of the version record
    QString copyright; // its legal-copyright entry
};
const ProgramVersion &programVersion();
// "major.minor.revision", numbers without leading zeros.
QString programVersionNumber();

// The desktop tools that stand in for the system information program and the
// device manager: the first of these programs found on the PATH is started.
QStringList systemInfoPrograms();
QStringList deviceManagerPrograms();
// The full path of the first program of `names` found on the PATH, or "".
QString findFirstProgram(const QStringList &names);

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    QLabel *lblTitle = nullptr;
    QLabel *lblTitleShadow = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblCopyRight = nullptr;
    QLabel *lblComments = nullptr;
    QLabel *Image1 = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QPushButton *cmdDeviceManager = nullptr;

    // Starts the system information program, or says that there is none.
    void StartSysInfo();

public Q_SLOTS:
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void cmdDeviceManager_Click();

private:
    void Form_Load();
};

}
