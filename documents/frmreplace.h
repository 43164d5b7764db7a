#pragma once
// The Replace dialog "Sök & Ersätt": shown modally by the main window's
// Replace command, created on first use and then only hidden, so its history
// lists and options stay for the rest of the session. OK hides the dialog and
// replaces in the active document, asking per match (frmReplaceConfirm).
#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace lumrik {

class frmReplace : public QDialog {
    Q_OBJECT
public:
    explicit frmReplace(QWidget *parent = nullptr);

    // The dialog, created on first use over the main window.
    static frmReplace *instance();
    // Forgets the dialog (with its history).
    static void unload();

    QLabel *Label1 = nullptr;
    QComboBox *comboText = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *comboNewText = nullptr;
    QGroupBox *fraOptions = nullptr;
    QCheckBox *chkWholeWords = nullptr;
    QGroupBox *fraOrigin = nullptr;
    std::array<QRadioButton *, 2> optOrigin{}; // 0 "&Början", 1 "&Markör"
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;

    void comboText_Change();
    void cmdOk_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent *e) override;
    void reject() override; // Esc and the close box: as Cancel
};

}
