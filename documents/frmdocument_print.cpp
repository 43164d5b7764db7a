// The document window as printing reads it.
#include "documents/frmdocument.h"

namespace lumrik {

namespace {

// The editor's screen updates stay off while its lines are read.
class RedrawOff {
public:
    explicit RedrawOff(Editor *e) : editor_(e) { editor_->setRedraw(false); }
    ~RedrawOff() { editor_->setRedraw(true); }
    RedrawOff(const RedrawOff &) = delete;
    RedrawOff &operator=(const RedrawOff &) = delete;

private:
    Editor *editor_;
};

}

QStringList frmDocument::printLines()
{
    QStringList lines;
    if (!txtText)
        return lines;
    RedrawOff redraw(txtText);
    const int count = txtText->Count();
    lines.reserve(count);
    for (int i = 1; i <= count; ++i) {
        txtText->setTextIndex(i);
        lines << txtText->document().toText(txtText->Text());
    }
    return lines;
}

}
