#pragma once
// A main window stand-in for the document window tests: records what the
// documents library asks of it.
#include "documents/frmdocument.h"
#include "documents/host.h"

#include <QList>
#include <QPoint>
#include <QString>

namespace lumrik::test {

class FakeDocumentHost : public DocumentHost {
public:
    FakeDocumentHost() { setDocumentHost(this); }
    ~FakeDocumentHost() override { setDocumentHost(nullptr); }

    QWidget *mainWidget() override { return nullptr; }
    frmDocument *activeDocument() override { return active; }
    QList<frmDocument *> documents() override { return active ? QList<frmDocument *>{active} : QList<frmDocument *>{}; }
    void MnUpdateValidSelections(bool) override { ++selectionUpdates; }
    void RkUpdateValidSelections() override { ++validUpdates; }
    void setStatusPanel(int panel, const QString &text) override
    {
        if (panel >= 1 && panel <= 4) panels[panel - 1] = text;
    }
    QString statusPanel(int panel) const override { return panel >= 1 && panel <= 4 ? panels[panel - 1] : QString(); }
    void setSaveButtonsEnabled(bool enabled) override { saveEnabled = enabled; }
    void showDocumentPopup(const QPoint &, bool canPaste, bool canCutCopy) override
    {
        ++popups;
        popupPaste = canPaste;
        popupCutCopy = canCutCopy;
    }
    void Arrange(int arrangement) override { arrangements.append(arrangement); }

    frmDocument *active = nullptr;
    QString panels[4];
    bool saveEnabled = false;
    int selectionUpdates = 0, validUpdates = 0, popups = 0;
    bool popupPaste = false, popupCutCopy = false;
    QList<int> arrangements;
};

}
