#include "documents/frmreplaceconfirm.h"

#include "documents/frmdocument.h"
#include "documents/host.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>

namespace lumrik {

frmReplaceConfirm::frmReplaceConfirm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmReplaceConfirm"));
    setWindowTitle(QStringLiteral("Bekräfta"));
    setModal(true);

    auto makeButton = [this](QPushButton *&b, const char *name, const QString &text, int value) {
        b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, [this, value] { answer(value); });
    };
    makeButton(cmdYes, "cmdYes", QStringLiteral("&Ersätt"), 1);
    makeButton(cmdNo, "cmdNo", QStringLiteral("&Nej"), 2);
    makeButton(cmdAll, "cmdAll", QStringLiteral("&Alla"), 4);
    makeButton(cmdCancel, "cmdCancel", QStringLiteral("&Avbryt"), 0);
    cmdYes->setDefault(true);
    auto *lay = new QHBoxLayout(this);
    for (QPushButton *b : {cmdYes, cmdNo, cmdAll, cmdCancel})
        lay->addWidget(b);
    adjustSize();
}

void frmReplaceConfirm::answer(int value)
{
    gfRecursiveSearch = value;
    accept();
}

void frmReplaceConfirm::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    // At the main window's top right corner.
    if (QWidget *main = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect m = main->frameGeometry();
        move(m.x() + m.width() - frameGeometry().width(), m.y());
    }
}

int frmReplaceConfirm::ask(QWidget *owner)
{
    frmReplaceConfirm dlg(owner);
    dlg.exec();
    return dlg.gfRecursiveSearch;
}

void installReplaceConfirm()
{
    frmDocument::setReplaceConfirm([](frmDocument *doc) {
        QWidget *owner = documentHost() && documentHost()->mainWidget() ? documentHost()->mainWidget() : doc;
        return frmReplaceConfirm::ask(owner ? owner->window() : nullptr);
    });
}

}
