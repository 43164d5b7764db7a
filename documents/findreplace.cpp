#include "documents/findreplace.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "core/sessionstate.h"
#include "documents/editor.h"
#include "documents/findreplace_rules.h"
#include "documents/frmdocument.h"
#include "documents/host.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumrik {

namespace {

QString trimBlanks(const QString &s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && s[a] == QLatin1Char(' '))
        ++a;
    while (b > a && s[b - 1] == QLatin1Char(' '))
        --b;
    return s.mid(a, b - a);
}

// The window a message of the search belongs over: the dialog that runs it,
// else the main window.
QWidget *messageParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return documentHost() ? documentHost()->mainWidget() : nullptr;
}

void tellNotFound(const QString &target)
{
    const QString quoted = QLatin1Char('"') + target + QLatin1Char('"');
    if (gbNotSwedish)
        RkMsgBox(RkGetLanguage(616) + QStringLiteral("  ") + quoted, MbButtons::Ok, MbIcon::Information,
                 RkGetLanguage(617), 0, messageParent());
    else
        RkMsgBox(QStringLiteral("Kan ej hitta  ") + quoted, MbButtons::Ok, MbIcon::Information,
                 QStringLiteral("Sökning klar"), 0, messageParent());
}

// The search variables as the editor's Search members.
void giveSearchSettings(Editor *e, const QByteArray &target, const QByteArray &replacement)
{
    e->SearchReplacement = replacement;
    e->SearchTarget = target;
    const SearchValues &last = programSession().search().values();
    e->SearchTo = last.to;
    e->SearchOrigin = last.origin;
    e->SearchCaseSensitive = false;
    e->SearchWholeWordsOnly = last.wholeWordsOnly;
}

}

bool searchBytes(const QString &text, TextEncoding encoding, bool replacement, QByteArray &bytes)
{
    if (encoding == TextEncoding::Utf8) {
        // A target keeps a character whose capital has a UTF-8 form of
        // another length (ı, ſ): the search matches by forms of equal length.
        QString upper;
        for (uint c : text.toUcs4()) {
            const char32_t up = upperCharacter(c);
            upper += QChar::fromUcs4(replacement || utf8Length(up) == utf8Length(c) ? up : c);
        }
        bytes = upper.toUtf8();
        return firstUnencodable(text, encoding).isNull();
    }
    const QByteArray raw = toCp1252(text);
    bytes = upperCp1252(raw);
    return fromCp1252(raw) == text;
}

bool FindIt(const QString &target, int wholeWords, bool searchTo, bool fromStart, const QString &replacement,
            bool replace)
{
    return RkGuard("FindIt()", [&]() -> bool {
        DocumentHost *host = documentHost();
        frmDocument *doc = host ? host->activeDocument() : nullptr;
        if (!doc)
            return false;
        if (doc->busy()) {
            // A program under long work is searched once the work is over, on
            // the finished text.
            LongWork::whenDone(doc, [=] { FindIt(target, wholeWords, searchTo, fromStart, replacement, replace); });
            return false;
        }
        doc->update();
        WaitCursor busy;
        if (target.isEmpty())
            return false;

        Editor *e = doc->txtText;
        const TextEncoding encoding = e->encoding();
        QByteArray targetBytes, replacementBytes;
        const bool targetFits = searchBytes(target, encoding, false, targetBytes);
        const bool replacementFits = searchBytes(replacement, encoding, true, replacementBytes);
        programSession().search().change([&](SearchValues &v) {
            v.replacement = replacementFits ? decodeText(replacementBytes, encoding) : replacement.toUpper();
            v.target = targetFits ? decodeText(targetBytes, encoding) : target.toUpper();
            v.origin = fromStart ? 1 : 0;
            v.to = searchTo ? 0 : 1;
            v.wholeWordsOnly = wholeWords != 0;
            v.action = replace ? 10 : 9;
        });

        if (replace && !replacementFits) {
            // A '?' in its place would be written into the program unnoticed.
            RkMsgBox(QStringLiteral("Ersättningstexten har tecken som inte kan skrivas i ett NC-program."),
                     MbButtons::Ok, MbIcon::Information, QStringLiteral("Sök & Ersätt"), 0, messageParent());
            return false;
        }
        if (replace && e->ReadOnly()) {
            // Refused as the other commands that would change such a text are:
            // "Kan ej hitta" would deny a text that is there.
            RkMsgBox(QStringLiteral("Denna funktion är inte tillåten på denna filtyp."), MbButtons::Ok,
                     MbIcon::Critical, QStringLiteral("Sök & Ersätt"), 0, messageParent());
            return false;
        }
        bool found = false;
        if (targetFits) {
            giveSearchSettings(e, targetBytes, replacementBytes);
            e->setAction(programSession().search().values().action);
            found = e->SearchResult();
            if (e->changeUnderWay()) {
                // Every further match goes in off the window: the program is
                // busy until the last of the new text is in.
                doc->setBusy(true);
                const QPointer<frmDocument> busyDoc(doc);
                auto done = std::make_shared<QMetaObject::Connection>();
                *done = QObject::connect(e, &Editor::ChangeDone, doc, [busyDoc, done] {
                    QObject::disconnect(*done);
                    if (busyDoc)
                        busyDoc->setBusy(false);
                });
            }
        } else {
            // The program's encoding has no such character: nothing to find.
            e->SearchTarget.clear();
        }
        if (found)
            return true;
        tellNotFound(target);
        return false;
    });
}

