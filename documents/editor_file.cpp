// Loading and saving the editor's text.
#include "documents/editor_impl.h"

#include "core/atomicfile.h"
#include "core/lineends.h"

namespace lumrik {

void Editor::FileLoad(const QString &path)
{
    // The file's bytes as they are, every line end included: a line end that
    // differs from TextType (a CR LF in an LF program, a lone CR) stays.
    const QByteArray file = readFileBytes(path);
    d->dropPending(); // the whole text is replaced
    // The byte-order mark stays with the document, out of the text.
    const QByteArrayView data = d->doc().load(file);
    const bool ro = d->send(Sci::SCI_GETREADONLY);
    if (TextRows::needed(data)) {
        // A line too long to lay out: Scintilla shows the text in rows.
        // The file's own buffer when it has no mark in front: no second copy.
        d->showInRows(data.size() == file.size() ? file : data.toByteArray(), ro);
    } else {
        d->rows.reset(); // Scintilla holds the text itself again
        d->send(Sci::SCI_SETREADONLY, 0);
        // No undo record of the load: it would hold a second copy of the file.
        d->send(Sci::SCI_SETUNDOCOLLECTION, 0);
        d->send(Sci::SCI_CLEARALL);
        d->plainStyles = true; // the new text comes in style 0
        // Room to grow: a whole-program change that adds a few bytes a line
        // fits without the text and its styles being moved to new memory.
        d->send(Sci::SCI_ALLOCATE, data.size() + data.size() / 16 + 1);
        d->sendPtr(Sci::SCI_ADDTEXT, data.size(), data.constData());
        d->send(Sci::SCI_EMPTYUNDOBUFFER);
        d->forgetPlaceGroups();
        d->send(Sci::SCI_SETUNDOCOLLECTION, 1);
        if (ro) d->send(Sci::SCI_SETREADONLY, 1);
    }
    d->applyEncoding();
    d->clearStyles();
    d->send(Sci::SCI_GOTOPOS, 0);
    d->send(Sci::SCI_SETSAVEPOINT);
    d->store().forcedDirty = false;
    d->textIndex = 1;
    d->selMark = 0;
    d->checkDirty();
    d->checkCaret();
}

void Editor::FileSave(const QString &path)
{
    // Written beside the old file and renamed over it: a failed write leaves
    // the old file as it was. The old file's permissions carry over.
    // The text's own bytes: the line ends a file brought with it are written
    // back as they came (text that comes in from elsewhere takes TextType's).
    // The document puts the byte-order mark back in front of them.
    writeFileAtomic(path, d->doc().fileBytes(textView()));
}

void Editor::FileInsert(const QString &path)
{ d->flush();
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
