// Loading and saving the program's text: the files are the program's
// (documents/programdocument.h); the view takes what a file brings.
#include "documents/editor_impl.h"

#include "core/atomicfile.h"
#include "core/lineends.h"

namespace lumrik {

// The files are the program's (ProgramDocument::load and save); the view
// shows what they bring.
void Editor::FileLoad(const QString &path) { d->program->load(path); }

void Editor::FileSave(const QString &path) { d->program->save(path); }

// The whole text as a file brought it.
void Editor::Impl::takeFile(const QByteArray &file)
{
    dropPending(); // the whole text is replaced
    // The byte-order mark stays with the document, out of the text.
    const QByteArrayView data = doc().load(file);
    const bool ro = send(Sci::SCI_GETREADONLY);
    if (TextRows::needed(data)) {
        // A line too long to lay out: Scintilla shows the text in rows.
        // The file's own buffer when it has no mark in front: no second copy.
        showInRows(data.size() == file.size() ? file : data.toByteArray(), ro);
    } else {
        rows.reset(); // Scintilla holds the text itself again
        send(Sci::SCI_SETREADONLY, 0);
        // No undo record of the load: it would hold a second copy of the file.
        send(Sci::SCI_SETUNDOCOLLECTION, 0);
        send(Sci::SCI_CLEARALL);
        plainStyles = true; // the new text comes in style 0
        // Room to grow: a whole-program change that adds a few bytes a line
        // fits without the text and its styles being moved to new memory.
        send(Sci::SCI_ALLOCATE, data.size() + data.size() / 16 + 1);
        sendPtr(Sci::SCI_ADDTEXT, data.size(), data.constData());
        send(Sci::SCI_EMPTYUNDOBUFFER);
        forgetPlaceGroups();
        send(Sci::SCI_SETUNDOCOLLECTION, 1);
        if (ro) send(Sci::SCI_SETREADONLY, 1);
    }
    applyEncoding();
    clearStyles();
    send(Sci::SCI_GOTOPOS, 0);
    send(Sci::SCI_SETSAVEPOINT);
    store().forcedDirty = false;
    textIndex = 1;
    selMark = 0;
    checkDirty();
    checkCaret();
}

void Editor::FileInsert(const QString &path)
{
    d->flush();
    const QByteArray data = withLineEnds(readFileBytes(path), d->textType());
    // The file read as a program: no byte-order mark in the middle of this one.
    NcDocument inserted;
    const QByteArrayView text = inserted.load(data);
    const bool becomesUtf8 = !d->utf8() && inserted.encoding() == TextEncoding::Utf8
                             && d->doc().takesIn(d->wholeText(), inserted.encoding());
    const QByteArray bytes = d->utf8() && inserted.encoding() == TextEncoding::Windows1252
                                 ? encodeText(fromCp1252(text), TextEncoding::Utf8) // the program stays UTF-8
                                 : text.toByteArray();
    const long pos = d->send(Sci::SCI_GETCURRENTPOS);
    d->replaceRange(pos, pos, bytes);
    if (becomesUtf8) {
        d->applyEncoding();
        if (d->rows) d->rows->map.setUtf8(true);
    }
    d->checkDirty();
}

int Editor::TextType() const { return d->textType(); }

TextEncoding Editor::encoding() const { return d->encoding(); }

const NcDocument &Editor::document() const { return d->doc(); }

void Editor::setEncoding(TextEncoding encoding)
{
    d->doc().showAs(encoding);
    d->applyEncoding();
}

void Editor::Impl::applyEncoding()
{
    store().countedChanges = ~quint64(0); // the same bytes may be other characters now
    const long page = utf8() ? Sci::SC_CP_UTF8 : 0;
    if (send(Sci::SCI_GETCODEPAGE) != page)
        send(Sci::SCI_SETCODEPAGE, page);
}

void Editor::setTextType(int type)
{
    d->doc().setLineEnds(type);
    d->send(Sci::SCI_SETEOLMODE, d->textType() == 2 ? Sci::SC_EOL_LF : Sci::SC_EOL_CRLF);
}

}