void UpdateComboList(QComboBox *combo, const QString &text)
{
    RkGuard("UpdateComboList()", [&] {
        if (!combo || text.isEmpty())
            return;
        int at = -1;
        for (int i = 0; i < combo->count(); ++i) {
            if (combo->itemText(i) == text) {
                at = i;
                break;
            }
        }
        if (at == 0)
            return;
        if (at > 0)
            combo->removeItem(at);
        combo->insertItem(0, text);
        // The box keeps showing the text (removing the current entry may have changed it).
        combo->setCurrentIndex(0);
    });
}

QString wordAtCaret(const QString &line, int caretX)
{
    qsizetype start = 1;
    while (true) {
        const qsizetype blank = line.indexOf(QLatin1Char(' '), start - 1) + 1;
        if (blank == 0 || blank > caretX)
            break;
        start = blank + 1;
    }
    QString word = trimBlanks(line.mid(start - 1));
    const qsizetype cut = word.indexOf(QLatin1Char(' '));
    if (cut >= 0)
        word = trimBlanks(word.left(cut));
    return word;
}

QString findProposal(Editor *editor)
{
    if (!editor)
        return {};
    if (editor->SelMark() != 0) {
        editor->setTextIndex(editor->SelStartY());
        // The selected text as it stands, over several lines too.
        QByteArray sel = editor->SelText();
        qsizetype n = sel.size();
        while (n > 0 && sel[n - 1] == ' ')
            --n;
        sel.truncate(n);
        return decodeText(sel, editor->encoding());
    }
    editor->setTextIndex(editor->CaretY());
    // The word is taken from the bytes (a column counts bytes), then decoded.
    const QString word = wordAtCaret(QString::fromLatin1(editor->Text()), editor->CaretX());
    return decodeText(word.toLatin1(), editor->encoding());
}

void primeLastSearch(Editor *editor)
{
    const SearchValues &last = programSession().search().values();
    if (!editor || last.target.isEmpty())
        return;
    QByteArray target, replacement;
    if (!searchBytes(last.target, editor->encoding(), false, target))
        return;
    searchBytes(last.replacement, editor->encoding(), true, replacement);
    giveSearchSettings(editor, target, replacement);
}

QComboBox *newHistoryCombo(QWidget *parent, const QString &objectName)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(objectName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert); // the history is kept by OK
    box->setMinimumContentsLength(28);
    return box;
}

SearchDialogControls buildSearchDialog(QDialog *dialog, const QString &okName)
{
    SearchDialogControls c;
    c.fraOptions = new QGroupBox(QStringLiteral("Options"), dialog);
    c.fraOptions->setObjectName(QStringLiteral("fraOptions"));
    c.chkWholeWords = new QCheckBox(QStringLiteral("Avgränsade värden"), c.fraOptions);
    c.chkWholeWords->setObjectName(QStringLiteral("chkWholeWords"));
    auto *optionsLay = new QVBoxLayout(c.fraOptions);
    optionsLay->addWidget(c.chkWholeWords);
    optionsLay->addStretch();

    c.fraOrigin = new QGroupBox(QStringLiteral("Starta fr.o.m"), dialog);
    c.fraOrigin->setObjectName(QStringLiteral("fraOrigin"));
    c.optOrigin[0] = new QRadioButton(QStringLiteral("&Början"), c.fraOrigin);
    c.optOrigin[1] = new QRadioButton(QStringLiteral("&Markör"), c.fraOrigin);
    auto *originLay = new QVBoxLayout(c.fraOrigin);
    for (int i = 0; i < 2; ++i) {
        c.optOrigin[size_t(i)]->setObjectName(QStringLiteral("optOrigin_%1").arg(i));
        originLay->addWidget(c.optOrigin[size_t(i)]);
    }
    c.optOrigin[1]->setChecked(true); // OK then walks from match to match

    c.ok = new QPushButton(QStringLiteral("&OK"), dialog);
    c.ok->setObjectName(okName);
    c.ok->setDefault(true);
    c.cancel = new QPushButton(QStringLiteral("&Avbryt"), dialog);
    c.cancel->setObjectName(QStringLiteral("cmdCancel"));
    c.cancel->setAutoDefault(false);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(c.ok);
    buttons->addWidget(c.cancel);
    buttons->addStretch();
    auto *below = new QHBoxLayout;
    below->addWidget(c.fraOptions, 1);
    below->addWidget(c.fraOrigin, 1);
    c.left = new QVBoxLayout;
    c.left->addLayout(below);
    auto *top = new QHBoxLayout(dialog);
    top->addLayout(c.left, 1);
    top->addLayout(buttons);
    return c;
}

}
