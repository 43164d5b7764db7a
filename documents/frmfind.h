#pragma once
// The Find dialog "Sök": shown modally by the main window's Find commands,
// created on first use and then only hidden, so its history list and options
// stay for the rest of the session. Each time it is shown it proposes the
// active document's selected text or the word under the caret. OK searches
// (FindIt) and leaves the dialog open, so OK finds the next match.
#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace lumrik {

class frmFind : public QDialog {
    Q_OBJECT
public:
    explicit frmFind(QWidget *parent = nullptr);

    // The dialog, created on first use over the main window.
    static frmFind *instance();
    // Forgets the dialog (with its history).
    static void unload();

    QGroupBox *fraSearch = nullptr;
    QComboBox *comboText = nullptr;
    QGroupBox *fraOptions = nullptr;
    QCheckBox *chkWholeWords = nullptr;
    QGroupBox *fraOrigin = nullptr;
    std::array<QRadioButton *, 2> optOrigin{}; // 0 "&Början", 1 "&Markör"
    QPushButton *cmdFind = nullptr;
    QPushButton *cmdCancel = nullptr;

    // Each time the dialog is shown: the proposal from the active document.
    void Form_Activate();
    void comboText_Change();
    void cmdFind_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent *e) override;
    void reject() override; // Esc and the close box: as Cancel
};

}
