#pragma once
// The program the user works on: which document window is active, the
// handle of its editor while that has the keyboard, the file, name and folder
// the commands last worked with, the line ends of the program last read and
// the one insert mode of all documents. A document keeps its own state (its
// program's changed flag is the document's); this only names the active one
// and asks it. The status bar and the plug-ins read it here; the plug-ins by
// the old names ("gbIsDirty", "gsActiveFile", ...) through the plug-in host.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

namespace lumrik {

class ActiveProgram : public QObject {
    Q_OBJECT
public:
    // The active document window (nullptr while none is).
    QObject *document() const { return document_; }
    // `document` is the active one from now on; `modified` tells whether its
    // program has changes not saved. `documentChanged` when it was not.
    void activate(QObject *document, std::function<bool()> modified);
    // `document` is going: none is active when it was the active one.
    void release(QObject *document);
    // The active document's program has changes not saved; false without one.
    bool isDirty() const;

    // The active document's editor while it has the keyboard, 0 otherwise.
    long editor() const { return editor_; }
    void setEditor(long editor);
    // The editor lost the keyboard: 0 when it was the one.
    void releaseEditor(long editor);

    // The file, its name and its folder the commands last worked with (open,
    // receive); the folder ends in a separator.
    QString file() const { return file_; }
    QString fileName() const { return fileName_; }
    QString path() const { return path_; }
    void setFile(const QString &file);
    void setFileName(const QString &name);
    void setPath(const QString &path);

    // The line ends of the program last read: 1 CR LF, 2 LF.
    int textType() const { return textType_; }
    void setTextType(int type);

    // Insert (true) or overwrite: one mode for all documents.
    bool insertMode() const { return insertMode_; }
    void setInsertMode(bool insert);

Q_SIGNALS:
    void documentChanged(QObject *document);
    void editorChanged(long editor);
    void fileChanged();
    void pathChanged(const QString &path);
    void textTypeChanged(int type);
    void insertModeChanged(bool insert);

private:
    QPointer<QObject> document_;
    std::function<bool()> modified_;
    long editor_ = 0;
    QString file_;
    QString fileName_;
    QString path_;
    int textType_ = 1;
    bool insertMode_ = true;
};

}
