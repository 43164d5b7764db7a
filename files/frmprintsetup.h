#pragma once
// The print settings dialog ("Skrivare inställningar"): margins and text
// columns of the document print, the comment styles, and the print font of
// both print engines. It reads section "Printing" of the main settings file
// each time it opens; "Spara" writes the section and the program-wide print
// variables, "Avbryt" leaves them. The font button saves its choice at once.
//
// Create it, exec() it, let it go: it keeps nothing between openings.
#include "core/printsettings.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QFont;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumrik {

class frmPrintSetup : public QDialog {
    Q_OBJECT
public:
    // Shows and changes the print settings of `print`.
    explicit frmPrintSetup(PrintSettings &print, QWidget *owner = nullptr);
    // ... of the program's session.
    explicit frmPrintSetup(QWidget *owner = nullptr);

    QPushButton *cmdPrintFont;
    QLabel *lblPrintFont;                 // the font in use, "Courier New, 10 pt"
    QCheckBox *chkPrintBoldComments;
    QCheckBox *chkPrintItalicComments;
    QComboBox *cmbColumns;
    std::array<QLabel *, 4> img1Col{};    // previews of 1, 2 and 3 columns at [1]..[3]
    QLineEdit *txtTopMargin, *txtLeftMargin, *txtRightMargin, *txtBottomMargin;
    QPushButton *cmdSave;                 // "Spara"
    QPushButton *cmdCancel;               // "Avbryt"

    // Fills the dialog from the settings file.
    void LoadSettings();
    // Writes the dialog's values to the settings file and the print variables,
    // in the order margins, columns, bold, italic. Every value is checked
    // first: one that is not valid is told in the error report and nothing is
    // written. Returns false then, and when a write failed (the settings layer
    // has told the user; the values after it are not written).
    bool SaveSettings();

    void cmdSave_Click();
    void cmdCancel_Click();
    void cmdPrintFont_Click();
    // Shows the preview of the chosen number of columns.
    void cmbColumns_Click();

    // The font dialog (fixed-pitch fonts only): true with the chosen font, or
    // false when cancelled. Tests replace it.
    using FontDialogFn = std::function<bool(QWidget *owner, QFont &font)>;
    static void setFontDialogHook(FontDialogFn hook);

private:
    PrintSettings &print_;
    void showFontName();
};

}
