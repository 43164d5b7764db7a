#pragma once
// The program a document window holds, apart from the editor that shows it:
// its text and the undo of its changes, its form (encoding, byte-order mark,
// line ends: core/ncdocument.h), whether it has changes not yet saved, and
// its totals of lines and characters. An editor (documents/editor.h) is a
// view of one; the text and its undo stay here when a view goes, and a
// second view shows the same text. Saving, sending, printing, the hex view,
// the status bar and the plug-ins read the program here.
//
// Lines count from 1. The text is the program's own bytes without the
// byte-order mark; fileBytes() gives it with the mark, as the file holds it.
// How the text is kept (Scintilla's document) lives in
// documents/editor_document.cpp.
#include "core/codepage.h"
#include "core/ncdocument.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <memory>

namespace lumrik {

class Editor;
namespace detail { struct DocumentStore; }

class ProgramDocument : public QObject {
    Q_OBJECT
public:
    explicit ProgramDocument(QObject *parent = nullptr);
    ~ProgramDocument() override;

    // The program's form and the rules that turn its bytes into text and back.
    const NcDocument &form() const;
    TextEncoding encoding() const { return form().encoding(); }
    bool hasByteOrderMark() const { return form().hasByteOrderMark(); }
    int lineEnds() const { return form().lineEnds(); } // 1 CR LF, 2 LF

    // The text as it is, every line end as it came; a view of it is valid
    // until the text changes.
    QByteArrayView textView() const;
    QByteArray text() const { return textView().toByteArray(); }
    // The text with every line end made that of `lineEnds` (1 CR LF, 2 LF).
    QByteArray text(int lineEnds) const;
    // The file's bytes: the byte-order mark, when the program has one, and
    // the text's own bytes.
    QByteArray fileBytes() const { return form().fileBytes(textView()); }

    // Lines. A line outside 1..lineCount() throws RkError.
    int lineCount() const;
    QByteArrayView lineView(int line) const; // without its line end
    QByteArray line(int line) const { return lineView(line).toByteArray(); }
    QString lineText(int line) const { return form().toText(lineView(line)); }

    // Files. A failed read or write throws RkError. load takes the file's
    // bytes as they are (its byte-order mark set apart), with nothing to undo
    // back to and no changes; save writes fileBytes() beside the old file
    // and renames it over it, so a failed write leaves the old file as it
    // was: every line end round-trips.
    void load(const QString &path);
    void save(const QString &path) const;

    // A whole new text as one change and one undo step (a byte-order mark in
    // front is the program's, as NcDocument::replaceWhole takes it).
    void setText(const QByteArray &whole);

    // Changes not yet saved. setModified(false) marks the text as saved;
    // true keeps it changed until the next save. modifiedChanged comes once
    // for every change of the state.
    bool isModified() const;
    void setModified(bool modified);

    // The totals the status bar shows: lines, and characters counted as
    // NcDocument::characterCount does (the byte-order mark is none).
    int lines() const { return lineCount(); }
    qint64 characters() const;

Q_SIGNALS:
    void modifiedChanged(bool modified);
    // The text changed (also by an undo or redo): the totals may be others.
    void totalsChanged();

private:
    friend class Editor;
    // A view of the text tells what it saw, once its notifications are on.
    void checkModified();
    void textChanged() { Q_EMIT totalsChanged(); }
    bool quiet() const;
    Editor *view(bool flush = true) const;
    detail::DocumentStore &store() const { return *store_; }

    std::unique_ptr<detail::DocumentStore> store_;
    bool toldModified_ = false;
};

}
