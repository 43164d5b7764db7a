#pragma once
// The question "Bekräfta" asked for each match of a replace: replace it, skip
// it, replace it and every further match, or stop. Shown modally at the main
// window's top right corner, clear of the text; one dialog per match.
#include <QDialog>

class QPushButton;

namespace lumrik {

class frmReplaceConfirm : public QDialog {
    Q_OBJECT
public:
    explicit frmReplaceConfirm(QWidget *owner = nullptr);

    // The answer: 1 replace, 2 skip, 4 replace all, 0 stop (also when the
    // dialog is closed by Esc or its close box).
    int gfRecursiveSearch = 0;

    QPushButton *cmdYes = nullptr;
    QPushButton *cmdNo = nullptr;
    QPushButton *cmdAll = nullptr;
    QPushButton *cmdCancel = nullptr;

    // Shows the question modally over `owner` and returns the answer.
    static int ask(QWidget *owner);

protected:
    void showEvent(QShowEvent *e) override;

private:
    void answer(int value);
};

// Makes this dialog the replace question of every document window.
void installReplaceConfirm();

}
