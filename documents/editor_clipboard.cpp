// The editor's clipboard: the selected bytes as display text, and the
// display's primary selection.
#include "documents/editor_impl.h"

#include "core/codepage.h"
#include "core/lineends.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPointer>

#include <functional>
#include <utility>

namespace lumrik {

namespace {

// The text's bytes as text for the clipboard.
QString textOfBytes(QByteArrayView bytes, TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 ? QString::fromUtf8(bytes) : bytesToDisplay(bytes);
}

}

namespace detail {

// Selected bytes on the clipboard. Scintilla offers every selection it makes
// to the X11 primary selection, whole programs included: the display text is
// made only when another window (or a paste) asks for it, and the bytes of a
// selection offered that way are read only then.
class BytesMimeData : public QMimeData {
public:
    BytesMimeData(const QByteArray &bytes, TextEncoding encoding) : bytes_(bytes), encoding_(encoding) {}
    BytesMimeData(std::function<QByteArray()> source, TextEncoding encoding)
        : source_(std::move(source)), encoding_(encoding) {}
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }

protected:
    QVariant retrieveData(const QString &format, QMetaType type) const override
    {
        if (!format.startsWith(QLatin1String("text/plain")))
            return QMimeData::retrieveData(format, type);
        if (!converted_) {
            if (source_) bytes_ = std::exchange(source_, {})();
            text_ = textOfBytes(bytes_, encoding_);
            converted_ = true;
        }
        return text_;
    }

private:
    mutable QByteArray bytes_;
    mutable std::function<QByteArray()> source_;
    TextEncoding encoding_;
    mutable QString text_;
    mutable bool converted_ = false;
};

bool SciView::copyBytes()
{
    const long s = d_->send(SCI_GETSELECTIONSTART), e = d_->send(SCI_GETSELECTIONEND);
    if (e <= s) return false;
    const char *p = reinterpret_cast<const char *>(d_->send(SCI_GETRANGEPOINTER, s, e - s));
    QApplication::clipboard()->setMimeData(toMimeData(QByteArray(p, e - s), false));
    return true;
}

void SciView::pasteBytes()
{
    if (d_->q->ReadOnly()) return;
    bool rect = false;
    const QByteArray b = fromMimeData(QApplication::clipboard()->mimeData(), rect);
    if (b.isEmpty()) return;
    const long s = d_->send(SCI_GETSELECTIONSTART), e = d_->send(SCI_GETSELECTIONEND);
    d_->send(SCI_BEGINUNDOACTION);
    d_->send(SCI_SETTARGETSTART, s);
    d_->send(SCI_SETTARGETEND, e);
    d_->sendPtr(SCI_REPLACETARGET, (unsigned long)b.size(), b.constData());
    d_->send(SCI_ENDUNDOACTION);
    d_->send(SCI_GOTOPOS, (unsigned long)(s + b.size()));
    d_->checkDirty();
}

void SciView::cutBytes()
{
    if (copyBytes() && !d_->q->ReadOnly()) d_->send(SCI_CLEAR);
    d_->checkDirty();
}

QByteArray SciView::fromMimeData(const QMimeData *source, bool &rectangular) const
{
    rectangular = false;
    if (!source || !source->hasText()) return {};
    const QString text = source->text();
    if (!d_->doc().firstUnencodable(text).isNull()) {
        // Refused as typing the character is: a '?' in its place would go
        // into the program unnoticed.
        refuseCharacter();
        return {};
    }
    // Pasted and dropped lines take the document's line ends.
    return withLineEnds(d_->doc().toBytes(text), d_->textType());
}

QMimeData *SciView::toMimeData(const QByteArray &text, bool rectangular) const
{
    Q_UNUSED(rectangular);
    // Scintilla offers the shown text: for a text shown in rows that holds
    // the row breaks, so the selection's own bytes go instead.
    if (d_->rows) {
        const long n = d_->send(SCI_GETLENGTH);
        const long from = qBound(0L, d_->send(SCI_GETSELECTIONSTART), n);
        return new BytesMimeData(d_->range(from, qBound(from, d_->send(SCI_GETSELECTIONEND), n)), d_->encoding());
    }
    return new BytesMimeData(text, d_->encoding());
}

}

// Sets the selection without scrolling. Scintilla's own way of setting it
// copies the selected text for the display's primary selection byte by byte,
// and then once more, for every selection it sets: a whole large program that
// way costs a tenth of a second each time. Here the bytes are copied once, and
// not at all when the selection stays as it is.
void Editor::Impl::select(long anchor, long caret)
{
    if (send(Sci::SCI_GETANCHOR) == anchor && send(Sci::SCI_GETCURRENTPOS) == caret)
        return;
    send(Sci::SCI_SETSELECTION, caret, anchor);
    if (anchor == caret)
        return;
    QClipboard *clipboard = QApplication::clipboard();
    if (!clipboard || !clipboard->supportsSelection())
        return;
    // What is selected in the editor when another window asks for it, as
    // the display's primary selection is meant; once the selection is gone,
    // the stretch that was selected last.
    // Read through the text store: the bytes of the text, also when it is
    // shown in rows.
    const QPointer<Editor> editor(q);
    const long first = qMin(anchor, caret), last = qMax(anchor, caret);
    clipboard->setMimeData(new detail::BytesMimeData(
                               [editor, first, last]() -> QByteArray {
                                   if (!editor) return {};
                                   const Impl *d = editor->d;
                                   long from = d->send(Sci::SCI_GETSELECTIONSTART);
                                   long to = d->send(Sci::SCI_GETSELECTIONEND);
                                   if (to <= from) {
                                       from = first;
                                       to = qMin(last, d->send(Sci::SCI_GETLENGTH));
                                   }
                                   return d->range(from, to);
                               },
                               encoding()),
                           QClipboard::Selection);
}

}
