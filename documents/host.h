#pragma once
// What the documents library needs of the main window. The main window
// implements it and registers itself with setDocumentHost(); the documents
// library never includes the main window's headers.
#include "core/mainwidget.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

class QAction;
class QStatusBar;
class QWidget;

namespace lumrik {

class frmDocument;

class DocumentHost : public MainWidgetHost {
public:
    QWidget *mainWidget() override = 0;
    // The active document window, or nullptr when none is open.
    virtual frmDocument *activeDocument() = 0;
    virtual QList<frmDocument *> documents() = 0;

    // Command state.
    virtual void MnUpdateValidSelections(bool bCurStatus) = 0;
    virtual void RkUpdateValidSelections() = 0;

    // The main window's status bar (panels 1..4 by index 0..3 of its labels)
    // and its Save buttons (toolbar key "Save" and the file toolbar's).
    virtual void setStatusPanel(int panel, const QString &text) = 0;
    virtual QString statusPanel(int panel) const = 0;
    virtual void setSaveButtonsEnabled(bool enabled) = 0;

    // Context menu of a document: paste enabled, cut and copy enabled.
    virtual void showDocumentPopup(const QPoint &globalPos, bool canPaste, bool canCutCopy) = 0;

    // Arranges the document windows: 0 cascade, 1 tile horizontally, 2 tile vertically.
    virtual void Arrange(int arrangement) = 0;

    // Files dropped on a document's text: opened as a drop on the main window.
    virtual void openDroppedFiles(const QStringList &files) { Q_UNUSED(files); }
};

// Registers the host as the main widget host of core/mainwidget.h too.
void setDocumentHost(DocumentHost *host);
DocumentHost *documentHost();

}
