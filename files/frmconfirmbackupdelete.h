#pragma once
// Confirmation of the clean-up of numbered backup copies: lists the copies
// found in one folder and deletes them for good when the user confirms.
#include <QDialog>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace lumrik {

class OpenedFolder;

class frmConfirmBackupDelete : public QDialog {
    Q_OBJECT
public:
    explicit frmConfirmBackupDelete(QWidget *owner = nullptr);
    ~frmConfirmBackupDelete() override;

    // The folder of the listed names (set before the dialog is shown).
    QString sBackupPath;

    QLabel *lblInfo;
    QListWidget *lst2Delete;
    QPushButton *cmdOk;
    QPushButton *cmdAbort;

    // Fills the list: one line per name, one empty line when there is none.
    void setNames(const QStringList &names);
    // The folder the names were listed in, opened then: "&Rensa" deletes in
    // it, whatever sBackupPath names by the time the user confirms. Without
    // one, sBackupPath is opened when the deleting begins.
    void setFolder(OpenedFolder folder);
    // The names still listed (empty lines left out).
    QStringList names() const;

    // "&Rensa": asks, then deletes the listed files. A file already gone
    // counts as deleted; at a failure the dialog stays open listing the files
    // not yet deleted, so "&Rensa" again goes on with them.
    void cmdOk_Click();
    void cmdAbort_Click();

protected:
    void showEvent(QShowEvent *e) override;

private:
    std::unique_ptr<OpenedFolder> folder_;
};

}
