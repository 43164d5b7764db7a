#include "mainwindow/frmabout.h"

#include "core/msgbox.h"
#include "core/services.h"
#include "mainwindow/externalprograms.h"
#include "mainwindow/mdibackground.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#ifndef LUMRIK_VERSION_MAJOR
#define LUMRIK_VERSION_MAJOR 1
#endif
#ifndef LUMRIK_VERSION_MINOR
#define LUMRIK_VERSION_MINOR 0
#endif
#ifndef LUMRIK_VERSION_PATCH
#define LUMRIK_VERSION_PATCH 0
#endif

namespace lumrik {

const ProgramVersion &programVersion()
{
    static const ProgramVersion v{
        LUMRIK_VERSION_MAJOR,
        LUMRIK_VERSION_MINOR,
        LUMRIK_VERSION_PATCH,
        QStringLiteral("NC-editor med DNC-överföring för CNC-maskiner"),
        QStringLiteral("Copyright © 2024 Lumrik. Alla rättigheter förbehållna."),
    };
    return v;
}

QString programVersionNumber()
{
    const ProgramVersion &v = programVersion();
    return QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
}

QStringList systemInfoPrograms()
{
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor")};
}

QStringList deviceManagerPrograms()
{
    return {QStringLiteral("lshw-gtk"), QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter")};
}

QString findFirstProgram(const QStringList &names)
{
    for (const QString &n : names) {
        const QString path = QStandardPaths::findExecutable(n);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName("frmAbout");
    setWindowTitle(QStringLiteral("Lumrik - 32"));
    setModal(true);

    const QFont verdana(QStringLiteral("Verdana"), 9);
    QFont titleFont(QStringLiteral("Verdana"), 18, QFont::Bold);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(QPixmap::fromImage(lumrikEmblem(72, QColor(43, 141, 194))));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    // The title over its shadow: the same text one step down and right, in grey.
    auto *titleBox = new QWidget(this);
    titleBox->setObjectName("fraTitle");
    lblTitleShadow = new QLabel(titleBox);
    lblTitleShadow->setObjectName("lblTitleShadow");
    lblTitleShadow->setFont(titleFont);
    lblTitleShadow->setStyleSheet(QStringLiteral("color: #a0a0a0;"));
    lblTitle = new QLabel(titleBox);
    lblTitle->setObjectName("lblTitle");
    lblTitle->setFont(titleFont);
    lblTitle->setStyleSheet(QStringLiteral("color: #15374a;"));

    lblVersion = new QLabel(this);
    lblVersion->setObjectName("lblVersion");
    lblComments = new QLabel(this);
    lblComments->setObjectName("lblComments");
    lblComments->setWordWrap(true);
    lblCopyRight = new QLabel(this);
    lblCopyRight->setObjectName("lblCopyRight");
    lblCopyRight->setWordWrap(true);
    for (QLabel *l : {lblVersion, lblComments, lblCopyRight})
        l->setFont(verdana);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName("cmdSysInfo");
    cmdDeviceManager = new QPushButton(QStringLiteral("Enhetshant."), this);
    cmdDeviceManager->setObjectName("cmdDeviceManager");
    for (QPushButton *b : {cmdOK, cmdSysInfo, cmdDeviceManager}) {
        b->setFont(verdana);
        b->setMinimumWidth(110);
    }
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    connect(cmdDeviceManager, &QPushButton::clicked, this, &frmAbout::cmdDeviceManager_Click);

    auto *texts = new QVBoxLayout;
    texts->addWidget(titleBox);
    texts->addWidget(lblVersion);
    texts->addWidget(lblComments);
    texts->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *bottom = new QGridLayout;
    bottom->addWidget(lblCopyRight, 0, 0, 3, 1, Qt::AlignTop);
    bottom->addWidget(cmdOK, 0, 1);
    bottom->addWidget(cmdSysInfo, 1, 1);
    bottom->addWidget(cmdDeviceManager, 2, 1);
    bottom->setColumnStretch(0, 1);

    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(line);
    main->addLayout(bottom);

    Form_Load();

    const QSize t = lblTitle->sizeHint();
    titleBox->setFixedSize(t + QSize(2, 2));
    lblTitle->setGeometry(0, 0, t.width(), t.height());
    lblTitleShadow->setGeometry(2, 2, t.width(), t.height());
    lblTitle->raise();
    setMinimumWidth(440);
}

void frmAbout::Form_Load()
{
    const ProgramVersion &v = programVersion();
    lblVersion->setText(QStringLiteral("Version ") + programVersionNumber());
    lblTitle->setText(appTitle());
    lblTitleShadow->setText(appTitle());
    lblCopyRight->setText(v.copyright);
    lblComments->setText(QStringLiteral(".") + v.comments);
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::StartSysInfo()
{
    // This desktop's own system information program.
    const QString program = findFirstProgram(systemInfoPrograms());
    if (program.isEmpty() || !RkStartProgram(program)) {
        RkMsgBox(QStringLiteral("System Information Is Unavailable At This Time"), MbButtons::Ok, MbIcon::None,
                 {}, 0, this);
    }
}

void frmAbout::cmdDeviceManager_Click()
{
    // The answer is not looked at: a desktop without one simply shows nothing.
    const QString program = findFirstProgram(deviceManagerPrograms());
    if (!program.isEmpty())
        RkStartProgram(program);
}

}
