#pragma once
// The macro template window: lists the templates (".NCM") of a folder below
// the program folder, shows the fields and the picture of the template the
// user chooses, and on OK expands it into NC text on the clipboard.
//
// The caller sets `ncmPath` (the folder below the program folder, beginning
// with "\") and `ncmMachine` (the caption), then shows the window modally. The
// list is read when the window is shown; after a successful OK the window
// closes itself (accepted), Avbryt closes it without copying anything.
#include "generators/macrotemplate.h"

#include <QDialog>
#include <QString>
#include <array>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace lumrik {

class frmMacron : public QDialog {
    Q_OBJECT
public:
    explicit frmMacron(QWidget *parent = nullptr);

    QString ncmPath;    // template folder below the program folder
    QString ncmMachine; // caption of the window

    // The chosen template (empty before a choice).
    QString templateName() const { return templateName_; }
    QString templatePath() const { return templatePath_; }
    // The folder the list was read from.
    QString templateFolder() const { return folder_; }
    // Fields the chosen template declares.
    int fieldCount() const { return fieldCount_; }

    QComboBox *cmbNcmFiler;              // the templates
    QListWidget *FileNcm;                // hidden: the folder's ".NCM" files
    QFrame *Frame1;                      // the field rows
    std::array<QLabel *, kMacroFields> lblText{};
    std::array<QLineEdit *, kMacroFields> Text1{};
    QLabel *pic;                         // the template's picture
    QPushButton *cmdOk, *cmdAbort;

    // Window widths without and with a picture (pixels).
    static constexpr int kNarrowWidth = 489;
    static constexpr int kWideWidth = 790;

    // Fills the template list from the folder (done when the window is shown).
    void Form_Load();
    void Form_Activate();
    // Reads the chosen template's header into the field rows and the picture.
    void cmbNcmFiler_Click();
    // Expands the chosen template onto the clipboard and closes the window.
    void cmdOk_Click();
    void cmdAbort_Click();
    // Chooses a template of the list by name (as the user would).
    bool chooseTemplate(const QString &name);

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setWide(bool wide);

    QString folder_;
    QString templateName_;
    QString templatePath_;
    int fieldCount_ = 0;
    bool loaded_ = false;
};

}
