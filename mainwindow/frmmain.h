#pragma once
#include <QMainWindow>
#include <array>

class QAction;
class QMdiArea;
class QToolBar;

namespace lumrik {

// The main window.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(const QString &commandLineFile = {}, QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up steps (in this order).
    void applyTexts();
    void hideCompareWhenMissing();
    void applyTitle();
    void fillRecentFiles();
    void fillMacroMenu();
    void showAtStart();

    QMdiArea *mdiArea = nullptr;
    QToolBar *tbToolBar = nullptr;
    std::array<QAction *, 4> mnuFileMRU{};
    std::array<QAction *, 10> mnuSubMacro{};
    QAction *mnuCompare = nullptr;

    // A toolbar button by its text key.
    QAction *toolButton(const QString &key) const;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenus();
    QString commandLineFile_;
};

}
