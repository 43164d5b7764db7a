#include "files/frmconfirmbackupdelete.h"

#include "core/errors.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/openedfolder.h"
#include "core/paths.h"
#include "files/filelogic.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumrik {

frmConfirmBackupDelete::frmConfirmBackupDelete(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmConfirmBackupDelete");
    setTag(this, 650);
    setWindowTitle("Remove backupfiles");
    setModal(true);

    lblInfo = new QLabel(this);
    lblInfo->setObjectName("lblInfo");
    lblInfo->setWordWrap(true);
    lst2Delete = new QListWidget(this);
    lst2Delete->setObjectName("lst2Delete");
    lst2Delete->setSelectionMode(QAbstractItemView::NoSelection);
    cmdOk = new QPushButton("&Rensa", this);
    cmdOk->setObjectName("cmdOk");
    setTag(cmdOk, 651);
    cmdAbort = new QPushButton("&Avbryt", this);
    cmdAbort->setObjectName("cmdAbort");
    setTag(cmdAbort, 10);
    cmdOk->setAutoDefault(false);
    cmdAbort->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdAbort);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addWidget(lst2Delete, 1);
    layout->addLayout(buttons);
    resize(420, 320);

    connect(cmdOk, &QPushButton::clicked, this, &frmConfirmBackupDelete::cmdOk_Click);
    connect(cmdAbort, &QPushButton::clicked, this, &frmConfirmBackupDelete::cmdAbort_Click);

    SetLanguage(this);
}

frmConfirmBackupDelete::~frmConfirmBackupDelete() = default;

void frmConfirmBackupDelete::setFolder(OpenedFolder folder)
{
    folder_ = std::make_unique<OpenedFolder>(std::move(folder));
}

void frmConfirmBackupDelete::setNames(const QStringList &names)
{
    lst2Delete->clear();
    if (names.isEmpty())
        lst2Delete->addItem(QString());
    else
        lst2Delete->addItems(names);
    lblInfo->setText(RkText(1017, QStringLiteral("Numrerade säkerhetskopior i")) + ' ' + sBackupPath);
    cmdOk->setEnabled(!names.isEmpty());
}

QStringList frmConfirmBackupDelete::names() const
{
    QStringList out;
    for (int i = 0; i < lst2Delete->count(); ++i)
        if (!lst2Delete->item(i)->text().isEmpty())
            out << lst2Delete->item(i)->text();
    return out;
}

void frmConfirmBackupDelete::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    lblInfo->setText(RkText(1017, QStringLiteral("Numrerade säkerhetskopior i")) + ' ' + sBackupPath);
    cmdOk->setEnabled(lst2Delete->count() > 0 && !lst2Delete->item(0)->text().isEmpty());
}

void frmConfirmBackupDelete::cmdOk_Click()
{
    RkGuard("cmdOk_Click()", [&] {
        const QStringList list = names();
        if (list.isEmpty())
            return;
        const QString question =
            QString::number(list.size()) + ' '
            + RkText(654, QStringLiteral("säkerhetskopior raderas för gott. Fortsätta?"));
        const int answer = RkMsgBox(question, MbButtons::YesNo, MbIcon::Exclamation,
                                    RkText(655, QStringLiteral("Rensa säkerhetskopior")), 0, this);
        if (answer != MbYes) {
            accept();
            return;
        }
        // The folder the list was made in; one opened now only when the
        // list came from elsewhere.
        if (!folder_ || RkNativePath(RkAddBackslash(folder_->path())) != RkNativePath(RkAddBackslash(sBackupPath)))
            setFolder(OpenedFolder(RkNativePath(sBackupPath)));
        QString error;
        const int done = RkDeleteFiles(*folder_, list, &error);
        if (done < list.size()) {
            // The ones deleted leave the list; the rest wait for the next "&Rensa".
            setNames(list.mid(done));
            RkMsgBox(QStringLiteral("Error %1 removing backupfiles").arg(75) + "\n\n" + list[done] + ": " + error,
                     MbButtons::Ok, MbIcon::Critical, QStringLiteral("Error"), 0, this);
            return;
        }
        setNames({});
        accept();
    });
}

void frmConfirmBackupDelete::cmdAbort_Click()
{
    reject();
}

}
