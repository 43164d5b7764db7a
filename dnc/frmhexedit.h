#pragma once
// The character-code table "Hex koder": the 256 byte codes in hexadecimal,
// each with its character and, for the control codes, its name. The "?"
// buttons of the machine set-up dialog show it while the user types hex code
// lists.
#include <QDialog>
#include <QList>
#include <QRect>
#include <QString>
#include <optional>

class QPushButton;
class QTreeWidget;

namespace lumrik {

// One row of the table.
struct HexCodeRow {
    QString hex;          // "00" .. "FF"
    QString character;    // the character of the byte (Windows-1252)
    QString description;  // "NUL" .. "US" for 0..31, else ""
};
// The 256 rows, code 0 first.
QList<HexCodeRow> hexCodeRows();

// Where the list and the button go for an inner size, all in twips. Nothing
// when the inner width is 200 twips or less (the controls stay where they
// were). A height too small for the list gives it height 0 and keeps the
// button inside the window.
struct HexEditLayout {
    QRect list;
    QRect button;
};
std::optional<HexEditLayout> hexEditLayout(int innerWidth, int innerHeight, int buttonWidth, int buttonHeight);

class frmHexEdit : public QDialog {
    Q_OBJECT
public:
    explicit frmHexEdit(QWidget *parent = nullptr);

    QTreeWidget *lvHex;
    QPushButton *cmdClose;

    void Form_Load();
    void Form_Resize();
    void cmdClose_Click();

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    int toPixelsX(int twips) const;
    int toPixelsY(int twips) const;
    int toTwipsX(int pixels) const;
    int toTwipsY(int pixels) const;
};

}
